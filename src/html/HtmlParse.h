// The parse entries: set up the reader for one document, run the counting prescan and hand
// the reader to the document builder.
#pragma once

#include <string>

#include "html/HtmlReader.h"

namespace korva {

// The building pass, as the parse entries drive it.
class THtmlBuilder {
 public:
  virtual ~THtmlBuilder() = default;
  // Before the text is prepared: the property stack with the document's default set, the body
  // block, the first section, the link target. The reader takes its code page from the top of
  // the module's property stack (PropStack) unless the builder sets other charsets here.
  virtual void BeginParse(THtmlReader& reader) = 0;
  // An HTML document; the reader stands on the first symbol.
  virtual void BuildBody(THtmlReader& reader) = 0;
  // A plain-text document; the reader is raw and stands on the first character.
  virtual void BuildText(THtmlReader& reader) = 0;
  // Always called last, also after an error: hand the last section to its cell, release what
  // the parse held. The parse entry then empties the property stack and drops the text.
  virtual void EndParse(THtmlReader& reader) = 0;
};

// Counts A start tags with HREF, stopping once there are more than `limit`. The reader must
// stand on its first symbol. Errors end the count.
int CountLinks(THtmlReader& reader, int limit);

// An HTML document: the counting prescan (sets document->ManyLinks beyond 400 links), then
// the building pass, which any error ends quietly, keeping what was built.
void ParseHtml(std::string text, THtmlBuilder& builder, TReaderDocument* document, const THtmlHandlers* handlers);
// A plain-text document: no markup, no comments; errors reach the caller after the clean-up
// (which, as for HTML, ends with an empty property stack).
void ParseText(std::string text, THtmlBuilder& builder, TReaderDocument* document);

}  // namespace korva
