#include "archive/ZipLibLoader.h"

#include "archive/ZipBase.h"
#include "archive/ZipMsg.h"

namespace korva {

namespace {
std::string& UnzNameOverride() {
  static std::string name;
  return name;
}

struct TEntryNames {
  const char* Exec;
  const char* Version;
  const char* PrivVersion;
};

constexpr TEntryNames UnzNames{UnzLibExecName, UnzLibVersionName, UnzLibPrivVersionName};
constexpr TEntryNames ZipNames{"ZipLibExec", "GetZipLibVersion", "GetZipLibPrivVersion"};
}  // namespace

TZipLibLoader::TZipLibLoader(TZipBase& owner, TKind kind) : FOwner(owner), FKind(kind) {}

TZipLibLoader::~TZipLibLoader() { Unload(); }

std::string TZipLibLoader::LibFileName(TKind kind) {
  if (kind == lkUnz) return UnzNameOverride().empty() ? "libunzlib.so" : UnzNameOverride();
  return "libziplib.so";
}

void TZipLibLoader::SetUnzLibFileNameForTests(const std::string& name) { UnzNameOverride() = name; }

std::string TZipLibLoader::ChooseFile() const {
  const std::string name = LibFileName(FKind);
  const std::string& dir = FOwner.FSettings.DLLDirectory;
  if (!dir.empty()) {
    std::string path = dir + "\\" + name;
    if (dir[0] == '.') path = ProgramDir() + path;
    if (FileExists(path)) return path;
  }
  // The system's search: beside the program and along its run path.
  return name;
}

int TZipLibLoader::LoadLib(unsigned reason, int minVersion) {
  FReasons |= reason;
  if (!FLib) {
    FOwner.StartWaitCursor();
    struct TCursorGuard {
      TZipBase& b;
      ~TCursorGuard() { b.StopWaitCursor(); }
    } guard{FOwner};
    std::string file = ChooseFile();
    FLib = TDynLib::Load(file);
    if (!FLib) {
      FReasons = 0;
      FExecFunc = nullptr;
      FVersionFunc = FPrivVersionFunc = nullptr;
      FVersion = FPrivVersion = 0;
      FPath.clear();
      throw EZipArchive(zmLoadFailed, ZipFormat(FOwner.ZipLoadStr(zmLoadFailed), file));
    }
    const TEntryNames& names = FKind == lkUnz ? UnzNames : ZipNames;
    FExecFunc = reinterpret_cast<TUnzLibExecFunc>(FLib->Symbol(names.Exec));
    FVersionFunc = reinterpret_cast<TUnzLibVersionFunc>(FLib->Symbol(names.Version));
    FPrivVersionFunc = reinterpret_cast<TUnzLibVersionFunc>(FLib->Symbol(names.PrivVersion));
    FPath = FLib->Path();
    FVersion = FPrivVersion = 0;
    if (FExecFunc && FVersionFunc) {
      FVersion = int(FVersionFunc());
      if (FPrivVersionFunc) FPrivVersion = int(FPrivVersionFunc());
    }
    if (FVersion < 153 || FVersion > 300) {
      std::string path = FPath;
      FReasons = 0;
      Unload();
      throw EZipArchive(zmLibTooOld, ZipFormat(FOwner.ZipLoadStr(zmLibTooOld), path));
    }
    if (FOwner.FSettings.Verbose) FOwner.ReportInfo(FOwner.ZipLoadStr(zmLoaded) + FPath);
  }
  if (FVersion < minVersion) {
    std::string path = FPath;
    FReasons = 0;
    Unload();
    throw EZipArchive(zmLibTooOld, ZipFormat(FOwner.ZipLoadStr(zmLibTooOld), path));
  }
  return FVersion;
}

void TZipLibLoader::ReleaseLib(unsigned reason) {
  FReasons &= ~reason;
  if (FReasons == 0 && FLib) {
    if (FOwner.FSettings.Verbose) FOwner.ReportInfo(FOwner.ZipLoadStr(zmUnloaded) + FPath);
    Unload();
  }
}

void TZipLibLoader::Unload() {
  FExecFunc = nullptr;
  FVersionFunc = FPrivVersionFunc = nullptr;
  FLib.reset();
}

std::int32_t TZipLibLoader::Exec(TUnzParams* params) {
  LoadLib(lrCall);
  std::int32_t result;
  try {
    result = FExecFunc(params);
  } catch (...) {
    ReleaseLib(lrCall);
    throw;
  }
  ReleaseLib(lrCall);
  if (result >= 0) return result;
  int id;
  switch (result) {
    case -1: case -2: id = zmDllAbort; break;
    case -3: id = zmDllBusy; break;
    case -4: id = zmDllCancelled; break;
    case -5: id = zmDllNoMemory; break;
    case -6: id = zmDllBadStructure; break;
    case -8: id = zmDllHandlerException; break;
    default:
      throw EZipArchive(zmDllCritical, ZipFormat(FOwner.ZipLoadStr(zmDllCritical), result));
  }
  throw EZipArchive(id, FOwner.ZipLoadStr(id));
}

}  // namespace korva
