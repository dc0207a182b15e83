// Shared set-up of the image object tests: a host that hands out pictures made in memory, a
// document over it, and attribute lists written as (symbol, text) pairs.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/Attributes.h"
#include "images/DisplayState.h"
#include "images/ImageStream.h"
#include "layout/SectionList.h"
#include "platform/RecordingCanvas.h"
#include "style/PropStack.h"
#include "style/StyleParser.h"

namespace korva::test {

// Answers the document's image requests from what the test put in: ready bitmaps (with an
// optional transparent colour) through the bitmap request, or encoded files (or "later")
// through the stream request.
class TPictureHost : public THeadlessHost {
 public:
  struct TPicture {
    TBitmapPtr Bitmap;
    TColor Transparent = NoTransparentColor;
  };
  std::map<std::string, TPicture> Bitmaps;
  std::map<std::string, std::unique_ptr<TImageStream>> Files;
  std::set<std::string> Later;
  bool UseStreams = false;
  std::vector<std::string> Requests;

  bool HasBitmapRequest() const override { return !UseStreams; }
  bool HasImageRequest() const override { return UseStreams; }
  void BitmapRequest(const std::string& source, TBitmapPtr& bitmap, TColor& color) override {
    Requests.push_back(source);
    if (auto it = Bitmaps.find(source); it != Bitmaps.end()) {
      bitmap = it->second.Bitmap;
      color = it->second.Transparent;
    }
  }
  void ImageRequest(const std::string& source, TMemoryStream*& stream) override {
    Requests.push_back(source);
    if (Later.count(source)) {
      stream = PendingImageStream();
    } else if (auto it = Files.find(source); it != Files.end()) {
      stream = it->second.get();
    } else {
      static TImageStream empty;  // an empty answer: nothing to show
      stream = &empty;
    }
  }

  // A w x h picture of one colour.
  void AddBitmap(const std::string& name, int w, int h, TColor fill = RGBColor(10, 200, 30),
                 TColor transparent = NoTransparentColor) {
    TBitmapPtr b = TBitmap::Create(w, h, 24);
    b->Fill(fill);
    Bitmaps[name] = {b, transparent};
  }
  void AddFile(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    UseStreams = true;
    Files[name] = std::make_unique<TImageStream>(bytes);
  }
};

// Attributes as the reader would give them: the numeric value is the text's when it is a whole
// number, else 0 (1 for a bare BORDER is the caller's business).
inline std::unique_ptr<TAttributeList> Attrs(std::initializer_list<std::pair<TSymbol, std::string>> items) {
  auto list = std::make_unique<TAttributeList>();
  for (const auto& [symbol, text] : items) {
    int value = 0;
    char* end = nullptr;
    long v = std::strtol(text.c_str(), &end, 10);
    if (!text.empty() && end && *end == 0) value = int(v);
    std::string name;
    list->Add(symbol, name, value, text);
  }
  return list;
}

// A document over a picture host, with the default style sheet and a recording canvas.
struct TImageDoc {
  TPictureHost Host;
  TSectionList Doc{&Host};
  TRecordingCanvas Canvas{TSize{1000, 1000}};
  TPropStack& Stack = PropStack();

  TImageDoc() {
    Doc.ApplyDefaults(TDocumentDefaults{});
    Stack.Reset(*Doc.Styles().DefaultProps());
  }
  ~TImageDoc() { Stack.Clear(); }

  // The computed style of an IMG element with a style attribute.
  TProperties& ImgStyle(std::string_view style) {
    auto inlineStyle = std::make_shared<TProperties>();
    ParseInlineStyle(style, *inlineStyle);
    return Stack.PushElement(Doc.Styles(), "img", {}, {}, inlineStyle, {}, {});
  }
};

// "#RRGGBB" as the recording canvas writes a colour.
inline std::string Hex(TColor c) {
  c = ColorToRGB(c);
  char buf[8];
  std::snprintf(buf, sizeof buf, "#%02X%02X%02X", GetRValue(c), GetGValue(c), GetBValue(c));
  return buf;
}

}  // namespace korva::test
