// Objects that sit in the text flow like one large character, or float to a margin: images
// (ImageObj.h) and host panels (PanelObj.h). This is what they share: size and spacing from
// attributes and style, the display size rules, the vertical position by alignment, and the
// deferred drawing of floats.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/IDNameList.h"
#include "core/UrlTarget.h"
#include "platform/Font.h"
#include "layout/SectionList.h"
#include "layout/TextObject.h"
#include "style/Properties.h"

namespace korva {

class TAttributeList;
class TCanvas;
class TDumpWriter;
class IndentManager;

// Side and vertical spaces given by HSPACE / VSPACE are cut to this.
constexpr int MaxObjectAttrSpace = 40;
// Wanted sizes, display sizes and spaces are kept within this either way, so that sums of them
// stay far from overflowing.
constexpr int MaxObjectExtent = 1000000;
// A percentage size from a style sheet is cut to this.
constexpr int MaxObjectPercent = 1000;

// The object is its own view in the text of its section: where layout put it (X, Y: the box,
// border included, spaces not, set by the text section for objects in a line and by PlaceFloat
// for floats; the layout dump shows it) and the index of its placeholder are kept there.
class TFloatingObj : public TTextObject {
 public:
  TFloatingObj(TSectionList* document, int textIndex) : TTextObject(textIndex), Document(document) {}
  // The copy for another document (printing): sizes, spaces, alignment and texts.
  TFloatingObj(TSectionList* document, const TFloatingObj& source);
  ~TFloatingObj() override;
  TFloatingObj(const TFloatingObj&) = delete;
  TFloatingObj& operator=(const TFloatingObj&) = delete;

  TSectionList* Document;
  unsigned CodePage = 1252;  // of the texts below, as the document was read
  // Where the box (inside the link border) was last drawn, in document coordinates.
  int DrawnTop = 0, DrawnLeft = 0;
  // Pages repeat these texts for many objects: each is held once.
  TSharedText HintText;  // TITLE, else the alt text (in CodePage)
  TSharedText AltText;
  TUrlTarget Link;  // the link the object stands in (empty outside links)

  // Sizes and spaces are kept within MaxObjectExtent (the box within it plus a 2-pixel border),
  // so they are held in bits, signed like the ints they stand for: the object's own fields take
  // 24 bytes.
  // The box, with the 1-pixel link border on each side when there is one; without spaces.
  std::int64_t BoxHeight : 22 = 0;
  std::int64_t BoxWidth : 22 = 0;
  TAlignCode Placement : 5 = acBottom;
  bool WidthInPercent : 1 = false;
  bool HeightInPercent : 1 = false;
  bool SizeSettled : 1 = false;  // the display size is final

 private:
  bool FRegistered : 1 = false;  // NAME or id put it in the document's id list

 public:
  std::int64_t SpaceLeft : 21 = 0;
  std::int64_t SpaceRight : 21 = 0;
  // From attributes or style, in pixels or percent; 0 = not given.
  std::int64_t WantedWidth : 21 = 0;
  std::int64_t SpaceTop : 21 = 0;
  std::int64_t SpaceBottom : 21 = 0;
  std::int64_t WantedHeight : 21 = 0;

  // The vertical position used when the object is the target of a name or id.
  int DocumentY() override { return DrawnTop; }

