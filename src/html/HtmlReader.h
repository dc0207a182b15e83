// The HTML reader: turns the bytes of one document into symbols (tags with attributes, end
// tags, text runs with source positions, end of document) for the document builder.
//
// Reading is byte by byte through three layers: the basic reader (main text or include
// buffer, progress reports), line ends and tabs (CR, LF, CR LF and LF CR become CR; tab becomes
// space; `ChUp` shadows `Ch` in upper case), and comment removal (`<!...>` vanishes wherever it
// stands, and so does `<?...>` outside attribute values, unless the raw flag is set). The common case of the top layer is inline and costs a
// table lookup per byte; text runs and attribute values take runs of ordinary bytes at once.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "core/Attributes.h"
#include "core/CharCase.h"
#include "core/IDNameList.h"
#include "core/Progress.h"
#include "core/ReaderDocument.h"
#include "core/Symbols.h"
#include "core/TokenObj.h"
#include "html/Charsets.h"
#include "html/EncodingSniffer.h"

namespace korva {

class EParseError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

inline constexpr const char* OpenCommentMessage = "Open Comment at End of HTML File";
inline constexpr const char* NotHtmlMessage = "Not an HTML or Text document";

// The viewer's handlers the reader calls (the viewer adds itself as the sender).
struct THtmlHandlers {
  // Command, parameter lines ("name=value", handed over), and the text to include (out).
  std::function<void(const std::string& command, std::vector<std::string> params, std::string& iString)> OnInclude;
  std::function<void(const std::string& name, const std::string& language, const std::string& script)> OnScript;
  std::function<void(const std::string& httpEq, const std::string& name, const std::string& content)> OnMeta;
  std::function<void(TProgressStage stage, int percentDone)> OnProgress;
};


class TStyleList;
class TProperties;

class THtmlReader {
 public:
  THtmlReader();
  THtmlReader(const THtmlReader&) = delete;
  THtmlReader& operator=(const THtmlReader&) = delete;

  // ---- set-up (the parse entries do this) ----
  void SetDocument(TReaderDocument* document) { FDocument = document; UpdateFastEnd(); }
  void SetHandlers(const THtmlHandlers* handlers) { FHandlers = handlers; UpdateFastEnd(); }
  // Null: a fixed Windows-1252.
  void SetCharsets(TCharsetTarget* charsets) { FCharsets = charsets ? charsets : &FDefaultCharsets; }
  TReaderDocument* Document() const { return FDocument; }
  const THtmlHandlers* Handlers() const { return FHandlers; }
  TCharsetTarget& Charsets() const { return *FCharsets; }

  // Takes the text and prepares it: its encoding decided (byte order mark, and with
  // `declarations` a META charset near the start or the XML declaration, else UTF-8 when the
  // text is valid UTF-8 beyond ASCII) and set as the code page; UTF-16 turned into UTF-8; cut
  // at the first byte 0; ISO-2022-JP recoded to Shift-JIS. Nothing decided leaves the code
  // page as it is (the viewer's). Then Restart.
  void LoadText(std::string text, bool declarations = true);
  const TEncodingDecision& Encoding() const { return FEncoding; }
  // Back to the start: position -1, flags cleared, nothing read yet.
  void Restart();
  void ReleaseText();
  const std::string& Text() const { return FText; }

  bool Raw() const { return FRaw; }
  void SetRaw(bool raw) { FRaw = raw; }
  bool Prescan() const { return FPrescan; }
  void SetPrescan(bool prescan) { FPrescan = prescan; UpdateFastEnd(); }
  bool Converted() const { return FConverted; }

