// The archive component: published settings over a worker that reads a zip archive's
// directory and extracts members into memory through the unzip library.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "archive/ZipBase.h"
#include "archive/ZipStream.h"
#include "archive/ZipWorker.h"

namespace korva {

class TZipArchive {
 public:
  TZipArchive();
  ~TZipArchive();
  TZipArchive(const TZipArchive&) = delete;
  TZipArchive& operator=(const TZipArchive&) = delete;

  // Setting the name re-reads the directory (when active; otherwise on activation).
  const std::string& ZipFileName() const { return FZipFileName; }
  void SetZipFileName(const std::string& name);
  bool Active() const { return FActive; }
  void SetActive(bool active);

  TZipCodePage CodePage() const { return FSettings.CodePage; }
  void SetCodePage(TZipCodePage cp) { FSettings.CodePage = cp; }
  bool UseDirOnlyEntries() const { return FSettings.UseDirOnlyEntries; }
  void SetUseDirOnlyEntries(bool b) { FSettings.UseDirOnlyEntries = b; }
  bool Unattended() const { return FSettings.Unattended; }
  void SetUnattended(bool b) { FSettings.Unattended = b; }
  bool Verbose() const { return FSettings.Verbose; }
  void SetVerbose(bool b) { FSettings.Verbose = b; }
  bool Trace() const { return FSettings.Trace; }
  void SetTrace(bool b) { FSettings.Trace = b; }
  const std::string& DLLDirectory() const { return FSettings.DLLDirectory; }
  // A trailing separator is dropped.
  void SetDLLDirectory(const std::string& dir);
  std::string VersionInfo() const { return "1.78"; }
  void SetVersionInfo(const std::string&) {}
  unsigned PasswordReqCount() const { return FSettings.PasswordReqCount; }
  void SetPasswordReqCount(unsigned n) { FSettings.PasswordReqCount = n > 15 ? 15 : n; }
  const std::string& Password() const { return FSettings.Password; }
  void SetPassword(const std::string& p) { FSettings.Password = p; }
  const std::string& ExtrBaseDir() const { return FSettings.ExtrBaseDir; }
  void SetExtrBaseDir(const std::string& d) { FSettings.ExtrBaseDir = d; }
  TExtrOpts ExtrOptions() const { return FSettings.ExtrOptions; }
  void SetExtrOptions(TExtrOpts o) { FSettings.ExtrOptions = o; }
  const std::string& TempDir() const { return FSettings.TempDir; }
  void SetTempDir(const std::string& d) { FSettings.TempDir = d; }
  // The rest of the published settings (used only by writing operations) keep their defaults here.
  TZipSettings& Settings() { return FSettings; }

  TZipEvents FEvents;
  // Shell services (dialogs, message pump, busy cursor), none by default.
  void SetUserInterface(const TZipUserInterface& ui) { FWorker->FUserInterface = ui; }

  // The member's bytes in the component's stream (position 0), or nullptr. The stream stays the
  // component's and is emptied by the next extraction.
  TZipStream* ExtractMemberToStream(const std::string& memberName);

  int Count() const;
  const ZipDirEntry& DirEntry(int index) const { return FWorker->Entry(index); }
  int FindMember(const std::string& name) const { return FWorker->FindMember(name); }
  const std::string& ZipComment() const { return FWorker->ZipComment(); }
  std::int64_t SFXOffset() const { return FWorker->SFXOffset(); }
  std::int64_t CentralOffset() const { return FWorker->CentralOffset(); }
  std::int64_t ZipEOC() const { return FWorker->EOCOffset(); }
  std::int64_t ZipFileSize() const { return FWorker->FileSize(); }
  int DirOnlyCount() const { return FWorker->DroppedDirEntries(); }
  int ErrCode() const { return FWorker->ErrCode(); }
  const std::string& Message() const { return FWorker->Message(); }
  bool Busy() const { return FWorker->Busy(); }
  // How many operations were refused because another was running.
  int ReEntries() const { return FReEntries; }
  TZipWorker& Worker() { return *FWorker; }

  std::vector<std::string> FSpecArgs;
  std::vector<std::string> FSpecArgsExcl;

 private:
  TZipSettings FSettings;
  std::string FZipFileName;
  bool FActive = true;
  int FReEntries = 0;
  std::unique_ptr<TZipWorker> FWorker;

  // Copies settings and handlers in; false (and the re-entry noted) when busy.
  bool Start();
  void Finish();
};

}  // namespace korva
