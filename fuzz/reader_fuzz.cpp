// Fuzzes the HTML reader: encodings (a declaration or mark chosen by the input before the
// page), symbols, raw element contents, includes, code pages and the parse entry. Every source
// position handed out must lie inside the text.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/IDNameList.h"
#include "html/EncodingSniffer.h"
#include "html/HtmlParse.h"
#include "html/HtmlReader.h"
#include "platform/CodePage.h"
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

// What the page declares of its encoding, chosen by the second byte of the input: a byte
// order mark, a META of either form or an XML declaration naming one of the labels, or nothing.
std::string EncodingPrefix(unsigned choice) {
  static const char* const labels[16] = {"koi8-r", "euc-jp", "gb18030", "iso-2022-jp", "utf-16", "shift_jis",
                                         "euc-kr", "big5", "x-mac-cyrillic", "iso-8859-8-i", "utf-8",
                                         "windows-1258", "replacement", "bogus", "x-user-defined", "utf-16be"};
  const std::string label = labels[choice & 15];
  switch (choice >> 4) {
    case 0: return "\xEF\xBB\xBF";
    case 1: return "\xFF\xFE";
    case 2: return "\xFE\xFF";
    case 3: return "<meta charset=" + label + ">";
    case 4: return "<meta http-equiv=Content-Type content=\"text/html; charset=" + label + "\">";
    case 5: return "<?xml version=\"1.0\" encoding=\"" + label + "\"?>";
    case 6: return "<!-- <meta charset=" + label + "> --><p title='<meta charset=utf-8>'>";
    default: return {};
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const unsigned choice = data[0];
  static const unsigned pages[8] = {1252, 65001, 932, 1251, 949, 1361, 28592, 1258};
  std::string text = EncodingPrefix(data[1]);
  text.append(reinterpret_cast<const char*>(data) + 2, size - 2);

  // The decision names a page the platform decodes.
  const TEncodingDecision decision = SniffEncoding(text);
  if (decision.Source != esNone && !IsCodePageSupported(decision.CodePage)) std::abort();

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
