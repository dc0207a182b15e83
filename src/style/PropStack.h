// TPropStack: the property sets of the open elements, entry 0 being the document's default
// set. The document builder pushes and pops; the cascade reads ancestors from it.
#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "style/Properties.h"

namespace korva {

class TStyleList;

class TPropStack {
 public:
  int Count() const { return int(FItems.size()); }
  bool Empty() const { return FItems.empty(); }
  TProperties& operator[](int index) const { return *FItems[std::size_t(index)]; }
  TProperties& Last() const { return *FItems.back(); }

  void Add(std::unique_ptr<TProperties> props) { FItems.push_back(std::move(props)); }
  void Insert(int index, std::unique_ptr<TProperties> props);
  std::unique_ptr<TProperties> Extract(int index);
  void Delete(int index) { Extract(index); }
  void Clear() { FItems.clear(); }

  // Empties the stack and pushes a copy of the document's default set (CopyDefault).
  void Reset(const TProperties& defaults);
  // Creates a set for an element, pushes it, inherits from the entry below and combines it
  // with the style list. Returns the new top.
  TProperties& PushElement(TStyleList& styles, std::string_view tag, std::string_view className,
                           std::string_view id, TProperties* inlineStyle, std::string_view title,
                           std::string_view pseudo);
  // Removes the nearest entry above entry 0 with that tag name and makes the entries above it
  // inherit again (unless it was entry 1). Returns the removed set, or null when none matched.
  std::unique_ptr<TProperties> PopElement(TStyleList& styles, std::string_view tag);

 private:
  std::vector<std::unique_ptr<TProperties>> FItems;
};

// The module-wide property stack used by the document builder.
TPropStack& PropStack();

}  // namespace korva
