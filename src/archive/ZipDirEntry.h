// One kept member of the archive's central directory, and the component's exception.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace korva {

struct ZipDirEntry {
  // The sixteen fields of the central header after its signature, in file order.
  std::uint8_t FMadeByVersion = 0;
  std::uint8_t FHostVersionNo = 0;
  std::uint16_t FVersionNeeded = 0;
  std::uint16_t FFlag = 0;
  std::uint16_t FComprMethod = 0;
  std::uint32_t FDateTime = 0;
  std::uint32_t FCRC32 = 0;
  std::uint32_t FCompressedSize = 0;
  std::uint32_t FUncompressedSize = 0;
  std::uint16_t FFileNameLength = 0;
  std::uint16_t FExtraFieldLength = 0;
  std::uint16_t FFileCommentLen = 0;
  std::uint16_t FStartOnDisk = 0;
  std::uint16_t FIntFileAttrib = 0;
  std::uint32_t FExtFileAttrib = 0;
  std::uint32_t FRelOffLocalHdr = 0;
  // Name after code page conversion, every "/" turned into "\".
  std::string FFileName;
  std::string FFileComment;
  bool FEncrypted = false;
  std::string FExtraData;
  // File position of this entry's central header, so the unzip library is pointed at exactly
  // this entry.
  std::int64_t FCentralOffset = 0;

  // Fills the sixteen numeric fields from the 42 bytes after a central header's signature.
  void ReadHeader(const std::uint8_t* p);
};

// Raised inside an operation and turned into a reported message at its boundary.
class EZipArchive : public std::runtime_error {
 public:
  EZipArchive(int resId, const std::string& message, bool display = true)
      : std::runtime_error(message), FResId(resId), FDisplayMsg(display) {}
  int ResId() const { return FResId; }
  bool DisplayMsg() const { return FDisplayMsg; }

 private:
  int FResId;
  bool FDisplayMsg;
};

}  // namespace korva
