// The memory stream that extraction fills: the component owns exactly one and reuses it for
// every extraction.
#pragma once

#include <cstdint>

#include "platform/MemoryStream.h"

namespace korva {

class TZipStream : public TMemoryStream {
 public:
  // Takes an outside buffer as the stream's memory without copying; the stream does not free it
  // (and copies it before growing it).
  void SetPointer(void* buffer, std::int64_t size);
};

}  // namespace korva
