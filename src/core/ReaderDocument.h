// What the HTML reader needs of the document it reads into; the document root provides it.
#pragma once

#include "core/IDNameList.h"

namespace korva {

struct TReaderDocument {
  TIDNameList* IDNames = nullptr;  // ids are registered here
  int ProgressShare = 75;          // parsing reports progress from 0 to this percentage
  bool ManyLinks = false;          // set by the prescan of an HTML document
};

}  // namespace korva
