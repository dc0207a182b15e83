#include "html/HtmlParse.h"

#include <exception>

#include "html/Limits.h"
#include "style/PropStack.h"

namespace korva {

int CountLinks(THtmlReader& reader, int limit) {
  int links = 0;
  if (reader.Sy() == syEof) return 0;
  if (reader.Sy() == syA && reader.Attributes().Find(syHref)) ++links;
  try {
    while (links <= limit && reader.NextLink()) ++links;
  } catch (const std::exception&) {
  }
  return links;
}

void ParseHtml(std::string text, THtmlBuilder& builder, TReaderDocument* document, const THtmlHandlers* handlers) {
  THtmlReader reader;
  TPropStackCharsets charsets(PropStack());
  reader.SetCharsets(&charsets);
  reader.SetDocument(document);
  builder.BeginParse(reader);
  try {
    reader.LoadText(std::move(text));
    // The prescan reads without handlers and registers no ids.
    reader.SetPrescan(true);
    int links = 0;
    try {
      reader.GetCh();
      reader.Next();
      links = CountLinks(reader, ManyLinksThreshold);
    } catch (const std::exception&) {
    }
    if (links > ManyLinksThreshold && document) document->ManyLinks = true;
    reader.SetPrescan(false);
    reader.Restart();
    reader.SetHandlers(handlers);
    reader.GetCh();
    reader.Next();
    builder.BuildBody(reader);
  } catch (const std::exception&) {
    // The building pass ends quietly; what was built stays.
  }
  builder.EndParse(reader);
  PropStack().Clear();
  reader.SetHandlers(nullptr);
  reader.ReleaseText();
}

void ParseText(std::string text, THtmlBuilder& builder, TReaderDocument* document) {
  THtmlReader reader;
  TPropStackCharsets charsets(PropStack());
  reader.SetCharsets(&charsets);
  reader.SetDocument(document);
  builder.BeginParse(reader);
  try {
    reader.LoadText(std::move(text), false);
    reader.SetRaw(true);
    reader.GetCh();
    builder.BuildText(reader);
  } catch (...) {
    builder.EndParse(reader);
    PropStack().Clear();
    reader.ReleaseText();
    throw;
  }
  builder.EndParse(reader);
  PropStack().Clear();
  reader.ReleaseText();
}

}  // namespace korva
