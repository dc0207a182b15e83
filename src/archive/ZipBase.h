// Settings, events and the message, progress and busy-cursor services shared by the archive
// component's worker.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "archive/ZipDirEntry.h"

namespace korva {

class TZipArchive;

enum TZipCodePage { cpAuto, cpNone, cpOEM };

enum TZipProgressType {
  ptNewFile, ptProgressUpdate, ptEndOfBatch, ptTotalFiles2Process, ptTotalSize2Process, ptNewExtra, ptExtraUpdate
};

// Extraction options (a set).
using TExtrOpts = unsigned;
enum : unsigned { ExtrDirNames = 1, ExtrOverWrite = 2, ExtrFreshen = 4, ExtrUpdate = 8, ExtrTest = 16, ExtrForceDirs = 32 };

// Suffixes stored without compression when adding (a set; all seventeen by default).
using TAddStoreSuffixes = unsigned;
enum : unsigned {
  assGIF = 1u << 0, assPNG = 1u << 1, assZ = 1u << 2, assZIP = 1u << 3, assZOO = 1u << 4, assARC = 1u << 5,
  assLZH = 1u << 6, assARJ = 1u << 7, assTAZ = 1u << 8, assTGZ = 1u << 9, assLHA = 1u << 10, assRAR = 1u << 11,
  assACE = 1u << 12, assCAB = 1u << 13, assGZ = 1u << 14, assGZIP = 1u << 15, assJAR = 1u << 16,
  assAll = (1u << 17) - 1
};

enum THowToDelete { htdFinal, htdAllowUndo };
enum TMsgDlgBtn { mbNone, mbYes, mbNo, mbOK, mbCancel, mbAbort, mbRetry, mbIgnore, mbAll, mbNoToAll, mbYesToAll };

// Services of the application shell that the component calls upward. Any of them may be left
// empty (a command-line program, a test): messages are then only passed to OnMessage.
struct TZipUserInterface {
  std::function<void(const std::string& text)> ShowMessage;  // modal message dialog
  std::function<void()> ProcessMessages;                      // handle pending window messages
  std::function<void(bool busy)> SetBusyCursor;               // hourglass on / previous cursor back
  // Password prompt; false when cancelled.
  std::function<bool(const std::string& caption, const std::string& prompt, std::string& answer)> InputPassword;
};

// Event handlers; the sender comes first.
struct TZipEvents {
  std::function<void(TZipArchive* sender, int errCode, const std::string& message)> OnMessage;
  std::function<void(TZipArchive* sender, TZipProgressType type, const std::string& fileName, std::int64_t size)>
      OnProgress;
  std::function<void(TZipArchive* sender)> OnTick;
  std::function<void(TZipArchive* sender, bool& abort)> OnCheckTerminate;
  std::function<void(TZipArchive* sender)> OnDirUpdate;
  std::function<void(TZipArchive* sender, int seqNo, const ZipDirEntry& entry)> OnNewName;
  std::function<void(TZipArchive* sender, int ident, std::string& text)> OnZipStr;
  std::function<void(TZipArchive* sender, const std::string& forFile, std::uint32_t foundCRC, std::uint32_t storedCRC,
                     bool& doExtract)>
      OnCRC32Error;
  std::function<void(TZipArchive* sender, const std::string& forFile, int reason, int errCode)> OnExtractSkipped;
  std::function<void(TZipArchive* sender, bool isZipAction, std::string& newPassword, const std::string& forFile,
                     unsigned& repeatCount, TMsgDlgBtn& action)>
      OnPasswordError;
  std::function<void(TZipArchive* sender, const std::string& forFile, bool isOlder, bool& doOverwrite, int dirIndex)>
      OnExtractOverwrite;
  std::function<void(TZipArchive* sender, const std::string& forFile, std::string& comment, bool& isChanged)>
      OnFileComment;
  std::function<void(TZipArchive* sender, const std::string& forFile, std::string& data, bool& isChanged)>
      OnFileExtra;
  std::function<void(TZipArchive* sender, std::string& oldFileName, bool& isChanged)> OnSetNewName;
  std::function<void(TZipArchive* sender, std::string& fileName, const std::string& extName, bool& isChanged)>
      OnSetAddName;
  std::function<void(TZipArchive* sender, std::string& oldFileName, bool& isChanged)> OnSetExtName;
};

// The published settings, copied into the worker before each operation.
struct TZipSettings {
  TZipCodePage CodePage = cpAuto;
  bool UseDirOnlyEntries = false;
  bool Unattended = false;
  bool Verbose = false;
  bool Trace = false;
  std::string DLLDirectory;
  std::string Password;
  unsigned PasswordReqCount = 1;
  std::string ExtrBaseDir;
  TExtrOpts ExtrOptions = 0;
  std::string TempDir;
  // Used only by the writing side.
  int AddCompLevel = 9;
  TAddStoreSuffixes AddStoreSuffixes = assAll;
  std::int64_t MinFreeVolumeSize = 65536;
  THowToDelete HowToDelete = htdAllowUndo;
  bool ConfirmErase = true;
  int KeepFreeOnAllDisks = 0;
  int KeepFreeOnDisk1 = 0;
  std::int64_t MaxVolumeSize = 0;
  unsigned SpanOptions = 0;
};

class TZipBase {
 public:
  TZipBase();
  virtual ~TZipBase() = default;

  // The text of a message number: OnZipStr first, then the component's table.
  std::string ZipLoadStr(int ident);
  // Reports the number's text followed by extra: sets the error code and message, shows a
  // dialog unless unattended, raises OnMessage.
  void ShowZipMessage(int ident, const std::string& extra = "");
  void ShowExceptionError(const EZipArchive& e);
  // A message with code 0: passed to OnMessage only.
  void ReportInfo(const std::string& text);
  void ReportProgress(TZipProgressType type, const std::string& fileName, std::int64_t size);
  // Handles pending window messages (at most every few milliseconds), or asks OnCheckTerminate.
  void CheckTerminate(bool force = false);
  void StartWaitCursor();
  void StopWaitCursor();
  bool OnMainThread() const { return std::this_thread::get_id() == FMainThread; }
  EZipArchive MakeError(int ident, bool display = true);

  int ErrCode() const { return FErrCode; }
  const std::string& Message() const { return FMessage; }

  TZipSettings FSettings;
  TZipEvents FEvents;
  TZipUserInterface FUserInterface;
  TZipArchive* FOwner = nullptr;
  bool FCancel = false;

 protected:
  int FErrCode = 0;
  std::string FMessage;
  void Show(const std::string& text);

 private:
  std::thread::id FMainThread;
  int FCursorCount = 0;
  std::uint32_t FLastPump = 0;
  bool FPumped = false;
};

}  // namespace korva
