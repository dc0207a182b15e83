// Form controls.
#include "html/HtmlBuilder.h"
#include "html/HtmlBuilderSets.h"

namespace korva {

void TDocumentBuilder::FormControlProduction(const TSymbolSet& term) {
  (void)term;
}

}  // namespace korva
