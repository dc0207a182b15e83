#include "html/HtmlReader.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "html/EncodingSniffer.h"
#include "html/Entities.h"
#include "html/Limits.h"
#include "platform/CodePage.h"
#include "platform/Types.h"
#include "style/Properties.h"
#include "style/StyleParser.h"

namespace korva {

namespace {

constexpr std::size_t ProgressStep = 4096;

// Byte sets for the run scanners. Every set flags the bytes the character layers treat
// specially (0, tab, LF, CR, "<"), so a run never skips over them.
struct TByteSet {
  unsigned char Flags[256] = {};
  constexpr explicit TByteSet(std::string_view extra, bool controls = false) {
    Flags[0] = Flags[unsigned('\t')] = Flags[unsigned('\n')] = Flags[unsigned('\r')] = Flags[unsigned('<')] = 1;
    for (char c : extra) Flags[static_cast<unsigned char>(c)] = 1;
    if (controls)
      for (int c = 1; c <= 10; ++c) Flags[c] = 1;
  }
};

constexpr TByteSet TextStop(" &", true);
constexpr TByteSet PreStop("&");
constexpr TByteSet DoubleQuoteStop("\"&");
constexpr TByteSet SingleQuoteStop("'&");
constexpr TByteSet NumericStop(" %>&");
constexpr TByteSet PlainStop(" >&");
constexpr TByteSet IncludePlainStop(" >&-");
constexpr TByteSet RawStop("");
constexpr TByteSet RawRefStop("&");

// Bytes that continue a tag name (digits, letters) or an attribute name ("-", digits,
// letters).
struct TNameBytes {
  unsigned char Flags[256] = {};
  constexpr explicit TNameBytes(char extra) {
    for (int c = '0'; c <= '9'; ++c) Flags[c] = 1;
    for (int c = 'A'; c <= 'Z'; ++c) Flags[c] = Flags[c + 32] = 1;
    Flags[static_cast<unsigned char>(extra)] = 1;
  }
};
constexpr TNameBytes NameByte('0');
constexpr TNameBytes AttributeNameByte('-');

// The end of a text run starting at p: the first byte TextStop flags, except that a single
// space between ordinary bytes belongs to the run (collapsing it gives the same space at the
// same position). Sixteen bytes at a time where SSE2 is there.
const unsigned char* ScanTextRun(const unsigned char* p, const unsigned char* e) {
  const unsigned char* stop = TextStop.Flags;
#if defined(__SSE2__)
  const __m128i low = _mm_set1_epi8(13), space = _mm_set1_epi8(' '), amp = _mm_set1_epi8('&'),
                lt = _mm_set1_epi8('<');
  while (e - p >= 17) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    // Candidates: bytes up to 13, space, "&" and "<".
    __m128i m = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(_mm_min_epu8(v, low), v), _mm_cmpeq_epi8(v, space)),
                             _mm_or_si128(_mm_cmpeq_epi8(v, amp), _mm_cmpeq_epi8(v, lt)));
    unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(m));
    while (mask) {
      int i = __builtin_ctz(mask);
      unsigned char c = p[i];
      if (stop[c] && !(c == ' ' && !stop[p[i + 1]])) return p + i;
      mask &= mask - 1;
    }
    p += 16;
  }
#endif
  for (;;) {
    while (p < e && !stop[*p]) ++p;
    if (p + 1 < e && *p == ' ' && !stop[p[1]]) {
      p += 2;
      continue;
    }
    return p;
  }
}

// The first "<" or byte below 9 (tab) from p on, or e.
const unsigned char* ScanToTextEnd(const unsigned char* p, const unsigned char* e) {
#if defined(__SSE2__)
  const __m128i eight = _mm_set1_epi8(8), lt = _mm_set1_epi8('<');
  while (e - p >= 16) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    __m128i m = _mm_or_si128(_mm_cmpeq_epi8(_mm_min_epu8(v, eight), v), _mm_cmpeq_epi8(v, lt));
    if (unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(m))) return p + __builtin_ctz(mask);
    p += 16;
  }
#endif
  while (p < e && *p >= 9 && *p != '<') ++p;
  return p;
}

inline bool IsUpperLetter(unsigned char c) { return c >= 'A' && c <= 'Z'; }
inline bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

int HexValue(unsigned char up) {
  if (up >= '0' && up <= '9') return up - '0';
  if (up >= 'A' && up <= 'F') return up - 'A' + 10;
  return -1;
}

// A character for an attribute value: bytes of the code page, at most MaxReferenceBytes.
void AppendInCodePage(std::string& out, std::uint32_t value, unsigned codePage) {
  if (value < 0x80) {
    out.push_back(static_cast<char>(value));
    return;
  }
  std::u16string w;
  if (value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
    w.push_back(0xFFFD);
  } else if (value >= 0x10000) {
    value -= 0x10000;
    w.push_back(static_cast<char16_t>(0xD800 + (value >> 10)));
    w.push_back(static_cast<char16_t>(0xDC00 + (value & 0x3FF)));
  } else {
    w.push_back(static_cast<char16_t>(value));
  }
  std::string b = WideToMultiByte(codePage, w);
  if (b.size() > static_cast<std::size_t>(MaxReferenceBytes)) b.resize(MaxReferenceBytes);
  out += b;
}

}  // namespace

