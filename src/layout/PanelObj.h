// A PANEL element: a host control placed in the text like an image, sized by the host's
// panel-create handler and then by the same rules as images.
#pragma once

#include <memory>
#include <string>

#include "layout/FloatingObj.h"

namespace korva {

class TPanelObj : public TFloatingObj {
 public:
  // Makes the control (off screen, 30 x 20, hidden), applies the attributes, lets the host's
  // OnPanelCreate size and fill it and joins the document's panel list.
  TPanelObj(TSectionList* document, const TAttributeList& attributes, int textIndex, unsigned codePage = 1252);
  // The copy for another document (printing): uses the original's control, owns none.
  TPanelObj(TSectionList* document, const TPanelObj& source);
  ~TPanelObj() override;

  std::string Name, Type, Source;
  TColor PanelColor = clWhite;
  int NaturalWidth = 0, NaturalHeight = 0;  // the control's size after OnPanelCreate
  int ShownWidth = 0, ShownHeight = 0;
  // Set when drawn; the document clears it before a paint at a new scroll position and hides
  // the panels still clear after it.
  bool PaintedLately = false;

  TNativeControl* Control() const { return FControl; }
  bool IsPanel() const override { return true; }
  void ComputeSize(TCanvas& canvas, int availHeight, int availWidth, bool inLink) override;
  // On screen: moves the control to its place in the paint panel and shows it. Printing: the
  // host's OnPanelPrint output, else a frame with the alt text.
  void DrawAt(TCanvas& canvas, int x, int y, bool focused) override;
  std::unique_ptr<TFloatingObj> CloneForPrint(TSectionList* document) const override;
  void Dump(TDumpWriter& out, int depth) const override;

 private:
  void Print(TCanvas& canvas, int x, int y);
  std::unique_ptr<TNativeControl> FOwnedControl;
  TNativeControl* FControl = nullptr;
};

// Before a paint at a new scroll position: every panel of the document counts as not drawn.
void MarkPanelsNotDrawn(TSectionList& document);
// After that paint: the panels not drawn are hidden.
void HidePanelsNotDrawn(TSectionList& document);

}  // namespace korva
