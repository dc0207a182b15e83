// Files, program location, dynamic libraries and clocks.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace korva {

// Full path of the running program (GetModuleFileName) and its folder with a trailing '/'.
std::string ProgramFileName();
std::string ProgramDir();
// Overrides ProgramDir for tests; an empty string restores the real one.
void SetProgramDirForTests(const std::string& dir);

// Turns a path written the Windows way ("\" separators, possibly "C:") into a native one:
// backslashes become '/'. Used only where a file is opened.
std::string NativePath(std::string_view path);
bool FileExists(const std::string& path);          // a regular file
bool DirectoryExists(const std::string& path);
std::int64_t FileSize(const std::string& path);    // -1 when missing
std::string TempDir();                              // with trailing '/'

// A dynamic library loaded with dlopen (LoadLibrary / GetProcAddress / FreeLibrary).
class TDynLib {
 public:
  // Loads by path (a name without '/' goes through the run-time search path, including the
  // program's own folder). nullptr and an error text on failure.
  static std::unique_ptr<TDynLib> Load(const std::string& fileName, std::string* error = nullptr);
  ~TDynLib();
  TDynLib(const TDynLib&) = delete;
  TDynLib& operator=(const TDynLib&) = delete;
  void* Symbol(const char* name) const;
  // Full path of the loaded file.
  const std::string& Path() const { return FPath; }

 private:
  TDynLib() = default;
  void* FHandle = nullptr;
  std::string FPath;
};

// Milliseconds since an arbitrary start, wrapping at 2^32 (GetTickCount / timeGetTime).
std::uint32_t GetTickCount();
std::uint32_t TimeGetTime();

// Gives the C library's free memory back to the system (pages freed inside its heap stay in
// memory otherwise, however much was freed). It walks the heap's free blocks, which takes tens
// of milliseconds after a 10 MB page: call it after freeing much at once, not routinely.
void ReleaseFreeMemory();

// The screen's colour depth class: 4, 8 or 24 bits per pixel. Read from the screen when a GUI
// exists (24 otherwise); tests may set it (0 restores the reading).
int ScreenColorBits();
void SetScreenColorBits(int bits);

}  // namespace korva