const unsigned char THtmlReader::PlainTable[256] = {
#define R16(a) a, a, a, a, a, a, a, a, a, a, a, a, a, a, a, a
    // 0 and tab, LF, CR are not plain; neither is "<" (a comment may start there).
    0, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 1, 1, 0, 1, 1,  // 0x00
    R16(1),                                          // 0x10
    R16(1),                                          // 0x20
    1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 1, 1, 1,  // 0x30 ("<" is 0x3C)
    R16(1), R16(1), R16(1), R16(1),                  // 0x40-0x70
    R16(1), R16(1), R16(1), R16(1), R16(1), R16(1), R16(1), R16(1)  // 0x80-0xF0
#undef R16
};

THtmlReader::THtmlReader() { LoadText(std::string()); }

// ---- set-up ----

void THtmlReader::LoadText(std::string text, bool declarations) {
  FText = std::move(text);
  if (FText.size() > MaxDocumentBytes) FText.resize(MaxDocumentBytes);
  FConverted = false;
  FEncoding = TEncodingDecision{};
  // UTF-16 is read as UTF-8: the reader works on bytes where markup is ASCII. Source positions
  // are then offsets in the UTF-8 text, not in the file.
  if (FText.size() >= 2 && ((FText[0] == '\xFF' && FText[1] == '\xFE') || (FText[0] == '\xFE' && FText[1] == '\xFF'))) {
    unsigned page = FText[0] == '\xFF' ? 1200u : 1201u;
    std::u16string wide = MultiByteToWide(page, std::string_view(FText).substr(2));
    FText = WideToMultiByte(CP_UTF8, wide);
    if (FText.size() > MaxDocumentBytes) FText.resize(MaxDocumentBytes);
    FEncoding = {esByteOrderMark, page, 2};
  }
  std::size_t zero = FText.find('\0');
  if (zero != std::string::npos) FText.resize(zero);
  if (FEncoding.Source == esNone) FEncoding = SniffEncoding(FText, declarations);
  if (FEncoding.Source == esByteOrderMark) {
    if (FEncoding.CodePage == CP_UTF8) FText.erase(0, FEncoding.BomLength);
    FCharsets->SetCodePage(CP_UTF8);
  } else if (FEncoding.CodePage == 50220 || (!FEncoding.Final() && HasIso2022JpEscape(FText))) {
    FText = Iso2022JpToShiftJis(FText);
    zero = FText.find('\0');  // a byte 0x80 loses its top bit
    if (zero != std::string::npos) FText.resize(zero);
    FConverted = true;
    FCharsets->SetCodePage(932);
  } else if (FEncoding.Source != esNone) {
    FCharsets->SetCodePage(FEncoding.CodePage);
  }
  Restart();
}

void THtmlReader::Restart() {
  FBuf = reinterpret_cast<const unsigned char*>(FText.data());
  FPtr = FBuf;
  FEnd = FBuf + FText.size();
  FInclude.clear();
  FIncPtr = FIncEnd = nullptr;
  FMode = FSavedMode = 1;
  FIncludeCount = 0;
  FCh = FChUp = 0;
  FLineEnd = 0;
  FInComment = FRaw = FOpenComment = FInValue = false;
  FCharPos = -1;
  FTagPos = 0;
  FTabPos = -2;
  FLineCount = FPreLine = FPreColumn = 0;
  FSy = syEof;
  FLevel = 0;
  FAttributes.Clear();
  FToken.Clear();
  FGathered.Clear();
  FNextProgress = ProgressStep;
  UpdateFastEnd();
}

void THtmlReader::ReleaseText() {
  FText.clear();
  FText.shrink_to_fit();
  FInclude.clear();
  FInclude.shrink_to_fit();
  FAttributes.Clear();
  FToken.Clear();
  Restart();
}

void THtmlReader::UpdateFastEnd() {
  if (FMode != 1 || FBuf == nullptr) {
    FFastEnd = FBuf;
    return;
  }
  FFastEnd = FEnd;
  bool progress = !FPrescan && FDocument && FHandlers && FHandlers->OnProgress && FEnd > FBuf;
  if (!progress) return;
  // Reports switched on in the middle: the next one is due at the next step.
  while (FNextProgress <= static_cast<std::size_t>(FPtr - FBuf)) FNextProgress += ProgressStep;
  if (FNextProgress - 1 < static_cast<std::size_t>(FEnd - FBuf)) FFastEnd = FBuf + (FNextProgress - 1);
}

void THtmlReader::ReportProgress() {
  if (FPrescan || !FDocument || !FHandlers || !FHandlers->OnProgress || FEnd == FBuf) return;
  long long done = FPtr - FBuf, total = FEnd - FBuf;
  FHandlers->OnProgress(psRunning, static_cast<int>(FDocument->ProgressShare * done / total));
}

// ---- character layers ----

unsigned char THtmlReader::ReadByte() {
  for (;;) {
    if (FMode == 2) {
      if (FIncPtr < FIncEnd) return *FIncPtr++;
      FInclude.clear();
      FIncPtr = FIncEnd = nullptr;
      FMode = FSavedMode;
      UpdateFastEnd();
      continue;
    }
    if (FPtr < FEnd) {
      unsigned char b = *FPtr++;
      ++FCharPos;
      if (static_cast<std::size_t>(FPtr - FBuf) == FNextProgress) {
        FNextProgress += ProgressStep;
        ReportProgress();
        UpdateFastEnd();
      }
      return b;
    }
    return 0;
  }
}

unsigned char THtmlReader::PeekByte() const {
  if (FMode == 2 && FIncPtr < FIncEnd) return *FIncPtr;
  return FPtr < FEnd ? *FPtr : 0;
}

