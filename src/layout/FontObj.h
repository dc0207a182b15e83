// Font runs of a text section: each run starts at a character index and holds the font (made
// once per document), the element's title and, for link text, the link with its four state
// fonts and its keyboard stop.
#pragma once

#include <memory>
#include <string>

#include "core/FreeList.h"
#include "core/UrlTarget.h"
#include "layout/LayoutHost.h"
#include "layout/SectionBase.h"
#include "style/MyFont.h"

namespace korva {

class TSection;
class TProperties;
struct TDocFont;

// Vertical shift of a run.
enum : int { ssNone = 0, ssSub = 8, ssSuper = 9 };

// What few runs have: an element title, or a link with its state fonts and keyboard stop. Kept
// apart so that a plain run stays small.
struct TRunExtra {
  std::string Title;
  TUrlTarget UrlTarget;
  std::shared_ptr<const TFontInfoArray> LinkFonts;  // shared by the runs of links styled alike
  std::unique_ptr<TNativeControl> TabControl;       // keyboard stop of the link's first run
  int YValue = 0;                                   // y of the link's line, for scrolling to it
};

class TFontObj : public TLinkRun {
 public:
  TFontObj(TSection* section, int pos, const TProperties& props);
  // The copy for another section (printing): no keyboard stop, not in any link list.
  TFontObj(TSection* section, const TFontObj& source);
  ~TFontObj() override;
  TFontObj(const TFontObj&) = delete;
  TFontObj& operator=(const TFontObj&) = delete;

  TSection* FSection;
  int Pos;  // index of the run's first character
  int SScript = ssNone;
  // Measured from the font whenever it changes.
  int FHeight = 0, FDescent = 0, FMaxCharWidth = 0, FOverhang = 0;
  bool FVisited = false, FHover = false, FFocused = false;

  bool IsLink() const { return FExtra && !FExtra->UrlTarget.Url().empty(); }
  const TUrlTarget& UrlTarget() const { return Info().UrlTarget; }
  const std::string& Title() const { return Info().Title; }
  void SetTitle(const std::string& title);
  TNativeControl* TabControl() const { return Info().TabControl.get(); }
  int YValue() const { return Info().YValue; }
  void SetYValue(int y) {
    if (FExtra) FExtra->YValue = y;
  }
  const TMyFont& Font() const { return *FFont; }
  const TPlatformFont& Handle() const { return *FHandle; }
  int CharExtra() const { return FFont->CharExtra; }

  // Takes the font (and the vertical shift) of a property set.
  void SetFontFrom(const TProperties& props);
  // Makes the run a link run (a copy of the link, its state fonts, the document's link list and,
  // with `tabStop`, a keyboard stop) or a plain run again.
  void MakeLink(const TUrlTarget& link, const TProperties& props, bool tabStop);
  void ClearLink();

  int LinkID() const override { return UrlTarget().ID(); }
  void SetHover(bool on) override;
  void SetVisited(bool on);
  // Keyboard focus on the link (its stop reports it): every run of the link is marked, and the
  // document scrolls the link into view; losing it clears the marks and repaints.
  void SetFocused(bool on);

 private:
  const TRunExtra& Info() const;
  TRunExtra& Extra();
  void DropExtraIfUnused();
  void TakeLinkFonts(const TProperties& props);
  void DropTabControl();
  void SelectLinkFont();
  void UseFont(const TDocFont& font);
  const TMyFont* FFont = nullptr;
  const TPlatformFont* FHandle = nullptr;
  std::unique_ptr<TRunExtra> FExtra;
  bool FInLinkList = false;
};

class TFontList : public TFreeList<TFontObj> {
 public:
  // The run holding a character index (the last run starting at or before it); its list index
  // in `runIndex`. Null for an empty list.
  TFontObj* GetFontObjAt(int index, int* runIndex = nullptr) const;
  // Characters from index to the start of the next run, or to `length`.
  int GetFontCountAt(int index, int length) const;
  const TMyFont& GetFontAt(int index, int& overhang) const;
  void ShrinkToFit() { FItems.shrink_to_fit(); }
};

}  // namespace korva
