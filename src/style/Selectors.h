// Selectors of author style sheets: parsing a selector group into compiled selectors, their
// specificity, and matching them against an element and the open elements around it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace korva {

class TPropStack;

// What the matcher knows of one element: its identity, its attributes (names in lower case,
// values as written) and its place among its siblings (1-based, counted as elements are opened).
struct TElementInfo {
  std::string Tag;     // lower case
  std::string Id;      // lower case (ids and classes are compared without case, as pages expect)
  std::string Class;   // lower case, space-separated list
  std::string Pseudo;  // the link state the set stands for: "", "link", "visited" or "hover"
  std::vector<std::pair<std::string, std::string>> Attrs;
  int ChildIndex = 0;
  int TypeIndex = 0;

  // The value of an attribute, or null when the element has none of that name.
  const std::string* Attr(std::string_view name) const;
  bool HasClass(std::string_view cls) const;
};

enum TAttrOp : std::uint8_t { aoExists, aoEquals, aoIncludes, aoDashMatch, aoPrefix, aoSuffix, aoSubstring };

struct TAttrTest {
  std::string Name;   // lower case
  std::string Value;  // as written, folded when compared without case
  TAttrOp Op = aoExists;
  bool IgnoreCase = false;  // HTML's enumerated attributes (type, align, ...) compare without case
};

// The link states first: they depend on the element's state alone (see NeedsElement).
enum TPseudoKind : std::uint8_t {
  pkLink, pkVisited, pkHover, pkActive, pkFocus, pkFirstChild, pkFirstOfType, pkNthChild, pkNthOfType, pkRoot
};

struct TPseudoTest {
  TPseudoKind Kind = pkLink;
  long long A = 0, B = 0;  // an+b of the nth- forms
};

// One compound selector: every simple selector in it must hold.
struct TCompound {
  std::string Tag;  // empty: any element
  std::string Id;
  std::vector<std::string> Classes;
  std::vector<TAttrTest> Attrs;
  std::vector<TPseudoTest> Pseudos;
  std::vector<TCompound> Negations;  // :not(simple): each holds exactly one simple selector

  // Whether holding it depends on more than tag, id, classes and the link state.
  bool NeedsElement() const {
    if (!Attrs.empty() || !Negations.empty()) return true;
    for (const TPseudoTest& p : Pseudos)
      if (p.Kind >= pkFirstChild) return true;
    return false;
  }
  bool HasStatePseudo() const;
};

enum TPseudoElement : std::uint8_t { peNone = 0, peBefore, peAfter };

// A complex selector, kept from the subject leftwards: Parts[0] is the subject, Combinators[i]
// joins Parts[i] to Parts[i + 1] (' ' descendant, '>' child, '+' next sibling, '~' later sibling).
struct TSelector {
  std::vector<TCompound> Parts;
  std::string Combinators;
  std::uint32_t Specificity = 0;  // ids << 20 | classes, attributes, pseudo-classes << 10 | types
  TPseudoElement PseudoElement = peNone;
  std::string Text;  // the selector as written, lower case, spaces collapsed (tests, lookups)

  // Whether matching needs the element's record and the tree around it (set when parsed).
  bool NeedsElement() const { return FNeedsElement; }
  bool FNeedsElement = true;
};

// Parses a comma-separated group. False when any selector of the group is invalid or uses what
// the matcher cannot decide (the whole rule is then dropped). Bounded by SelectorLimits.
bool ParseSelectorGroup(std::string_view text, std::vector<TSelector>& out);

// Whether `cls` is one of the classes of a space-separated list.
bool HasClassIn(std::string_view list, std::string_view cls);
// Whether a compound's tag, id and classes hold for an element of that identity (id and class
// list in lower case).
bool IdentityMatches(const TCompound& c, std::string_view tag, std::string_view id, std::string_view cls);
// Whether the link state pseudo-classes of a compound hold for the element's state.
bool StateMatches(const TCompound& c, std::string_view pseudo);

// Whether the selector matches the element at stack index `self` (its record is the stack's
// node there). The walk is linear in the open elements and kept siblings for each part.
bool SelectorMatches(const TSelector& s, const TPropStack& stack, int self);

// Splits an an+b argument ("odd", "even", "3", "-n+2", "2n-1"); numbers saturate.
bool ParseNth(std::string_view text, long long& a, long long& b);
bool NthMatches(long long a, long long b, long long index);

}  // namespace korva
