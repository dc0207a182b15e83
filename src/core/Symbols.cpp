#include "core/Symbols.h"

#include <array>
#include <cstring>
#include <string>

namespace korva {

namespace {

struct TNameEntry {
  const char* Name;
  TSymbol Symbol;
};

// The tag table, in search order; the first EndTagCount have end symbols (syEndHtml + index).
constexpr TNameEntry TagTable[TagCount] = {
    {"HTML", syHtml}, {"TITLE", syTitle}, {"BODY", syBody}, {"HEAD", syHead}, {"B", syB}, {"I", syI},
    {"H", syH}, {"EM", syEm}, {"STRONG", syStrong}, {"U", syU}, {"CITE", syCite}, {"VAR", syVar},
    {"TT", syTt}, {"CODE", syCode}, {"KBD", syKbd}, {"SAMP", sySamp}, {"OL", syOl}, {"UL", syUl},
    {"DIR", syDir}, {"MENU", syMenu}, {"DL", syDl}, {"A", syA}, {"ADDRESS", syAddress},
    {"BLOCKQUOTE", syBlockquote}, {"PRE", syPre}, {"CENTER", syCenter}, {"TABLE", syTable},
    {"TD", syTd}, {"TH", syTh}, {"CAPTION", syCaption}, {"FORM", syForm}, {"TEXTAREA", syTextarea},
    {"SELECT", sySelect}, {"OPTION", syOption}, {"FONT", syFont}, {"SUB", sySub}, {"SUP", sySup},
    {"BIG", syBig}, {"SMALL", sySmall}, {"P", syP}, {"MAP", syMap}, {"FRAMESET", syFrameset},
    {"NOFRAMES", syNoframes}, {"SCRIPT", syScript}, {"DIV", syDiv}, {"S", syS}, {"STRIKE", syStrike},
    {"TR", syTr}, {"NOBR", syNobr}, {"STYLE", syStyle}, {"SPAN", sySpan}, {"COLGROUP", syColgroup},
    {"LABEL", syLabel},
    {"SECTION", sySection}, {"ARTICLE", syArticle}, {"NAV", syNav}, {"HEADER", syHeader},
    {"FOOTER", syFooter}, {"ASIDE", syAside}, {"MAIN", syMain}, {"FIGURE", syFigure},
    {"FIGCAPTION", syFigcaption}, {"HGROUP", syHgroup}, {"DETAILS", syDetails},
    {"SUMMARY", sySummary}, {"BUTTON", syButton}, {"SVG", sySvg}, {"OBJECT", syObject},
    {"IFRAME", syIframe}, {"TEMPLATE", syTemplate},
    {"LI", syLi}, {"BR", syBr}, {"HR", syHr}, {"DD", syDd}, {"DT", syDt}, {"IMG", syImg},
    {"BASE", syBase}, {"INPUT", syInput}, {"SELECTED", sySelected},
    {"BASEFONT", syBasefont}, {"AREA", syArea}, {"FRAME", syFrame}, {"PAGE", syPage},
    {"BGSOUND", syBgsound}, {"WRAP", syWrap}, {"META", syMeta}, {"PANEL", syPanel}, {"WBR", syWbr},
    {"LINK", syLink}, {"COL", syCol}, {"EMBED", syEmbed}};

constexpr TNameEntry AttributeTable[AttributeNameCount] = {
    {"HREF", syHref}, {"NAME", syName}, {"SRC", sySrc}, {"ALT", syAlt}, {"ALIGN", syAlign},
    {"TEXT", syTextAttr}, {"BGCOLOR", syBgcolor}, {"LINK", syLink}, {"BACKGROUND", syBackground},
    {"COLSPAN", syColspan}, {"ROWSPAN", syRowspan}, {"BORDER", syBorder},
    {"CELLPADDING", syCellpadding}, {"CELLSPACING", syCellspacing}, {"VALIGN", syValign},
    {"WIDTH", syWidth}, {"START", syStart}, {"VALUE", syValue}, {"TYPE", syType},
    {"CHECKBOX", syCheckbox}, {"RADIO", syRadio}, {"METHOD", syMethod}, {"ACTION", syAction},
    {"CHECKED", syChecked}, {"SIZE", sySize}, {"MAXLENGTH", syMaxlength}, {"COLS", syCols},
    {"ROWS", syRows}, {"MULTIPLE", syMultiple}, {"VALUE", syValue}, {"SELECTED", sySelected},
    {"FACE", syFace}, {"COLOR", syColor}, {"TRANSP", syTransp}, {"CLEAR", syClear},
    {"ISMAP", syIsmap}, {"BORDERCOLOR", syBordercolor}, {"USEMAP", syUsemap}, {"SHAPE", syShape},
    {"COORDS", syCoords}, {"NOHREF", syNohref}, {"HEIGHT", syHeight}, {"PLAIN", syPlain},
    {"TARGET", syTarget}, {"NORESIZE", syNoresize}, {"SCROLLING", syScrolling},
    {"HSPACE", syHspace}, {"LANGUAGE", syLanguage}, {"FRAMEBORDER", syFrameborder},
    {"MARGINWIDTH", syMarginwidth}, {"MARGINHEIGHT", syMarginheight}, {"LOOP", syLoop},
    {"ONCLICK", syOnclick}, {"WRAP", syWrap}, {"NOSHADE", syNoshade},
    {"HTTP-EQUIV", syHttpEquiv}, {"CONTENT", syContent}, {"ENCTYPE", syEnctype},
    {"VLINK", syVlink}, {"OLINK", syOlink}, {"ACTIVE", syActive}, {"VSPACE", syVspace},
    {"CLASS", syClass}, {"ID", syId}, {"STYLE", syStyle}, {"REL", syRel}, {"REV", syRev},
    {"NOWRAP", syNowrap}, {"BORDERCOLORLIGHT", syBordercolorlight},
    {"BORDERCOLORDARK", syBordercolordark}, {"CHARSET", syCharset}, {"RATIO", syRatio},
    {"TITLE", syTitle}, {"ONFOCUS", syOnfocus}, {"ONBLUR", syOnblur}, {"ONCHANGE", syOnchange},
    {"SPAN", sySpan}, {"TABINDEX", syTabindex}, {"BGPROPERTIES", syBgproperties},
    {"DISABLED", syDisabled}, {"TOPMARGIN", syTopmargin}, {"LEFTMARGIN", syLeftmargin},
    {"LABEL", syLabel}, {"DATA", syData}, {"OPEN", syOpen}};

constexpr std::size_t MaxTagNameLength = 12;
constexpr std::size_t MaxAttributeNameLength = 16;

// Names are looked up for every tag and attribute of a page, so they go through a small
// open-addressing hash table on names packed into two 64-bit words.
struct TPackedName {
  std::uint64_t Lo = 0, Hi = 0;
  bool operator==(const TPackedName&) const = default;
};

inline bool Pack(std::string_view s, TPackedName& p) {
  if (s.size() > 16) return false;
  // Byte by byte: names are short and a call to memcpy would cost more.
  std::uint64_t w[2] = {0, 0};
  for (std::size_t i = 0; i < s.size(); ++i)
    w[i >> 3] |= std::uint64_t(static_cast<unsigned char>(s[i])) << ((i & 7) * 8);
  p.Lo = w[0];
  p.Hi = w[1];
  return true;
}

class TNameHash {
 public:
  template <std::size_t N>
  explicit TNameHash(const TNameEntry (&table)[N]) {
    for (auto& slot : FSlots) slot = -1;
    for (std::size_t i = 0; i < N; ++i) {
      TPackedName key;
      Pack(table[i].Name, key);
      std::size_t h = Hash(key);
      bool present = false;
      while (FSlots[h] >= 0) {
        if (FKeys[FSlots[h]] == key) present = true;  // a repeated name: the first entry wins
        h = (h + 1) & Mask;
      }
      if (present) continue;
      FKeys[i] = key;
      FSlots[h] = static_cast<short>(i);
    }
  }
  // Index in the source table, or -1.
  int IndexOf(std::string_view name) const {
    TPackedName key;
    if (name.empty() || !Pack(name, key)) return -1;
    std::size_t h = Hash(key);
    while (FSlots[h] >= 0) {
      if (FKeys[FSlots[h]] == key) return FSlots[h];
      h = (h + 1) & Mask;
    }
    return -1;
  }

