// Fuzzes the directory reader and extraction: the input is written as an archive file, its
// directory read, and its first members extracted through the unzip library.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "archive/ZipArchive.h"
#include "platform/System.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = [] {
    std::string dir = korva::DirectoryExists("/dev/shm") ? "/dev/shm/" : korva::TempDir();
    return dir + "korva-archive-fuzz-" + std::to_string(getpid()) + ".zip";
  }();
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(data, 1, size, f);
    std::fclose(f);
  } else {
    return 0;
  }
  korva::TZipArchive zip;
  zip.SetUnattended(true);
  zip.SetDLLDirectory(".");  // the library sits beside the fuzzer
  zip.FEvents.OnPasswordError = [](korva::TZipArchive*, bool, std::string&, const std::string&, unsigned& n,
                                   korva::TMsgDlgBtn&) { n = 0; };
  zip.SetZipFileName(path);
  const int count = zip.Count() < 8 ? zip.Count() : 8;
  for (int i = 0; i < count; ++i) {
    const std::string name = zip.DirEntry(i).FFileName;
    if (korva::TZipStream* s = zip.ExtractMemberToStream(name)) {
      // Touch every byte so a short buffer shows.
      volatile std::uint8_t sum = 0;
      for (std::int64_t j = 0; j < s->Size(); ++j) sum = std::uint8_t(sum + s->Memory()[j]);
    }
  }
  return 0;
}
