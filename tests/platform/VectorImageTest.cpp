// Vector pictures: intrinsic sizes, renderings at given sizes, and the files refused before the
// SVG library sees them.
#include <gtest/gtest.h>

#include <string>

#include "platform/Limits.h"
#include "platform/VectorImage.h"

namespace korva {
namespace {

std::unique_ptr<TVectorImage> Parse(const std::string& text, std::string* error = nullptr) {
  return TVectorImage::FromBytes(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), error);
}

std::string Svg(const std::string& rootAttributes, const std::string& body = "") {
  return "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" " + rootAttributes +
         ">" + body + "</svg>";
}

// B, G, R, A of a pixel of a 32-bit bitmap.
std::array<int, 4> Px(const TBitmap& b, int x, int y) {
  const std::uint8_t* p = b.ScanLine(y) + std::size_t(x) * 4;
  return {p[0], p[1], p[2], p[3]};
}

TEST(VectorImage, IntrinsicSizes) {
  struct Case {
    const char* root;
    int w, h;
  };
  const Case cases[] = {
      {"width=\"40\" height=\"30\"", 40, 30},
      {"width=\"40px\" height=\" 30.4 \" viewBox=\"0 0 4 4\"", 40, 30},
      {"width=\"1in\" height=\"72pt\"", 96, 96},
      {"width=\"2.54cm\" height=\"10mm\"", 96, 38},
      {"viewBox=\"0 0 64 16\"", 64, 16},
      {"viewBox=\"-5,-5, 20,10\"", 20, 10},
      {"width=\"50\" viewBox=\"0 0 100 20\"", 50, 10},
      {"height=\"50\" viewBox=\"0 0 100 20\"", 250, 50},
      {"width=\"100%\" height=\"100%\" viewBox=\"0 0 12 34\"", 12, 34},  // percentages count as absent
      {"", 300, 150},
      {"width=\"20\"", 300, 150},
      {"viewBox=\"0 0 0 10\"", 300, 150},
      {"width=\"abc\" height=\"-4\"", 300, 150},
      {"width=\"100000\" height=\"3\"", MaxBitmapSide, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.root);
    auto v = Parse(Svg(c.root, "<rect width=\"1\" height=\"1\"/>"));
    ASSERT_TRUE(v);
    EXPECT_EQ(v->IntrinsicSize().cx, c.w);
    EXPECT_EQ(v->IntrinsicSize().cy, c.h);
  }
}

TEST(VectorImage, RendersAtTheSizeAsked) {
  // Left half opaque red, right half green at half opacity, a transparent gap at the bottom.
  auto v = Parse(Svg("viewBox=\"0 0 4 4\"",
                     "<rect x=\"0\" y=\"0\" width=\"2\" height=\"3\" fill=\"#ff0000\"/>"
                     "<rect x=\"2\" y=\"0\" width=\"2\" height=\"3\" fill=\"#00ff00\" fill-opacity=\"0.5\"/>"));
  ASSERT_TRUE(v);
  for (int size : {4, 40, 123}) {
    SCOPED_TRACE(size);
    auto b = v->Render(size, size);
    ASSERT_TRUE(b);
    EXPECT_TRUE(b->HasAlpha());
    EXPECT_EQ(b->Width(), size);
    EXPECT_EQ(Px(*b, 0, 0), (std::array<int, 4>{0, 0, 255, 255}));
    const auto half = Px(*b, size - 1, 0);
    EXPECT_EQ(half[0], 0);
    EXPECT_EQ(half[2], 0);
    EXPECT_NEAR(half[3], 128, 1);
    EXPECT_EQ(half[1], half[3]);  // premultiplied
    EXPECT_EQ(Px(*b, 0, size - 1), (std::array<int, 4>{0, 0, 0, 0}));
  }
  // Another proportion: the viewBox is fitted and centred, the rest stays transparent.
  auto wide = v->Render(80, 40);
  ASSERT_TRUE(wide);
  EXPECT_EQ(Px(*wide, 5, 5)[3], 0);
  EXPECT_EQ(Px(*wide, 25, 5), (std::array<int, 4>{0, 0, 255, 255}));
  EXPECT_EQ(Px(*wide, 75, 5)[3], 0);
  // Sizes beyond the limits are refused, not allocated.
  EXPECT_FALSE(v->Render(0, 10));
  EXPECT_FALSE(v->Render(10, -1));
  EXPECT_FALSE(v->Render(MaxBitmapSide + 1, 1));
  EXPECT_FALSE(v->Render(8192, 8192));
}

TEST(VectorImage, DamagedAndForeignDataIsNoPicture) {
  for (const std::string& text : {std::string(), std::string("not xml at all"),
                                  std::string("<html><body/></html>"),
                                  Svg("width=\"10\" height=\"10\"", "<rect width=\"5\" height=\"5\"") ,
                                  std::string("<svg xmlns=\"http://www.w3.org/2000/svg\"><g></svg>")}) {
    SCOPED_TRACE(text);
    std::string error;
    EXPECT_FALSE(Parse(text, &error));
    EXPECT_FALSE(error.empty());
  }
}

// A small file whose nested `use` references would make the library draw 200^levels nodes: it
// is refused by counting, before the library parses it (the library spends minutes on it).
TEST(VectorImage, UseBombsAndCyclesAreRefused) {
  std::string body = "<rect id=\"l0\" width=\"1\" height=\"1\" fill=\"red\"/>";
  for (int level = 1; body.size() < 1024 * 1024; ++level) {
    body += "<g id=\"l" + std::to_string(level) + "\">";
    for (int k = 0; k < 200; ++k) body += "<use xlink:href=\"#l" + std::to_string(level - 1) + "\"/>";
    body += "</g>";
  }
  std::string error;
  EXPECT_FALSE(Parse(Svg("width=\"100\" height=\"100\"", body), &error));
  EXPECT_NE(error.find("expanded"), std::string::npos) << error;

  // A few levels stay well inside the limit and draw.
  std::string small = "<rect id=\"a\" width=\"1\" height=\"1\" fill=\"#0000ff\"/>";
  small += "<g id=\"b\"><use xlink:href=\"#a\"/><use xlink:href=\"#a\" x=\"1\"/></g>";
  small += "<use href=\"#b\" y=\"1\"/>";
  auto v = Parse(Svg("viewBox=\"0 0 2 2\"", small));
  ASSERT_TRUE(v);
  auto b = v->Render(2, 2);
  ASSERT_TRUE(b);
  EXPECT_EQ(Px(*b, 1, 1), (std::array<int, 4>{255, 0, 0, 255}));

  EXPECT_FALSE(Parse(Svg("", "<g id=\"x\"><use xlink:href=\"#x\"/></g>"), &error));
  EXPECT_NE(error.find("cycle"), std::string::npos) << error;

  std::string deep;
  for (int i = 0; i < MaxSvgDepth + 1; ++i) deep += "<g>";
  for (int i = 0; i < MaxSvgDepth + 1; ++i) deep += "</g>";
  EXPECT_FALSE(Parse(Svg("", deep), &error));
  std::string chain = "<rect id=\"r0\" width=\"1\" height=\"1\"/>";
  for (int i = 1; i <= MaxSvgDepth + 1; ++i)
    chain += "<use id=\"r" + std::to_string(i) + "\" xlink:href=\"#r" + std::to_string(i - 1) + "\"/>";
  EXPECT_FALSE(Parse(Svg("", chain), &error));
  EXPECT_NE(error.find("deeply"), std::string::npos) << error;
}

}  // namespace
}  // namespace korva