 private:
  static constexpr std::size_t Size = 512, Mask = Size - 1;
  static std::size_t Hash(const TPackedName& k) {
    std::uint64_t h = (k.Lo ^ (k.Hi * 0x9E3779B97F4A7C15ull)) * 0xFF51AFD7ED558CCDull;
    return static_cast<std::size_t>(h >> 55) & Mask;
  }
  std::array<short, Size> FSlots;
  std::array<TPackedName, 128> FKeys{};
};

const TNameHash& TagHash() {
  static const TNameHash hash(TagTable);
  return hash;
}

const TNameHash& AttributeHash() {
  static const TNameHash hash(AttributeTable);
  return hash;
}

}  // namespace

TSymbol LookupTag(std::string_view upperName, bool endTag) {
  if (upperName.empty() || upperName.size() > MaxTagNameLength) return syUnknownTag;
  int index = TagHash().IndexOf(upperName);
  if (index < 0) return syUnknownTag;
  if (!endTag) return TagTable[index].Symbol;
  if (index >= EndTagCount) return syUnknownTag;
  return static_cast<TSymbol>(syEndHtml + index);
}

TSymbol LookupAttribute(std::string_view upperName) {
  if (upperName.empty() || upperName.size() > MaxAttributeNameLength) return syUnknownAttr;
  int index = AttributeHash().IndexOf(upperName);
  return index < 0 ? syUnknownAttr : AttributeTable[index].Symbol;
}

TSymbol EndSymbolOf(TSymbol tag) {
  return tag < EndTagCount ? static_cast<TSymbol>(syEndHtml + tag) : syUnknownTag;
}

TSymbol StartSymbolOf(TSymbol endTag) {
  return IsEndTagSymbol(endTag) ? static_cast<TSymbol>(endTag - syEndHtml) : syUnknownTag;
}

std::string_view SymbolName(TSymbol s) {
  static const std::array<std::string, syCount> names = [] {
    std::array<std::string, syCount> n;
    for (int i = 0; i < TagCount; ++i) n[TagTable[i].Symbol] = TagTable[i].Name;
    for (int i = 0; i < EndTagCount; ++i) n[syEndHtml + i] = std::string("/") + TagTable[i].Name;
    for (const auto& e : AttributeTable)
      if (n[e.Symbol].empty()) n[e.Symbol] = e.Name;
    n[syText] = "Text";
    n[syUnknownTag] = "UnknownTag";
    n[syEof] = "Eof";
    n[syUnknownAttr] = "UnknownAttr";
    n[syEol] = "Eol";
    return n;
  }();
  return s < syCount ? std::string_view(names[s]) : std::string_view("?");
}

}  // namespace korva
