// korva-tokens FILE [--codepage N] [--text]
// Prints the symbol stream the HTML reader makes of a page, one symbol a line: the symbol
// with its attributes (text and numeric value), or a text run with the source position of its
// first character. Raw contents (SCRIPT, STYLE, TEXTAREA), titles and META character sets are
// read the way the document builder reads them (STYLE by the style sheet parser, which also
// prints the rules it made). Texts are printed as UTF-8.
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "core/IDNameList.h"
#include "html/EncodingSniffer.h"
#include "html/HtmlParse.h"
#include "html/HtmlReader.h"
#include "platform/CodePage.h"
#include "style/Properties.h"
#include "style/StyleList.h"

using namespace korva;

namespace {

// Control characters and quotes escaped so that every symbol stays on one line.
std::string Quote(const std::string& utf8) {
  std::string out = "\"";
  for (unsigned char c : utf8) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c < 32) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string FromPage(const std::string& bytes, unsigned codePage) {
  return WideToMultiByte(CP_UTF8, MultiByteToWide(codePage, bytes));
}

class TPrintingBuilder : public THtmlBuilder {
 public:
  TSimpleCharsets* Charsets = nullptr;
  int Symbols = 0;

  void BeginParse(THtmlReader& reader) override { reader.SetCharsets(Charsets); }

  void BuildBody(THtmlReader& r) override {
    PrintEncoding(r);
    try {
      ReadSymbols(r);
    } catch (const std::exception& e) {
      // The parse entry ends the pass quietly; say why it ended.
      std::printf("error: %s\n", e.what());
      throw;
    }
  }

  // How the page's encoding was decided and the code page its text is read in (UTF-16 pages
  // are read as UTF-8).
  static void PrintEncoding(const THtmlReader& r) {
    const TEncodingDecision& e = r.Encoding();
    if (e.Source == esNone) std::printf("-- encoding: code page %u (default)\n", r.CodePage());
    else std::printf("-- encoding: code page %u (%s), read as %u\n", e.CodePage, EncodingSourceName(e.Source), r.CodePage());
  }

  void ReadSymbols(THtmlReader& r) {
    while (r.Sy() != syEof) {
      Print(r);
      switch (r.Sy()) {
        case syScript: r.DoScript(); r.Next(); break;
        case syStyle: ReadStyle(r); r.Next(); break;
        case syTextarea:
          r.ReadTextArea([&](const std::string& line) {
            std::printf("  line %s\n", Quote(FromPage(line, r.CodePage())).c_str());
          });
          r.Next();
          break;
        case syTitle:
          std::printf("  title %s\n", Quote(FromPage(r.ReadTitle(), CP_ACP)).c_str());
          break;
        case syMeta: {
          unsigned before = r.CodePage();
          r.DoMeta();
          if (r.CodePage() != before) std::printf("  code page %u\n", r.CodePage());
          break;
        }
        case syPre: ReadPre(r); break;
        default: r.Next();
      }
    }
    std::printf("Eof\n");
  }

  void BuildText(THtmlReader& r) override {
    PrintEncoding(r);
    std::string line;
    int start = 0;
    while (r.Ch() != 0) {
      if (line.empty()) start = r.CharPos();
      if (r.Ch() == '\r') {
        std::printf("Line @%d %s\n", start, Quote(FromPage(line, r.CodePage())).c_str());
        line.clear();
      } else {
        line.push_back(static_cast<char>(r.Ch()));
      }
      r.GetCh();
    }
    if (!line.empty()) std::printf("Line @%d %s\n", start, Quote(FromPage(line, r.CodePage())).c_str());
  }

  void EndParse(THtmlReader&) override {}

 private:
  void Print(THtmlReader& r) {
    ++Symbols;
    if (r.Sy() == syText) {
      const TokenObj& t = r.Token();
      std::printf("Text @%d %s\n", t.Count() ? t.Positions()[0] : -1, Quote(WideToMultiByte(CP_UTF8, t.S())).c_str());
      return;
    }
    std::string line(SymbolName(r.Sy()));
    if (r.HeadingLevel()) line += std::to_string(r.HeadingLevel());
    std::printf("%s @%d", line.c_str(), r.TagPos());
    const TAttributeList& a = r.Attributes();
    for (int i = 0; i < a.Count(); ++i) {
      const TAttribute& at = *a[i];
      std::printf(" %s=%s", at.WhichName().c_str(), Quote(FromPage(at.Text(), r.CodePage())).c_str());
      if (at.Value() != 0) std::printf("(%d)", at.Value());
    }
    std::printf("\n");
  }

