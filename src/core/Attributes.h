// The attributes of the tag the reader is on.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/Symbols.h"

namespace korva {

class TAttribute {
 public:
  TAttribute() = default;
  TAttribute(TSymbol symbol, std::string name, int value, std::string text)
      : FSymbol(symbol), FName(std::move(name)), FValue(value), FText(std::move(text)) {}

  TSymbol Which() const { return FSymbol; }
  // The name as scanned, in upper case.
  const std::string& WhichName() const { return FName; }
  // The numeric value (0 when the text is not a number; 1 for a bare BORDER).
  int Value() const { return FValue; }
  // The value as written, after character references; in the document's code page.
  const std::string& Text() const { return FText; }

  void Set(TSymbol symbol, std::string_view name, int value, std::string_view text) {
    FSymbol = symbol;
    FName.assign(name);
    FValue = value;
    FText.assign(text);
  }

 private:
  TSymbol FSymbol = syUnknownAttr;
  std::string FName;
  int FValue = 0;
  std::string FText;
};

// The attributes of the current tag in source order. Lookups take the first match. The list
// also keeps the property set made from the STYLE attribute (made by the layers above, which
// know property sets; the list only owns it).
class TAttributeList {
 public:
  TAttributeList() = default;
  TAttributeList(const TAttributeList&) = delete;
  TAttributeList& operator=(const TAttributeList&) = delete;

  int Count() const { return FCount; }
  TAttribute* operator[](int i) const { return FItems[static_cast<std::size_t>(i)].get(); }
  // Appends an attribute; the returned object belongs to the list.
  TAttribute* Add(TSymbol symbol, std::string_view name, int value, std::string_view text);
  // Frees the attributes and forgets the cached id.
  void Clear();

  bool Find(TSymbol symbol, TAttribute*& attribute) const;
  TAttribute* Find(TSymbol symbol) const {
    TAttribute* a = nullptr;
    return Find(symbol, a) ? a : nullptr;
  }
  // CLASS and ID in lower case, TITLE as written; empty when absent.
  std::string TheClass() const;
  const std::string& TheID() const;
  std::string TheTitle() const;
  // One line per attribute: upper-case name, "=", text value.
  std::vector<std::string> AsStringList() const;

  // The property set made from the STYLE attribute, owned here until replaced or the list is
  // destroyed.
  void SetOwnedStyle(std::shared_ptr<void> style) { FStyle = std::move(style); }
  const std::shared_ptr<void>& OwnedStyle() const { return FStyle; }

 private:
  // Attribute objects are kept for reuse after Clear: a page has many tags and this saves an
  // allocation per attribute. Only the first FCount are in the list.
  std::vector<std::unique_ptr<TAttribute>> FItems;
  int FCount = 0;
  mutable std::string FID;
  mutable bool FIDCached = false;
  std::shared_ptr<void> FStyle;
};

}  // namespace korva
