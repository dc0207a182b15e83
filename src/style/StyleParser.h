// The style sheet parser: style elements and linked sheets into style list rules, style
// attributes into property sets. It never reports an error; what it does not understand it
// skips.
#pragma once

#include <string>
#include <string_view>

namespace korva {

class TStyleList;
class TProperties;

// Character 26 ends the style text.
constexpr char StyleEofChar = 26;

// Where a style sheet's characters come from. The parser keeps its own one-character push-back
// slot, so a source only ever moves forward.
class TStyleCharSource {
 public:
  virtual ~TStyleCharSource() = default;
  // The next byte of the style text. Carriage returns, line feeds and tabs may be delivered
  // as they are (the parser reads them as spaces). After the end: StyleEofChar, every time.
  virtual char GetChar() = 0;
  // Steps back over the byte the last GetChar returned, so that it is read again (by the
  // caller after the parser returns). Called at most once per parse, right before returning,
  // and only after a "<" that does not open "<!": the byte is the one after that "<". At the
  // end of the input it does nothing.
  virtual void Unget() = 0;
};

// A source over a string (linked sheets, tests): the line feed of a CR LF pair is skipped (a
// lone one reads as a space, so text with Unix line ends needs no normalising), tabs become
// spaces, StyleEofChar comes at the end. The text must outlive the source.
class TStringStyleSource final : public TStyleCharSource {
 public:
  explicit TStringStyleSource(std::string_view text) : FText(text) {}
  char GetChar() override {
    FLastPos = FPos;
    while (FPos < FText.size()) {
      char c = FText[FPos++];
      if (c == '\n' && FPos >= 2 && FText[FPos - 2] == '\r') continue;
      return c == '\t' || c == '\n' ? ' ' : c;
    }
    FLastPos = FPos;
    return StyleEofChar;
  }
  void Unget() override { FPos = FLastPos; }

 private:
  std::string_view FText;
  std::size_t FPos = 0;
  std::size_t FLastPos = 0;
};

// Parses rules into `styles` until the current character is "<" or the end. On entry `ch` is
// the caller's current character (it is read first, before anything from `source`); on return
// it is the character parsing stopped at ("<" or StyleEofChar). `basePath` (a folder path or a
// URL) makes url(...) values absolute.
void ParseStyleSheet(TStyleList& styles, char& ch, TStyleCharSource& source, std::string_view basePath);
// A whole sheet held in memory (a linked style sheet).
void ParseStyleText(TStyleList& styles, std::string_view text, std::string_view basePath);
// Parses the value of a style attribute into `props` (AssignByName for each declaration).
void ParseInlineStyle(std::string_view text, TProperties& props);

// The value of a url(...) declaration made absolute against a base path: "url(" url ")".
std::string MakeStyleUrlAbsolute(std::string_view value, std::string_view basePath);

}  // namespace korva
