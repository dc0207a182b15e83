#include "core/UrlTarget.h"

namespace korva {

namespace {
// Links share one sequence for the program's life, so runs of one link can be told from the
// runs of another even across documents. 0 means "no link".
int LinkSequence = 0;
}  // namespace

void TUrlTarget::Assign(std::string url, std::string target) {
  FUrl = std::move(url);
  FTarget = std::move(target);
  FID = ++LinkSequence;
}

void TUrlTarget::Clear() {
  FUrl.clear();
  FTarget.clear();
  FID = 0;
  FTabIndex = 0;
}

}  // namespace korva
