// Later HTML's inline objects: BUTTON (a push button captioned by its text), inline SVG (its
// markup becomes a picture the document holds), and OBJECT and EMBED (a picture when they name
// one, else their fallback content).
#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>
#include <string_view>

#include "core/CharCase.h"
#include "html/HtmlBuilder.h"
#include "html/HtmlBuilderSets.h"
#include "html/HtmlReader.h"
#include "layout/FormControl.h"
#include "layout/ImageObj.h"
#include "layout/Section.h"
#include "layout/SectionList.h"
#include "platform/CodePage.h"
#include "style/PropStack.h"

namespace korva {

namespace {

// What a button's caption is read from; anything else ends the button (its end tag missing).
constexpr TSymbolSet ButtonContentSet =
    InlineSet + TSymbolSet{syText, syBr, syImg, syNobr, syEndNobr, syWbr, syUnknownTag, sySvg, syEndSvg};

// A side given by markup is kept within this many pixels.
constexpr double MaxObjectSidePixels = 100000;

void CopyAttributes(const TAttributeList& from, TAttributeList& to, const TSymbolSet& skip) {
  for (int i = 0; i < from.Count(); ++i) {
    const TAttribute* a = from[i];
    if (!skip.Contains(a->Which())) to.Add(a->Which(), a->WhichName(), a->Value(), a->Text());
  }
}

const TAttribute* FindByName(const TAttributeList& list, std::string_view upperName) {
  for (int i = 0; i < list.Count(); ++i)
    if (list[i]->WhichName() == upperName) return list[i];
  return nullptr;
}

// Leading spaces and commas, then a number (from_chars: no locale takes part).
bool ReadNumber(std::string_view& s, double& v) {
  while (!s.empty() && (s.front() == ' ' || s.front() == ',' || s.front() == '\t' || s.front() == '\r' ||
                        s.front() == '\n'))
    s.remove_prefix(1);
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || !std::isfinite(v)) return false;
  s.remove_prefix(std::size_t(end - s.data()));
  return true;
}

// An SVG length attribute in pixels, or a percentage; false for what cannot be used.
bool SvgLength(std::string_view text, double& v, bool& percent) {
  if (!ReadNumber(text, v) || v < 0) return false;
  std::string unit = LowerCase(std::string(text));
  unit.erase(std::remove(unit.begin(), unit.end(), ' '), unit.end());
  percent = unit == "%";
  if (unit.empty() || unit == "px" || percent) {
  } else if (unit == "pt") {
    v = v * 96 / 72;
  } else if (unit == "pc") {
    v = v * 16;
  } else if (unit == "in") {
    v = v * 96;
  } else if (unit == "cm") {
    v = v * 96 / 2.54;
  } else if (unit == "mm") {
    v = v * 96 / 25.4;
  } else if (unit == "em") {
    v = v * 16;
  } else {
    return false;
  }
  v = std::min(v, percent ? 100.0 : MaxObjectSidePixels);
  return true;
}

std::string PixelText(double v, bool percent) {
  return std::to_string(int(std::lround(v))) + (percent ? "%" : "");
}

// The picture's size as IMG attributes: width and height as given, the missing one from the
// view box's proportions, both from the view box when neither is given, and the usual 300 by
// 150 when nothing tells.
void SvgSize(const TAttributeList& a, TAttributeList& out) {
  double w = 0, h = 0, vw = 0, vh = 0;
  bool wp = false, hp = false;
  const TAttribute* wa = a.Find(syWidth);
  const TAttribute* ha = a.Find(syHeight);
  const bool hasW = wa && SvgLength(wa->Text(), w, wp);
  const bool hasH = ha && SvgLength(ha->Text(), h, hp);
  bool hasBox = false;
  if (const TAttribute* box = FindByName(a, "VIEWBOX")) {
    std::string_view s = box->Text();
    double x = 0, y = 0;
    hasBox = ReadNumber(s, x) && ReadNumber(s, y) && ReadNumber(s, vw) && ReadNumber(s, vh) && vw > 0 && vh > 0;
  }
  if (!hasW && !hasH) {
    w = hasBox ? vw : 300;
    h = hasBox ? vh : 150;
  } else if (!hasH) {
    h = hasBox && !wp ? w * vh / vw : 150;
  } else if (!hasW) {
    w = hasBox && !hp ? h * vw / vh : 300;
  }
  w = std::min(w, MaxObjectSidePixels);
  h = std::min(h, MaxObjectSidePixels);
  out.Add(syWidth, "WIDTH", int(std::lround(w)), PixelText(w, hasW && wp));
  out.Add(syHeight, "HEIGHT", int(std::lround(h)), PixelText(h, hasH && hp));
}

// The markup as an SVG reader takes it: UTF-8, and the namespaces HTML lets a page leave out.
std::string SvgDocument(std::string markup, unsigned codePage) {
  if (codePage != CP_UTF8 &&
      std::any_of(markup.begin(), markup.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; }))
    markup = WideToMultiByte(CP_UTF8, MultiByteToWide(codePage, markup));
  std::size_t tagEnd = markup.find('>');
  if (tagEnd == std::string::npos) return markup;
  std::size_t nameEnd = 1;
  while (nameEnd < tagEnd && markup[nameEnd] != ' ' && markup[nameEnd] != '\r' && markup[nameEnd] != '\n' &&
         markup[nameEnd] != '\t' && markup[nameEnd] != '/' && markup[nameEnd] != '>')
    ++nameEnd;
  const std::string startTag = markup.substr(0, tagEnd);
  std::string add;
  if (startTag.find("xmlns") == std::string::npos) add += " xmlns=\"http://www.w3.org/2000/svg\"";
  if (startTag.find("xmlns:xlink") == std::string::npos && markup.find("xlink:") != std::string::npos)
    add += " xmlns:xlink=\"http://www.w3.org/1999/xlink\"";
  markup.insert(nameEnd, add);
  return markup;
}

