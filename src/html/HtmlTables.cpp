// Tables.
#include "html/HtmlBuilder.h"
#include "html/HtmlBuilderSets.h"

namespace korva {

void TDocumentBuilder::TableProduction(const TSymbolSet& term) {
  (void)term;
  R->Next();
}

}  // namespace korva
