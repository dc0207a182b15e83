// One run of a whole page through the engine, shared by the page fuzzer and the replay of the
// pages it found: the document builder, layout at a width chosen by the input, drawing of three
// windows (top, middle, bottom), hover and hit tests, the layout dump and a second layout.
// Pictures the page names are answered with the tail of the input, so the decoders run on
// page-driven data. The caller sets up the GUI application and the fixed font metrics.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "html/HtmlBuilder.h"
#include "layout/SectionList.h"
#include "platform/Bitmap.h"
#include "platform/Canvas.h"
#include "platform/MemoryStream.h"

namespace korva::page_exercise {

class TExerciseHost : public THeadlessHost {
 public:
  explicit TExerciseHost(std::string picture) : FPicture(std::move(picture)) {}
  bool HasImageRequest() const override { return true; }
  void ImageRequest(const std::string& name, TMemoryStream*& stream) override {
    if (FPicture.empty() || name.size() % 4 == 3) return;  // some names stay missing
    auto s = std::make_unique<TMemoryStream>();
    s->Write(FPicture.data(), FPicture.size());
    s->SetPosition(0);
    stream = s.get();
    FStreams.push_back(std::move(s));
  }

 private:
  std::string FPicture;
  std::vector<std::unique_ptr<TMemoryStream>> FStreams;
};

struct TExerciseResult {
  bool Ran = false;
  int Height = 0, ScrollWidth = 0;
  std::size_t DumpLines = 0;
};

// data[0]: choices (bit 0 plain text, 1 an available height, 2 hover and hit tests, 3 the dump,
// 4 a second layout); data[1]: the width in steps of 5 pixels; the rest is the page, with the
// picture after a 0xFF 0x00 pair.
inline TExerciseResult ExercisePage(const std::uint8_t* data, std::size_t size) {
  TExerciseResult result;
  if (size < 2 || size > 200000) return result;
  const unsigned choice = data[0];
  const int width = 1 + int(data[1]) * 5;  // 1 to 1276 pixels
  std::string text(reinterpret_cast<const char*>(data) + 2, size - 2);
  std::string picture;
  const std::size_t cut = text.find(std::string("\xff\x00", 2));
  if (cut != std::string::npos) {
    picture = text.substr(cut + 2);
    text.resize(cut);
  }

  TExerciseHost host(picture);
  TSectionList doc(&host);
  doc.ApplyDefaults(TDocumentDefaults{});
  TBuilderHandlers handlers;
  handlers.OnStreamRequest = [&](const std::string& url, std::string& out) {
    if (url.size() % 2) return false;
    out = "p { margin: 1em; border: 1px solid red } td { padding: 2% }";
    return true;
  };
  TDocumentBuilder builder(doc);
  builder.Handlers = &handlers;
  if (choice & 1) BuildTextDocument(doc, std::move(text), builder);
  else BuildHtmlDocument(doc, std::move(text), builder);

  std::unique_ptr<TBitmap> probe = TBitmap::Create(1, 1, 32);
  std::unique_ptr<TCanvas> measure = CreateBitmapCanvas(*probe);
  int scrollWidth = 0;
  const int height = doc.DoLayout(*measure, width, (choice & 2) ? 600 : 0, scrollWidth);
  if (height < 0 || scrollWidth < 0) std::abort();
  result.Height = height;
  result.ScrollWidth = scrollWidth;

  // Draw three windows of the page, as a viewer scrolled there would.
  constexpr int winW = 300, winH = 200;
  std::unique_ptr<TBitmap> bitmap = TBitmap::Create(winW, winH, 32);
  std::unique_ptr<TCanvas> canvas = CreateBitmapCanvas(*bitmap);
  for (int top : {0, height / 2, std::max(0, height - winH)}) {
    doc.SetScrollTop(top);
    doc.DrawDocument(*canvas, TRect{0, top, winW, top + winH}, 0);
  }

  if (choice & 4) {
    THotSpot spot;
    for (int i = 0; i < 8; ++i) {
      const int x = (i * 37 + int(choice)) % std::max(1, width);
      const int y = height > 0 ? (i * 7919) % height : 0;
      doc.DocHotSpotAt(*canvas, x, y, spot);
      int top = 0, index = 0;
      doc.SectionAtY(y, top, index);
    }
    doc.MouseDownAt(true);
    doc.MouseDownAt(false);
    doc.ClearActiveLinks();
  }
  if (choice & 8) {
    const std::string dump = doc.LayoutDump();
    if (dump.empty()) std::abort();
    result.DumpLines = std::size_t(std::count(dump.begin(), dump.end(), '\n'));
  }
  if (choice & 16) {
    // Lay out again at another width: the second pass must start from a clean state.
    doc.DoLayout(*measure, std::max(1, width / 3), 0, scrollWidth);
    doc.DrawDocument(*canvas, TRect{0, 0, winW, winH}, 0);
  }
  result.Ran = true;
  return result;
}

}  // namespace korva::page_exercise
