// Character sets of documents: the META charset table, the code page of the text being read
// and the recoding of ISO-2022-JP documents to Shift-JIS.
#pragma once

#include <string>
#include <string_view>

namespace korva {

// Two values of the charset table are not font character sets.
constexpr int CharsetIso8859_2 = 31;  // handed on as such: character set 238, code page 28592
constexpr int CharsetEucJp = 30;      // read through code page 51932 with character set 128
constexpr int CharsetShiftJis = 128;

// The first row of the charset table whose fragment occurs in the lower-case value.
bool LookupCharset(std::string_view lowerValue, int& charset);
// The code page of a font character set (0 when the set has none of its own).
bool CharsetToCodePage(int charset, unsigned& codePage);
// The font character set for text in a code page (ANSI for pages of Latin script and UTF-8).
int CodePageToCharset(unsigned codePage);

// Where the reader takes the code page of the text from and where a document's character set
// goes: the top of the property stack during a parse.
class TCharsetTarget {
 public:
  virtual ~TCharsetTarget() = default;
  virtual unsigned CodePage() const = 0;
  virtual void SetCharsetCode(int charset) = 0;
  virtual void SetUtf8() = 0;
  // A code page decided for the document (an encoding label, the byte order mark, UTF-8
  // content): the font character set follows from it.
  virtual void SetCodePage(unsigned codePage) = 0;
};

// A fixed stand-in with its own code page (tools, tests, parses without a property stack).
class TSimpleCharsets : public TCharsetTarget {
 public:
  explicit TSimpleCharsets(unsigned codePage = 1252) : FCodePage(codePage) {}
  unsigned CodePage() const override { return FCodePage; }
  void SetCharsetCode(int charset) override;
  void SetUtf8() override { FCodePage = 65001; }
  void SetCodePage(unsigned codePage) override { FCodePage = codePage; }

 private:
  unsigned FCodePage;
};

class TPropStack;

// The property stack's top set (the building pass); an empty stack reads as the system code
// page and ignores changes.
class TPropStackCharsets : public TCharsetTarget {
 public:
  explicit TPropStackCharsets(TPropStack& stack) : FStack(stack) {}
  unsigned CodePage() const override;
  void SetCharsetCode(int charset) override;
  void SetUtf8() override;
  void SetCodePage(unsigned codePage) override;

 private:
  TPropStack& FStack;
};

// ISO-2022-JP: whether the text holds ESC "$@" or ESC "$B", and its recoding to Shift-JIS
// (the reader reads Shift-JIS instead of the stateful encoding, whose escapes would be lost
// between the pieces of text it decodes one at a time).
bool HasIso2022JpEscape(std::string_view text);
std::string Iso2022JpToShiftJis(std::string_view text);

}  // namespace korva