// Whether an OBJECT or EMBED names a picture: by its type, else by the extension of its URL.
bool NamesPicture(const TAttributeList& a, const std::string& url) {
  if (const TAttribute* type = a.Find(syType); type && !type->Text().empty())
    return LowerCase(type->Text()).rfind("image/", 0) == 0;
  std::string path = url.substr(0, url.find_first_of("?#"));
  std::size_t dot = path.rfind('.');
  if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return false;
  const std::string ext = LowerCase(path.substr(dot + 1));
  return ext == "svg" || ext == "png" || ext == "gif" || ext == "jpg" || ext == "jpeg" || ext == "bmp";
}

}  // namespace

void TDocumentBuilder::AddImageObject(const TAttributeList& attributes, int sourcePos) {
  EnsureSection();
  auto image = std::make_unique<TImageObj>(&FDoc, attributes, FSection->TextLength(), R->CodePage());
  image->ApplyStyle(Top());
  FSection->AddImage(std::move(image), sourcePos);
}

bool TDocumentBuilder::DoButton(const TSymbolSet& term) {
  EnsureSection();
  const bool pushed = CanNest();
  if (pushed) Push("button", true);
  // The control is an INPUT of the button's type captioned by the element's text.
  TAttributeList attributes;
  CopyAttributes(R->Attributes(), attributes, TSymbolSet{syType, syValue});
  std::string type = "submit";
  if (const TAttribute* t = R->Attributes().Find(syType)) {
    std::string v = LowerCase(t->Text());
    if (v == "reset" || v == "button") type = v;
  }
  attributes.Add(syType, "TYPE", 0, type);
  const int tagPos = R->TagPos();

  std::u16string caption;
  bool readOn = true;
  R->Next();
  for (;;) {
    const TSymbol sy = R->Sy();
    if (sy == syEndButton) break;
    if (sy == syEof || term.Contains(sy) || !ButtonContentSet.Contains(sy)) {
      readOn = false;  // the symbol is not the button's
      break;
    }
    if (sy == syText) {
      const std::u16string& t = R->Token().S();
      if (caption.size() + t.size() <= MaxButtonCaptionChars) caption += t;
    } else if (sy == sySvg) {
      std::string ignored;
      R->ReadForeignElement("SVG", 0, ignored);  // an icon: no text of it is caption
    }
    R->Next();
  }
  // White space collapsed and trimmed, as a browser shows it.
  std::u16string text;
  for (char16_t c : caption) {
    if (c == u' ' || c == u'\r' || c == u'\n' || c == u'\t') {
      if (!text.empty() && text.back() != u' ') text += u' ';
    } else {
      text += c;
    }
  }
  while (!text.empty() && text.back() == u' ') text.pop_back();
  attributes.Add(syValue, "VALUE", 0, WideToMultiByte(R->CodePage(), text));

  EnsureSection();
  if (TFormControlObj* control = FSection->AddFormControl(syInput, attributes, Top(), FForm, FCell, tagPos))
    control->TakeStyle(Top());
  if (pushed) Pop("button");
  return readOn;
}