void THtmlReader::GetChBasic() {
  unsigned char b = ReadByte();
  if ((b == '\n' && FLineEnd == 1) || (b == '\r' && FLineEnd == 2)) b = ReadByte();
  if (b == '\n') {
    b = '\r';
    FLineEnd = 2;
    if (!FInComment) ++FLineCount;
  } else if (b == '\r') {
    FLineEnd = 1;
    if (!FInComment) ++FLineCount;
  } else {
    FLineEnd = 0;
    if (b == '\t') {
      b = ' ';
      FTabPos = FCharPos;  // preformatted text expands it
    }
  }
  FCh = b;
  FChUp = UpCase(b);
  if (b == 0 && FInComment) throw EParseError(OpenCommentMessage);
}

void THtmlReader::GetChSlow() {
  GetChBasic();
  // "<!" (comments, declarations, CDATA sections) and "<?" (the XML declaration, processing
  // instructions) are never text.
  while (FCh == '<' && !FRaw && !FInComment && (PeekByte() == '!' || (PeekByte() == '?' && !FInValue)))
    RemoveComment();
}

// Skips main-text bytes up to (not including) the next `c`, as far as the inline reader may
// go; the bytes skipped inside a comment or declaration matter only as "not c".
#define KORVA_SKIP_TO(c)                                                              \
  do {                                                                                \
    if (FPtr < FFastEnd) {                                                            \
      const void* hit = std::memchr(FPtr, (c), static_cast<std::size_t>(FFastEnd - FPtr)); \
      const unsigned char* stop = hit ? static_cast<const unsigned char*>(hit) : FFastEnd; \
      if (stop != FPtr) {                                                             \
        FCharPos += static_cast<int>(stop - FPtr);                                    \
        FPtr = stop;                                                                  \
        FLineEnd = 0;                                                                 \
      }                                                                               \
    }                                                                                 \
  } while (0)

void THtmlReader::RemoveComment() {
  try {
    RemoveCommentBody();
  } catch (const EParseError&) {
    // The end of the text inside a comment. The symbol being read ends here, so what came
    // before the comment is kept; the next Next reports the error.
    if (!FInComment) throw;
    FInComment = false;
    FOpenComment = true;
    FCh = FChUp = 0;
  }
}

void THtmlReader::RemoveCommentBody() {
  GetChBasic();  // the "!" or "?"
  const bool bang = FCh == '!';
  FInComment = true;
  GetChBasic();
  bool comment = false;
  if (bang && FCh == '-') {
    GetChBasic();
    if (FCh == '-') {
      comment = true;
      if (FHandlers && FHandlers->OnInclude && FIncludeCount < MaxIncludesPerDocument && PeekByte() == '#') {
        DoInclude();
      } else {
        GetChBasic();
        SkipCommentBody();
      }
    }
  }
  if (!comment) {
    // A declaration such as a document type, or "<?...": up to the next ">".
    while (FCh != '>') {
      KORVA_SKIP_TO('>');
      GetChBasic();
    }
  }
  FInComment = false;
  GetChBasic();
}

// From the current character to the end of a comment: "--", then any further "-", spaces and
// line ends, one optional "!", and ">".
void THtmlReader::SkipCommentBody() {
  for (;;) {
    while (FCh != '-') {
      KORVA_SKIP_TO('-');
      GetChBasic();
    }
    GetChBasic();
    if (FCh != '-') continue;
    while (FCh == '-') GetChBasic();
    while (FCh == ' ' || FCh == '\r') GetChBasic();
    if (FCh == '!') GetChBasic();
    if (FCh == '>') return;
  }
}

#undef KORVA_SKIP_TO

// "<!--#command name=value ... -->": the command and its parameters go to OnInclude; the text
// it returns is read before the rest of the document.
void THtmlReader::DoInclude() {
  GetChBasic();  // the "#"
  GetChBasic();
  std::string command;
  while (IsDigit(FChUp) || IsUpperLetter(FChUp) || FChUp == '_') {
    command.push_back(static_cast<char>(FCh));
    GetChBasic();
  }
  std::vector<std::string> params;
  for (;;) {
    while (FCh == ' ' || FCh == '\r') GetChBasic();
    if (!IsUpperLetter(FChUp)) break;
    std::string name;
    // A name stops before the "--" that ends the comment.
    while (IsUpperLetter(FChUp) || IsDigit(FChUp) || (FChUp == '-' && PeekByte() != '-')) {
      if (name.size() < static_cast<std::size_t>(MaxAttributeNameLength)) name.push_back(static_cast<char>(FChUp));
      GetChBasic();
    }
    while (FCh == ' ' || FCh == '\r') GetChBasic();
    std::string value;
    int number = 0;
    if (FCh == '=') {
      GetChBasic();
      while (FCh == ' ' || FCh == '\r') GetChBasic();
      ReadAttributeValue<true>(value, number, true);
    }
    if (params.size() < static_cast<std::size_t>(MaxAttributesPerTag)) params.push_back(name + "=" + value);
  }
  SkipCommentBody();
  std::string iString;
  ++FIncludeCount;
  FHandlers->OnInclude(command, std::move(params), iString);
  if (!iString.empty()) PushInclude(iString);
}

void THtmlReader::PushInclude(const std::string& text) {
  std::string_view add(text);
  std::size_t zero = add.find('\0');
  if (zero != std::string_view::npos) add = add.substr(0, zero);
  if (add.empty()) return;
  std::size_t rest = FMode == 2 ? static_cast<std::size_t>(FIncEnd - FIncPtr) : 0;
  if (add.size() + rest > MaxIncludeBytes) return;
  std::string buffer;
  buffer.reserve(add.size() + rest);
  buffer.append(add);
  if (rest) buffer.append(reinterpret_cast<const char*>(FIncPtr), rest);
  FInclude = std::move(buffer);
  FIncPtr = reinterpret_cast<const unsigned char*>(FInclude.data());
  FIncEnd = FIncPtr + FInclude.size();
  if (FMode != 2) FSavedMode = FMode;
  FMode = 2;
  UpdateFastEnd();
}

