// Loads the unzip (or zip) library at run time, checks its version and calls its run entry.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/System.h"
#include "unzlib/UnzLib.h"

namespace korva {

class TZipBase;

// Why the library is loaded (a set): a call is running, an operation needs it, kept loaded.
enum : unsigned { lrCall = 1, lrOperation = 2, lrKeep = 4 };

class TZipLibLoader {
 public:
  enum TKind { lkUnz, lkZip };
  TZipLibLoader(TZipBase& owner, TKind kind);
  ~TZipLibLoader();
  TZipLibLoader(const TZipLibLoader&) = delete;
  TZipLibLoader& operator=(const TZipLibLoader&) = delete;

  // Adds the reason and loads the library when needed; returns its version. Raises EZipArchive
  // 10650 when it cannot be loaded and 10651 when its version is outside 153..300 or below
  // minVersion.
  int LoadLib(unsigned reason, int minVersion = 0);
  // Removes the reason; the library is freed when none is left.
  void ReleaseLib(unsigned reason);
  // Calls the run entry (loading if needed); a negative result raises EZipArchive.
  std::int32_t Exec(TUnzParams* params);

  bool Loaded() const { return FLib != nullptr; }
  int Version() const { return FVersion; }
  int PrivVersion() const { return FPrivVersion; }
  const std::string& Path() const { return FPath; }
  TKind Kind() const { return FKind; }
  // The plain file name of the library of a kind ("libunzlib.so").
  static std::string LibFileName(TKind kind);
  // Lets tests name a library that is not there; empty restores the real name.
  static void SetUnzLibFileNameForTests(const std::string& name);

 private:
  TZipBase& FOwner;
  TKind FKind;
  std::unique_ptr<TDynLib> FLib;
  TUnzLibExecFunc FExecFunc = nullptr;
  TUnzLibVersionFunc FVersionFunc = nullptr;
  TUnzLibVersionFunc FPrivVersionFunc = nullptr;
  int FVersion = 0;
  int FPrivVersion = 0;
  std::string FPath;
  unsigned FReasons = 0;

  void Unload();
  std::string ChooseFile() const;
};

}  // namespace korva
