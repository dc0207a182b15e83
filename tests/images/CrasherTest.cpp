// Inputs that once crashed, hung or over-allocated a decoder are replayed through every path,
// and each path must give the outcome written down for that file.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>

#include "TestUtil.h"
#include "images/AnimatedGif.h"
#include "images/Gif.h"
#include "images/ImageFetch.h"
#include "images/ImageStream.h"
#include "images/PngBitmap.h"

namespace korva {
namespace {

std::string SizeText(int w, int h) { return std::to_string(w) + "x" + std::to_string(h); }

// What each path makes of the bytes, as one line: the GIF decoder's strip, the PNG decoder's
// bitmap and the document's loader at 24 and 8 bits ("error" for an exception, "none" for no
// picture, else its size; "-" for a path a slow input skips).
std::string Replay(const std::vector<std::uint8_t>& data, bool slow) {
  std::string out = "gif ";
  try {
    TGif gif;
    gif.ReadGif(data.data(), data.size());
    const auto strip = gif.BuildStrip(nullptr);
    out += strip ? SizeText(strip->Width(), strip->Height()) : "none";
  } catch (const std::exception&) {
    out += "error";
  }
  out += ", png ";
  try {
    TPngBitmap png;
    png.LoadFromMemory(data.data(), data.size());
    out += png.Bitmap() ? SizeText(png.Bitmap()->Width(), png.Bitmap()->Height()) : "none";
  } catch (const std::exception&) {
    out += "error";
  }
  for (int bits : {24, 8}) {
    out += ", load" + std::to_string(bits) + " ";
    // Inputs that were merely slow (large, legitimately sized pictures) take one path only.
    if (slow && bits != 24) {
      out += "-";
      continue;
    }
    test::TScreenBitsScope screen(bits);
    TImageStream s(data);
    TransparencyMode mode = trCornerPixel;
    TBitmapPtr mask;
    const TImageGraphic g = LoadImageData(s, mode, mask);  // never raises
    if (g.Gif) out += "gif " + SizeText(g.Gif->Width(), g.Gif->Height());
    else if (g.Bitmap) out += SizeText(g.Bitmap->Width(), g.Bitmap->Height());
    else out += "none";
  }
  return out;
}

TEST(Crashers, ReplayEveryPath) {
  // Every kept file with what each path must make of it. A file added without an entry fails,
  // as does an entry whose file is gone.
  const std::map<std::string, std::string> expected = {
      // 93 bytes cannot hold the pixels the header claims: no path yields a picture.
      {"bmp-93-bytes-claiming-36-megapixels-slow.bmp", "gif error, png error, load24 none, load8 -"},
      // A legitimate 4096 x 4096 screen whose data ends early: the picture, with the rest blank.
      {"gif-16-megapixel-screen-slow.gif", "gif 4096x4096, png error, load24 4096x4096, load8 -"},
      // A screen 0 pixels high has nothing to show.
      {"gif-empty-screen.gif", "gif error, png error, load24 none, load8 none"},
  };
  const std::string dir = std::string(KORVA_TEST_DATA) + "/crashers";
  std::set<std::string> seen;
  for (const char* ext : {".gif", ".png", ".jpg", ".bmp", ".bin"}) {
    for (const std::string& file : test::ListFiles(dir, ext)) {
      const std::string name = std::filesystem::path(file).filename().string();
      seen.insert(name);
      const auto it = expected.find(name);
      if (it == expected.end()) {
        ADD_FAILURE() << name << " has no expected outcome; add it to the table";
        continue;
      }
      const bool slow = name.find("-slow.") != std::string::npos;
      EXPECT_EQ(Replay(test::ReadFile(file), slow), it->second) << name;
    }
  }
  for (const auto& [name, outcome] : expected) EXPECT_TRUE(seen.count(name)) << name << " is missing from " << dir;
}

}  // namespace
}  // namespace korva