template <bool Keep>
void THtmlReader::TakeRun(const unsigned char* stop, std::string& out) {
  if constexpr (Keep) out.push_back(static_cast<char>(FCh));
  const unsigned char* p = FPtr;
  const unsigned char* e = FFastEnd;
  while (p < e && !stop[*p]) ++p;
  if (p != FPtr) {
    if constexpr (Keep) out.append(reinterpret_cast<const char*>(FPtr), static_cast<std::size_t>(p - FPtr));
    FCharPos += static_cast<int>(p - FPtr);
    FPtr = p;
    FCh = p[-1];
    FChUp = UpCase(FCh);
    FLineEnd = 0;
  }
}

// ---- symbols ----

template <bool Keep>
void THtmlReader::ReadSymbol() {
  // The prescan keeps no token, and NextLink clears it once.
  if constexpr (Keep) FToken.Clear();
  FLevel = 0;
  if (FCh == 0) {
    if (FOpenComment) throw EParseError(OpenCommentMessage);
    FSy = syEof;
  } else if (FCh == '<') {
    ReadTag<Keep>();
  } else if (FCh >= 9) {
    if constexpr (Keep) ReadTextRun();
    else PassText();
  } else {
    throw EParseError(NotHtmlMessage);
  }
}

void THtmlReader::Next() { ReadSymbol<true>(); }

bool THtmlReader::NextLink() {
  FToken.Clear();
  FAttributes.Clear();
  for (;;) {
    ReadSymbol<false>();
    if (FSy == syA && FAttributes.Find(syHref)) return true;
    if (FSy == syEof) {
      FAttributes.Clear();
      return false;
    }
  }
}

template <bool Keep>
void THtmlReader::ReadTag() {
  FTagPos = FCharPos;
  GetCh();
  bool endTag = false;
  if (FChUp == '/') {
    endTag = true;
    GetCh();
  } else if (!IsUpperLetter(FChUp)) {
    // Not a tag: the "<" is text, and the character after it is read as usual.
    FSy = syText;
    if constexpr (Keep) FToken.AddUnicodeChar(u'<', FTagPos);
    ++FPreColumn;
    return;
  }
  char name[MaxTagNameLength];
  int length = 0;
  // A "/" ends the name: "<br/>" is a BR whose slash, like the one of "<div/>", is ignored.
  while (IsDigit(FChUp) || IsUpperLetter(FChUp)) {
    if (length == 1 && name[0] == 'H' && FChUp >= '1' && FChUp <= '6') break;
    if (length < MaxTagNameLength) name[length++] = static_cast<char>(FChUp);
    // The ordinary name bytes that follow, without the character layers.
    const unsigned char* p = FPtr;
    while (p < FFastEnd && NameByte.Flags[*p]) {
      if (length == 1 && name[0] == 'H' && *p >= '1' && *p <= '6') break;
      if (length < MaxTagNameLength) name[length++] = static_cast<char>(UpCase(*p));
      ++p;
    }
    ConsumeScanned(p);
    GetCh();
  }
  // The prescan tells apart only A and H (whose level digit comes before the attributes).
  FSy = Keep || length == 1 ? LookupTag(std::string_view(name, static_cast<std::size_t>(length)), endTag)
                            : syUnknownTag;
  SkipSpaces();
  if ((FSy == syH || FSy == syEndH) && FChUp >= '1' && FChUp <= '6') {
    FLevel = FChUp - '0';
    GetCh();
  }
  if (Keep || FSy == syA) {
    FAttributes.Clear();
    while (ReadAttribute<true>()) {
    }
  } else {
    while (ReadAttribute<false>()) {
    }
  }
  while (FCh != '>' && FCh != 0) GetCh();
  // A line of preformatted text starts after these.
  if (FSy == syBr || FSy == syPre) FPreColumn = 0;
  // The raw readers of SCRIPT and STYLE start at the ">".
  if (FCh == '>' && !(FSy == syScript || FSy == syStyle)) GetCh();
}

template <bool Keep>
bool THtmlReader::ReadAttribute() {
  SkipSpaces();
  // A slash between attributes (or the self-closing one before ">") is passed over.
  while (FCh == '/') {
    GetCh();
    SkipSpaces();
  }
  if (!IsUpperLetter(FChUp)) return false;
  char name[MaxAttributeNameLength];
  int length = 0;
  while (FChUp == '-' || IsDigit(FChUp) || IsUpperLetter(FChUp)) {
    if (Keep && length < MaxAttributeNameLength) name[length++] = static_cast<char>(FChUp);
    const unsigned char* p = FPtr;
    while (p < FFastEnd && AttributeNameByte.Flags[*p]) {
      if (Keep && length < MaxAttributeNameLength) name[length++] = static_cast<char>(UpCase(*p));
      ++p;
    }
    ConsumeScanned(p);
    GetCh();
  }
  const std::string_view nameView(name, static_cast<std::size_t>(length));
  TSymbol symbol = Keep ? LookupAttribute(nameView) : syUnknownAttr;
  SkipSpaces();
  int value = symbol == syBorder ? 1 : 0;  // a bare BORDER means a border of 1
  FValueText.clear();
  if (FChUp == '=') {
    GetCh();
    SkipSpaces();
    ReadAttributeValue<Keep>(FValueText, value, false);
  }
  if constexpr (!Keep) return true;
  if (FAttributes.Count() < MaxAttributesPerTag) FAttributes.Add(symbol, nameView, value, FValueText);
  if (symbol == syId && !FValueText.empty() && !FPrescan && FDocument && FDocument->IDNames)
    FDocument->IDNames->AddChPosObject(FValueText, FCharPos);
  return true;
}

