#include "layout/HorzLine.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "core/Attributes.h"
#include "core/CharCase.h"
#include "layout/IndentManager.h"
#include "layout/LayoutDump.h"
#include "layout/SectionList.h"
#include "platform/Canvas.h"
#include "style/Colors.h"
#include "style/Properties.h"

namespace korva {

namespace {
constexpr int MaxRuleSize = 20;
constexpr TColor RuleSilver = 0xC0C0C0;
}  // namespace

THorzLine::THorzLine(TSectionList* document, TProperties& props, const TAttributeList* attributes)
    : TSectionBase(document) {
  if (attributes) {
    if (TAttribute* a = attributes->Find(syAlign)) {
      std::string v = LowerCase(a->Text());
      Align = v == "left" ? 1 : v == "right" ? 3 : 2;
    }
    if (TAttribute* a = attributes->Find(syWidth); a && a->Value() > 0) {
      if (a->Text().find('%') == std::string::npos)
        props.SetFromAttribute(TPropValue(std::to_string(a->Value()) + "px"), piWidth);
      else if (a->Value() <= 100)
        props.SetFromAttribute(TPropValue(std::to_string(a->Value()) + "%"), piWidth);
    }
    if (TAttribute* a = attributes->Find(sySize); a && a->Value() >= 1 && a->Value() <= MaxRuleSize)
      VSize = a->Value();
    if (TAttribute* a = attributes->Find(syColor)) {
      TColor c = clNone;
      if (ParseColor(a->Text(), false, c)) props.SetFromAttribute(TPropValue(unsigned(c)), piColor);
    }
    NoShade = attributes->Find(syNoshade) != nullptr;
  }
  props.SetFromAttribute(TPropValue(std::to_string(VSize) + "px"), piHeight);
  TColor c = props.GetSpecifiedColor();
  if (c != clNone) Color = c;
  if (props.FLocalFlags[piTextAlign]) {
    const TPropValue& v = props.Value(piTextAlign);
    if (v.TextIs("left")) Align = 1;
    else if (v.TextIs("right")) Align = 3;
    else if (v.TextIs("center")) Align = 2;
  }
}

THorzLine::THorzLine(TSectionList* document, const THorzLine& source)
    : TSectionBase(document, source),
      VSize(source.VSize),
      Color(source.Color),
      Align(source.Align),
      NoShade(source.NoShade) {}

std::unique_ptr<TSectionBase> THorzLine::CloneForPrint(TSectionList* document) const {
  return std::make_unique<THorzLine>(document, *this);
}

void THorzLine::AppendSelectedText(std::u16string& text) { text += u"\r\n"; }

int THorzLine::LayoutSection(TCanvas&, int x, int y, int, int, int availWidth, int, int, IndentManager& indents,
                             int& maxWidth, int& cursor) {
  FFirstChar = cursor;
  FLayoutX = x;
  FLeft = std::max(x, indents.LeftEdgeAt(y));
  FWidth = std::max(0, std::min(x + availWidth - FLeft, indents.RightEdgeAt(y) - FLeft));
  maxWidth = FWidth;
  FBoxHeight = VSize;
  FDocY = y;
  return VSize;
}

int THorzLine::Draw(TCanvas& canvas, const TRect& clip, IndentManager&, int x, int, int) {
  const int y = FDocY, h = VSize;
  if (y + h <= clip.Top || y >= clip.Bottom || FWidth <= 0) return y + h;
  TSectionList* doc = FDocument;
  if (doc && doc->FPrinting && y >= doc->FPageBottom) return y + h;
  const int x1 = FLeft + (x - FLayoutX), x2 = x1 + FWidth - 1;
  if (Color != clNone) {
    canvas.FillRect(TRect{x1, y, x2 + 1, y + h}, Color);
    return y + h;
  }
  TColor light, dark;
  if (NoShade) {
    light = dark = clBlack;
  } else {
    const bool printing = doc && doc->FPrinting;
    const bool whiteBack = doc && ColorToRGB(doc->BackgroundColor()) == 0xFFFFFF;
    light = printing || whiteBack ? RuleSilver : clBtnHighlight;
    dark = clBtnShadow;
  }
  TPen pen = canvas.Pen();
  pen.Width = 1;
  pen.Style = TPenStyle::Solid;
  pen.Color = light;
  canvas.SetPen(pen);
  canvas.MoveTo(x2, y);
  canvas.LineTo(x2, y + h - 1);
  canvas.LineTo(x1, y + h - 1);
  pen.Color = dark;
  canvas.SetPen(pen);
  canvas.LineTo(x1, y);
  canvas.LineTo(x2, y);
  return y + h;
}

void THorzLine::Dump(TDumpWriter& out, int depth) const {
  out.Line(depth) << "rule";
  out.Box(FLeft, FDocY, FWidth, FBoxHeight);
  if (Color != clNone) {
    const unsigned c = unsigned(ColorToRGB(Color));
    char buf[24];
    std::snprintf(buf, sizeof buf, " color=#%02X%02X%02X", c & 0xFFu, (c >> 8) & 0xFFu, (c >> 16) & 0xFFu);
    out << buf;
  }
  if (NoShade) out << " noshade";
}

}  // namespace korva
