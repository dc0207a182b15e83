// korva-render [--width N] [--png OUT.png] [--dump] [--time] [--fixed-metrics] [--find TEXT]
//              (PAGE.html | ARCHIVE.zip MEMBER)
// Lays one page out off-screen on the viewer's engine and platform layer: builds the document,
// lays it out at the width (800 by default), and writes the whole page as a PNG, prints the
// layout dump, or prints the parse, layout and paint times; --find lists the matches of a text
// (without regard to case), as the viewer's find bar finds them, and marks them in the picture. Style sheets and pictures the page
// names are read from beside it: files in its folder, or members of the archive.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "archive/ZipArchive.h"
#include "html/HtmlBuilder.h"
#include "images/PngBitmap.h"
#include "layout/SectionList.h"
#include "platform/Bitmap.h"
#include "platform/Canvas.h"
#include "platform/CodePage.h"
#include "platform/Font.h"
#include "platform/MemoryStream.h"
#include "platform/QtBridge.h"
#include "platform/System.h"
#include "url/Url.h"

using namespace korva;

namespace {

// A picture taller than this is cut (the layout itself is not).
constexpr int MaxPictureHeight = 30000;
constexpr int MaxWidth = 20000;

int Usage() {
  std::fprintf(stderr,
               "usage: korva-render [--width N] [--png OUT.png] [--dump] [--time] [--fixed-metrics] [--find TEXT] "
               "(PAGE.html | ARCHIVE.zip MEMBER)\n");
  return 2;
}

bool ReadFile(const std::string& name, std::string& data) {
  std::ifstream in(name, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  data = s.str();
  return bool(in) || in.eof();
}

// Where the page and what it names come from.
class TPageSource {
 public:
  // A file: names are taken relative to its folder, and stay inside it.
  explicit TPageSource(const std::string& file) {
    std::size_t slash = file.find_last_of('/');
    FRoot = slash == std::string::npos ? std::string() : file.substr(0, slash + 1);
  }
  // An archive member: names are members relative to the member's folder; what the archive does
  // not have is read from the archive's folder. Nothing outside either is read.
  TPageSource(TZipArchive* zip, const std::string& archive, const std::string& member) : FZip(zip) {
    std::size_t slash = member.find_last_of('\\');
    FDir = slash == std::string::npos ? std::string() : member.substr(0, slash + 1);
    slash = archive.find_last_of('/');
    FRoot = slash == std::string::npos ? std::string() : archive.substr(0, slash + 1);
  }

  bool Read(const std::string& url, std::string& data) const {
    // Absolute paths, "file:" and other schemes name nothing here; ".." may climb from the
    // page's folder up to the root, not above it.
    const std::string ref = UrlTrim(url);
    if (ref.empty() || ref[0] == '/' || ref[0] == '\\') return false;
    const std::size_t colon = ref.find(':');
    if (colon != std::string::npos && colon < ref.find_first_of("/\\")) return false;
    std::string dir = FDir;
    for (char& c : dir)
      if (c == '\\') c = '/';
    const std::string name = UrlConfinedPath(dir + ref);
    if (name.empty()) return false;
    if (FZip) {
      std::string member = name;
      for (char& c : member)
        if (c == '/') c = '\\';
      if (FZip->FindMember(member) >= 0) {
        if (TZipStream* s = FZip->ExtractMemberToStream(member)) {
          data.assign(s->Bytes());
          return true;
        }
        return false;
      }
    }
    return ReadFile(FRoot + name, data);
  }

 private:
  TZipArchive* FZip = nullptr;
  std::string FDir;   // the member's folder in the archive ("\\" separators)
  std::string FRoot;  // the folder files are read from
};

// The off-screen host: pictures come from the page's source.
class TRenderHost : public THeadlessHost {
 public:
  explicit TRenderHost(const TPageSource& source) : FSource(source) {}
  bool HasImageRequest() const override { return true; }
  void ImageRequest(const std::string& name, TMemoryStream*& stream) override {
    std::string data;
    if (!FSource.Read(name, data)) return;
    auto s = std::make_unique<TMemoryStream>();
    s->Write(data.data(), data.size());
    s->SetPosition(0);
    stream = s.get();
    FStreams.push_back(std::move(s));
  }

 private:
  const TPageSource& FSource;
  std::vector<std::unique_ptr<TMemoryStream>> FStreams;
};

double MsSince(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

}  // namespace

int main(int argc, char** argv) {
  int width = 800;
  std::string pngName, findText;
  bool dump = false, timing = false, fixed = false;
  std::vector<std::string> rest;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--width" && i + 1 < argc) {
      char* end = nullptr;
      long w = std::strtol(argv[++i], &end, 10);
      if (!end || *end || w < 1 || w > MaxWidth) {
        std::fprintf(stderr, "korva-render: bad width %s (1 to %d)\n", argv[i], MaxWidth);
        return 2;
      }
      width = int(w);
    } else if (a == "--png" && i + 1 < argc) {
      pngName = argv[++i];
    } else if (a == "--find" && i + 1 < argc) {
      findText = argv[++i];
    } else if (a == "--dump") {
      dump = true;
    } else if (a == "--time") {
      timing = true;
    } else if (a == "--fixed-metrics") {
      fixed = true;
    } else if (a.rfind("--", 0) == 0) {
      return Usage();
    } else {
      rest.push_back(a);
    }
  }
  if (rest.empty() || rest.size() > 2) return Usage();

