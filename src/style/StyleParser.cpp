#include "style/StyleParser.h"

#include <vector>

#include "style/Colors.h"
#include "style/MediaQuery.h"
#include "style/Properties.h"
#include "style/Selectors.h"
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

// The text of a content value made of strings ("a" 'b'), escapes resolved (a hex escape as
// UTF-8); anything but strings gives no text.
std::string ContentText(std::string_view v) {
  std::string out;
  std::size_t i = 0;
  while (i < v.size()) {
    const char c = v[i];
    if (c == ' ') {
      ++i;
      continue;
    }
    if (c != '"' && c != '\'') return {};
    ++i;
    while (i < v.size() && v[i] != c) {
      if (v[i] == '\\' && i + 1 < v.size()) {
        ++i;
        unsigned code = 0;
        int digits = 0;
        while (digits < 6 && i < v.size() && HexValue(v[i]) >= 0) {
          code = code * 16 + unsigned(HexValue(v[i++]));
          ++digits;
        }
        if (digits == 0) {
          out += v[i++];
          continue;
        }
        if (i < v.size() && v[i] == ' ') ++i;
        if (code == 0 || code > 0x10FFFF) code = 0xFFFD;
        if (code < 0x80) {
          out += char(code);
        } else if (code < 0x800) {
          out += char(0xC0 | (code >> 6));
          out += char(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
          out += char(0xE0 | (code >> 12));
          out += char(0x80 | ((code >> 6) & 0x3F));
          out += char(0x80 | (code & 0x3F));
        } else {
          out += char(0xF0 | (code >> 18));
          out += char(0x80 | ((code >> 12) & 0x3F));
          out += char(0x80 | ((code >> 6) & 0x3F));
          out += char(0x80 | (code & 0x3F));
        }
        continue;
      }
      out += v[i++];
    }
    if (i >= v.size()) return {};
    ++i;
    if (out.size() > 4096) return {};
  }
  return out;
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

  // An imported sheet: parsed into the same list under the importing sheet's condition.
  void SetImportState(int depth, std::vector<std::string>* chain, std::vector<TMediaList> lists) {
    FImportDepth = depth;
    FImportChain = chain;
    FConditionLists = std::move(lists);
    if (!FConditionLists.empty()) FCondition = FStyles->AddCondition(FConditionLists);
  }

 private:
  char ReadRaw();
  void Next();
  void SkipComment();
  void SkipSpaces() {
    while (FCh == ' ') Next();
  }
  bool AtEnd() const { return FCh == StyleEofChar || FCh == '<'; }

  void AtRule();
  void Import(std::string_view text);
  void ReadRule();
  void SkipBlock();
  // Up to the "}" that ends the block the parser is in (not consumed).
  void SkipToBlockEnd();
  void StartBlock();
  void EndBlock();
  void SetAuthorValue(std::string_view name, std::string_view value);
  void ReadSelectors();
  void ReadDeclarationBlock();
  void DeclarationLoop();
  void Deliver(const std::string& name, const std::string& value, const std::string& raw,
               std::string_view written = {});
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

  // The rule being read: its selectors (none when the group was invalid: the rule is dropped)
  // and its declarations by importance.
  std::vector<std::shared_ptr<const TSelector>> FRuleSelectors;
  std::shared_ptr<TRuleBlock> FNormal, FImportant;
  bool FImportantDecl = false;
  // The media condition the rules read now are under.
  std::vector<TMediaList> FConditionLists;
  int FCondition = -1;
  int FBlockDepth = 0;
  int FImportDepth = 0;
  std::vector<std::string> FOwnChain;
  std::vector<std::string>* FImportChain = &FOwnChain;  // addresses being imported, outermost first
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
    if (FCh == '@') AtRule();
    else ReadRule();
    while (FCh == ' ' || FCh == '-' || FCh == '>') Next();
  }
  ch = FCh;
}

void TStyleParser::ReadRule() {
  FSelectors.clear();
  ReadSelectors();
  if (FRuleSelectors.empty()) {
    // A rule with an invalid selector is dropped whole, braces nested in its block included.
    SkipBlock();
    return;
  }
  StartBlock();
  ReadDeclarationBlock();
  EndBlock();
}

void TStyleParser::SkipBlock() {
  if (FCh != '{') return;
  Next();
  SkipToBlockEnd();
  if (FCh == '}') Next();
}

