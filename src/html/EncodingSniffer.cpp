#include "html/EncodingSniffer.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/CodePage.h"

namespace korva {

namespace {

struct TLabel {
  std::string_view Label;
  unsigned CodePage;
};

constexpr TLabel Labels[] = {
#include "html/EncodingLabels.inc"
};

constexpr std::size_t MaxLabelLength = 32;

inline bool IsSpace(unsigned char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r'; }
inline unsigned char Lower(unsigned char c) { return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 32) : c; }
inline bool IsLetter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Case-insensitive: does `s` at `i` start with the lower-case `word`?
bool StartsWithAt(std::string_view s, std::size_t i, std::string_view word) {
  if (i > s.size() || s.size() - i < word.size()) return false;
  for (std::size_t k = 0; k < word.size(); ++k)
    if (Lower(static_cast<unsigned char>(s[i + k])) != static_cast<unsigned char>(word[k])) return false;
  return true;
}

// A META charset, as browsers take it: UTF-16 labels mean UTF-8 (the bytes being read are
// evidently not UTF-16).
bool MetaLabel(std::string_view label, unsigned& codePage) {
  if (!EncodingLabelToCodePage(label, codePage)) return false;
  if (codePage == 1200 || codePage == 1201) codePage = CP_UTF8;
  return true;
}

// One attribute of a tag in the prescan: the HTML way of reading names and values, names in
// lower case. Returns false at the end of the tag (or of the bytes).
class TPrescanTag {
 public:
  TPrescanTag(std::string_view s, std::size_t& pos) : S(s), Pos(pos) {}
  bool Next(std::string& name, std::string& value) {
    name.clear();
    value.clear();
    while (Pos < S.size() && (IsSpace(Byte()) || Byte() == '/')) ++Pos;
    if (Pos >= S.size() || Byte() == '>') return false;
    for (;;) {
      if (Pos >= S.size()) return false;
      unsigned char c = Byte();
      if (c == '=' && !name.empty()) {
        ++Pos;
        return Value(value);
      }
      if (IsSpace(c)) {
        while (Pos < S.size() && IsSpace(Byte())) ++Pos;
        if (Pos >= S.size()) return false;
        if (Byte() != '=') return true;
        ++Pos;
        return Value(value);
      }
      if (c == '/' || c == '>') return true;
      if (name.size() < MaxLabelLength * 4) name.push_back(static_cast<char>(Lower(c)));
      ++Pos;
    }
  }

 private:
  unsigned char Byte() const { return static_cast<unsigned char>(S[Pos]); }
  bool Value(std::string& value) {
    while (Pos < S.size() && IsSpace(Byte())) ++Pos;
    if (Pos >= S.size()) return false;
    unsigned char c = Byte();
    if (c == '"' || c == '\'') {
      ++Pos;
      for (;;) {
        if (Pos >= S.size()) return false;
        if (Byte() == c) {
          ++Pos;
          return true;
        }
        if (value.size() < EncodingPrescanBytes) value.push_back(static_cast<char>(Lower(Byte())));
        ++Pos;
      }
    }
    if (c == '>') return true;
    for (;;) {
      if (Pos >= S.size()) return false;
      c = Byte();
      if (IsSpace(c) || c == '>') return true;
      if (value.size() < EncodingPrescanBytes) value.push_back(static_cast<char>(Lower(c)));
      ++Pos;
    }
  }

