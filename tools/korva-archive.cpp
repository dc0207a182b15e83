// Lists an archive or writes one member to standard output through the archive component
// (unattended: messages go to standard error).
//   korva-archive list [--dirs] ARCHIVE
//   korva-archive cat ARCHIVE MEMBER
#include <cstdio>
#include <cstring>
#include <string>

#include "archive/ZipArchive.h"
#include "platform/System.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: korva-archive list [--dirs] ARCHIVE\n"
               "       korva-archive cat ARCHIVE MEMBER\n");
  return 2;
}

std::string MethodName(int method) {
  switch (method) {
    case 0: return "Stored";
    case 8: return "Deflated";
    default: return "Method" + std::to_string(method);
  }
}

void Setup(korva::TZipArchive& zip) {
  zip.SetUnattended(true);
  zip.FEvents.OnMessage = [](korva::TZipArchive*, int code, const std::string& text) {
    if (code != 0) std::fprintf(stderr, "korva-archive: %s\n", text.c_str());
  };
  // Nobody is there to give a password: say so without the unattended warning.
  zip.FEvents.OnPasswordError = [](korva::TZipArchive*, bool, std::string&, const std::string&, unsigned& count,
                                   korva::TMsgDlgBtn&) { count = 0; };
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  const std::string command = argv[1];
  // A missing archive reads as an empty one; here that deserves a word.
  const char* archive = argv[argc - (command == "cat" ? 2 : 1)];
  if (!korva::FileExists(archive)) {
    std::fprintf(stderr, "korva-archive: %s: no such file\n", archive);
    return 1;
  }
  korva::TZipArchive zip;
  Setup(zip);
  if (command == "list") {
    int at = 2;
    if (std::strcmp(argv[at], "--dirs") == 0) {
      zip.SetUseDirOnlyEntries(true);
      ++at;
    }
    if (at + 1 != argc) return Usage();
    zip.SetZipFileName(argv[at]);
    for (int i = 0; i < zip.Count(); ++i) {
      const korva::ZipDirEntry& e = zip.DirEntry(i);
      std::printf("%10u %10u %-8s %08x %s\n", e.FUncompressedSize, e.FCompressedSize,
                  MethodName(e.FComprMethod).c_str(), e.FCRC32, e.FFileName.c_str());
    }
    return zip.ErrCode() != 0 && zip.Count() == 0 ? 1 : 0;
  }
  if (command == "cat") {
    if (argc != 4) return Usage();
    zip.SetZipFileName(argv[2]);
    // Member names are stored with "\" between folders; accept "/" as well.
    std::string member = argv[3];
    for (char& c : member)
      if (c == '/') c = '\\';
    korva::TZipStream* s = zip.ExtractMemberToStream(member);
    if (!s) {
      if (zip.ErrCode() == 0) std::fprintf(stderr, "korva-archive: %s: no such member\n", argv[3]);
      return 1;
    }
    std::string_view bytes = s->Bytes();
    if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() || std::fflush(stdout) != 0) return 1;
    return 0;
  }
  return Usage();
}
