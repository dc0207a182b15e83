#include "platform/System.h"

#include <dlfcn.h>
#include <link.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QGuiApplication>
#include <QScreen>
#include <chrono>
#include <climits>
#include <cstdlib>

namespace korva {

namespace {
std::string& ProgramDirOverride() {
  static std::string dir;
  return dir;
}
int& ScreenBitsOverride() {
  static int bits = 0;
  return bits;
}
}  // namespace

std::string ProgramFileName() {
  char buf[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof(buf) - 1);
  if (n <= 0) return {};
  return std::string(buf, size_t(n));
}

std::string ProgramDir() {
  if (!ProgramDirOverride().empty()) return ProgramDirOverride();
  std::string f = ProgramFileName();
  size_t slash = f.rfind('/');
  return slash == std::string::npos ? std::string("./") : f.substr(0, slash + 1);
}

void SetProgramDirForTests(const std::string& dir) {
  ProgramDirOverride() = dir.empty() || dir.back() == '/' ? dir : dir + "/";
}

std::string NativePath(std::string_view path) {
  std::string s(path);
  for (char& c : s)
    if (c == '\\') c = '/';
  return s;
}

bool FileExists(const std::string& path) {
  struct stat st;
  return stat(NativePath(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
  struct stat st;
  return stat(NativePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::int64_t FileSize(const std::string& path) {
  struct stat st;
  if (stat(NativePath(path).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  return std::int64_t(st.st_size);
}

std::string TempDir() {
  const char* t = std::getenv("TMPDIR");
  std::string dir = (t && *t) ? t : "/tmp";
  if (dir.back() != '/') dir += '/';
  return dir;
}

std::unique_ptr<TDynLib> TDynLib::Load(const std::string& fileName, std::string* error) {
  std::string name = NativePath(fileName);
  void* h = nullptr;
  // A plain name is looked for beside the program first, as the program's own run path would.
  if (name.find('/') == std::string::npos && FileExists(ProgramDir() + name))
    h = dlopen((ProgramDir() + name).c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!h) h = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!h) {
    if (error) {
      const char* e = dlerror();
      *error = e ? e : "cannot load " + name;
    }
    return nullptr;
  }
  std::unique_ptr<TDynLib> lib(new TDynLib);
  lib->FHandle = h;
  link_map* map = nullptr;
  if (dlinfo(h, RTLD_DI_LINKMAP, &map) == 0 && map && map->l_name && *map->l_name) {
    char real[PATH_MAX];
    lib->FPath = realpath(map->l_name, real) ? real : map->l_name;
  } else {
    lib->FPath = name;
  }
  return lib;
}

TDynLib::~TDynLib() {
  if (FHandle) dlclose(FHandle);
}

void* TDynLib::Symbol(const char* name) const { return FHandle ? dlsym(FHandle, name) : nullptr; }

std::uint32_t GetTickCount() {
  using namespace std::chrono;
  return std::uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

std::uint32_t TimeGetTime() { return GetTickCount(); }

void ReleaseFreeMemory() {
#if defined(__GLIBC__)
  malloc_trim(0);
#endif
}

int ScreenColorBits() {
  if (ScreenBitsOverride()) return ScreenBitsOverride();
  if (qGuiApp) {
    if (QScreen* s = QGuiApplication::primaryScreen()) {
      int d = s->depth();
      if (d <= 4) return 4;
      if (d <= 8) return 8;
    }
  }
  return 24;
}

void SetScreenColorBits(int bits) { ScreenBitsOverride() = (bits == 4 || bits == 8 || bits == 24) ? bits : 0; }

}  // namespace korva