void TStyleParser::SkipToBlockEnd() {
  // Nested blocks are counted, not recursed into.
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

void TStyleParser::StartBlock() {
  FNormal.reset();
  FImportant.reset();
}

void TStyleParser::EndBlock() {
  for (std::shared_ptr<TRuleBlock>* block : {&FNormal, &FImportant}) {
    if (!*block) continue;
    (*block)->Values = (*block)->Props->MergeableValues();
    if (!FRuleSelectors.empty()) (*block)->Props->FTagName = FRuleSelectors[0]->Text;
    FStyles->AddAuthorRules(FRuleSelectors, *block, block == &FImportant, FCondition);
  }
  // A colour for ":link" or ":visited" is also the default of the states derived from them.
  if (FNormal && FCondition < 0)
    for (const auto& sel : FRuleSelectors) {
      const TPropValue& color = FNormal->Props->FValues[piColor];
      if (!color.IsInt()) continue;
      if (sel->Text == ":link") {
        FStyles->SetLinkColor("hover", TColor(color.Int()));
        FStyles->SetLinkColor("visited", TColor(color.Int()));
      } else if (sel->Text == ":visited") {
        FStyles->SetLinkColor("hover", TColor(color.Int()));
      }
    }
  FNormal.reset();
  FImportant.reset();
}

void TStyleParser::RunInline() {
  Next();
  DeclarationLoop();
}

void TStyleParser::AtRule() {
  std::string text;
  Next();
  char quote = 0;
  while ((quote || (FCh != ';' && FCh != '{')) && !AtEnd()) {
    if (quote && FCh == quote) quote = 0;
    else if (!quote && (FCh == '"' || FCh == '\'')) quote = FCh;
    if (text.size() < 4096) text += FCh;
    Next();
  }
  std::string_view t = StyleTrimView(text);
  std::size_t nameEnd = 0;
  while (nameEnd < t.size() && IsNameChar(t[nameEnd])) ++nameEnd;
  const std::string name = StyleLower(t.substr(0, nameEnd));
  const std::string_view rest = t.substr(nameEnd);
  if (FCh == ';') {
    Next();
    if (name == "import") Import(rest);
    return;
  }
  if (FCh != '{') return;
  Next();
  if (name == "media" && FBlockDepth < MaxBlockNesting) {
    // The rules are kept with their condition and matched against the media when used.
    const std::vector<TMediaList> outerLists = FConditionLists;
    const int outer = FCondition;
    FConditionLists.push_back(ParseMediaList(rest));
    FCondition = FStyles->AddCondition(FConditionLists);
    ++FBlockDepth;
    for (;;) {
      SkipSpaces();
      if (FCh == '}' || AtEnd()) break;
      if (FCh == '@') AtRule();
      else ReadRule();
    }
    --FBlockDepth;
    FConditionLists = outerLists;
    FCondition = outer;
  } else {
    // @font-face, @page, @supports, @keyframes and unknown ones: the whole block, nested
    // blocks included.
    SkipToBlockEnd();
  }
  if (FCh == '}') Next();
}

void TStyleParser::Import(std::string_view text) {
  std::string_view t = StyleTrimView(text);
  std::string url;
  std::size_t end = 0;
  if (t.size() > 4 && StyleLower(t.substr(0, 4)) == "url(") {
    end = t.find(')');
    if (end == std::string_view::npos) return;
    url = ParseUrlText(t.substr(0, end + 1));
    ++end;
  } else if (!t.empty() && (t[0] == '"' || t[0] == '\'')) {
    end = t.find(t[0], 1);
    if (end == std::string_view::npos) return;
    url = std::string(t.substr(1, end - 1));
    ++end;
  } else {
    return;
  }
  url = StyleTrim(url);
  if (url.empty() || !FStyles || !FStyles->ImportFetcher()) return;
  FStyles->FImportedDuringParse = true;
  if (FImportDepth + 1 > MaxImportDepth) return;
  std::string address = ParseUrlText(MakeStyleUrlAbsolute("url(" + url + ")", FBase));
  const std::string folded = StyleLower(address);
  for (const std::string& seen : *FImportChain)
    if (seen == folded) return;  // a cycle: the sheet is being read already
  std::string data;
  if (!FStyles->ImportFetcher()(address, data) || data.empty()) return;
  std::vector<TMediaList> lists = FConditionLists;
  const std::string_view media = StyleTrimView(t.substr(end));
  if (!media.empty()) lists.push_back(ParseMediaList(media));
  FImportChain->push_back(folded);
  std::string base = UrlBase(address);
  if (address.find("://") == std::string::npos) {
    // A local address keeps its folder, whichever separator it uses.
    const std::size_t slash = address.find_last_of("/\\");
    base = slash == std::string::npos ? std::string() : address.substr(0, slash + 1);
  }
  TStringStyleSource source(data);
  TStyleParser nested(FStyles, &source, base);
  nested.SetImportState(FImportDepth + 1, FImportChain, std::move(lists));
  char ch = ' ';
  nested.RunSheet(ch);
  FImportChain->pop_back();
}

void TStyleParser::ReadSelectors() {
  // The whole group up to the block, as written: selectors keep their case for attribute values.
  std::string text;
  bool tooLong = false;
  while (FCh != '{' && !AtEnd()) {
    if (text.size() < std::size_t(MaxSelectorGroupBytes)) text += FCh;
    else tooLong = true;
    Next();
  }
  FRuleSelectors.clear();
  std::vector<TSelector> parsed;
  if (tooLong || !ParseSelectorGroup(text, parsed)) return;  // one bad selector drops the rule
  FRuleSelectors.reserve(parsed.size());
  for (TSelector& sel : parsed) FRuleSelectors.push_back(std::make_shared<const TSelector>(std::move(sel)));
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
      std::string written = StyleTrim(value);
      FImportantDecl = false;
      // "!important" ends the value (spaces allowed after the "!").
      if (std::size_t bang = written.rfind('!'); bang != std::string::npos) {
        if (StyleLower(StyleTrimView(std::string_view(written).substr(bang + 1))) == "important") {
          FImportantDecl = true;
          written = StyleTrim(std::string_view(written).substr(0, bang));
        }
      }
      std::string raw = StyleLower(written);
      Deliver(name, Unquote(raw), raw, written);
    }
    SkipSpaces();
    if (FCh == ';') Next();
    while (!IsNameChar(FCh) && FCh != '}' && !AtEnd()) {
      // A block nested in a declaration block is no declaration: skipped whole.
      if (FCh == '{' && !FInline) SkipBlock();
      else Next();
    }
    if (FCh == '}' || AtEnd()) break;
  }
}

