// A horizontal rule (HR), always inside its rule block: a bar of a thickness, solid in a colour
// or drawn as a sunken line.
#pragma once

#include "layout/SectionBase.h"

namespace korva {

class TAttributeList;
class TProperties;

class THorzLine : public TSectionBase {
 public:
  // Reads ALIGN, WIDTH, SIZE, COLOR and NOSHADE; width, thickness and colour reach the property
  // set as hints (a style sheet wins).
  THorzLine(TSectionList* document, TProperties& props, const TAttributeList* attributes);
  THorzLine(TSectionList* document, const THorzLine& source);

  int VSize = 2;          // thickness
  TColor Color = clNone;  // clNone: the sunken look
  int Align = 2;          // 1 left, 2 centre, 3 right
  bool NoShade = false;
  int FLeft = 0, FWidth = 0;

  std::unique_ptr<TSectionBase> CloneForPrint(TSectionList* document) const override;
  void AppendSelectedText(std::u16string& text) override;
  int LayoutSection(TCanvas& canvas, int x, int y, int xRef, int yRef, int availWidth, int availHeight,
                    int blockHeight, IndentManager& indents, int& maxWidth, int& cursor) override;
  int Draw(TCanvas& canvas, const TRect& clip, IndentManager& indents, int x, int xRef, int yRef) override;
  const char* DumpKind() const override { return "rule"; }
  void Dump(TDumpWriter& out, int depth) const override;

 private:
  int FLayoutX = 0;
};

}  // namespace korva
