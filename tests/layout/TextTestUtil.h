// Text sections built by hand for the layout tests: characters get consecutive source positions
// from a first position, unless a test gives them.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "LayoutFixture.h"
#include "layout/IndentManager.h"
#include "layout/Section.h"

namespace korva::test {

inline void AddText(TSection& s, std::u16string_view text, int firstPos) {
  TokenObj t;
  for (std::size_t i = 0; i < text.size(); ++i) t.AddUnicodeChar(text[i], firstPos + int(i));
  s.AddTokenObj(t);
}

// A finished section of one paragraph in the document, its element opened with `style`.
inline TSection* AddParagraph(TLayoutFixture& f, std::u16string_view text, std::string_view style = {},
                              int firstPos = 0) {
  TProperties& p = f.Push("p", style);
  auto s = std::make_unique<TSection>(&f.Doc, nullptr, p, true, nullptr);
  AddText(*s, text, firstPos);
  s->Finish();
  f.Pop("p");
  return static_cast<TSection*>(f.Doc.AddSection(std::move(s)));
}

// A section with no characters that floats a box of a size at its place (left or right).
class TFloatBox : public TSectionBase {
 public:
  TFloatBox(TSectionList* doc, int width, int height, bool right)
      : TSectionBase(doc), FW(width), FH(height), FRight(right) {}
  int LayoutSection(TCanvas& c, int x, int y, int xr, int yr, int aw, int ah, int bh, IndentManager& im, int& mw,
                    int& cursor) override {
    int fx = FRight ? im.RightEdgeAt(y) - FW : im.LeftEdgeAt(y) + FW;
    im.PlaceFloatBlock(y, fx, FRight, FH);
    TSectionBase::LayoutSection(c, x, y, xr, yr, aw, ah, bh, im, mw, cursor);
    return 0;
  }
  const char* DumpKind() const override { return "floatbox"; }

 private:
  int FW, FH;
  bool FRight;
};

}  // namespace korva::test
