#include "layout/FloatingObj.h"
#include "core/CharCase.h"

#include <algorithm>
#include <cstdint>
#include <cctype>
#include <cstdlib>

#include "core/Attributes.h"
#include "layout/IndentManager.h"
#include "layout/LayoutDump.h"
#include "platform/Canvas.h"
#include "style/Units.h"

namespace korva {

namespace {

int ClampExtent(std::int64_t v) { return int(std::clamp<std::int64_t>(v, -MaxObjectExtent, MaxObjectExtent)); }

// a * b / c rounded to nearest, for non-negative a, b and positive c; 0 when c is not positive.
int ScaleRound(int a, int b, int c) {
  if (c <= 0 || a <= 0 || b <= 0) return 0;
  const std::int64_t p = std::int64_t(a) * b;
  return ClampExtent((p + c / 2) / c);
}

int AttrSpace(const std::string& text) {
  int v = 0;
  bool percent = false;
  ParseObjectLength(text, v, percent);
  return int(std::min<std::int64_t>(std::llabs(std::int64_t(v)), MaxObjectAttrSpace));
}

}  // namespace

bool ParseObjectLength(const std::string& text, int& value, bool& percent) {
  percent = text.find('%') != std::string::npos;
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::int64_t v = 0;
  bool digits = false;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    digits = true;
    v = std::min<std::int64_t>(v * 10 + (text[i] - '0'), std::int64_t(1) << 40);
  }
  value = ClampExtent(negative ? -v : v);
  return digits;
}

void DrawWordWrapped(TCanvas& canvas, const TRect& area, std::u16string_view text, const TPlatformFontPtr& font) {
  if (text.empty() || area.IsEmpty()) return;
  canvas.SaveState();
  canvas.IntersectClipRect(area);
  canvas.SetFont(font);
  canvas.SetTextCharacterExtra(0);
  canvas.SetTextJustification(0, 0);
  canvas.SetTextAlign(TA_TOP | TA_LEFT);
  canvas.SetBkMode(TBkMode::Transparent);
  const int lineHeight = canvas.TextExtent(u"A").cy;
  const int room = area.Width();
  std::size_t pos = 0;
  auto skipBlanks = [&] {
    while (pos < text.size() && text[pos] == u' ') ++pos;
  };
  auto wordEnd = [&](std::size_t from) {
    std::size_t e = text.find(u' ', from);
    return e == std::u16string_view::npos ? text.size() : e;
  };
  skipBlanks();
  for (int y = area.Top; pos < text.size() && lineHeight > 0 && y + lineHeight <= area.Bottom; y += lineHeight) {
    std::size_t end = wordEnd(pos);
    for (;;) {
      std::size_t next = end;
      while (next < text.size() && text[next] == u' ') ++next;
      if (next >= text.size()) break;
      const std::size_t nextEnd = wordEnd(next);
      if (canvas.TextExtent(text.substr(pos, nextEnd - pos)).cx > room) break;
      end = nextEnd;
    }
    canvas.TextOut(area.Left, y, text.substr(pos, end - pos));
    pos = end;
    skipBlanks();
  }
  canvas.RestoreState();
}

const char* PlacementName(TAlignCode placement) {
  switch (placement) {
    case acTop: return "top";
    case acMiddle: return "middle";
    case acBaseline: return "baseline";
    case acBottom: return "bottom";
    case acLeft: return "left";
    case acRight: return "right";
    case acSub: return "sub";
    case acSuper: return "super";
    default: return "none";
  }
}

TFloatingObj::TFloatingObj(TSectionList* document, const TFloatingObj& s)
    : TTextObject(s.FTextIndex),
      Document(document),
      CodePage(s.CodePage),
      DrawnTop(s.DrawnTop),
      DrawnLeft(s.DrawnLeft),
      HintText(s.HintText),
      AltText(s.AltText),
      Link(s.Link),
      BoxHeight(s.BoxHeight),
      BoxWidth(s.BoxWidth),
      Placement(s.Placement),
      WidthInPercent(s.WidthInPercent),
      HeightInPercent(s.HeightInPercent),
      SizeSettled(s.SizeSettled),
      SpaceLeft(s.SpaceLeft),
      SpaceRight(s.SpaceRight),
      WantedWidth(s.WantedWidth),
      SpaceTop(s.SpaceTop),
      SpaceBottom(s.SpaceBottom),
      WantedHeight(s.WantedHeight) {
  FX = s.FX;
  FY = s.FY;
}