  // STYLE contents read by the style sheet parser, as the document builder has them read: the
  // characters it took, then the rules it made of them (each key with the values its
  // declarations set).
  static void ReadStyle(THtmlReader& r) {
    TStyleList styles;
    std::string text;
    r.ReadStyle(&styles, {}, &text);
    std::printf("  style %s\n", Quote(FromPage(text, r.CodePage())).c_str());
    const TProperties fresh;
    // One line per rule and selector, in the order written; important declarations marked.
    for (const TAuthorRule& rule : styles.AuthorRules()) {
      std::string line = "  rule " + Quote(rule.Selector->Text) + (rule.Important ? " !important" : "");
      for (const auto& [i, v] : rule.Block->Values)
        if (!(v == fresh.Value(i))) line += " " + std::string(PropNames[std::size_t(i)]) + "=" + Show(i, v);
      if (rule.Block->HasContent) line += " content=" + Quote(rule.Block->Content);
      std::printf("%s\n", line.c_str());
    }
  }

  // Text quoted, colours in hex, other numbers as they are (not through the C locale).
  static std::string Show(int index, const TPropValue& v) {
    if (v.IsText()) return Quote(v.Text());
    char buf[32];
    if (v.IsReal()) return std::string(buf, std::to_chars(buf, buf + sizeof buf, v.Real()).ptr);
    const bool colour = index == piColor || index == piBackgroundColor || index == piBorderColor ||
                        (index >= piBorderTopColor && index <= piBorderLeftColor);
    if (!colour) return std::to_string(v.Int());
    std::snprintf(buf, sizeof buf, "0x%08X", unsigned(v.Int()));
    return buf;
  }

  // Preformatted content is read as characters, not symbols, up to "</PRE>"; then the next
  // symbol is read.
  void ReadPre(THtmlReader& r) {
    for (;;) {
      if (r.Ch() == 0) {
        r.Next();
        return;
      }
      if (r.Ch() == '\r') {
        std::printf("  line end @%d\n", r.CharPos());
        r.GetCh();
      } else if (r.Ch() == '<') {
        r.Next();
        if (r.Sy() == syEndPre) {
          Print(r);
          r.Next();
          return;
        }
        Print(r);
      } else {
        r.NextPreformatted();
        std::printf("  pre @%d %s\n", r.Token().Count() ? r.Token().Positions()[0] : -1,
                    Quote(WideToMultiByte(CP_UTF8, r.Token().S())).c_str());
      }
    }
  }
};

}  // namespace

int main(int argc, char** argv) {
  const char* file = nullptr;
  unsigned codePage = 1252;
  bool text = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--codepage") == 0 && i + 1 < argc) {
      codePage = static_cast<unsigned>(std::strtoul(argv[++i], nullptr, 10));
    } else if (std::strcmp(argv[i], "--text") == 0) {
      text = true;
    } else if (!file && argv[i][0] != '-') {
      file = argv[i];
    } else {
      file = nullptr;
      break;
    }
  }
  if (!file) {
    std::fprintf(stderr, "usage: korva-tokens FILE [--codepage N] [--text]\n");
    return 2;
  }
  std::ifstream f(file, std::ios::binary);
  if (!f) {
    std::fprintf(stderr, "korva-tokens: cannot read %s\n", file);
    return 1;
  }
  std::stringstream ss;
  ss << f.rdbuf();

  TSimpleCharsets charsets(codePage);
  TIDNameList ids;
  TReaderDocument document;
  document.IDNames = &ids;
  THtmlHandlers handlers;
  handlers.OnScript = [](const std::string& name, const std::string& language, const std::string& script) {
    std::printf("  script name=%s language=%s %s\n", Quote(name).c_str(), Quote(language).c_str(),
                Quote(script).c_str());
  };
  handlers.OnInclude = [](const std::string& command, std::vector<std::string> params, std::string&) {
    std::printf("  include %s", command.c_str());
    for (const auto& p : params) std::printf(" %s", Quote(p).c_str());
    std::printf("\n");
  };
  TPrintingBuilder builder;
  builder.Charsets = &charsets;
  try {
    if (text) {
      ParseText(ss.str(), builder, &document);
    } else {
      ParseHtml(ss.str(), builder, &document, &handlers);
    }
  } catch (const std::exception& e) {
    std::printf("error: %s\n", e.what());
    return 1;
  }
  std::printf("-- %d symbols, %d ids%s\n", builder.Symbols, ids.Count(), document.ManyLinks ? ", many links" : "");
  return 0;
}
