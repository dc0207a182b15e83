// List items: a block with a marker drawn left of its first line (a bullet, a number, a letter,
// a roman numeral or a picture).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/Symbols.h"
#include "layout/Block.h"
#include "style/MyFont.h"

namespace korva {

class TBlockLI : public TBlock {
 public:
  // listKind: the list the item is in (syOl, syUl, syDir, syMenu, syDl), or anything else for
  // an item outside any list. numberingType: the first letter of the list's TYPE ('1', 'A',
  // 'a', 'I', 'i'). plain: an unordered list without bullets.
  TBlockLI(TSectionList* document, const TAttributeList* attributes, TCellBasic* parentCell, TProperties& props,
           TSymbol listKind, int listNumber, int listLevel, char numberingType = '1', bool plain = false);
  TBlockLI(TSectionList* document, const TBlockLI& source);
  ~TBlockLI() override;

  // The marker's number, the baseline of the item's first text line (document y, within the
  // layout's coordinate limits; the first line sets it, 0 when there is none) and the marker's
  // style (a TListStyleCode) in one word.
  std::int64_t FListNumber : 32 = 1;
  std::int64_t FFirstLineBaseline : 28 = 0;

 private:
  std::uint64_t FStyleCode : 4 = lsDisc;

 public:
  TListStyleCode ListStyleType() const { return TListStyleCode(FStyleCode); }
  void SetListStyleType(TListStyleCode code) { FStyleCode = std::uint64_t(code) & 15; }
  // The font numbered markers are drawn in: the document's font for the item, shared by the
  // items styled alike (a copy for another document, or an item without one, owns its own).
  const TMyFont& MarkerFont() const { return *(HasItemExtra() ? ItemRecord()->Font : FontPointer()); }
  // The marker picture, null when the style names none.
  const TBlockImage* MarkerImage() const { return HasItemExtra() ? ItemRecord()->Image.get() : nullptr; }

  // The text of a numbered marker ("3.", "c.", "iv."), empty for bullets and none.
  std::u16string MarkerText() const;

  std::unique_ptr<TSectionBase> CloneForPrint(TSectionList* document) const override;
  int LayoutSection(TCanvas& canvas, int x, int y, int xRef, int yRef, int availWidth, int availHeight,
                    int blockHeight, IndentManager& indents, int& maxWidth, int& cursor) override;
  bool SettleBottomMargin() override;

 protected:
  void DrawAfterContent(TCanvas& canvas, const TRect& clip) override;

 private:
  // What few items have: a marker font of their own, a marker picture. An item with the record
  // keeps its marker font's pointer in it.
  struct TItemExtra {
    const TMyFont* Font = nullptr;
    std::unique_ptr<TMyFont> OwnFont;
    std::unique_ptr<TBlockImage> Image;
  };
  TItemExtra& ItemExtra();
  TBlockImage* OwnMarkerImage() const { return HasItemExtra() ? ItemRecord()->Image.get() : nullptr; }
  void SetMarkerFont(const TMyFont* font);
  void SetFirstLineBaseline(int y);

  bool HasItemExtra() const { return (FFontOrExtra & 1) != 0; }
  TItemExtra* ItemRecord() const { return reinterpret_cast<TItemExtra*>(FFontOrExtra - 1); }
  const TMyFont* FontPointer() const { return reinterpret_cast<const TMyFont*>(FFontOrExtra); }
  // One word for two pointers: the marker font, or (with the low bit set) the record, owned
  // here, which then holds the font's pointer. (The item takes 168 bytes.)
  std::uintptr_t FFontOrExtra = 0;
};

// Marker numerals: a letter for 1 to 26 (higher numbers keep the last letter) and roman numerals
// for 1 to 20 (higher numbers keep 20). Numbers below 1 are written in decimal.
std::u16string AlphaMarker(int n, bool upper);
std::u16string RomanMarker(int n, bool upper);

}  // namespace korva
