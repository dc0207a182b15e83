// Style attribute text of any kind, then everything that reads a property set: getters, box
// resolution and font building.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/Font.h"
#include "style/Colors.h"
#include "style/Properties.h"
#include "style/StyleParser.h"
#include "style/Units.h"

using namespace korva;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  SetFixedFontMetrics(true);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  TProperties parent;
  parent.FTagName = "span";
  ParseInlineStyle(text, parent);
  TProperties p;
  p.InheritFrom(parent);
  p.Merge(parent);

  TColor c;
  ParseColor(text, size & 1, c);
  LengthToPixels(text, size & 2, 300, -1, 16, 8);
  FontSizeToPoints(text, 12.0);

  p.FEmPixels = 16;
  p.FExPixels = 8;
  std::string url;
  p.GetBackgroundImage(url);
  p.GetListStyleImage(url);
  TBackgroundPosArray pos;
  p.GetBackgroundPos(16, 8, pos);
  TAlignCode a;
  p.GetVertAlign(a);
  p.GetFloatMode(a);
  TClearCode cc;
  p.GetClear(cc);
  p.GetListStyleType();
  p.GetZIndex();
  p.GetLineHeight(20);
  bool percent;
  p.GetTextIndent(percent);
  TVMarginArray m;
  p.GetVerticalBox(m);
  TBoxValues r;
  int autos;
  bool ta, ba;
  ResolveBlockBox(m, 500, 400, 16, 8, r, autos);
  ResolveVerticalBox(m, 400, 16, 8, r, ta, ba);
  ResolveInlineBox(m, 200, 200, 16, 8, r);
  ResolveCellPadding(m, 16, 8, r);
  if (p.FValues[piFontSize].IsText()) p.FValues[piFontSize] = FontSizeToPoints(p.FValues[piFontSize].Text(), 12.0);
  p.BuildFont();
  return 0;
}