  // As an object in the text: sized for the section's usable width (images in a link get its
  // border), drawn where layout put it.
  void SizeFor(TCanvas& canvas, int usableWidth) override { ComputeSize(canvas, 0, usableWidth, !Link.Url().empty()); }
  int ObjWidth() const override { return int(BoxWidth); }
  int ObjHeight() const override { return int(BoxHeight); }
  int HSpaceL() const override { return int(SpaceLeft); }
  int HSpaceR() const override { return int(SpaceRight); }
  int VSpaceT() const override { return int(SpaceTop); }
  int VSpaceB() const override { return int(SpaceBottom); }
  int FloatKind() const override { return Placement == acLeft ? 1 : Placement == acRight ? 2 : 0; }
  TAlignCode VertAlign() const override { return Placement; }
  bool PercentSized() const override { return WidthInPercent; }
  // Layout placed the box by the line's own metrics; the canvas's font may differ.
  void DrawObj(TCanvas& canvas, int dx, int dy) override { DrawAt(canvas, FX + dx, FY + dy, FLinkFocused); }
  TFloatingObj* AsImage() override { return this; }
  std::unique_ptr<TTextObject> CloneObjectForPrint(TSectionList* document) const override;
  void DumpObj(TDumpWriter& out, int depth) const override { Dump(out, depth); }
  // Computes the display size for the available height and width; inLink tells whether the
  // object lies inside a link (images then get a border).
  virtual void ComputeSize(TCanvas& canvas, int availHeight, int availWidth, bool inLink) = 0;
  // Draws the object with its box's left edge at x (left space already added); baselineY and
  // topY are those of its line (floats: topY is the top of their space). focused: the object's
  // link or form control has the keyboard focus.
  void DrawObject(TCanvas& canvas, int x, int baselineY, int topY, bool focused) {
    DrawAt(canvas, x, BoxTopFor(canvas, baselineY, topY), focused);
  }
  // The same with the box's top-left given (where layout placed it, border included).
  virtual void DrawAt(TCanvas& canvas, int x, int y, bool focused) = 0;
  virtual std::unique_ptr<TFloatingObj> CloneForPrint(TSectionList* document) const = 0;
  virtual bool IsPanel() const { return false; }
  // The layout dump: "<kind> x,y WxH" with the placed box, then the object's details.
  virtual void Dump(TDumpWriter& out, int depth) const;

  bool IsFloating() const { return Placement == acLeft || Placement == acRight; }
  // The box with its spaces.
  int TotalWidth() const { return int(BoxWidth + SpaceLeft + SpaceRight); }
  int TotalHeight() const { return int(BoxHeight + SpaceTop + SpaceBottom); }
  // Records a floating object at y with the indent manager and remembers where it went.
  void PlaceFloat(IndentManager& indents, int y);
  // The top of the box for a line with the given baseline and top, by alignment: top and floats
  // hang from the line's top (plus the top space); middle centres on the current font's middle;
  // baseline and bottom stand on the baseline (above the bottom space); sub and super stand on
  // it shifted as text of those kinds is (down by half the descent plus 1, up by a third of the
  // font height). Font metrics are those of the canvas's font.
  int BoxTopFor(const TCanvas& canvas, int baselineY, int topY) const;

 protected:
  // ALIGN, WIDTH, HEIGHT, HSPACE and VSPACE, with the side-space default for floats; the id (and,
  // for images, NAME) registers the object with the document.
  void ApplyCommonAttributes(const TAttributeList& attributes, bool panel = false);
  // Steps 1, 2, 4 and 5 of the style rules (alignment, float, margins, width and height).
  void ApplyAlignStyle(const TProperties& props, bool sideSpaceRule);
  void ApplySizeStyle(const TProperties& props);
  // Sets the wanted width (or height) within [0, MaxObjectExtent], and whether it is a
  // percentage.
  void SetWanted(bool width, int value, bool percent);
  // The display size of an object whose natural size is naturalW x naturalH (wanted sizes,
  // percentages of the available size, aspect ratio rounded to nearest). Sets SizeSettled when
  // the result does not depend on the available size.
  void DisplaySize(int naturalW, int naturalH, int availHeight, int availWidth, int& width, int& height);
  // "<kind> x,y WxH align=..." of the dump.
  void DumpHead(TDumpWriter& out, int depth, const char* kind) const;
};

// The bits above hold every value the object keeps.
static_assert((1 << 20) - 1 >= MaxObjectExtent + 2, "sizes and spaces fit their bits");

// A floating object drawn after the flow, from the document's draw list.
class TFloatDrawItem : public TDrawItem {
 public:
  TFloatDrawItem(TFloatingObj* object, int x, int topY) : FObject(object), FX(x), FY(topY) {}
  void DrawItem(TCanvas& canvas) override { FObject->DrawObject(canvas, FX, FY, FY, false); }

 private:
  TFloatingObj* FObject;
  int FX, FY;
};

// Parses an HTML WIDTH / HEIGHT value: a leading integer and whether the text holds "%".
// False when there is no number.
bool ParseObjectLength(const std::string& text, int& value, bool& percent);

// Text in words separated by blanks, as many to a line as fit the area's width (a word too long
// for a line has it alone, clipped), one line per height of "A" in the font, from the area's
// top-left until the next line would not fit. In the canvas's text colour, transparent.
void DrawWordWrapped(TCanvas& canvas, const TRect& area, std::u16string_view text, const TPlatformFontPtr& font);

// The alignment name used in the layout dump.
const char* PlacementName(TAlignCode placement);

}  // namespace korva
