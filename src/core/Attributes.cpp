#include "core/Attributes.h"

#include "core/CharCase.h"

namespace korva {

TAttribute* TAttributeList::Add(TSymbol symbol, std::string_view name, int value, std::string_view text) {
  if (static_cast<std::size_t>(FCount) == FItems.size()) FItems.push_back(std::make_unique<TAttribute>());
  TAttribute* a = FItems[static_cast<std::size_t>(FCount++)].get();
  a->Set(symbol, name, value, text);
  if (symbol == syId) FIDCached = false;
  return a;
}

void TAttributeList::Clear() {
  FCount = 0;
  FID.clear();
  FIDCached = false;
  // Do not keep the spare objects of a tag with an absurd number of attributes.
  if (FItems.size() > 256) FItems.resize(256);
}

bool TAttributeList::Find(TSymbol symbol, TAttribute*& attribute) const {
  for (int i = 0; i < FCount; ++i) {
    if (FItems[static_cast<std::size_t>(i)]->Which() == symbol) {
      attribute = FItems[static_cast<std::size_t>(i)].get();
      return true;
    }
  }
  attribute = nullptr;
  return false;
}

std::string TAttributeList::TheClass() const {
  TAttribute* a;
  return Find(syClass, a) ? LowerCase(a->Text()) : std::string();
}

const std::string& TAttributeList::TheID() const {
  if (!FIDCached) {
    TAttribute* a;
    FID = Find(syId, a) ? LowerCase(a->Text()) : std::string();
    FIDCached = true;
  }
  return FID;
}

std::string TAttributeList::TheTitle() const {
  TAttribute* a;
  return Find(syTitle, a) ? a->Text() : std::string();
}

std::vector<std::string> TAttributeList::AsStringList() const {
  std::vector<std::string> lines;
  lines.reserve(static_cast<std::size_t>(FCount));
  for (int i = 0; i < FCount; ++i) {
    const TAttribute& a = *FItems[static_cast<std::size_t>(i)];
    lines.push_back(a.WhichName() + "=" + a.Text());
  }
  return lines;
}

}  // namespace korva
