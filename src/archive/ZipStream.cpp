#include "archive/ZipStream.h"

namespace korva {

void TZipStream::SetPointer(void* buffer, std::int64_t size) {
  Clear();
  FMemory = static_cast<std::uint8_t*>(buffer);
  FSize = buffer ? size : 0;
  FOwnsMemory = false;
}

}  // namespace korva
