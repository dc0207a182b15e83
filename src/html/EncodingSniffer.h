// Which encoding the bytes of a page are in, decided the way browsers decide it when no
// transport tells them: a byte order mark, else a charset declared in a META element within
// the first bytes, else the XML declaration, else UTF-8 when the bytes are valid UTF-8 with
// something beyond ASCII, else the viewer's default. Encodings are named by Windows code page
// numbers, so that the rest of the engine keeps working with code pages.
#pragma once

#include <cstddef>
#include <string_view>

namespace korva {

// How far the META prescan looks.
constexpr std::size_t EncodingPrescanBytes = 1024;

enum TEncodingSource : unsigned char {
  esNone,              // nothing decided: the viewer's default code page applies
  esByteOrderMark,     // UTF-8, UTF-16LE or UTF-16BE byte order mark
  esMeta,              // META charset or http-equiv content-type within the first bytes
  esXmlDeclaration,    // encoding="..." of a leading <?xml ...?>
  esUtf8Content,       // no declaration, but the bytes are valid UTF-8 and not all ASCII
};

struct TEncodingDecision {
  TEncodingSource Source = esNone;
  unsigned CodePage = 0;       // 0 with esNone; 1200/1201 for UTF-16LE/BE byte order marks
  std::size_t BomLength = 0;   // bytes of the byte order mark (to be dropped)
  // Browsers keep to an encoding found this way even when a later META names another.
  bool Final() const { return Source == esByteOrderMark || Source == esMeta || Source == esXmlDeclaration; }
};

// Without `declarations` (plain text) only the byte order mark and UTF-8 content count.
TEncodingDecision SniffEncoding(std::string_view bytes, bool declarations = true);

// The code page of an encoding label (surrounding white space ignored, any case); false for
// labels browsers do not know. UTF-16 labels give 1200/1201.
bool EncodingLabelToCodePage(std::string_view label, unsigned& codePage);
// The charset named by a content-type value ("text/html; charset=koi8-r"): true with its
// code page when there is one and its label is known.
bool CharsetFromContentType(std::string_view content, unsigned& codePage);
// How the decision was reached, in a word or two (tools print it).
const char* EncodingSourceName(TEncodingSource source);

// Whether the whole text is valid UTF-8 (shortest forms, no surrogates) holding at least one
// byte above 0x7F.
bool IsNonAsciiUtf8(std::string_view bytes);

}  // namespace korva