void TStyleParser::Emit(std::string_view name, std::string_view value) {
  if (FInline) {
    FProps->AssignByName(name, value);
    return;
  }
  SetAuthorValue(name, value);
}

void TStyleParser::SetAuthorValue(std::string_view name, std::string_view value) {
  int index;
  if (FRuleSelectors.empty() || !PropIndexFromName(name, index)) return;
  std::shared_ptr<TRuleBlock>& block = FImportantDecl ? FImportant : FNormal;
  if (!block) {
    block = std::make_shared<TRuleBlock>();
    block->Props = std::make_shared<TProperties>();
  }
  TProperties& p = *block->Props;
  if (index == piColor && value != "inherit" && value != "initial" && value != "currentcolor") {
    TColor c;
    if (ParseColor(value, false, c)) p.FValues[piColor] = int(c);  // an unreadable colour changes nothing
    return;
  }
  p.SetFromText(index, value);
}

void TStyleParser::DeliverPlain(std::string_view name, std::string value) {
  if (!FBase.empty() && value.find("url(") != std::string::npos) value = Absolute(value);
  Emit(name, value);
}

void TStyleParser::Deliver(const std::string& name, const std::string& value, const std::string& raw,
                           std::string_view written) {
  if (name == "content" && !FInline) {
    if (FRuleSelectors.empty()) return;
    std::shared_ptr<TRuleBlock>& block = FImportantDecl ? FImportant : FNormal;
    if (!block) {
      block = std::make_shared<TRuleBlock>();
      block->Props = std::make_shared<TProperties>();
    }
    block->HasContent = true;
    block->Content = ContentText(written);
    return;
  }
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
  // [style || variant || weight] size[/line-height] family, family ...: what is not given is
  // reset to its initial value. A value without a size and a family is no font.
  std::vector<std::string> tokens = SplitTokens(raw, 64);
  std::size_t i = 0;
  std::string style = "normal", variant = "normal", weight = "normal";
  for (; i < tokens.size(); ++i) {
    const std::string& t = tokens[i];
    const int k = IndexIn(t, FontKeywords, 16);
    if (k == 0 || k == 1) style = t;
    else if (k == 6) variant = t;
    else if (k >= 3 && k <= 5) weight = t;
    else if (k == 2) continue;
    else if (t.size() == 3 && t[0] >= '1' && t[0] <= '9' && t[1] == '0' && t[2] == '0') weight = t;
    else break;
  }
  if (i >= tokens.size()) return;
  const std::string size = tokens[i];
  const int k = IndexIn(size, FontKeywords, 16);
  if (!(k >= 7 || IsDigit(size[0]) || size[0] == '.')) return;
  ++i;
  std::string lineHeight = "normal";
  if (i < tokens.size() && tokens[i][0] == '/') lineHeight = tokens[i++].substr(1);
  std::string family;
  for (; i < tokens.size(); ++i) family += (family.empty() ? "" : " ") + tokens[i];
  if (family.empty()) return;
  DeliverPlain("font-style", style);
  DeliverPlain("font-variant", variant);
  DeliverPlain("font-weight", weight);
  DeliverPlain("font-size", size);
  DeliverPlain("line-height", lineHeight);
  DeliverPlain("font-family", family);
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
