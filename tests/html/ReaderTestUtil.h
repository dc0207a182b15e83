// Drives the reader over a string and describes what it makes of it.
#pragma once

#include <string>
#include <vector>

#include "core/IDNameList.h"
#include "html/Charsets.h"
#include "html/HtmlReader.h"
#include "platform/CodePage.h"

namespace korva::test {

inline std::string Utf8(const std::u16string& s) { return WideToMultiByte(CP_UTF8, s); }

struct TReaderRig {
  TSimpleCharsets Charsets{1252};
  TIDNameList IDs;
  TReaderDocument Document;
  THtmlHandlers Handlers;
  THtmlReader Reader;

  // Loads the text and reads the first character, as a parse entry does.
  THtmlReader& Load(std::string text, unsigned codePage = 1252) {
    Charsets.SetCodePage(codePage);
    Reader.SetCharsets(&Charsets);
    Document.IDNames = &IDs;
    Reader.SetDocument(&Document);
    Reader.SetHandlers(&Handlers);
    Reader.LoadText(std::move(text));
    Reader.GetCh();
    return Reader;
  }

  // The current symbol: text as 'text', a tag as its name (heading level appended) with its
  // attributes as NAME="text".
  std::string Describe() {
    if (Reader.Sy() == syText) return "'" + Utf8(Reader.Token().S()) + "'";
    std::string s(SymbolName(Reader.Sy()));
    if (Reader.HeadingLevel()) s += std::to_string(Reader.HeadingLevel());
    const TAttributeList& a = Reader.Attributes();
    if (Reader.Sy() != syEof)
      for (int i = 0; i < a.Count(); ++i) s += " " + a[i]->WhichName() + "=\"" + a[i]->Text() + "\"";
    return s;
  }

  // Every symbol up to the end of the document.
  std::vector<std::string> Symbols(std::string text, unsigned codePage = 1252) {
    Load(std::move(text), codePage);
    std::vector<std::string> out;
    for (int guard = 0; guard < 100000; ++guard) {
      Reader.Next();
      if (Reader.Sy() == syEof) break;
      out.push_back(Describe());
    }
    return out;
  }

  // The characters of GetCh up to the end, with their positions.
  std::string Chars(std::string text, std::vector<int>* positions = nullptr) {
    Load(std::move(text));
    std::string out;
    while (Reader.Ch() != 0) {
      out.push_back(static_cast<char>(Reader.Ch()));
      if (positions) positions->push_back(Reader.CharPos());
      Reader.GetCh();
    }
    return out;
  }
};

using Syms = std::vector<std::string>;

}  // namespace korva::test