TFloatingObj::~TFloatingObj() {
  // A name outlives the object only when the object goes before its document's names do (a
  // section dropped after a failed layout).
  if (FRegistered && Document) Document->IDNameList().RemoveObject(this);
}

void TFloatingObj::ApplyCommonAttributes(const TAttributeList& attributes, bool panel) {
  bool hspace = false;
  for (int i = 0; i < attributes.Count(); ++i) {
    const TAttribute& a = *attributes[i];
    switch (a.Which()) {
      case syName:
        if (!panel && !a.Text().empty()) {
          Document->IDNameList().AddObject(a.Text(), this);
          FRegistered = true;
        }
        break;
      case syAlign: {
        std::string v = StyleTrim(a.Text());
        for (char& c : v) c = char(korva::UpCase(static_cast<unsigned char>(c)));
        if (v == "TOP") Placement = acTop;
        else if (v == "MIDDLE" || v == "ABSMIDDLE") Placement = acMiddle;
        else if (v == "LEFT") Placement = acLeft;
        else if (v == "RIGHT") Placement = acRight;
        break;
      }
      case syWidth:
      case syHeight: {
        int v = 0;
        bool percent = false;
        if (!ParseObjectLength(a.Text(), v, percent)) break;
        const bool width = a.Which() == syWidth;
        // Panels clamp a percentage; images ignore one out of range.
        if (percent && panel) v = std::clamp(v, 1, 100);
        if (percent) {
          if (v >= 1 && v <= 100) SetWanted(width, v, true);
        } else {
          // A negative width means nothing; a height is at least 1.
          SetWanted(width, width ? std::max(v, 0) : std::max(v, 1), false);
        }
        break;
      }
      case syHspace:
        SpaceLeft = SpaceRight = AttrSpace(a.Text());
        hspace = true;
        break;
      case syVspace:
        SpaceTop = SpaceBottom = AttrSpace(a.Text());
        break;
      default:
        break;
    }
  }
  if (const std::string& id = attributes.TheID(); !id.empty()) {
    Document->IDNameList().AddObject(id, this);
    FRegistered = true;
  }
  if (!hspace) SpaceLeft = SpaceRight = IsFloating() ? 3 : 0;
}

void TFloatingObj::ApplyAlignStyle(const TProperties& props, bool sideSpaceRule) {
  TAlignCode code = acNone;
  if (props.GetVertAlign(code)) Placement = code;
  if (props.GetFloatMode(code) && (code == acLeft || code == acRight)) {
    Placement = code;
    if (sideSpaceRule && SpaceRight == 0) SpaceLeft = SpaceRight = 3;
  }
}

void TFloatingObj::ApplySizeStyle(const TProperties& props) {
  TVMarginArray margins;
  props.GetVerticalBox(margins);
  TBoxValues box{};
  // Percent margins have nothing to refer to before layout; they count as 0.
  ResolveInlineBox(margins, 0, 0, props.FEmPixels, props.FExPixels, box);
  if (box[piMarginTop] != NotSetValue) SpaceTop = ClampExtent(box[piMarginTop]);
  if (box[piMarginRight] != NotSetValue) SpaceRight = ClampExtent(box[piMarginRight]);
  if (box[piMarginBottom] != NotSetValue) SpaceBottom = ClampExtent(box[piMarginBottom]);
  if (box[piMarginLeft] != NotSetValue) SpaceLeft = ClampExtent(box[piMarginLeft]);

  for (int i : {piWidth, piHeight}) {
    const TPropValue& v = props.Value(i);
    const bool width = i == piWidth;
    if (v.IsEmpty() || (v.IsInt() && v.Int() == NotSetValue)) continue;
    if (v.IsText() && StyleLower(StyleTrim(v.Text())) == "auto") {
      SetWanted(width, 0, false);
    } else if (v.IsText() && v.Text().find('%') != std::string::npos) {
      double n = 0;
      std::string unit;
      SplitNumberUnit(StyleTrim(v.Text()), n, unit);
      const int wanted = std::clamp(RoundHalfEven(n), 0, MaxObjectPercent);
      SetWanted(width, wanted, wanted > 0);
    } else if (box[i] != NotSetValue && box[i] != AutoValue) {
      SetWanted(width, std::clamp(box[i], 0, MaxObjectExtent), false);
    }
  }
}