  // ---- characters ----
  // The next character with comment removal (unless raw).
  void GetCh() {
    if (FPtr < FFastEnd) {
      unsigned char b = *FPtr;
      // A "<" is plain unless a comment or processing instruction could start with it.
      if (PlainByte(b) || (b == '<' && FPtr + 1 < FFastEnd && FPtr[1] != '!' && FPtr[1] != '?')) {
        ++FPtr;
        ++FCharPos;
        FCh = b;
        FChUp = UpCase(b);
        FLineEnd = 0;
        return;
      }
    }
    GetChSlow();
  }
  // The next character after line-end and tab treatment, without comment removal.
  void GetChBasic();
  // The next byte as stored, without consuming it (0 at the end).
  unsigned char PeekByte() const;
  // While Ch is space or CR (tabs are spaces by now).
  void SkipSpaces() {
    while (FCh == ' ' || FCh == '\r') GetCh();
  }
  unsigned char Ch() const { return FCh; }
  unsigned char ChUp() const { return FChUp; }
  // 0-based byte position of Ch in the main text (-1 before the first read).
  int CharPos() const { return FCharPos; }
  // Whether Ch is the space a tab of the main text became (preformatted text expands it).
  bool ChIsTab() const { return FCh == ' ' && FCharPos == FTabPos && FMode == 1; }
  // Position of the "<" that opened the current tag.
  int TagPos() const { return FTagPos; }
  // The code page text is decoded from (the top property set's).
  unsigned CodePage() const { return FCharsets->CodePage(); }

  // ---- symbols ----
  void Next();
  // The prescan's reading: on to the next A start tag having HREF (true; the reader stands on
  // it with its attributes) or to the end (false). The symbols between are read by the same
  // rules as Next reads them, but their text and the attributes of other tags are not kept.
  bool NextLink();
  TSymbol Sy() const { return FSy; }
  // 1 to 6 for heading start and end tags, else 0.
  int HeadingLevel() const { return FLevel; }
  TAttributeList& Attributes() { return FAttributes; }
  const TAttributeList& Attributes() const { return FAttributes; }
  TokenObj& Token() { return FToken; }
  // Text of preformatted content: characters up to a line end, "<" or byte 0, references
  // decoded, white space kept, a tab as spaces up to the next multiple of 8 columns (counted
  // in characters from the line's start, across the tags since). The symbol is text (the
  // token may be empty).
  void NextPreformatted();

  // ---- contents of raw elements, and the title ----
  // At the SCRIPT start symbol (Ch on its ">"): with an OnScript handler the contents go to
  // it, comments kept; without one they are skipped. Ends after the end tag's ">".
  void DoScript();
  // At the TEXTAREA start symbol: each line is handed over with "\r\n" at its end, then the
  // rest (maybe empty); references decoded by the attribute rules; tabs kept. A line end right
  // after the start tag is dropped. Ends after the end tag.
  void ReadTextArea(const std::function<void(const std::string& text)>& addText);
  // At the STYLE start symbol (Ch on its ">"): the style sheet parser reads the contents into
  // `styles` up to the "<" of the end tag (without a style list they are skipped the same
  // way). Next then reads the end tag. `text`, when given, receives the characters the parser
  // read (line ends and tabs treated), without that "<".
  void ReadStyle(TStyleList* styles, std::string_view basePath = {}, std::string* text = nullptr);
  // At TITLE: the text of the following text symbols in UTF-8 (a title in any script reaches
  // the window caption whole); stops at the first other symbol, which stays current.
  std::string ReadTitle();
  // At META: the character set of a content-type META, the OnMeta handler, then Next.
  void DoMeta();
  // At the start symbol of an element whose contents are not HTML (an inline SVG picture; Ch
  // after its start tag): reads through the end tag that matches it, nested elements of the
  // same (upper-case, local) name counted and comments and character data passed over, and
  // gives the element's markup from the start tag's "<" to the end tag's ">" as written. A
  // start tag closed by "/>" is the whole element. Markup longer than maxBytes is not kept
  // (false; the element is still passed over). Ch is then the character after the element.
  bool ReadForeignElement(std::string_view upperName, std::size_t maxBytes, std::string& markup);
  // After the start tag of an element whose content is never shown (IFRAME: a browser shows
  // the framed page, never the text inside; TEMPLATE): passes over everything up to and
  // including the end tag named (upper case, with "</"), or to the end of the document.
  void SkipHiddenElement(std::string_view endTag);

 private:
  friend class TReaderStyleSource;
  static bool PlainByte(unsigned char b) { return PlainTable[b] != 0; }
  static const unsigned char PlainTable[256];

  unsigned char ReadByte();
  void GetChSlow();
  void RemoveComment();
  void RemoveCommentBody();
  void SkipCommentBody();
  void DoInclude();
  void PushInclude(const std::string& text);
  void ReportProgress();
  void UpdateFastEnd();
  // Appends Ch and the ordinary bytes after it that `stop` does not flag; Ch ends on the last
  // byte taken (the caller reads on). Without Keep the bytes are only passed over.
  template <bool Keep>
  void TakeRun(const unsigned char* stop, std::string& out);

