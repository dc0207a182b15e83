// Fuzzes the HTML reader: symbols, raw element contents, includes, code pages and the parse
// entry. Every source position handed out must lie inside the text.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/IDNameList.h"
#include "html/HtmlParse.h"
#include "html/HtmlReader.h"
#include "style/StyleList.h"

using namespace korva;

namespace {

void CheckToken(THtmlReader& reader) {
  const TokenObj& t = reader.Token();
  const int size = static_cast<int>(reader.Text().size());
  for (int i = 0; i < t.Count(); ++i)
    if (t.Positions()[i] < 0 || t.Positions()[i] >= size) std::abort();
  (void)t.S();
}

struct TNullBuilder : THtmlBuilder {
  void BeginParse(THtmlReader&) override {}
  void BuildBody(THtmlReader& r) override {
    for (int n = 0; n < 1000000 && r.Sy() != syEof; ++n) {
      CheckToken(r);
      r.Next();
    }
  }
  void BuildText(THtmlReader& r) override {
    while (r.Ch() != 0) r.GetCh();
  }
  void EndParse(THtmlReader&) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const unsigned choice = data[0];
  static const unsigned pages[8] = {1252, 65001, 932, 1251, 949, 1361, 28592, 1258};
  std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);

  TSimpleCharsets charsets(pages[choice & 7]);
  THtmlHandlers handlers;
  if (choice & 8) handlers.OnScript = [](const std::string&, const std::string&, const std::string&) {};
  if (choice & 16)
    handlers.OnInclude = [](const std::string& command, std::vector<std::string> params, std::string& out) {
      if (command.size() % 3 == 1) out = "<b title=\"&amp;\">x</b>&#x1F600;<!--#a-->" + std::to_string(params.size());
      else if (command.size() % 3 == 2) out = "&";
    };
  handlers.OnMeta = [](const std::string&, const std::string&, const std::string&) {};
  handlers.OnProgress = [](TProgressStage, int percent) {
    if (percent < 0 || percent > 75) std::abort();
  };
  TIDNameList ids;
  TReaderDocument document;
  document.IDNames = &ids;
  TStyleList styles;

  THtmlReader reader;
  reader.SetCharsets(&charsets);
  reader.SetDocument(&document);
  reader.SetHandlers(&handlers);
  reader.LoadText(text);
  try {
    reader.GetCh();
    reader.Next();
    for (int n = 0; n < 1000000 && reader.Sy() != syEof; ++n) {
      CheckToken(reader);
      switch (reader.Sy()) {
        case syScript:
          reader.DoScript();
          reader.Next();
          break;
        case syTextarea:
          reader.ReadTextArea([](const std::string&) {});
          reader.Next();
          break;
        case syStyle:
          reader.ReadStyle((choice & 32) ? &styles : nullptr);
          reader.Next();
          break;
        case syTitle:
          reader.ReadTitle();
          break;
        case syMeta:
          reader.DoMeta();
          break;
        case syPre:
          while (reader.Ch() != 0 && reader.Ch() != '<') {
            reader.NextPreformatted();
            CheckToken(reader);
            if (reader.Ch() == '\r') reader.GetCh();
          }
          reader.Next();
          break;
        default:
          if (reader.Sy() == syP && (choice & 64)) TheStyle(reader.Attributes());
          reader.Next();
      }
    }
  } catch (const EParseError&) {
  }

  TNullBuilder builder;
  if (choice & 128) ParseText(text, builder, &document);
  else ParseHtml(text, builder, &document, &handlers);
  return 0;
}