// Without Keep a reference is passed over as plain characters: it takes none of the
// characters that end a value.
template <bool Keep>
void THtmlReader::ReadAttributeValue(std::string& text, int& value, bool include) {
  // "<?" inside a value is part of it (comments still vanish there, as everywhere).
  struct TInValue {
    bool& Flag;
    explicit TInValue(bool& flag) : Flag(flag) { Flag = true; }
    ~TInValue() { Flag = false; }
  } inValue(FInValue);
  text.clear();
  if (FCh == '"' || FCh == '\'') {
    unsigned char quote = FCh;
    const unsigned char* stop = quote == '"' ? DoubleQuoteStop.Flags : SingleQuoteStop.Flags;
    GetCh();
    while (FCh != quote && FCh != 0) {
      if (FCh == '\r') {
        if (include) text.push_back(' ');  // include parameters keep a space; attributes drop it
        GetCh();
      } else if (Keep && FCh == '&') {
        AttributeReference(text);
      } else {
        TakeRun<Keep>(stop, text);
        GetCh();
      }
    }
    if (FCh == quote) GetCh();
    if constexpr (Keep) value = AttributeNumber(text);
    return;
  }
  if (!include && (FChUp == '+' || FChUp == '-' || IsDigit(FChUp))) {
    while (!(FCh == 0 || FCh == ' ' || FCh == '\r' || FCh == '%' || FCh == '>')) {
      if (Keep && FCh == '&') {
        AttributeReference(text);
      } else {
        TakeRun<Keep>(NumericStop.Flags, text);
        GetCh();
      }
    }
    SkipSpaces();
    if constexpr (Keep) value = AttributeNumber(text);
    if (FCh == '%') {
      if constexpr (Keep) text.push_back('%');
      GetCh();
    }
    return;
  }
  const unsigned char* stop = include ? IncludePlainStop.Flags : PlainStop.Flags;
  while (!(FCh == 0 || FCh == ' ' || FCh == '\r' || FCh == '>' || (include && FCh == '-'))) {
    if (Keep && FCh == '&') {
      AttributeReference(text);
    } else {
      TakeRun<Keep>(stop, text);
      GetCh();
    }
  }
}