  std::string html;
  std::unique_ptr<TZipArchive> zip;
  std::unique_ptr<TPageSource> source;
  if (rest.size() == 1) {
    if (!ReadFile(rest[0], html) || !FileExists(rest[0])) {
      std::fprintf(stderr, "korva-render: %s: no such file\n", rest[0].c_str());
      return 1;
    }
    source = std::make_unique<TPageSource>(rest[0]);
  } else {
    if (!FileExists(rest[0])) {
      std::fprintf(stderr, "korva-render: %s: no such file\n", rest[0].c_str());
      return 1;
    }
    zip = std::make_unique<TZipArchive>();
    zip->SetUnattended(true);
    zip->FEvents.OnMessage = [](TZipArchive*, int code, const std::string& text) {
      if (code != 0) std::fprintf(stderr, "korva-render: %s\n", text.c_str());
    };
    // Nobody is there to give a password.
    zip->FEvents.OnPasswordError = [](TZipArchive*, bool, std::string&, const std::string&, unsigned& count,
                                      TMsgDlgBtn&) { count = 0; };
    zip->SetZipFileName(rest[0]);
    std::string member = rest[1];
    for (char& c : member)
      if (c == '/') c = '\\';
    TZipStream* s = zip->FindMember(member) >= 0 ? zip->ExtractMemberToStream(member) : nullptr;
    if (!s) {
      std::fprintf(stderr, "korva-render: %s: no such member in %s\n", rest[1].c_str(), rest[0].c_str());
      return 1;
    }
    html.assign(s->Bytes());
    source = std::make_unique<TPageSource>(zip.get(), rest[0], member);
  }

  // Qt only once the page is there, so that a missing page gets one clear line.
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  EnsureGuiApplication();
  if (fixed) SetFixedFontMetrics(true);

  TRenderHost host(*source);
  TSectionList doc(&host);
  doc.ApplyDefaults(TDocumentDefaults{});
  TBuilderHandlers handlers;
  handlers.OnStreamRequest = [&](const std::string& url, std::string& data) { return source->Read(url, data); };
  // Linked sheets that the source does not have are not looked for anywhere else.
  handlers.UrlToFileName = [](const std::string&) { return std::string(); };
  doc.Styles().SetImportFetcher([&](const std::string& url, std::string& data) { return source->Read(url, data); });
  doc.Styles().SetMediaEnv({width, 600, false});
  TDocumentBuilder builder(doc);
  builder.Handlers = &handlers;

  auto t0 = std::chrono::steady_clock::now();
  BuildHtmlDocument(doc, std::move(html), builder);
  double parseMs = MsSince(t0);

  // Layout measures through a canvas of the same kind the picture is drawn on.
  std::unique_ptr<TBitmap> probe = TBitmap::Create(1, 1, 32);
  std::unique_ptr<TCanvas> measure = CreateBitmapCanvas(*probe);
  t0 = std::chrono::steady_clock::now();
  int scrollWidth = 0;
  int height = doc.DoLayout(*measure, width, 0, scrollWidth);
  double layoutMs = MsSince(t0);
  if (!findText.empty()) {
    const int count = doc.FindInPage(MultiByteToWide(CP_UTF8, findText), false);
    std::printf("find: %d match%s\n", count, count == 1 ? "" : "es");
    for (std::size_t i = 0; i < doc.Highlights().size(); ++i) {
      const auto [first, end] = doc.Highlights()[i];
      int y = -1;
      doc.LineYAt(first, y);
      std::printf("match %zu: positions %d-%d, line at y %d\n", i + 1, first, end, y);
    }
  }

  double paintMs = 0;
  if (!pngName.empty() || timing) {
    const int picHeight = std::clamp(height, 1, MaxPictureHeight);
    std::unique_ptr<TBitmap> bitmap = TBitmap::Create(width, picHeight, 32);
    if (!bitmap) {
      std::fprintf(stderr, "korva-render: no memory for a %dx%d picture\n", width, picHeight);
      return 1;
    }
    t0 = std::chrono::steady_clock::now();
    std::unique_ptr<TCanvas> canvas = CreateBitmapCanvas(*bitmap);
    TColor bg = doc.BackgroundColor();
    canvas->FillRect(TRect{0, 0, width, picHeight}, bg == clNone ? clWhite : bg);
    doc.DrawDocument(*canvas, TRect{0, 0, width, picHeight}, 0);
    paintMs = MsSince(t0);
    if (!pngName.empty()) {
      std::vector<std::uint8_t> png = EncodePng(*bitmap);
      std::ofstream out(pngName, std::ios::binary);
      out.write(reinterpret_cast<const char*>(png.data()), std::streamsize(png.size()));
      if (!out) {
        std::fprintf(stderr, "korva-render: %s: cannot write\n", pngName.c_str());
        return 1;
      }
    }
  }
  if (dump) std::fputs(doc.LayoutDump().c_str(), stdout);
  if (timing) {
    std::printf("parse %.3f ms\n", parseMs);
    std::printf("layout %.3f ms\n", layoutMs);
    std::printf("paint %.3f ms\n", paintMs);
  }
  for (const std::string& e : host.Errors) std::fprintf(stderr, "korva-render: layout error: %s\n", e.c_str());
  return 0;
}
