// List items: a block with a marker drawn left of its first line (a bullet, a number, a letter,
// a roman numeral or a picture).
#pragma once

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

  TSymbol FListKind;
  TListStyleCode FListStyleType : 8 = lsDisc;
  int FListNumber = 1;
  // The baseline of the item's first text line (document y); the first line sets it, 0 when
  // there is none.
  int FFirstLineBaseline = 0;
  // The font numbered markers are drawn in: the document's font for the item, shared by the
  // items styled alike (a copy for another document, or an item without one, owns its own).
  const TMyFont& MarkerFont() const { return *FMarkerFont; }
  // The marker picture, null when the style names none.
  const TBlockImage* MarkerImage() const { return FItemExtra ? FItemExtra->Image.get() : nullptr; }

  // The text of a numbered marker ("3.", "c.", "iv."), empty for bullets and none.
  std::u16string MarkerText() const;

  std::unique_ptr<TSectionBase> CloneForPrint(TSectionList* document) const override;
  int LayoutSection(TCanvas& canvas, int x, int y, int xRef, int yRef, int availWidth, int availHeight,
                    int blockHeight, IndentManager& indents, int& maxWidth, int& cursor) override;
  bool SettleBottomMargin() override;

 protected:
  void DrawAfterContent(TCanvas& canvas, const TRect& clip) override;

 private:
  // What few items have: a marker font of their own, a marker picture.
  struct TItemExtra {
    std::unique_ptr<TMyFont> OwnFont;
    std::unique_ptr<TBlockImage> Image;
  };
  TItemExtra& ItemExtra();
  TBlockImage* OwnMarkerImage() const { return FItemExtra ? FItemExtra->Image.get() : nullptr; }

  const TMyFont* FMarkerFont = nullptr;
  std::unique_ptr<TItemExtra> FItemExtra;
};

// Marker numerals: a letter for 1 to 26 (higher numbers keep the last letter) and roman numerals
// for 1 to 20 (higher numbers keep 20). Numbers below 1 are written in decimal.
std::u16string AlphaMarker(int n, bool upper);
std::u16string RomanMarker(int n, bool upper);

}  // namespace korva