int AttributeNumber(std::string_view text) {
  std::size_t b = 0, e = text.size();
  while (b < e && static_cast<unsigned char>(text[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(text[e - 1]) <= ' ') --e;
  if (e > b && text[e - 1] == '%') --e;
  if (b == e) return 0;
  char c = text[b];
  if (!(c == '+' || c == '-' || c == '.' || IsDigit(static_cast<unsigned char>(c)))) return 0;
  // The leading number: sign, digits, decimal point, digits.
  std::size_t i = b;
  bool negative = false;
  if (text[i] == '+' || text[i] == '-') negative = text[i++] == '-';
  std::string number;
  int intDigits = 0, fracDigits = 0;
  while (i < e && IsDigit(static_cast<unsigned char>(text[i]))) {
    if (!(number.empty() && text[i] == '0')) {
      number.push_back(text[i]);
      ++intDigits;
    }
    ++i;
  }
  bool anyDigit = i > b + (text[b] == '+' || text[b] == '-' ? 1 : 0);
  if (intDigits > 12) return negative ? RoundHalfEven(-1e13) : RoundHalfEven(1e13);
  if (number.empty()) number.push_back('0');
  if (i < e && text[i] == '.') {
    ++i;
    number.push_back('.');
    while (i < e && IsDigit(static_cast<unsigned char>(text[i]))) {
      anyDigit = true;
      if (fracDigits < 20) number.push_back(text[i]);
      ++fracDigits;
      ++i;
    }
  }
  if (!anyDigit) return 0;
  // Not strtod: the C locale's decimal separator may be a comma.
  double v = 0.0;
  std::from_chars(number.data(), number.data() + number.size(), v, std::chars_format::fixed);
  return RoundHalfEven(negative ? -v : v);
}

// ---- text ----

// Gathers Ch and the ordinary bytes after it up to a byte `stop` flags. A single space
// between ordinary bytes is taken as it is: collapsing it would give the same space at the
// same position.
void THtmlReader::TakeTextRun() {
  Gather(FCh, FCharPos);
  const unsigned char* p = FPtr < FFastEnd ? ScanTextRun(FPtr, FFastEnd) : FPtr;
  if (p > FPtr) {
    int n = static_cast<int>(p - FPtr);
    GatherRun(FPtr, n, FCharPos + 1);
    FCharPos += n;
    FPtr = p;
    FLineEnd = 0;
  }
  GetCh();
}

// Text as the prescan passes it: up to the "<" or control byte that ends a run (a reference
// never takes either, so it can be passed over as plain characters).
void THtmlReader::PassText() {
  FSy = syText;
  do {
    const unsigned char* p = FPtr < FFastEnd ? ScanToTextEnd(FPtr, FFastEnd) : FPtr;
    if (p != FPtr) {
      FCharPos += static_cast<int>(p - FPtr);
      FPtr = p;
      // Line ends may be among the bytes passed; the byte at p is none, so no pair is split.
      FLineEnd = 0;
    }
    GetCh();
  } while (FCh >= 9 && FCh != '<');
}

void THtmlReader::ReadTextRun() {
  FSy = syText;
  unsigned codePage = CodePage();
  FRunTable = SingleByteTable(codePage);
  FGathered.Clear();
  for (;;) {
    unsigned char c = FCh;
    if (c == '&') {
      TextReference(codePage);
    } else if (c == ' ' || c == '\r') {
      // A run of white space is one space, at the position of its first character.
      Gather(' ', FCharPos);
      do GetCh();
      while (FCh == ' ' || FCh == '\r');
    } else if (c < 9 || c == '<') {
      break;
    } else {
      TakeTextRun();
    }
  }
  FlushGathered(codePage);
}

void THtmlReader::NextPreformatted() {
  FToken.Clear();
  FLevel = 0;
  FSy = syText;
  unsigned codePage = CodePage();
  FRunTable = SingleByteTable(codePage);
  FGathered.Clear();
  // Columns count characters since the last line end, across the tags between the pieces.
  if (FLineCount != FPreLine) {
    FPreLine = FLineCount;
    FPreColumn = 0;
  }
  while (FCh != 0 && FCh != '\r' && FCh != '<') {
    if (FCh == '&') {
      TextReference(codePage);
      continue;
    }
    if (FCh == ' ' && FCharPos == FTabPos && FMode == 1) {
      // A tab: spaces to the next multiple of 8 columns, all at the tab's position.
      FlushGathered(codePage);
      const int column = FPreColumn + FToken.Count();
      for (int n = TabColumns - column % TabColumns; n > 0; --n) FToken.AddUnicodeChar(u' ', FCharPos);
      GetCh();
      continue;
    }
    Gather(FCh, FCharPos);
    const unsigned char* p = FPtr;
    const unsigned char* e = FFastEnd;
    while (p < e && !PreStop.Flags[*p]) ++p;
    if (p != FPtr) {
      int n = static_cast<int>(p - FPtr);
      GatherRun(FPtr, n, FCharPos + 1);
      FCharPos += n;
      FPtr = p;
      FLineEnd = 0;
    }
    GetCh();
  }
  FlushGathered(codePage);
  FPreColumn = std::min(FPreColumn + FToken.Count(), 1 << 30);
}

void THtmlReader::FlushGathered(unsigned codePage) {
  if (FGathered.Count() == 0) return;
  FToken.AddString(FGathered, codePage);
  FGathered.Clear();
}

void THtmlReader::AddUnicodeValue(std::uint32_t value, int pos) {
  // Lone surrogates and values beyond Unicode would corrupt the text; characters above U+FFFF
  // become a surrogate pair so that they survive.
  if (value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
    FToken.AddUnicodeChar(0xFFFD, pos);
  } else if (value >= 0x10000) {
    value -= 0x10000;
    FToken.AddUnicodeChar(static_cast<char16_t>(0xD800 + (value >> 10)), pos);
    FToken.AddUnicodeChar(static_cast<char16_t>(0xDC00 + (value & 0x3FF)), pos);
  } else {
    FToken.AddUnicodeChar(static_cast<char16_t>(value), pos);
  }
}

// The characters of a reference as read so far, so that an unrecognised one can stay as written.
struct THtmlReader::TRawReference {
  static constexpr int Size = MaxEntityNameLength + 8;
  unsigned char Chars[Size];
  int Positions[Size];
  int Count = 0;
  void Keep(int ch, int pos) {
    if (Count < Size) {
      Chars[Count] = static_cast<unsigned char>(ch);
      Positions[Count++] = pos;
    }
  }
};

// Reads what follows "&" (Ch is "&"): "#digits", "#xhex" or an entity name. Answers rkNumber
// with the value (clamped), rkName with the name, or rkNone when neither is there; the
// characters consumed are kept in raw.
THtmlReader::TReferenceKind THtmlReader::ScanReference(TRawReference& raw, std::uint32_t& value, char* name,
                                                      int& nameLength) {
  raw.Keep(FCh, FCharPos);
  GetCh();
  if (FCh == '#') {
    raw.Keep(FCh, FCharPos);
    GetCh();
    int base = 10;
    if (FChUp == 'X') {
      raw.Keep(FCh, FCharPos);
      GetCh();
      base = 16;
    }
    value = 0;
    int digits = 0;
    for (;;) {
      int d = base == 16 ? HexValue(FChUp) : (IsDigit(FChUp) ? FChUp - '0' : -1);
      if (d < 0) break;
      value = value > 0x7FFFFFF ? 0x7FFFFFFF : value * static_cast<std::uint32_t>(base) + static_cast<std::uint32_t>(d);
      ++digits;
      GetCh();
    }
    return digits > 0 ? rkNumber : rkNone;
  }
  if (IsUpperLetter(FChUp) || IsDigit(FChUp)) {
    nameLength = 0;
    while (nameLength < MaxEntityNameLength && (IsUpperLetter(FChUp) || IsDigit(FChUp))) {
      name[nameLength++] = static_cast<char>(FCh);
      raw.Keep(FCh, FCharPos);
      GetCh();
    }
    return rkName;
  }
  return rkNone;
}

// Numeric references to 0x80-0x9F mean the characters windows-1252 has there, as pages written
// on that page meant them; its five holes stay C1 controls.
constexpr char16_t C1AsWindows1252[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The character a numeric reference stands for: white space (tab, line ends) as a space,
// other controls below 32 as "?", 0 and what is no character (surrogates, beyond U+10FFFF)
// as U+FFFD.
std::uint32_t NumericReferenceValue(std::uint32_t value) {
  if (value == 9 || value == 10 || value == 13) return ' ';
  if (value == 0) return 0xFFFD;
  if (value < 32) return '?';
  if (value >= 0x80 && value <= 0x9F) return C1AsWindows1252[value - 0x80];
  if (value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0xFFFD;
  return value;
}

// A character reference in text (Ch is "&"): numeric ones and names go into the token as
// characters (never through the document's code page); a name works without ";" only when it
// is a legacy one, and then also as the start of a longer word ("&copy2024"); anything
// unrecognised stays as written.
void THtmlReader::TextReference(unsigned codePage) {
  FlushGathered(codePage);
  const int pos = FCharPos;
  TRawReference raw;
  std::uint32_t value = 0;
  char name[MaxEntityNameLength];
  int length = 0;
  switch (ScanReference(raw, value, name, length)) {
    case rkNumber:
      if (FCh == ';') GetCh();
      value = NumericReferenceValue(value);
      if (value < 128) Gather(static_cast<unsigned char>(value), pos);
      else AddUnicodeValue(value, pos);
      return;
    case rkName: {
      TEntityValue e;
      std::string_view n(name, static_cast<std::size_t>(length));
      int used = 0;
      if (FCh == ';' && LookupEntity(n, e)) {
        GetCh();
        used = length;
      } else {
        used = LongestLegacyEntity(n, e);
      }
      if (used == 0) break;
      AddUnicodeValue(e.First, pos);
      if (e.Second) AddUnicodeValue(e.Second, pos);
      // The letters after a legacy name are text again ("&" and the name took raw[0..used]).
      for (int i = used + 1; i < raw.Count; ++i) Gather(raw.Chars[i], raw.Positions[i]);
      return;
    }
    case rkNone: break;
  }
  for (int i = 0; i < raw.Count; ++i) Gather(raw.Chars[i], raw.Positions[i]);
}

// A character reference in an attribute value (Ch is "&"), appended as bytes of the code page.
// A legacy name without ";" is decoded only when neither "=" nor a letter or digit follows it
// ("?a=1&copy=2" keeps its "&copy").
void THtmlReader::AttributeReference(std::string& out) {
  TRawReference raw;
  std::uint32_t value = 0;
  char name[MaxEntityNameLength];
  int length = 0;
  switch (ScanReference(raw, value, name, length)) {
    case rkNumber:
      if (FCh == ';') GetCh();
      AppendInCodePage(out, NumericReferenceValue(value), CodePage());
      return;
    case rkName: {
      TEntityValue e;
      std::string_view n(name, static_cast<std::size_t>(length));
      if (FCh == ';' && LookupEntity(n, e)) {
        GetCh();
      } else if (length > MaxEntityName || FCh == '=' || !LookupEntity(n, e) || !e.Legacy) {
        break;
      }
      AppendInCodePage(out, e.First, CodePage());
      if (e.Second) AppendInCodePage(out, e.Second, CodePage());
      return;
    }
    case rkNone: break;
  }
  out.append(reinterpret_cast<const char*>(raw.Chars), static_cast<std::size_t>(raw.Count));
}

// ---- raw element contents ----

// Reads up to the end tag `endName` ("</SCRIPT"): text up to a line end, "<" or byte 0; a
// line end adds "\r\n" (or hands the line to `onLine`); another "<" construct is text.
void THtmlReader::ReadRawContents(std::string_view endName, bool keep, bool references,
                                  const std::function<void(const std::string&)>* onLine, std::string& text) {
  std::string tag;
  const unsigned char* stop = references ? RawRefStop.Flags : RawStop.Flags;
  for (;;) {
    if (FCh == 0) return;
    if (FCh == '\r') {
      if (keep) text += "\r\n";
      if (onLine) {
        (*onLine)(text);
        text.clear();
      }
      GetCh();
    } else if (FCh == '<') {
      tag.assign(1, '<');
      GetCh();
      if (FCh == '/' || IsUpperLetter(FChUp)) {
        while (FCh == '/' || IsUpperLetter(FChUp)) {
          tag.push_back(static_cast<char>(FCh));
          GetCh();
        }
        if (SameText(tag, endName)) return;
      }
      if (keep) text += tag;
    } else if (references && FCh == '&') {
      std::string bytes;
      AttributeReference(bytes);
      if (keep) text += bytes;
    } else if (keep && references && FCh == ' ' && FCharPos == FTabPos && FMode == 1) {
      text.push_back('\t');  // a text area keeps its tabs
      GetCh();
    } else if (keep) {
      TakeRun<true>(stop, text);
      GetCh();
    } else {
      GetCh();
    }
  }
}

void THtmlReader::DoScript() {
  bool handled = FHandlers && FHandlers->OnScript;
  std::string name, language, script;
  if (handled) {
    FRaw = true;  // comments in the script are its own text
    if (TAttribute* a = FAttributes.Find(syLanguage)) language = a->Text();
    if (TAttribute* a = FAttributes.Find(syName)) name = a->Text();
  }
  if (FCh == '>') GetCh();
  ReadRawContents("</SCRIPT", handled, false, nullptr, script);
  for (int i = 0; i < 6 && FCh != '>' && FCh != 0; ++i) GetCh();
  if (FCh == '>') GetCh();
  if (handled) {
    FRaw = false;
    FHandlers->OnScript(name, language, script);
  }
}

void THtmlReader::ReadTextArea(const std::function<void(const std::string& text)>& addText) {
  std::string text;
  // A line end right after the start tag only lays out the source; CR LF is one line end here.
  if (FCh == '\r') GetCh();
  ReadRawContents("</TEXTAREA", true, true, addText ? &addText : nullptr, text);
  while (FCh != '>' && FCh != 0) GetCh();
  if (FCh == '>') GetCh();
  if (addText) addText(text);
}

// The STYLE contents as the style sheet parser reads them: line ends and tabs treated, no
// comment removal, StyleEofChar at the end of the document. It can step back over the last
// character once (the parser hands back the byte after a closing "<").
class TReaderStyleSource final : public TStyleCharSource {
 public:
  // `record`, when given, receives every character handed out (less those stepped back over).
  TReaderStyleSource(THtmlReader& reader, std::string* record) : FReader(reader), FRecord(record) {}
  char GetChar() override {
    THtmlReader& r = FReader;
    FSaved = {r.FPtr, r.FIncPtr, r.FMode, r.FCharPos, r.FLineEnd, r.FCh, r.FChUp, r.FInclude.data()};
    FCanUnget = true;
    r.GetChBasic();
    if (r.FCh == 0) return StyleEofChar;
    if (FRecord) FRecord->push_back(static_cast<char>(r.FCh));
    return static_cast<char>(r.FCh);
  }
  void Unget() override {
    THtmlReader& r = FReader;
    // Not across the end of an include buffer, and not at the end of the text.
    if (!FCanUnget || r.FCh == 0 || r.FMode != FSaved.Mode || r.FInclude.data() != FSaved.Include) return;
    r.FPtr = FSaved.Ptr;
    r.FIncPtr = FSaved.IncPtr;
    r.FCharPos = FSaved.CharPos;
    r.FLineEnd = FSaved.LineEnd;
    r.FCh = FSaved.Ch;
    r.FChUp = FSaved.ChUp;
    r.UpdateFastEnd();
    FCanUnget = false;
    if (FRecord && !FRecord->empty()) FRecord->pop_back();
  }

 private:
  struct TState {
    const unsigned char* Ptr;
    const unsigned char* IncPtr;
    int Mode, CharPos, LineEnd;
    unsigned char Ch, ChUp;
    const char* Include;
  };
  THtmlReader& FReader;
  std::string* FRecord;
  TState FSaved{};
  bool FCanUnget = false;
};

void THtmlReader::ReadStyle(TStyleList* styles, std::string_view basePath, std::string* text) {
  if (text) text->clear();
  char stop = static_cast<char>(FCh);
  if (styles) {
    TReaderStyleSource source(*this, text);
    ParseStyleSheet(*styles, stop, source, basePath);
  } else {
    // No style list: skip to the first "<" outside a /* comment */ as the parser would (a
    // comment also ends at a "<", which it consumes).
    TReaderStyleSource source(*this, text);
    for (;;) {
      stop = source.GetChar();
      if (stop == StyleEofChar || stop == '<') break;
      if (stop != '/') continue;
      stop = source.GetChar();
      if (stop == StyleEofChar || stop == '<') break;
      if (stop != '*') continue;
      char previous = 0;
      for (;;) {
        char c = source.GetChar();
        if (c == StyleEofChar || c == '<' || (previous == '*' && c == '/')) break;
        previous = c;
      }
      if (FCh == 0) {
        stop = StyleEofChar;
        break;
      }
    }
  }
  if (text && stop == '<' && !text->empty() && text->back() == '<') text->pop_back();
  unsigned char s = static_cast<unsigned char>(stop);
  if (s == static_cast<unsigned char>(StyleEofChar) && FCh == 0) s = 0;
  FCh = s;
  FChUp = UpCase(s);
}

std::shared_ptr<TProperties> TheStyle(TAttributeList& attributes) {
  TAttribute* a = attributes.Find(syStyle);
  if (!a) return nullptr;
  auto props = std::make_shared<TProperties>();
  ParseInlineStyle(a->Text(), *props);
  attributes.SetOwnedStyle(props);
  return props;
}

std::string THtmlReader::ReadTitle() {
  std::string title;
  Next();
  while (FSy == syText) {
    title += WideToMultiByte(CP_UTF8, FToken.S());
    Next();
  }
  return title;
}

void THtmlReader::DoMeta() {
  std::string httpEq, name, content;
  if (TAttribute* a = FAttributes.Find(syHttpEquiv)) httpEq = a->Text();
  if (TAttribute* a = FAttributes.Find(syName)) name = a->Text();
  if (TAttribute* a = FAttributes.Find(syContent)) content = a->Text();
  // An encoding taken from the byte order mark or declared near the start stays; a text
  // recoded from ISO-2022-JP is Shift-JIS whatever it says.
  if (!FEncoding.Final() && !FConverted) {
    unsigned page = 0;
    if (TAttribute* a = FAttributes.Find(syCharset)) {
      if (EncodingLabelToCodePage(a->Text(), page)) FCharsets->SetCodePage(page == 1200 || page == 1201 ? CP_UTF8 : page);
    } else if (SameText(httpEq, "content-type")) {
      std::string lower = LowerCase(content);
      int charset;
      if (CharsetFromContentType(content, page)) {
        FCharsets->SetCodePage(page == 1200 || page == 1201 ? CP_UTF8 : page);
      } else if (LookupCharset(lower, charset)) {
        // Names no label table knows ("x-mac-japanese", "hebrew-iso"): the old fragments.
        if (charset == CharsetEucJp) FCharsets->SetCodePage(51932);
        else FCharsets->SetCharsetCode(charset);
      } else if (lower.find("utf-8") != std::string::npos) {
        FCharsets->SetUtf8();
      }
    }
  }
  if (FHandlers && FHandlers->OnMeta) FHandlers->OnMeta(httpEq, name, content);
  Next();
}

}  // namespace korva