void TFloatingObj::SetWanted(bool width, int value, bool percent) {
  value = std::clamp(value, 0, MaxObjectExtent);
  if (width) {
    WantedWidth = value;
    WidthInPercent = percent;
  } else {
    WantedHeight = value;
    HeightInPercent = percent;
  }
}

void TFloatingObj::DisplaySize(int naturalW, int naturalH, int availHeight, int availWidth, int& width,
                               int& height) {
  availWidth = std::max(availWidth, 0);
  availHeight = std::max(availHeight, 0);
  if (WidthInPercent) {
    width = ScaleRound(availWidth, WantedWidth, 100);
    if (HeightInPercent)
      height = ScaleRound(availHeight, WantedHeight, 100);
    else if (WantedHeight > 0)
      height = WantedHeight;
    else
      height = ScaleRound(width, naturalH, naturalW);
  } else if (HeightInPercent) {
    height = ScaleRound(availHeight, WantedHeight, 100);
    width = WantedWidth > 0 ? WantedWidth : ScaleRound(height, naturalW, naturalH);
  } else {
    if (WantedWidth > 0 && WantedHeight > 0) {
      width = WantedWidth;
      height = WantedHeight;
    } else if (WantedHeight > 0) {
      height = WantedHeight;
      width = ScaleRound(height, naturalW, naturalH);
    } else if (WantedWidth > 0) {
      width = WantedWidth;
      height = ScaleRound(width, naturalH, naturalW);
    } else {
      width = naturalW;
      height = naturalH;
    }
    SizeSettled = true;
  }
  width = std::clamp(width, 0, MaxObjectExtent);
  height = std::clamp(height, 0, MaxObjectExtent);
}

std::unique_ptr<TTextObject> TFloatingObj::CloneObjectForPrint(TSectionList* document) const {
  return CloneForPrint(document);
}

void TFloatingObj::PlaceFloat(IndentManager& indents, int y) {
  const int x = indents.PlaceFloatImage(y, Placement == acRight, TotalWidth(), SpaceLeft, TotalHeight());
  FX = indents.LeftLimit + x;
  FY = y + SpaceTop;
}

int TFloatingObj::BoxTopFor(const TCanvas& canvas, int baselineY, int topY) const {
  int height = 0, descent = 0;
  if (const TPlatformFontPtr& font = canvas.Font()) {
    height = font->Metrics().Height;
    descent = font->Metrics().Descent;
  }
  switch (Placement) {
    case acTop:
    case acLeft:
    case acRight:
      return topY + SpaceTop;
    case acMiddle:
      return baselineY + descent - height / 2 - (BoxHeight + SpaceBottom - SpaceTop) / 2;
    case acSub:
      return baselineY - BoxHeight - SpaceBottom + descent / 2 + 1;
    case acSuper:
      return baselineY - BoxHeight - SpaceBottom - height / 3;
    default:
      return baselineY - BoxHeight - SpaceBottom;
  }
}

void TFloatingObj::DumpHead(TDumpWriter& out, int depth, const char* kind) const {
  out.Line(depth) << kind;
  out.Box(FX, FY, BoxWidth, BoxHeight);
  out << " align=" << PlacementName(Placement);
  if (SpaceLeft || SpaceRight || SpaceTop || SpaceBottom) {
    out << " space=" << SpaceLeft << "," << SpaceTop << "," << SpaceRight << "," << SpaceBottom;
  }
}

void TFloatingObj::Dump(TDumpWriter& out, int depth) const { DumpHead(out, depth, "object"); }

}  // namespace korva
