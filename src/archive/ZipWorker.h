// The worker behind the archive component: reads the central directory and extracts members
// into its memory stream through the unzip library.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "archive/ZipBase.h"
#include "archive/ZipLibLoader.h"
#include "archive/ZipStream.h"

namespace korva {

class TZipWorker : public TZipBase {
 public:
  TZipWorker();
  ~TZipWorker() override;

  // Reads the directory of the archive named by FInFileName (if the worker is active; else the
  // read is remembered for activation).
  void List();
  void SetActive(bool active);
  bool Active() const { return FActive; }
  void SetZipFileName(const std::string& name);
  const std::string& ZipFileName() const { return FInFileName; }

  TZipStream* ExtractMemberToStream(const std::string& name);
  // First entry whose name equals name without regard to case ("\" separators); -1 when none.
  int FindMember(const std::string& name) const;

  int Count() const { return int(FZipContents.size()); }
  const ZipDirEntry& Entry(int i) const { return *FZipContents[std::size_t(i)]; }
  const std::string& ZipComment() const { return FZipComment; }
  std::int64_t FileSize() const { return FFileSize; }
  std::int64_t EOCOffset() const { return FEOCOffset; }
  std::int64_t CentralOffset() const { return FCentralOffset; }
  std::int64_t SFXOffset() const { return FSFXOffset; }
  int DroppedDirEntries() const { return FDirOnlyCount; }
  bool Spanned() const { return FSpanned; }
  int SuccessCount() const { return FSuccessCnt; }
  bool Busy() const { return FBusy; }
  void SetBusy(bool busy) { FBusy = busy; }
  TZipStream& ZipStream() { return FZipStream; }
  TZipLibLoader& UnzLib() { return FUnzLib; }

  std::vector<std::string> FSpecArgs;
  std::vector<std::string> FSpecArgsExcl;

  // Handles one call-back of the unzip library (public for the call-back function).
  void HandleCallback(TUnzCallbackRec& rec);
  bool FCallbackException = false;
  std::string FCallbackErrorText;
  bool FDestroying = false;
  // Lets the call-back function tell that its cookie is a worker.
  static constexpr std::uint32_t WorkerMagic = 0x4B5A5752;
  const std::uint32_t FMagic = WorkerMagic;

 private:
  std::string FInFileName;
  std::string FArchiveFile;  // the file actually read: the archive, or the split part found for it
  int FInFile = -1;
  std::int64_t FFileSize = 0;
  std::int64_t FEOCOffset = 0;
  std::int64_t FCentralOffset = 0;
  std::int64_t FSFXOffset = 0;
  std::uint8_t FEOC[22] = {};
  std::string FZipComment;
  bool FStartsSpannedSet = false;
  bool FSpanned = false;
  int FDiskNr = 0;
  int FDirOnlyCount = 0;
  bool FActive = false;
  bool FReadPending = false;
  bool FBusy = false;
  bool FExtracting = false;
  int FSuccessCnt = 0;
  std::vector<std::unique_ptr<ZipDirEntry>> FZipContents;
  TZipStream FZipStream;
  TZipLibLoader FZipLib;
  TZipLibLoader FUnzLib;

  enum TOpenResult { orOpened, orNoArchive, orFailed };
  TOpenResult OpenZipFile();
  // Finds the end record of FInFileName. wantErrors: failures raise EZipArchive, else return
  // false with *failure set to the message that would have been raised.
  bool OpenEOC(bool wantErrors, int* failure = nullptr);
  void CloseFile();
  bool ReadAt(std::int64_t pos, void* buf, std::size_t n);
  std::string ConvertName(const std::string& raw, const std::uint8_t* header) const;
  void ReadDirectory(bool& progressStarted);
  void CheckMemberSize(const ZipDirEntry& e);
  void ExtExtract();
};

}  // namespace korva
