// Character sets of documents: the META charset table, the code page of the text being read
// and the recoding of Japanese documents to Shift-JIS.
#pragma once

#include <string>
#include <string_view>

namespace korva {

// Two values of the charset table are not font character sets.
constexpr int CharsetIso8859_2 = 31;  // handed on as such: character set 238, code page 28592
constexpr int CharsetEucJp = 30;      // the text is recoded to Shift-JIS and 128 is used
constexpr int CharsetShiftJis = 128;

// The first row of the charset table whose fragment occurs in the lower-case value.
bool LookupCharset(std::string_view lowerValue, int& charset);
// The code page of a font character set (0 when the set has none of its own).
bool CharsetToCodePage(int charset, unsigned& codePage);

// Where the reader takes the code page of the text from and where a document's character set
// goes: the top of the property stack during a parse.
class TCharsetTarget {
 public:
  virtual ~TCharsetTarget() = default;
  virtual unsigned CodePage() const = 0;
  virtual void SetCharsetCode(int charset) = 0;
  virtual void SetUtf8() = 0;
};

// A fixed stand-in with its own code page (tools, tests, parses without a property stack).
class TSimpleCharsets : public TCharsetTarget {
 public:
  explicit TSimpleCharsets(unsigned codePage = 1252) : FCodePage(codePage) {}
  unsigned CodePage() const override { return FCodePage; }
  void SetCharsetCode(int charset) override;
  void SetUtf8() override { FCodePage = 65001; }
  void SetCodePage(unsigned codePage) { FCodePage = codePage; }

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

 private:
  TPropStack& FStack;
};

// ISO-2022-JP: whether the text holds ESC "$@" or ESC "$B", and its recoding to Shift-JIS.
bool HasIso2022JpEscape(std::string_view text);
std::string Iso2022JpToShiftJis(std::string_view text);
// EUC-JP to Shift-JIS in place; one output byte per input byte, so offsets stay valid.
void EucJpToShiftJis(std::string& text);

}  // namespace korva