  std::string_view S;
  std::size_t& Pos;
};

// At "<meta" followed by white space or "/": the charset it declares, if any.
bool PrescanMeta(std::string_view s, std::size_t& pos, unsigned& codePage) {
  TPrescanTag tag(s, pos);
  std::string name, value;
  bool seenHttpEquiv = false, seenContent = false, seenCharset = false;
  bool gotPragma = false, haveCharset = false;
  int needPragma = -1;  // -1 unknown, 0 no, 1 yes
  unsigned charset = 0;
  while (tag.Next(name, value)) {
    if (name == "http-equiv") {
      if (seenHttpEquiv) continue;
      seenHttpEquiv = true;
      if (value == "content-type") gotPragma = true;
    } else if (name == "content") {
      if (seenContent) continue;
      seenContent = true;
      if (!haveCharset && CharsetFromContentType(value, charset)) {
        haveCharset = true;
        needPragma = 1;
      }
    } else if (name == "charset") {
      if (seenCharset) continue;
      seenCharset = true;
      haveCharset = MetaLabel(value, charset);
      needPragma = 0;
    }
  }
  if (needPragma < 0 || (needPragma == 1 && !gotPragma) || !haveCharset) return false;
  if (charset == 1200 || charset == 1201) charset = CP_UTF8;
  codePage = charset;
  return true;
}

std::size_t FindByte(std::string_view s, std::size_t from, char c) {
  std::size_t p = s.find(c, from);
  return p == std::string_view::npos ? s.size() : p;
}

// The META prescan over the first bytes: comments skipped, other tags' attributes read
// properly (so a ">" inside a quoted value does not end the tag).
bool PrescanMetaCharset(std::string_view bytes, unsigned& codePage) {
  std::string_view s = bytes.substr(0, std::min(bytes.size(), EncodingPrescanBytes));
  std::size_t pos = 0;
  std::string name, value;
  while (pos < s.size()) {
    pos = FindByte(s, pos, '<');
    if (pos >= s.size()) break;
    if (StartsWithAt(s, pos, "<!--")) {
      // Ends at the first "-->", whose dashes may be those of the opening.
      std::size_t end = s.find("-->", pos + 2);
      if (end == std::string_view::npos) return false;
      pos = end + 3;
    } else if (StartsWithAt(s, pos, "<meta") && pos + 5 < s.size() &&
               (IsSpace(static_cast<unsigned char>(s[pos + 5])) || s[pos + 5] == '/')) {
      pos += 6;
      if (PrescanMeta(s, pos, codePage)) return true;
      if (pos < s.size()) ++pos;
    } else if (pos + 1 < s.size() &&
               (IsLetter(static_cast<unsigned char>(s[pos + 1])) ||
                (s[pos + 1] == '/' && pos + 2 < s.size() && IsLetter(static_cast<unsigned char>(s[pos + 2]))))) {
      // Another tag: past its name, then through its attributes.
      ++pos;
      while (pos < s.size() && !IsSpace(static_cast<unsigned char>(s[pos])) && s[pos] != '>') ++pos;
      TPrescanTag tag(s, pos);
      while (tag.Next(name, value)) {
      }
      if (pos < s.size()) ++pos;
    } else if (pos + 1 < s.size() && (s[pos + 1] == '!' || s[pos + 1] == '/' || s[pos + 1] == '?')) {
      pos = FindByte(s, pos, '>');
      if (pos < s.size()) ++pos;
    } else {
      ++pos;
    }
  }
  return false;
}

// encoding="..." of an XML declaration at the very start.
bool XmlDeclarationEncoding(std::string_view bytes, unsigned& codePage) {
  if (bytes.substr(0, 6) != "<?xml " && bytes.substr(0, 6) != "<?xml\t" && bytes.substr(0, 6) != "<?xml\n" &&
      bytes.substr(0, 6) != "<?xml\r")
    return false;
  std::string_view s = bytes.substr(0, std::min(bytes.size(), EncodingPrescanBytes));
  std::size_t end = s.find("?>");
  if (end == std::string_view::npos) return false;
  std::string_view decl = s.substr(0, end);
  std::size_t at = decl.find("encoding");
  if (at == std::string_view::npos) return false;
  std::size_t i = at + 8;
  while (i < decl.size() && IsSpace(static_cast<unsigned char>(decl[i]))) ++i;
  if (i >= decl.size() || decl[i] != '=') return false;
  ++i;
  while (i < decl.size() && IsSpace(static_cast<unsigned char>(decl[i]))) ++i;
  if (i >= decl.size() || (decl[i] != '"' && decl[i] != '\'')) return false;
  char quote = decl[i++];
  std::size_t close = decl.find(quote, i);
  if (close == std::string_view::npos) return false;
  return MetaLabel(decl.substr(i, close - i), codePage);
}

}  // namespace

bool EncodingLabelToCodePage(std::string_view label, unsigned& codePage) {
  while (!label.empty() && IsSpace(static_cast<unsigned char>(label.front()))) label.remove_prefix(1);
  while (!label.empty() && IsSpace(static_cast<unsigned char>(label.back()))) label.remove_suffix(1);
  if (label.empty() || label.size() > MaxLabelLength) return false;
  char lower[MaxLabelLength];
  for (std::size_t i = 0; i < label.size(); ++i) lower[i] = static_cast<char>(Lower(static_cast<unsigned char>(label[i])));
  std::string_view key(lower, label.size());
  const TLabel* end = Labels + std::size(Labels);
  const TLabel* it = std::lower_bound(Labels, end, key, [](const TLabel& row, std::string_view k) { return row.Label < k; });
  if (it == end || it->Label != key) return false;
  codePage = it->CodePage;
  return true;
}

bool CharsetFromContentType(std::string_view content, unsigned& codePage) {
  std::size_t i = 0;
  for (;;) {
    // The next "charset" (any case), then white space, "=", white space.
    std::size_t at = std::string_view::npos;
    for (std::size_t k = i; k + 7 <= content.size(); ++k)
      if (StartsWithAt(content, k, "charset")) {
        at = k;
        break;
      }
    if (at == std::string_view::npos) return false;
    i = at + 7;
    while (i < content.size() && IsSpace(static_cast<unsigned char>(content[i]))) ++i;
    if (i < content.size() && content[i] == '=') break;
    // Not followed by "=": look for the next one from here.
  }
  ++i;
  while (i < content.size() && IsSpace(static_cast<unsigned char>(content[i]))) ++i;
  if (i >= content.size()) return false;
  char c = content[i];
  std::string_view value;
  if (c == '"' || c == '\'') {
    std::size_t close = content.find(c, i + 1);
    if (close == std::string_view::npos) return false;
    value = content.substr(i + 1, close - i - 1);
  } else {
    std::size_t e = i;
    while (e < content.size() && !IsSpace(static_cast<unsigned char>(content[e])) && content[e] != ';') ++e;
    value = content.substr(i, e - i);
  }
  return EncodingLabelToCodePage(value, codePage);
}

bool IsNonAsciiUtf8(std::string_view bytes) {
  auto p = reinterpret_cast<const unsigned char*>(bytes.data());
  auto end = p + bytes.size();
  bool nonAscii = false;
  while (p < end) {
    // Eight ASCII bytes at a time: most of a page is markup.
    while (end - p >= 8) {
      std::uint64_t w;
      std::memcpy(&w, p, 8);
      if (w & 0x8080808080808080ull) break;
      p += 8;
    }
    if (p >= end) break;
    if (*p < 0x80) {
      ++p;
      continue;
    }
    char32_t cp;
    int len = DecodeUtf8(p, end, cp);
    if (len == 0) return false;
    nonAscii = true;
    p += len;
  }
  return nonAscii;
}

TEncodingDecision SniffEncoding(std::string_view bytes, bool declarations) {
  TEncodingDecision d;
  auto b = [&](std::size_t i) { return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0x100u; };
  if (b(0) == 0xEF && b(1) == 0xBB && b(2) == 0xBF) {
    d = {esByteOrderMark, CP_UTF8, 3};
  } else if (b(0) == 0xFF && b(1) == 0xFE) {
    d = {esByteOrderMark, 1200, 2};
  } else if (b(0) == 0xFE && b(1) == 0xFF) {
    d = {esByteOrderMark, 1201, 2};
  } else if (unsigned cp = 0; declarations && PrescanMetaCharset(bytes, cp)) {
    d = {esMeta, cp, 0};
  } else if (declarations && XmlDeclarationEncoding(bytes, cp)) {
    d = {esXmlDeclaration, cp, 0};
  } else if (IsNonAsciiUtf8(bytes)) {
    d = {esUtf8Content, CP_UTF8, 0};
  }
  return d;
}

const char* EncodingSourceName(TEncodingSource source) {
  switch (source) {
    case esByteOrderMark: return "byte order mark";
    case esMeta: return "meta";
    case esXmlDeclaration: return "xml declaration";
    case esUtf8Content: return "utf-8 content";
    case esNone: break;
  }
  return "default";
}

}  // namespace korva
