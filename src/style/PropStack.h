// TPropStack: the property sets of the open elements, entry 0 being the document's default
// set. The document builder pushes and pops; the cascade reads ancestors from it.
#pragma once

#include <algorithm>
#include <memory>
#include <string_view>
#include <vector>

#include "style/Properties.h"
#include "style/Selectors.h"

namespace korva {

class TAttributeList;
class TStyleList;
struct TRuleMatch;
struct TRuleMemo;

// What the stack keeps of one open element for the selector matcher: its record, the records
// of its closed children (the newest MaxSiblingRecords; they are the previous siblings of the
// child open now) and the counts that give a new child its place.
struct TElementNode {
  TElementInfo Info;
  std::vector<TElementInfo> Closed;
  int ChildCount = 0;
  std::vector<std::pair<std::string, int>> TypeCounts;
  int StateOf = -1;  // a link state set: the stack index of the element it stands for
};

class TPropStack {
 public:
  TPropStack();
  ~TPropStack();
  TPropStack(const TPropStack&) = delete;
  TPropStack& operator=(const TPropStack&) = delete;

  int Count() const { return int(FItems.size()); }
  bool Empty() const { return FItems.empty(); }
  TProperties& operator[](int index) const { return *FItems[std::size_t(index)]; }
  TProperties& Last() const { return *FItems.back(); }

  void Add(std::unique_ptr<TProperties> props) {
    FItems.push_back(std::move(props));
    FNodes.emplace_back();
    IdentityChanged(Count() - 1);
  }
  void Insert(int index, std::unique_ptr<TProperties> props);
  std::unique_ptr<TProperties> Extract(int index);
  void Delete(int index) { Recycle(Extract(index)); }
  void Clear() {
    FItems.clear();
    FNodes.clear();
    FSpares.clear();
    FOpenValid = 0;
  }
  // Hands back a set taken off the stack that is no longer needed: the next push reuses it
  // rather than allocating (a set is large and one is made for every element).
  void Recycle(std::unique_ptr<TProperties> set);
  // A set as a new one is, with the next serial (a recycled one, or a new one).
  std::unique_ptr<TProperties> NewSet();

  // Empties the stack and pushes a copy of the document's default set (CopyDefault).
  void Reset(const TProperties& defaults);
  // Creates a set for an element, pushes it, inherits from the entry below and combines it
  // with the style list. Returns the new top. `attributes` (optional) are the element's, read
  // by attribute selectors.
  TProperties& PushElement(TStyleList& styles, std::string_view tag, std::string_view className,
                           std::string_view id, std::shared_ptr<const TProperties> inlineStyle, std::string_view title,
                           std::string_view pseudo, const TAttributeList* attributes = nullptr);
  // Inserts the set of a link state (visited, hover) of the element at `of`; it matches
  // selectors as that element in that state.
  void InsertState(int index, std::unique_ptr<TProperties> props, int of, std::string_view pseudo);

  // The matcher's view of entry `index` and the entry its element descends from (-1 for none).
  const TElementNode& Node(int index) const { return FNodes[std::size_t(index)]; }
  int ParentOf(int index) const {
    const int of = FNodes[std::size_t(index)].StateOf;
    return (of >= 0 ? of : index) - 1;
  }
  // Removes the nearest entry above entry 0 with that tag name and makes the entries above it
  // inherit again (unless it was entry 1). Returns the removed set, or null when none matched.
  std::unique_ptr<TProperties> PopElement(TStyleList& styles, std::string_view tag);

  // The selector pieces of the entries an element at `index` descends from (1 .. index - 1;
  // entry 0 never takes part). Kept as running unions, so pushing and popping at the top costs
  // the same at any depth; a change further down recomputes from there on the next call.
  const TSelectorBloom& AncestorFilter(int index);
  // The identity of the entry at `index` changed (Combine calls this).
  void IdentityChanged(int index) { FOpenValid = std::min(FOpenValid, std::max(index, 0)); }
  // Entries folded into the running unions since the stack was made (the cascade's cost).
  long long FilterSteps() const { return FFilterSteps; }

  // What the style list gives an element for its identity alone, whatever its ancestors (see
  // Cascade.cpp). Worked out once per identity under the same rules, since pages repeat a few
  // identities thousands of times. The reference holds until the next call.
  const TRuleMatch& RuleMatch(const TStyleList& styles, std::string_view tag, std::string_view className,
                              std::string_view id, std::string_view pseudo);

 private:
  static constexpr std::size_t MaxSpares = 8;
  std::vector<std::unique_ptr<TProperties>> FItems;
  std::vector<TElementNode> FNodes;  // beside FItems, one for one
  std::vector<std::unique_ptr<TProperties>> FSpares;
  // FOpen[i] is the union of entries 1 .. i; the first FOpenValid are up to date.
  std::vector<TSelectorBloom> FOpen;
  int FOpenValid = 0;
  long long FFilterSteps = 0;
  std::unique_ptr<TRuleMemo> FRuleMemo;
};

// The module-wide property stack used by the document builder.
TPropStack& PropStack();

}  // namespace korva