  // Keep false reads the same characters and keeps nothing (the prescan's way), except the
  // attributes of A start tags.
  template <bool Keep>
  void ReadSymbol();
  template <bool Keep>
  void ReadTag();
  template <bool Keep>
  bool ReadAttribute();
  template <bool Keep>
  void ReadAttributeValue(std::string& text, int& value, bool include);
  void ReadTextRun();
  void PassText();
  void FlushGathered(unsigned codePage);
  // Text bytes go straight into the token through the table of a single-byte code page, or
  // are gathered and decoded together (pages with characters of several bytes).
  void Gather(unsigned char c, int pos) {
    if (FRunTable) FToken.AddUnicodeChar(FRunTable[c], pos);
    else FGathered.Add(c, pos);
  }
  void GatherRun(const unsigned char* bytes, int n, int firstPos) {
    if (FRunTable) FToken.AddTableRun(reinterpret_cast<const char*>(bytes), n, firstPos, FRunTable);
    else FGathered.AddRun(reinterpret_cast<const char*>(bytes), n, firstPos);
  }
  void TakeTextRun();
  // Moves past bytes that a fast scan of name characters has already looked at (none of them
  // a line end), keeping the character position in step.
  void ConsumeScanned(const unsigned char* p) {
    if (p == FPtr) return;
    FCharPos += static_cast<int>(p - FPtr);
    FPtr = p;
    FLineEnd = 0;
  }
  struct TRawReference;
  enum TReferenceKind { rkNone, rkNumber, rkName };
  TReferenceKind ScanReference(TRawReference& raw, std::uint32_t& value, char* name, int& nameLength);
  void TextReference(unsigned codePage);
  void AttributeReference(std::string& out);
  void AddUnicodeValue(std::uint32_t value, int pos);
  void ReadRawContents(std::string_view endName, bool keep, bool references,
                       const std::function<void(const std::string&)>* onLine, std::string& text);

  // Text of the document and the read pointers.
  std::string FText;
  const unsigned char* FBuf = nullptr;
  const unsigned char* FPtr = nullptr;
  const unsigned char* FEnd = nullptr;
  // The inline reader may run up to here without looking at modes or progress.
  const unsigned char* FFastEnd = nullptr;
  std::size_t FNextProgress = 0;

  // Include buffer and source mode (1 main text, 2 include buffer).
  std::string FInclude;
  const unsigned char* FIncPtr = nullptr;
  const unsigned char* FIncEnd = nullptr;
  int FMode = 1, FSavedMode = 1;
  int FIncludeCount = 0;

  unsigned char FCh = 0, FChUp = 0;
  int FLineEnd = 0;  // 0 none, 1 CR, 2 LF before
  bool FInComment = false, FRaw = false, FPrescan = false, FConverted = false;
  TEncodingDecision FEncoding;
  bool FInValue = false;  // reading an attribute value
  // The end came inside a comment: the symbol being read is finished, the next Next raises.
  bool FOpenComment = false;
  int FCharPos = -1, FTagPos = 0;
  // Tabs of preformatted text: where the last tab was read, line ends read outside comments,
  // and the column reached (characters since the line end) when a piece ended.
  int FTabPos = -2;
  int FLineCount = 0, FPreLine = 0, FPreColumn = 0;

  TSymbol FSy = syEof;
  int FLevel = 0;
  TAttributeList FAttributes;
  TokenObj FToken;
  TCharCollection FGathered;
  const char16_t* FRunTable = nullptr;
  std::string FValueText;

  TReaderDocument* FDocument = nullptr;
  const THtmlHandlers* FHandlers = nullptr;
  TSimpleCharsets FDefaultCharsets;
  TCharsetTarget* FCharsets = &FDefaultCharsets;
};

// The property set of the tag's STYLE attribute, made by the inline style parser; the list
// keeps a share of it until its next STYLE attribute, the element's set keeps another for as
// long as it needs it. Null without a STYLE attribute.
std::shared_ptr<TProperties> TheStyle(TAttributeList& attributes);

// The leading number of an attribute value (surrounding spaces and one trailing "%" ignored),
// rounded to the nearest integer with halves to even; 0 when it does not start like a number.
int AttributeNumber(std::string_view text);

}  // namespace korva
