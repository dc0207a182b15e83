#include "style/StyleParser.h"

#include <vector>

#include "style/Colors.h"
#include "style/Properties.h"
#include "style/StyleLimits.h"
#include "style/StyleList.h"
#include "style/Units.h"
#include "url/Url.h"

namespace korva {

namespace {

constexpr std::string_view ShorthandNames[13] = {
    "margin", "padding", "border-width", "border", "border-top", "border-right", "border-bottom",
    "border-left", "font", "background", "list-style", "border-color", "border-style"};
constexpr std::string_view FontKeywords[16] = {
    "italic", "oblique", "normal", "bolder", "lighter", "bold", "small-caps", "larger", "smaller",
    "xx-small", "x-small", "small", "medium", "large", "x-large", "xx-large"};
constexpr std::string_view BorderStyleKeywords[9] = {"none",   "solid", "dashed", "dotted", "double",
                                                     "groove", "inset", "outset", "ridge"};

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsNameChar(char c) { return c == '-' || IsDigit(c) || IsLetter(c); }
bool IsSelectorChar(char c) {
  return c == ' ' || c == '#' || c == '-' || c == '.' || c == ':' || c == '_' || IsDigit(c) || IsLetter(c);
}

int IndexIn(std::string_view word, const std::string_view* table, int count) {
  for (int i = 0; i < count; ++i)
    if (table[i] == word) return i;
  return -1;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Removes a matching pair of outer quotes.
std::string Unquote(std::string v) {
  if (v.size() > 1 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) return v.substr(1, v.size() - 2);
  return v;
}

// Splits a shorthand value into at most `max` tokens (see the declaration rules: spaces
// separate, quotes group, "a/b" is two tokens).
std::vector<std::string> SplitTokens(std::string_view value, int max) {
  std::string t = StyleTrim(value);
  std::string s;
  s.reserve(t.size());
  for (char c : t) {
    if (c == ' ' && !s.empty() && (s.back() == ' ' || s.back() == ',')) continue;
    s += c;
  }
  std::vector<std::string> tokens;
  std::size_t i = 0;
  while (int(tokens.size()) < max && i < s.size()) {
    std::size_t start = i, end;
    for (;;) {
      std::size_t space = s.find(' ', i);
      std::size_t quote = s.find_first_of("\"'", i);
      if (quote != std::string::npos && (space == std::string::npos || quote < space)) {
        std::size_t match = s.find(s[quote], quote + 1);
        if (match == std::string::npos) {
          end = s.size();
          break;
        }
        i = match + 1;
        continue;
      }
      end = space == std::string::npos ? s.size() : space;
      break;
    }
    std::string token = s.substr(start, end - start);
    i = end + 1;
    std::size_t slash = token.size() > 1 ? token.find('/', 1) : std::string::npos;
    if (slash != std::string::npos) {
      tokens.push_back(token.substr(0, slash));
      if (int(tokens.size()) < max) tokens.push_back(token.substr(slash));
    } else if (!token.empty()) {
      tokens.push_back(std::move(token));
    }
  }
  return tokens;
}

// Takes url(...) items (or, when there is none, rgb(...) items) out of a value, at most 7.
std::vector<std::string> ExtractFunctions(std::string& value) {
  std::vector<std::string> items;
  for (int n = 0; n < 7; ++n) {
    std::size_t at = value.find("url(");
    if (at == std::string::npos) at = value.find("rgb(");
    if (at == std::string::npos) break;
    std::size_t close = value.find(')', at);
    if (close == std::string::npos) break;
    items.push_back(value.substr(at, close - at + 1));
    value.erase(at, close - at + 1);
  }
  return items;
}

bool IsColor(std::string_view text) {
  TColor c;
  return ParseColor(text, true, c);
}

class TStyleParser {
 public:
  // A style sheet read from a character source.
  TStyleParser(TStyleList* styles, TStyleCharSource* source, std::string_view base)
      : FStyles(styles), FSource(source), FBase(base) {}
  // An inline style attribute read from a string.
  TStyleParser(std::string_view text, TProperties* props) : FProps(props), FText(StyleLower(text)), FInline(true) {}

  void RunSheet(char& ch);
  void RunInline();

 private:
  char ReadRaw();
  void Next();
  void SkipComment();
  void SkipSpaces() {
    while (FCh == ' ') Next();
  }
  bool AtEnd() const { return FCh == StyleEofChar || FCh == '<'; }

  void AtRule();
  void ReadSelectors();
  void AddSelector(std::string selector);
  void ReadDeclarationBlock();
  void DeclarationLoop();
  void Deliver(const std::string& name, const std::string& value, const std::string& raw);
  void DeliverPlain(std::string_view name, std::string value);
  void Emit(std::string_view name, std::string_view value);
  std::string Absolute(std::string_view value) const { return MakeStyleUrlAbsolute(value, FBase); }
  void ExpandFourSides(int shorthand, const std::string& value);
  void ExpandBorder(const std::string& name, std::string value);
  void ExpandFont(const std::string& raw);
  void ExpandBackground(std::string value);
  void ExpandListStyle(const std::string& value);

  TStyleList* FStyles = nullptr;
  TStyleCharSource* FSource = nullptr;
  TProperties* FProps = nullptr;
  std::string FText;  // inline style text
  std::size_t FTextPos = 0;
  bool FInline = false;
  std::string FBase;
  char FCh = ' ';
  int FPushBack = -1;
  std::vector<std::string> FSelectors;
};

char TStyleParser::ReadRaw() {
  char c;
  if (FPushBack >= 0) {
    c = char(FPushBack);
    FPushBack = -1;
    return c;
  }
  if (FInline) c = FTextPos < FText.size() ? FText[FTextPos++] : StyleEofChar;
  else c = FSource->GetChar();
  if (c == '\r' || c == '\n' || c == '\t') c = ' ';
  return c;
}

void TStyleParser::SkipComment() {
  char prev = 0;
  for (;;) {
    char c = ReadRaw();
    if (c == StyleEofChar) {
      FPushBack = StyleEofChar;
      return;
    }
    if (c == '<') return;  // consumed with the comment
    if (prev == '*' && c == '/') return;
    prev = c;
  }
}

// Every read goes through here: comments vanish, a "/" not starting one looks one ahead.
void TStyleParser::Next() {
  char c = ReadRaw();
  while (c == '/') {
    char d = ReadRaw();
    if (d != '*') {
      FPushBack = static_cast<unsigned char>(d);
      break;
    }
    SkipComment();
    c = ReadRaw();
  }
  FCh = c;
}

void TStyleParser::RunSheet(char& ch) {
  FCh = ' ';
  char first = ch;
  if (first == '\r' || first == '\n' || first == '\t') first = ' ';
  FPushBack = static_cast<unsigned char>(first);

  // Skip the opening of an HTML comment hiding the style text. A "<" that does not start
  // "<!" is the closing tag of an empty element and ends the sheet.
  for (;;) {
    while (FCh == ' ' || FCh == '!' || FCh == '-' || FCh == '>') Next();
    if (FCh != '<') break;
    char after = ReadRaw();
    if (after == '!') {
      FCh = '!';
      continue;
    }
    FSource->Unget();
    break;
  }

  while (!AtEnd()) {
    if (FCh == '@') {
      AtRule();
    } else {
      FSelectors.clear();
      ReadSelectors();
      ReadDeclarationBlock();
    }
    while (FCh == ' ' || FCh == '-' || FCh == '>') Next();
  }
  ch = FCh;
}

void TStyleParser::RunInline() {
  Next();
  DeclarationLoop();
}

void TStyleParser::AtRule() {
  std::string text;
  Next();
  while (FCh != ';' && FCh != '{' && !AtEnd()) {
    if (text.size() < 4096) text += FCh;
    Next();
  }
  if (FCh == ';') {
    Next();  // @import and the like load nothing
    return;
  }
  if (FCh != '{') return;
  Next();
  if (StyleLower(text).find("screen") != std::string::npos) {
    for (;;) {
      SkipSpaces();
      if (FCh == '}' || AtEnd()) break;
      FSelectors.clear();
      ReadSelectors();
      ReadDeclarationBlock();
    }
  } else {
    // Skip the block, nested blocks included (counted, not recursed).
    long depth = 0;
    while (!AtEnd()) {
      if (FCh == '{') {
        ++depth;
      } else if (FCh == '}') {
        if (depth == 0) break;
        --depth;
      }
      Next();
    }
  }
  if (FCh == '}') Next();
}

void TStyleParser::AddSelector(std::string selector) {
  selector = StyleLower(StyleTrimView(selector));
  if (selector.empty() || int(FSelectors.size()) >= MaxSelectorsPerRule) return;
  if (selector.find(' ') == std::string::npos) {
    FSelectors.push_back(std::move(selector));
    return;
  }
  // "div ul li" becomes "li 2<serial>ul div ": the subject, then the ancestors nearest first.
  std::vector<std::string_view> parts;
  std::string_view rest(selector);
  while (!rest.empty()) {
    std::size_t sp = rest.find(' ');
    std::string_view part = rest.substr(0, sp);
    if (!part.empty()) parts.push_back(part);
    if (sp == std::string_view::npos) break;
    rest = rest.substr(sp + 1);
  }
  std::string ancestors;
  for (std::size_t i = 0; i + 1 < parts.size(); ++i) ancestors.insert(0, std::string(parts[i]) + " ");
  std::string key = std::string(parts.back()) + " " + std::to_string(parts.size() - 1) +
                    FStyles->NextDescendantSerial() + ancestors;
  FSelectors.push_back(std::move(key));
}

void TStyleParser::ReadSelectors() {
  for (;;) {
    if (FCh == ',') Next();
    SkipSpaces();
    std::string selector;
    while (IsSelectorChar(FCh)) {
      selector += FCh;
      Next();
    }
    AddSelector(std::move(selector));
    if (FCh != ',') break;
  }
  while (FCh != '{' && !AtEnd()) Next();
}

void TStyleParser::ReadDeclarationBlock() {
  if (FCh != '{') return;
  Next();
  DeclarationLoop();
  if (FCh == '}') Next();
}

void TStyleParser::DeclarationLoop() {
  for (;;) {
    SkipSpaces();
    std::string name;
    while (IsNameChar(FCh)) {
      name += FCh;
      Next();
    }
    name = StyleLower(StyleTrimView(name));
    SkipSpaces();
    if (FCh == ':' || FCh == '=') {
      Next();
      std::string value;
      while (FCh != ';' && FCh != StyleEofChar && (FInline || (FCh != '<' && FCh != '}'))) {
        value += FCh;
        Next();
      }
      std::string raw = StyleLower(StyleTrimView(value));
      Deliver(name, Unquote(raw), raw);
    }
    SkipSpaces();
    if (FCh == ';') Next();
    while (!IsNameChar(FCh) && FCh != '}' && !AtEnd()) Next();
    if (FCh == '}' || AtEnd()) break;
  }
}

void TStyleParser::Emit(std::string_view name, std::string_view value) {
  if (FInline) {
    FProps->AssignByName(name, value);
    return;
  }
  int index;
  if (!PropIndexFromName(name, index)) return;
  for (const std::string& selector : FSelectors) FStyles->SetRuleProperty(selector, name, value);
}

void TStyleParser::DeliverPlain(std::string_view name, std::string value) {
  if (!FBase.empty() && value.find("url(") != std::string::npos) value = Absolute(value);
  Emit(name, value);
}

void TStyleParser::Deliver(const std::string& name, const std::string& value, const std::string& raw) {
  switch (IndexIn(name, ShorthandNames, 13)) {
    case 0: case 1: case 2: case 11: case 12:
      ExpandFourSides(IndexIn(name, ShorthandNames, 13), value);
      return;
    case 3: case 4: case 5: case 6: case 7:
      ExpandBorder(name, value);
      return;
    case 8:
      ExpandFont(raw);
      return;
    case 9:
      ExpandBackground(value);
      return;
    case 10:
      ExpandListStyle(value);
      return;
    default:
      DeliverPlain(name, value);
  }
}

void TStyleParser::ExpandFourSides(int shorthand, const std::string& value) {
  int first;
  switch (shorthand) {
    case 0: first = piMarginTop; break;
    case 1: first = piPaddingTop; break;
    case 2: first = piBorderTopWidth; break;
    case 11: first = piBorderTopColor; break;
    default: first = piBorderTopStyle; break;
  }
  std::vector<std::string> t = SplitTokens(value, 4);
  if (t.empty()) return;
  // top, right, bottom, left
  const std::string* sides[4];
  switch (t.size()) {
    case 1: sides[0] = sides[1] = sides[2] = sides[3] = &t[0]; break;
    case 2: sides[0] = sides[2] = &t[0]; sides[1] = sides[3] = &t[1]; break;
    case 3: sides[0] = &t[0]; sides[1] = sides[3] = &t[1]; sides[2] = &t[2]; break;
    default: sides[0] = &t[0]; sides[1] = &t[1]; sides[2] = &t[2]; sides[3] = &t[3]; break;
  }
  for (int i = 0; i < 4; ++i) DeliverPlain(PropNames[std::size_t(first + i)], *sides[i]);
}

void TStyleParser::ExpandBorder(const std::string& name, std::string value) {
  for (const std::string& item : ExtractFunctions(value))
    if (IsColor(item)) DeliverPlain(name + "-color", item);
  for (const std::string& token : SplitTokens(value, 7)) {
    if (IsColor(token)) {
      DeliverPlain(name + "-color", token);
    } else if (IndexIn(token, BorderStyleKeywords, 9) >= 0) {
      DeliverPlain(name + "-style", token);
    } else if (name != "border") {
      DeliverPlain(name + "-width", token);
    } else {
      for (int i = piBorderTopWidth; i <= piBorderLeftWidth; ++i) DeliverPlain(PropNames[std::size_t(i)], token);
    }
  }
}

void TStyleParser::ExpandFont(const std::string& raw) {
  for (const std::string& token : SplitTokens(raw, 7)) {
    if (token[0] == '/') {
      DeliverPlain("line-height", token.substr(1));
      continue;
    }
    int k = IndexIn(token, FontKeywords, 16);
    if (k >= 0 && k <= 1) DeliverPlain("font-style", token);
    else if (k >= 2 && k <= 5) DeliverPlain("font-weight", token);
    else if (k == 6) DeliverPlain("font-variant", token);
    else if (k >= 7) DeliverPlain("font-size", token);
    else if (IsDigit(token[0])) DeliverPlain("font-size", token);
    else DeliverPlain("font-family", token);
  }
}

void TStyleParser::ExpandBackground(std::string value) {
  for (const std::string& item : ExtractFunctions(value)) {
    if (item.find("rgb(") != std::string::npos) DeliverPlain("background-color", item);
    else if (item.find("url(") != std::string::npos) DeliverPlain("background-image", item);
  }
  std::vector<std::string> tokens = SplitTokens(value, 7);
  std::vector<std::string> left;
  for (std::string& token : tokens) {
    if (IsColor(token)) DeliverPlain("background-color", token);
    else if (token == "none") DeliverPlain("background-image", token);
    else if (token.find("repeat") != std::string::npos) DeliverPlain("background-repeat", token);
    else if (token == "fixed" || token == "scroll") DeliverPlain("background-attachment", token);
    else left.push_back(token);
  }
  if (left.size() == 1) DeliverPlain("background-position", left[0]);
  else if (left.size() >= 2) DeliverPlain("background-position", left[left.size() - 2] + " " + left.back());
}

void TStyleParser::ExpandListStyle(const std::string& value) {
  for (const std::string& token : SplitTokens(value, 7)) {
    if (token.find("url(") != std::string::npos) DeliverPlain("list-style-image", token);
    else DeliverPlain("list-style-type", token);
  }
}

}  // namespace

std::string MakeStyleUrlAbsolute(std::string_view value, std::string_view basePath) {
  std::string url = ParseUrlText(value);
  if (basePath.find("://") == std::string_view::npos) {
    if (url.find('/') != std::string::npos) {
      std::string decoded;
      decoded.reserve(url.size());
      for (std::size_t i = 0; i < url.size(); ++i) {
        if (url[i] == '%' && i + 2 < url.size() && HexValue(url[i + 1]) >= 0 && HexValue(url[i + 2]) >= 0) {
          decoded += char(HexValue(url[i + 1]) * 16 + HexValue(url[i + 2]));
          i += 2;
        } else {
          decoded += url[i];
        }
      }
      url = decoded;
      if (url.rfind("file:///", 0) == 0) url.erase(0, 8);
      else if (url.rfind("file://", 0) == 0) url.erase(0, 7);
      for (char& c : url) {
        if (c == '|') c = ':';
        else if (c == '/') c = '\\';
      }
    }
    if (!((url.size() >= 2 && url[1] == ':') || url.rfind("\\\\", 0) == 0)) url = std::string(basePath) + url;
  } else {
    std::string_view noQuery(url);
    noQuery = noQuery.substr(0, noQuery.find('?'));
    std::size_t scheme = noQuery.find("://");
    bool complete = (scheme != std::string_view::npos && scheme < noQuery.find('/')) || url.rfind("mailto:", 0) == 0;
    if (!complete) url = UrlCombine(basePath, url);
  }
  return "url(" + url + ")";
}

void ParseStyleSheet(TStyleList& styles, char& ch, TStyleCharSource& source, std::string_view basePath) {
  TStyleParser parser(&styles, &source, basePath);
  parser.RunSheet(ch);
}

void ParseStyleText(TStyleList& styles, std::string_view text, std::string_view basePath) {
  styles.AddSheetText(text, basePath, [](TStyleList& into, std::string_view sheet, std::string_view base) {
    TStringStyleSource source(sheet);
    char ch = ' ';
    ParseStyleSheet(into, ch, source, base);
  });
}

void ParseInlineStyle(std::string_view text, TProperties& props) {
  TStyleParser parser(text, &props);
  parser.RunInline();
}

}  // namespace korva
