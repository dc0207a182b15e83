#include "archive/ZipArchive.h"

#include "archive/ZipMsg.h"

namespace korva {

TZipArchive::TZipArchive() : FWorker(std::make_unique<TZipWorker>()) {
  FWorker->FOwner = this;
  FWorker->SetActive(FActive);
}

TZipArchive::~TZipArchive() { FWorker->FDestroying = true; }

bool TZipArchive::Start() {
  if (FWorker->Busy()) {
    ++FReEntries;
    if (FSettings.Verbose) FWorker->ReportInfo(ZipReEntryText);
    return false;
  }
  FWorker->FSettings = FSettings;
  FWorker->FEvents = FEvents;
  FWorker->FSpecArgs = FSpecArgs;
  FWorker->FSpecArgsExcl = FSpecArgsExcl;
  FWorker->SetBusy(true);
  return true;
}

void TZipArchive::Finish() {
  FSpecArgs = FWorker->FSpecArgs;
  FSpecArgsExcl = FWorker->FSpecArgsExcl;
  FWorker->SetBusy(false);
}

void TZipArchive::SetZipFileName(const std::string& name) {
  if (name == FZipFileName && FWorker->ZipFileName() == name) return;
  if (!Start()) return;
  FZipFileName = name;
  try {
    FWorker->SetZipFileName(name);
  } catch (...) {
    Finish();
    throw;
  }
  Finish();
}

void TZipArchive::SetActive(bool active) {
  if (active == FActive) return;
  if (!Start()) return;
  FActive = active;
  try {
    FWorker->SetActive(active);
  } catch (...) {
    Finish();
    throw;
  }
  Finish();
}

void TZipArchive::SetDLLDirectory(const std::string& dir) {
  std::string d = dir;
  if (!d.empty() && (d.back() == '\\' || d.back() == '/') && d.size() > 1) d.pop_back();
  FSettings.DLLDirectory = d;
}

int TZipArchive::Count() const { return FZipFileName.empty() ? 0 : FWorker->Count(); }

TZipStream* TZipArchive::ExtractMemberToStream(const std::string& memberName) {
  if (!FActive || !Start()) return nullptr;
  TZipStream* result = nullptr;
  try {
    result = FWorker->ExtractMemberToStream(memberName);
  } catch (...) {
    Finish();
    throw;
  }
  Finish();
  return result;
}

}  // namespace korva