void TDocumentBuilder::DoSvg() {
  EnsureSection();
  const bool pushed = CanNest();
  if (pushed) {
    Push("svg", true);
    StartInline();
  }
  const TAttributeList& a = R->Attributes();
  TAttributeList attributes;
  CopyAttributes(a, attributes, TSymbolSet{syWidth, syHeight, sySrc});
  SvgSize(a, attributes);
  const int tagPos = R->TagPos();
  const unsigned codePage = R->CodePage();
  std::string markup;
  std::string name;
  if (R->ReadForeignElement("SVG", MaxInlineSvgBytes, markup) && !markup.empty())
    name = FDoc.AddInlineImage(SvgDocument(std::move(markup), codePage));
  attributes.Add(sySrc, "SRC", 0, name);
  AddImageObject(attributes, tagPos);
  if (pushed) Pop("svg");
}

bool TDocumentBuilder::DoObject(const TSymbolSet& term) {
  const TAttributeList& a = R->Attributes();
  const TAttribute* data = a.Find(syData);
  // An object that is no picture is left out; its fallback content is read as usual.
  if (!data || data->Text().empty() || !NamesPicture(a, data->Text())) return true;
  const bool pushed = CanNest();
  EnsureSection();
  if (pushed) {
    Push("object", true);
    StartInline();
  }
  TAttributeList attributes;
  CopyAttributes(a, attributes, TSymbolSet{sySrc, syData});
  attributes.Add(sySrc, "SRC", 0, data->Text());
  AddImageObject(attributes, R->TagPos());
  if (pushed) Pop("object");
  // The fallback content is not shown: passed over up to the matching end tag.
  int depth = 1;
  R->Next();
  for (;;) {
    const TSymbol sy = R->Sy();
    if (sy == syEof || term.Contains(sy)) return false;
    if (sy == syObject) ++depth;
    if (sy == syEndObject && --depth == 0) return true;
    if (sy == sySvg) {
      std::string ignored;
      R->ReadForeignElement("SVG", 0, ignored);
    } else if (sy == syScript) {
      R->DoScript();
    }
    R->Next();
  }
}

void TDocumentBuilder::DoEmbed(std::string_view tag) {
  const TAttributeList& a = R->Attributes();
  const TAttribute* src = a.Find(sySrc);
  if (!src || src->Text().empty() || !NamesPicture(a, src->Text())) return;
  const bool pushed = CanNest();
  EnsureSection();
  if (pushed) {
    Push(tag, true);
    StartInline();
  }
  AddImageObject(a, R->TagPos());
  if (pushed) Pop(tag);
}

}  // namespace korva
