#include "style/Properties.h"

#include <algorithm>
#include <unordered_map>

#include "platform/CodePage.h"
#include "platform/Font.h"
#include "style/Colors.h"
#include "style/StyleLimits.h"
#include "style/StyleState.h"
#include "style/Units.h"

namespace korva {

const std::array<std::string_view, PropCount> PropNames = {
    "font-family", "font-size", "font-style", "font-weight", "text-align", "text-decoration",
    "letter-spacing", "border-style", "color", "background-color", "border-color",
    "margin-top", "margin-right", "margin-bottom", "margin-left",
    "padding-top", "padding-right", "padding-bottom", "padding-left",
    "border-top-width", "border-right-width", "border-bottom-width", "border-left-width",
    "border-top-color", "border-right-color", "border-bottom-color", "border-left-color",
    "border-top-style", "border-right-style", "border-bottom-style", "border-left-style",
    "width", "height", "top", "left", "visibility", "line-height",
    "background-image", "background-position", "background-repeat", "background-attachment",
    "vertical-align", "position", "z-index", "list-style-type", "list-style-image", "float", "clear",
    "text-indent", "page-break-before", "page-break-after", "page-break-inside", "text-transform",
    "font-variant", "display"};

namespace {

struct TNameIndex {
  std::string_view Name;
  int Index;
};

const std::array<TNameIndex, PropCount>& SortedPropNames() {
  static const std::array<TNameIndex, PropCount> sorted = [] {
    std::array<TNameIndex, PropCount> a;
    for (int i = 0; i < PropCount; ++i) a[i] = {PropNames[i], i};
    std::sort(a.begin(), a.end(), [](const TNameIndex& x, const TNameIndex& y) { return x.Name < y.Name; });
    return a;
  }();
  return sorted;
}

// Properties a child takes from its parent (other than a span's child, which takes all but
// border-style).
constexpr bool IsInherited(int i) {
  return (i >= 0 && i <= 6) || i == 8 || i == 35 || i == 36 || i == 41 || i == 43 || i == 44 || i == 45 ||
         i == 48 || i == 52 || i == 53;
}

constexpr bool IsBoxSide(int i) { return i >= piMarginTop && i <= piLeft; }

TPropValue ColorValue(TColor c) { return TPropValue(int(c)); }

// Whether `word` is one of the space-separated words of `text`.
bool HasWord(std::string_view text, std::string_view word) {
  size_t pos = 0;
  while ((pos = text.find(word, pos)) != std::string_view::npos) {
    bool startOk = pos == 0 || text[pos - 1] == ' ';
    size_t end = pos + word.size();
    bool endOk = end == text.size() || text[end] == ' ';
    if (startOk && endOk) return true;
    pos = end;
  }
  return false;
}

bool WeightIsBold(const TPropValue& v) {
  if (v.IsText()) {
    if (v.Text().find("bold") != std::string::npos) return true;
    int n;
    return ReadWholeInt(v.Text(), n) && n > 599;
  }
  return v.IsNumber() && v.Number() > 599;
}

bool StyleIsItalic(const TPropValue& v) { return v.TextIs("italic") || v.TextIs("oblique"); }

int RealisedCharSet(int cs) {
  TStyleModuleState& state = StyleState();
  short& cached = state.RealisedCharSet[std::size_t(cs)];
  if (cached < 0) {
    TFontSpec spec;
    spec.Name = "Arial";
    spec.CharSet = std::uint8_t(cs);
    cached = short(TPlatformFont::Create(spec)->Metrics().CharSet);
  }
  return cached;
}

bool CodePageOfCharSet(int cs, int& codePage) {
  static constexpr int table[][2] = {{0, 1252},   {1, 0},     {2, 0},     {77, 2},    {128, 932},
                                     {129, 949},  {130, 1361}, {134, 936}, {136, 950}, {161, 1253},
                                     {162, 1254}, {163, 1258}, {177, 1255}, {178, 1256}, {186, 1257},
                                     {204, 1251}, {222, 874},  {238, 1250}, {255, 1}};
  for (const auto& row : table)
    if (row[0] == cs) {
      codePage = row[1];
      return true;
    }
  return false;
}

std::string GenericFace(std::string_view name) {
  std::string lower = StyleLower(name);
  if (lower == "serif") return "Times New Roman";
  if (lower == "monospace") return "Courier New";
  if (lower == "sans-serif") return "Arial";
  if (lower == "cursive") return "Lucida Handwriting";
  return std::string(name);
}

// A length value in pixels: text through LengthToPixels, a number other than NotSetValue as
// it is, anything else `notGiven`.
template <class V>
int ConvertLength(const V& v, int base, int defaultValue, int emSize, int exSize, int notGiven) {
  if (v.IsPercent())
    return RoundHalfEven(std::clamp(v.Percent() * base / 100.0, -double(MaxLengthPixels), double(MaxLengthPixels)));
  if (v.IsText()) return LengthToPixels(v.Text(), false, base, defaultValue, emSize, exSize);
  if (v.IsNumber()) {
    double n = v.Number();
    if (v.IsInt() && v.Int() == NotSetValue) return notGiven;
    if (v.IsInt()) return v.Int();
    return RoundHalfEven(std::clamp(n, -double(MaxLengthPixels), double(MaxLengthPixels)));
  }
  return notGiven;
}

template <class M>
int BorderWidth(const M& m, int side, int emSize, int exSize) {
  const auto& style = m[piBorderTopStyle + (side - piBorderTopWidth)];
  if (!style.IsInt() || style.Int() == bssNone) return 0;
  const auto& v = m[side];
  if (v.IsText()) {
    const std::string& t = v.Text();
    if (t == "thin") return 2;
    if (t == "medium") return 4;
    if (t == "thick") return 6;
    return LengthToPixels(t, false, 0, 4, emSize, exSize);
  }
  return ConvertLength(v, 0, 4, emSize, exSize, 4);
}

}  // namespace

bool PropIndexFromName(std::string_view name, int& index) {
  const auto& sorted = SortedPropNames();
  auto it = std::lower_bound(sorted.begin(), sorted.end(), name,
                             [](const TNameIndex& e, std::string_view n) { return e.Name < n; });
  if (it == sorted.end() || it->Name != name) return false;
  index = it->Index;
  return true;
}

// ---- construction and copying ----

TProperties::TProperties() {
  FSerial = ++StyleState().PropertySerial;
  for (int i = piMarginTop; i <= piLeft; ++i) FValues[i] = NotSetValue;
  FValues[piZIndex] = 0;
}

void TProperties::ResetAsNew() {
  // Every member but the serial, as the constructor and the member initialisers leave it.
  FTagName.clear();
  FClassName.clear();
  FIdName.clear();
  FPseudoClass.clear();
  FTitleText.clear();
  FInlineStyle.reset();
  FTextBackColor = clNone;
  FCharsetCode = DEFAULT_CHARSET;
  FCodePageNum = 0;
  FEmPixels = 0;
  FExPixels = 0;
  FHasLinkFonts = false;
  for (int i = 0; i < PropCount; ++i) {
    TPropValue& v = FValues[i];
    if (IsBoxSide(i)) {
      if (!v.IsInt() || v.Int() != NotSetValue) v = NotSetValue;
    } else if (i == piZIndex) {
      if (!v.IsInt() || v.Int() != 0) v = 0;
    } else if (!v.IsEmpty()) {
      v.Clear();
    }
  }
  FLocalFlags.fill(false);
  FLinkFonts.reset();
  FCachedFont.reset();
  FHasOwnTitle = false;
  FSelfBloom = TSelectorBloom{};
  FBefore.reset();
  FAfter.reset();
  FOwnCharset = false;
  FOwnTextBack = false;
}

TProperties::~TProperties() = default;

void TProperties::Copy(const TProperties& source) {
  FValues = source.FValues;
  FCachedFont.reset();
}

void TProperties::CopyDefault(const TProperties& source) {
  Copy(source);
  SetCharsetCode(source.FCharsetCode);
  FCodePageNum = source.FCodePageNum == CP_UTF8 ? int(CP_UTF8) : FCodePageNum;
  FEmPixels = source.FEmPixels;
  FExPixels = source.FExPixels;
  FTagName = "default";
}

void TProperties::CopyRule(const TProperties& source) {
  FTagName = source.FTagName;
  FClassName = source.FClassName;
  FIdName = source.FIdName;
  FPseudoClass = source.FPseudoClass;
  FTitleText = source.FTitleText;
  FInlineStyle = source.FInlineStyle;
  FTextBackColor = source.FTextBackColor;
  FCharsetCode = source.FCharsetCode;
  FCodePageNum = source.FCodePageNum;
  FEmPixels = source.FEmPixels;
  FExPixels = source.FExPixels;
  FValues = source.FValues;
  FLocalFlags = source.FLocalFlags;
  FHasOwnTitle = source.FHasOwnTitle;
  FSelfBloom = source.FSelfBloom;
  FOwnCharset = source.FOwnCharset;
  FOwnTextBack = source.FOwnTextBack;
  FCachedFont.reset();
}

void TProperties::InheritFrom(const TProperties& parent) {
  const bool span = parent.FTagName == "span";
  for (int i = 0; i < PropCount; ++i) {
    TPropValue& v = FValues[i];
    // A new set already holds the reset values; assigning them again costs a copy each.
    if ((span && i != piBorderStyle) || IsInherited(i)) v = parent.FValues[i];
    else if (IsBoxSide(i)) {
      if (!v.IsInt() || v.Int() != NotSetValue) v = NotSetValue;
    } else if (!v.IsEmpty()) v.Clear();
  }
  FTextBackColor = parent.FTextBackColor;
  FCharsetCode = parent.FCharsetCode;
  FCodePageNum = parent.FCodePageNum;
  FTitleText = parent.FTitleText;
  FHasOwnTitle = false;
  FHasLinkFonts = parent.FHasLinkFonts;
  if (FHasLinkFonts) {
    if (!FLinkFonts) FLinkFonts = std::make_unique<TFontInfoArray>();
    *FLinkFonts = parent.FLinkFonts ? *parent.FLinkFonts : TFontInfoArray{};
  }
  FEmPixels = parent.FEmPixels;
  FExPixels = FEmPixels / 2;
  FLocalFlags.fill(false);
  FOwnCharset = false;
  FOwnTextBack = false;
  FCachedFont.reset();
  FBefore.reset();
  FAfter.reset();
}

// ---- assignment ----

void TProperties::SetFromText(int index, std::string_view text) {
  if (index < 0 || index >= PropCount) return;
  FCachedFont.reset();
  const bool colourIndex = index == piColor || index == piBackgroundColor || index == piBorderColor ||
                           (index >= piBorderTopColor && index <= piBorderLeftColor);
  if (text == "inherit" || text == "initial" || (colourIndex && text == "currentcolor")) {
    // Kept as the keyword; the cascade puts the parent's or the initial value in its place.
    FValues[index] = text;
    if (index == piBorderStyle)
      for (int i = piBorderTopStyle; i <= piBorderLeftStyle; ++i) FValues[i] = text;
    if (index == piBorderColor)
      for (int i = piBorderTopColor; i <= piBorderLeftColor; ++i) FValues[i] = text;
    return;
  }
  TColor c;
  switch (index) {
    case piBorderStyle:
      FValues[piBorderStyle] = text;
      for (int i = piBorderTopStyle; i <= piBorderLeftStyle; ++i) FValues[i] = text;
      break;
    case piColor:
      FValues[index] = ColorValue(ParseColor(text, false, c) ? c : clBlack);
      break;
    case piBackgroundColor:
      FValues[index] = ColorValue(ParseColor(text, false, c) ? c : clNone);
      break;
    case piBorderColor:
      if (ParseColor(text, false, c)) {
        FValues[piBorderColor] = ColorValue(c);
        for (int i = piBorderTopColor; i <= piBorderLeftColor; ++i) FValues[i] = ColorValue(c);
      }
      break;
    case piBorderTopColor: case piBorderRightColor: case piBorderBottomColor: case piBorderLeftColor:
      if (ParseColor(text, false, c)) FValues[index] = ColorValue(c);
      break;
    case piBorderTopStyle: case piBorderRightStyle: case piBorderBottomStyle: case piBorderLeftStyle:
      if (text != "none") FValues[piBorderStyle] = text;
      FValues[index] = text;
      break;
    case piVisibility:
      if (text == "visible") FValues[index] = int(viVisible);
      else if (text == "hidden") FValues[index] = int(viHidden);
      break;
    case piTextTransform:
      FValues[index] = text == "uppercase" ? int(txUpper) : text == "lowercase" ? int(txLower) : int(txNone);
      break;
    case piFontVariant:
      if (text == "small-caps" || text == "normal") FValues[index] = text;
      break;
    default:
      FValues[index] = text;
  }
}

void TProperties::AssignByName(std::string_view name, std::string_view text) {
  int index;
  if (PropIndexFromName(name, index)) SetFromText(index, text);
}

void TProperties::SetFromAttribute(const TPropValue& value, int index) {
  if (index < 0 || index >= PropCount || FLocalFlags[index]) return;
  FValues[index] = value;
  FLocalFlags[index] = true;
  FCachedFont.reset();
  if (FHasLinkFonts && FLinkFonts) {
    for (ThtFontInfo& info : FLinkFonts->Ar) {
      if (index == piFontFamily) info.Name = std::string(value.TextOrEmpty());
      else if (index == piFontSize)
        info.Size = value.IsText() ? FontSizeToPoints(value.Text(), info.Size) : value.Number();
      else if (index == piColor && value.IsNumber()) info.Color = TColor(value.IsInt() ? value.Int() : int(value.Number()));
    }
  }
}

void TProperties::SetCharsetCode(int cs) {
  if (cs < 0 || cs > 255) return;
  FCachedFont.reset();
  FOwnCharset = true;
  if (cs == 31) {  // ISO-8859-2 named by a META charset
    FCharsetCode = EASTEUROPE_CHARSET;
    FCodePageNum = 28592;
  } else {
    int realised = RealisedCharSet(cs);
    FCharsetCode = std::uint8_t(cs == DEFAULT_CHARSET ? DEFAULT_CHARSET : realised);
    int cp;
    if (CodePageOfCharSet(realised, cp)) FCodePageNum = cp;
  }
  if (FLinkFonts)
    for (ThtFontInfo& info : FLinkFonts->Ar) info.CharSet = FCharsetCode;
}

void TProperties::SetUtf8() {
  FCodePageNum = CP_UTF8;
  FCharsetCode = ANSI_CHARSET;
  FOwnCharset = true;
  FCachedFont.reset();
}

void TProperties::ApplyLinkFontChange(int index, const TPropValue& value) {
  for (ThtFontInfo& info : FLinkFonts->Ar) {
    switch (index) {
      case piFontFamily:
        if (value.IsText()) {
          std::string face = FirstInstalledFace(value.Text());
          if (!face.empty()) info.Name = face;
        }
        break;
      case piFontSize:
        if (value.IsText()) info.Size = FontSizeToPoints(value.Text(), info.Size);
        else if (value.IsNumber()) info.Size = value.Number();
        break;
      case piFontStyle:
        if (StyleIsItalic(value)) info.Style |= fsItalic;
        else if (value.TextIs("normal")) info.Style &= TFontStyles(~fsItalic);
        break;
      case piFontWeight:
        if (value.IsText() && value.Text().find("bold") != std::string::npos) info.Style |= fsBold;
        else if (value.IsText() && value.Text().find("normal") != std::string::npos) info.Style &= TFontStyles(~fsBold);
        else if (WeightIsBold(value)) info.Style |= fsBold;
        break;
      case piTextDecoration:
        if (value.IsText()) {
          if (HasWord(value.Text(), "underline")) info.Style |= fsUnderline;
          if (HasWord(value.Text(), "line-through")) info.Style |= fsStrikeOut;
          if (value.Text() == "none") info.Style &= TFontStyles(~(fsUnderline | fsStrikeOut));
        }
        break;
      case piLetterSpacing: info.LetterSpacing = value; break;
      case piColor: if (value.IsInt()) info.Color = TColor(value.Int()); break;
      case piBackgroundColor: if (value.IsInt()) info.BGColor = TColor(value.Int()); break;
      default: break;
    }
  }
}

bool TProperties::MergeTakes(int i, const TPropValue& v) {
  if (v.IsEmpty()) return false;
  if (IsBoxSide(i)) return v.IsText() || (v.IsInt() && v.Int() != NotSetValue);
  // Every set starts with the integer 0 here; a rule that did not name z-index must not reset
  // what an earlier rule gave (values written in a sheet are text).
  return !(i == piZIndex && v.IsInt() && v.Int() == 0);
}

void TProperties::MergeValues(const std::vector<std::pair<int, TPropValue>>& values) {
  if (values.empty()) return;
  const bool linkFonts = FHasLinkFonts && FLinkFonts;
  for (const auto& [i, v] : values) {
    FValues[std::size_t(i)] = v;
    FLocalFlags[std::size_t(i)] = true;
    if (linkFonts) ApplyLinkFontChange(i, v);
  }
  FCachedFont.reset();
}

std::vector<std::pair<int, TPropValue>> TProperties::MergeableValues() const {
  std::vector<std::pair<int, TPropValue>> r;
  for (int i = 0; i < PropCount; ++i)
    if (MergeTakes(i, FValues[std::size_t(i)])) r.emplace_back(i, FValues[std::size_t(i)]);
  return r;
}

void TProperties::Merge(const TProperties& source) {
  const bool linkFonts = FHasLinkFonts && FLinkFonts;
  for (int i = 0; i < PropCount; ++i) {
    const TPropValue& v = source.FValues[i];
    if (!MergeTakes(i, v)) continue;
    FValues[i] = v;
    FLocalFlags[i] = true;
    if (linkFonts) ApplyLinkFontChange(i, v);  // font and colour properties only
  }
  FCachedFont.reset();
}

// ---- getters ----

TColor TProperties::GetBackgroundColor() const {
  const TPropValue& v = FValues[piBackgroundColor];
  return v.IsInt() && FLocalFlags[piBackgroundColor] ? TColor(v.Int()) : clNone;
}

TColor TProperties::GetSpecifiedColor() const {
  const TPropValue& v = FValues[piColor];
  return v.IsInt() && FLocalFlags[piColor] ? TColor(v.Int()) : clNone;
}

void TProperties::SetTextBackColor() {
  const TPropValue& v = FValues[piBackgroundColor];
  if (v.IsInt() && FLocalFlags[piBackgroundColor]) {
    // The colour is part of the font: a font built before it was known is built again.
    if (FTextBackColor != TColor(v.Int())) FCachedFont.reset();
    FTextBackColor = TColor(v.Int());
    FOwnTextBack = true;
  }
}

bool TProperties::GetBackgroundImage(std::string& url) const {
  const TPropValue& v = FValues[piBackgroundImage];
  if (!v.IsText()) return false;
  if (v.Text() == "none") {
    url.clear();
    return true;
  }
  url = ParseUrlValue(v);
  return !url.empty();
}

void TProperties::GetBackgroundPos(int emSize, int exSize, TBackgroundPosArray& pos) const {
  pos[0] = TBackgroundPos{};
  pos[1] = TBackgroundPos{};
  const TPropValue& v = FValues[piBackgroundPosition];
  if (v.IsText()) {
    std::string_view text = StyleTrimView(v.Text());
    std::string_view items[2];
    int count = 1;
    size_t sp = text.find(' ');
    if (sp == std::string_view::npos) {
      items[0] = text;
    } else {
      items[0] = text.substr(0, sp);
      items[1] = StyleTrimView(text.substr(sp + 1));
      count = 2;
    }
    int slot = 0;        // where the next item goes
    int firstSlot = -1;  // where the first item went
    for (int i = 0; i < count; ++i) {
      std::string_view item = items[i];
      if (item == "top" || item == "bottom") {
        pos[1].PosType = item == "top" ? bpTop : bpBottom;
        pos[1].Value = 0;
        if (i == 0) {
          firstSlot = 1;
          slot = 0;
        }
        continue;
      }
      if (item == "left" || item == "right") {
        if (i == 1 && firstSlot == 0) pos[1] = pos[0];
        pos[0].PosType = item == "left" ? bpLeft : bpRight;
        pos[0].Value = 0;
        if (i == 0) {
          firstSlot = 0;
          slot = 1;
        }
        continue;
      }
      TBackgroundPos& p = pos[slot];
      if (item == "center") {
        p.PosType = bpCenter;
        p.Value = 0;
      } else {
        p.PosType = item.find('%') != std::string_view::npos ? bpPercent : bpDim;
        p.Value = LengthToPixels(item, false, 100, 0, emSize, exSize);
      }
      if (i == 0) firstSlot = slot;
      slot = 1;
    }
    if (count == 1) {
      TBackgroundPos& other = pos[firstSlot == 1 ? 0 : 1];
      other.PosType = bpCenter;
      other.Value = 0;
    }
  }
  const TPropValue& rep = FValues[piBackgroundRepeat];
  if (rep.TextIs("no-repeat")) pos[0].Repeat = pos[1].Repeat = false;
  else if (rep.TextIs("repeat-x")) pos[1].Repeat = false;
  else if (rep.TextIs("repeat-y")) pos[0].Repeat = false;
  bool fixed = FValues[piBackgroundAttachment].TextIs("fixed");
  pos[0].Fixed = pos[1].Fixed = fixed;
}

bool TProperties::GetVertAlign(TAlignCode& code) const {
  const TPropValue& v = FValues[piVerticalAlign];
  if (!v.IsText()) return false;
  const std::string& t = v.Text();
  if (t == "top" || t == "text-top") code = acTop;
  else if (t == "middle") code = acMiddle;
  else if (t == "baseline") code = acBaseline;
  else if (t == "bottom") code = acBottom;
  else if (t == "sub") code = acSub;
  else if (t == "super") code = acSuper;
  else return false;
  return true;
}

bool TProperties::GetFloatMode(TAlignCode& code) const {
  const TPropValue& v = FValues[piFloat];
  if (v.TextIs("left")) code = acLeft;
  else if (v.TextIs("right")) code = acRight;
  else if (v.TextIs("none")) code = acNone;
  else return false;
  return true;
}

bool TProperties::GetClear(TClearCode& code) const {
  const TPropValue& v = FValues[piClear];
  if (v.TextIs("left")) code = ccLeft;
  else if (v.TextIs("right")) code = ccRight;
  else if (v.TextIs("both")) code = ccBoth;
  else if (v.TextIs("none")) code = ccNone;
  else return false;
  return true;
}

TListStyleCode TProperties::GetListStyleType() const {
  static constexpr std::string_view names[] = {"blank",  "circle", "decimal",     "disc",        "lower-alpha",
                                               "lower-roman", "none", "square", "upper-alpha", "upper-roman"};
  const TPropValue& v = FValues[piListStyleType];
  if (!v.IsText()) return lsBlank;
  for (int i = 0; i < 10; ++i)
    if (v.Text() == names[i]) return TListStyleCode(i);
  return lsBlank;
}

bool TProperties::GetListStyleImage(std::string& url) const {
  url = ParseUrlValue(FValues[piListStyleImage]);
  return !url.empty();
}

TPositionCode TProperties::GetPositionMode() const {
  const TPropValue& v = FValues[piPosition];
  if (v.TextIs("absolute")) return posAbsolute;
  if (v.TextIs("relative")) return posRelative;
  return posStatic;
}

TVisibilityCode TProperties::GetVisibility() const {
  const TPropValue& v = FValues[piVisibility];
  return v.IsInt() && v.Int() == viHidden ? viHidden : viVisible;
}

int TProperties::GetZIndex() const {
  const TPropValue& v = FValues[piZIndex];
  if (v.IsInt()) return v.Int();
  if (v.IsReal()) return RoundHalfEven(v.Real());
  int n;
  if (v.IsText() && ReadWholeInt(v.Text(), n)) return std::clamp(n, -100000, 100000);
  return 0;
}

bool TProperties::DisplayNone() const { return FValues[piDisplay].TextIs("none"); }

int TProperties::GetLineHeight(int fontHeight) const {
  const TPropValue& v = FValues[piLineHeight];
  if (!v.IsText()) return -1;
  double n;
  if (ReadWholeNumber(v.Text(), n))
    return RoundHalfEven(std::clamp(n * fontHeight, -double(MaxLengthPixels), double(MaxLengthPixels)));
  return LengthToPixels(v.Text(), true, FEmPixels, -1, FEmPixels, FExPixels);
}

int TProperties::GetTextIndent(bool& percent) const {
  percent = false;
  const TPropValue& v = FValues[piTextIndent];
  if (!v.IsText()) return 0;
  if (v.Text().find('%') != std::string::npos) {
    percent = true;
    return LengthToPixels(v.Text(), true, 100, 0, FEmPixels, FExPixels);
  }
  return LengthToPixels(v.Text(), false, 0, 0, FEmPixels, FEmPixels);
}

TTextTransformCode TProperties::GetTextTransform() const {
  const TPropValue& v = FValues[piTextTransform];
  if (v.IsInt() && v.Int() >= txNone && v.Int() <= txLower) return TTextTransformCode(v.Int());
  return txNone;
}

std::string TProperties::GetFontVariant() const {
  const TPropValue& v = FValues[piFontVariant];
  return v.IsText() ? v.Text() : std::string("normal");
}

void TProperties::GetPageBreaks(bool& before, bool& after, bool& intact) const {
  before = FValues[piPageBreakBefore].TextIs("always");
  after = FValues[piPageBreakAfter].TextIs("always");
  intact = FValues[piPageBreakInside].TextIs("avoid");
}

TBorderStyleCode TProperties::GetBorderStyle() const {
  const TPropValue& v = FValues[piBorderStyle];
  return v.IsText() ? ParseBorderStyle(v.Text()) : bssNone;
}

bool TProperties::HasVisibleBorderStyle() const { return FValues[piBorderStyle].IsText(); }

void TProperties::GetVerticalBox(TVMarginArray& margins) const {
  for (int i = BoxFirst; i <= BoxLast; ++i) margins[i] = FValues[i];
  for (int i = piBorderTopStyle; i <= piBorderLeftStyle; ++i)
    margins[i] = int(FValues[i].IsText() ? ParseBorderStyle(FValues[i].Text()) : bssNone);
}

// ---- fonts ----

namespace {

std::string FindInstalledFace(std::string_view families) {
  size_t start = 0;
  while (start <= families.size()) {
    size_t comma = families.find(',', start);
    std::string_view item = families.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
    std::string name = GenericFace(StyleTrimView(item));
    if (!name.empty() && (name.front() == '"' || name.front() == '\'')) name.erase(0, 1);
    if (!name.empty() && (name.back() == '"' || name.back() == '\'')) name.pop_back();
    if (!name.empty() && FontFaceInstalled(name)) return name;
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return {};
}

struct TTextHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
};

}  // namespace

std::string FirstInstalledFace(std::string_view families) {
  // Every run of text asks for its family list; the installed faces do not change while the
  // program runs, so each list is resolved once (up to a bound, past which lists are resolved
  // every time).
  constexpr std::size_t MaxRemembered = 1024;
  static std::unordered_map<std::string, std::string, TTextHash, std::equal_to<>> resolved;
  if (auto it = resolved.find(families); it != resolved.end()) return it->second;
  std::string face = FindInstalledFace(families);
  if (resolved.size() < MaxRemembered) resolved.emplace(std::string(families), face);
  return face;
}

void TProperties::GetFontInfo(ThtFontInfo& info) const {
  info.BGColor = FTextBackColor;
  const TPropValue& color = FValues[piColor];
  info.Color = color.IsInt() ? TColor(color.Int()) : clBlack;
  info.Style = 0;
  if (WeightIsBold(FValues[piFontWeight])) info.Style |= fsBold;
  if (StyleIsItalic(FValues[piFontStyle])) info.Style |= fsItalic;
  const TPropValue& deco = FValues[piTextDecoration];
  if (deco.IsText()) {
    if (HasWord(deco.Text(), "underline")) info.Style |= fsUnderline;
    if (HasWord(deco.Text(), "line-through")) info.Style |= fsStrikeOut;
  }
  const TPropValue& size = FValues[piFontSize];
  if (size.IsNumber()) info.Size = size.Number();
  else if (size.IsText()) info.Size = FontSizeToPoints(size.Text(), DefaultFontSize());
  else info.Size = DefaultFontSize();
  info.CharSet = FCharsetCode;
  info.LetterSpacing = FValues[piLetterSpacing];
  const TPropValue& family = FValues[piFontFamily];
  info.Name = family.IsText() ? FirstInstalledFace(family.Text()) : std::string();
}

std::unique_ptr<TMyFont> TProperties::BuildFont() {
  if (!FCachedFont) {
    ThtFontInfo info;
    GetFontInfo(info);
    auto font = std::make_unique<TMyFont>();
    int em = 0;
    font->SetFromInfo(info, &em);
    FEmPixels = em;
    FExPixels = em / 2;
    FCachedFont = std::move(font);
  }
  auto copy = std::make_unique<TMyFont>();
  copy->Assign(*FCachedFont);
  return copy;
}

void TProperties::GetLinkFontInfo(TFontInfoArray& fonts) const {
  if (FLinkFonts) fonts = *FLinkFonts;
}

// ---- free functions ----

std::string ParseUrlText(std::string_view text) {
  size_t at = text.find("url(");
  if (at == std::string_view::npos) return {};
  std::string_view rest = text.substr(at + 4);
  size_t close = rest.find(')');
  std::string url(rest.substr(0, close));
  if (url.size() > 2 && (url.front() == '"' || url.front() == '\'')) {
    url.erase(0, 1);
    url.pop_back();
  }
  return url;
}

std::string ParseUrlValue(const TPropValue& value) {
  return value.IsText() ? ParseUrlText(value.Text()) : std::string();
}

TBorderStyleCode ParseBorderStyle(std::string_view text) {
  static constexpr std::string_view names[] = {"none",   "solid",  "inset",  "outset", "groove",
                                               "ridge", "dashed", "dotted", "double"};
  for (int i = 0; i < 9; ++i)
    if (text == names[i]) return TBorderStyleCode(i);
  return bssNone;
}

TAlignCode ParseAlignment(std::string_view raw) {
  std::string t = StyleLower(raw);
  if (t == "top") return acTop;
  if (t == "middle" || t == "absmiddle" || t == "center") return acMiddle;
  if (t == "left") return acLeft;
  if (t == "right") return acRight;
  if (t == "bottom") return acBottom;
  if (t == "baseline") return acBaseline;
  if (t == "justify") return acJustify;
  return acNone;
}

namespace {

template <class M>
void ResolveBlockBoxOf(const M& m, int baseWidth, int baseHeight, int emSize, int exSize, TBoxValues& r,
                       int& autoCount) {
  autoCount = 0;
  for (int i : {piBackgroundColor, piBorderColor}) r[i] = m[i].IsInt() ? m[i].Int() : int(clNone);
  for (int i : {piMarginRight, piMarginLeft}) {
    if (m[i].TextIs("auto")) {
      r[i] = AutoValue;
      ++autoCount;
    } else {
      r[i] = ConvertLength(m[i], baseWidth, 0, emSize, exSize, 0);
    }
  }
  for (int i = piPaddingTop; i <= piPaddingLeft; ++i) r[i] = ConvertLength(m[i], baseWidth, 0, emSize, exSize, 0);
  for (int i = piBorderTopWidth; i <= piBorderLeftWidth; ++i) r[i] = BorderWidth(m, i, emSize, exSize);
  r[piHeight] = ConvertLength(m[piHeight], baseHeight, 0, emSize, exSize, 0);
  if (m[piHeight].IsPercent() || (m[piHeight].IsText() && m[piHeight].Text().find('%') != std::string::npos))
    r[piHeight] -= r[piPaddingTop] + r[piPaddingBottom] + r[piBorderTopWidth] + r[piBorderBottomWidth];
  r[piWidth] = ConvertLength(m[piWidth], baseWidth, AutoValue, emSize, exSize, AutoValue);
  if (r[piWidth] == AutoValue) ++autoCount;
  r[piTop] = ConvertLength(m[piTop], baseWidth, AutoValue, emSize, exSize, AutoValue);
  r[piLeft] = ConvertLength(m[piLeft], baseWidth, AutoValue, emSize, exSize, AutoValue);
  for (int i = piBorderTopColor; i <= piBorderLeftStyle; ++i) r[i] = ConvertLength(m[i], 0, 0, emSize, exSize, 0);
}

template <class M>
void ResolveVerticalBoxOf(const M& m, int baseHeight, int emSize, int exSize, TBoxValues& r, bool& topAuto,
                          bool& bottomAuto) {
  topAuto = bottomAuto = false;
  for (int i : {piMarginTop, piMarginBottom}) {
    bool& autoFlag = i == piMarginTop ? topAuto : bottomAuto;
    const auto& v = m[i];
    if (v.IsInt() && v.Int() == ParagraphSpaceValue) {
      r[i] = 14;
      autoFlag = true;
    } else {
      r[i] = ConvertLength(v, baseHeight, 0, emSize, exSize, 0);
    }
  }
}

}  // namespace

void ResolveBlockBox(const TVMarginArray& m, int baseWidth, int baseHeight, int emSize, int exSize,
                     TBoxValues& r, int& autoCount) {
  ResolveBlockBoxOf(m, baseWidth, baseHeight, emSize, exSize, r, autoCount);
}
void ResolveBlockBox(const TCompactBox& m, int baseWidth, int baseHeight, int emSize, int exSize, TBoxValues& r,
                     int& autoCount) {
  ResolveBlockBoxOf(m, baseWidth, baseHeight, emSize, exSize, r, autoCount);
}
void ResolveVerticalBox(const TVMarginArray& m, int baseHeight, int emSize, int exSize, TBoxValues& r,
                        bool& topAuto, bool& bottomAuto) {
  ResolveVerticalBoxOf(m, baseHeight, emSize, exSize, r, topAuto, bottomAuto);
}
void ResolveVerticalBox(const TCompactBox& m, int baseHeight, int emSize, int exSize, TBoxValues& r,
                        bool& topAuto, bool& bottomAuto) {
  ResolveVerticalBoxOf(m, baseHeight, emSize, exSize, r, topAuto, bottomAuto);
}

void ResolveInlineBox(const TVMarginArray& m, int baseWidth, int baseHeight, int emSize, int exSize,
                      TBoxValues& r) {
  for (int i = piMarginTop; i <= piMarginLeft; ++i) {
    int base = (i == piMarginTop || i == piMarginBottom) ? baseHeight : baseWidth;
    r[i] = ConvertLength(m[i], base, 0, emSize, exSize, NotSetValue);
  }
  for (int i = piBorderTopWidth; i <= piBorderLeftWidth; ++i) r[i] = BorderWidth(m, i, emSize, exSize);
  r[piWidth] = ConvertLength(m[piWidth], baseWidth, AutoValue, emSize, exSize, NotSetValue);
  r[piHeight] = ConvertLength(m[piHeight], baseHeight, AutoValue, emSize, exSize, NotSetValue);
}

void ResolveCellPadding(const TVMarginArray& m, int emSize, int exSize, TBoxValues& r) {
  for (int i = piPaddingTop; i <= piPaddingLeft; ++i) r[i] = ConvertLength(m[i], -100, 0, emSize, exSize, -1);
}

void PrepareBoxLengths(TVMarginArray& m, int emSize, int exSize) {
  auto prepare = [&](int i, int defaultValue) {
    TPropValue& v = m[i];
    if (!v.IsText()) return;
    const std::string& t = v.Text();
    if (t == "auto") return;
    if (i >= piBorderTopWidth && i <= piBorderLeftWidth) {
      if (t == "thin") v = 2;
      else if (t == "medium") v = 4;
      else if (t == "thick") v = 6;
      else v = LengthToPixels(t, false, 0, defaultValue, emSize, exSize);
      return;
    }
    double number = 0;
    std::string unit;
    SplitNumberUnit(t, number, unit);
    if (unit == "%") v = TPercent{number};
    else v = LengthToPixels(t, false, 0, defaultValue, emSize, exSize);
  };
  for (int i = piMarginTop; i <= piPaddingLeft; ++i) prepare(i, 0);
  for (int i = piBorderTopWidth; i <= piBorderLeftWidth; ++i) prepare(i, 4);
  prepare(piHeight, 0);
  for (int i : {piWidth, piTop, piLeft}) prepare(i, AutoValue);
}

}  // namespace korva
