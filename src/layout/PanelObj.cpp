#include "layout/PanelObj.h"

#include <algorithm>
#include <exception>

#include "core/Attributes.h"
#include "layout/ImageObj.h"
#include "layout/LayoutDump.h"
#include "platform/Canvas.h"
#include "platform/CodePage.h"

namespace korva {

namespace {
// Where a new panel waits until it is drawn, and its first size.
constexpr TRect PanelParking = {-4000, -4000, -4000 + 30, -4000 + 20};
// Printed without the host's help: the alt text this far inside the frame.
constexpr int PrintTextInset = 15;
}  // namespace

TPanelObj::TPanelObj(TSectionList* document, const TAttributeList& attributes, int textIndex, unsigned codePage)
    : TFloatingObj(document, textIndex) {
  CodePage = codePage;
  FOwnedControl = document->Host().CreateControl(TControlKind::Panel);
  FControl = FOwnedControl.get();
  if (FControl) {
    FControl->SetBounds(PanelParking);
    FControl->SetVisible(false);
  }
  for (int i = 0; i < attributes.Count(); ++i) {
    const TAttribute& a = *attributes[i];
    switch (a.Which()) {
      case syName: Name = a.Text(); break;
      case sySrc: Source = a.Text(); break;
      case syAlt: AltText = a.Text(); break;
      case syType: Type = a.Text(); break;
      default: break;
    }
  }
  ApplyCommonAttributes(attributes, true);
  if (FControl) {
    // Pixel sizes go to the control, so that the host's handler sees them.
    TRect r = FControl->Bounds();
    if (WantedWidth > 0 && !WidthInPercent) r.Right = r.Left + WantedWidth;
    if (WantedHeight > 0 && !HeightInPercent) r.Bottom = r.Top + WantedHeight;
    FControl->SetBounds(r);
    if (document->Host().OnPanelCreate) document->Host().OnPanelCreate(Name, Type, Source, *FControl);
    NaturalWidth = std::max(FControl->Bounds().Width(), 0);
    NaturalHeight = std::max(FControl->Bounds().Height(), 0);
  }
  document->FPanelList.push_back(this);
}

TPanelObj::TPanelObj(TSectionList* document, const TPanelObj& s)
    : TFloatingObj(document, s),
      Name(s.Name),
      Type(s.Type),
      Source(s.Source),
      PanelColor(s.PanelColor),
      NaturalWidth(s.NaturalWidth),
      NaturalHeight(s.NaturalHeight),
      ShownWidth(s.ShownWidth),
      ShownHeight(s.ShownHeight),
      FControl(s.FControl) {}

TPanelObj::~TPanelObj() {
  if (!FOwnedControl || !Document) return;
  if (Document->Host().OnPanelDestroy) Document->Host().OnPanelDestroy(*FOwnedControl);
  std::erase(Document->FPanelList, this);
  Document->ForgetObject(static_cast<const void*>(this));
}

std::unique_ptr<TFloatingObj> TPanelObj::CloneForPrint(TSectionList* document) const {
  return std::make_unique<TPanelObj>(document, *this);
}

void TPanelObj::ComputeSize(TCanvas&, int availHeight, int availWidth, bool) {
  if (!SizeSettled || WidthInPercent || HeightInPercent) {
    DisplaySize(NaturalWidth, NaturalHeight, availHeight, availWidth, ShownWidth, ShownHeight);
  }
  BoxWidth = ShownWidth;
  BoxHeight = ShownHeight;
  if (FOwnedControl) {
    const TRect r = FOwnedControl->Bounds();
    FOwnedControl->SetBounds(Bounds(r.Left, r.Top, ShownWidth, ShownHeight));
  }
}

void TPanelObj::DrawAt(TCanvas& canvas, int x, int y, bool) {
  DrawnLeft = x;
  DrawnTop = y;
  if (Document->FPrinting) {
    Print(canvas, x, y);
    return;
  }
  if (!FOwnedControl) return;
  // Controls live in the paint panel's coordinates.
  FOwnedControl->SetBounds(Bounds(x - Document->FXOff, y - Document->FYOff, ShownWidth, ShownHeight));
  FOwnedControl->SetVisible(true);
  PaintedLately = true;
}

void TPanelObj::Print(TCanvas& canvas, int x, int y) {
  if (ShownWidth <= 0 || ShownHeight <= 0) return;
  if (FControl && Document->Host().OnPanelPrint) {
    std::unique_ptr<TBitmap> picture = TBitmap::Create(ShownWidth, ShownHeight, 24);
    if (!picture) return;
    picture->Fill(PanelColor);
    const TRect old = FControl->Bounds();
    FControl->SetBounds(Bounds(old.Left, old.Top, ShownWidth, ShownHeight));
    bool drawn = true;
    try {
      Document->Host().OnPanelPrint(*FControl, *picture);
    } catch (const std::exception&) {
      drawn = false;  // printing errors are not reported
    }
    FControl->SetBounds(old);
    if (drawn) PrintImage(canvas, x, y, ShownWidth, ShownHeight, *picture, nullptr);
    return;
  }
  const TPen oldPen = canvas.Pen();
  const TBrush oldBrush = canvas.Brush();
  canvas.SetPen(TPen{clBlack});
  canvas.SetBrush(TBrush{PanelColor});
  canvas.Rectangle(Bounds(x, y, ShownWidth, ShownHeight));
  canvas.SetPen(oldPen);
  canvas.SetBrush(oldBrush);
  ThtFontInfo info;
  info.Name = "Arial";
  info.Size = 8;
  const TRect area = Rect(x + PrintTextInset, y + PrintTextInset, x + ShownWidth - PrintTextInset,
                          y + ShownHeight - PrintTextInset);
  DrawWordWrapped(canvas, area, MultiByteToWide(CodePage, AltText), Document->FontFor(info).Font.Handle());
}

void TPanelObj::Dump(TDumpWriter& out, int depth) const {
  DumpHead(out, depth, "panel");
  out << " name=\"" << Name << "\"";
  if (!Type.empty()) out << " type=\"" << Type << "\"";
}

void MarkPanelsNotDrawn(TSectionList& document) {
  for (TPanelObj* p : document.FPanelList) p->PaintedLately = false;
}

void HidePanelsNotDrawn(TSectionList& document) {
  for (TPanelObj* p : document.FPanelList)
    if (!p->PaintedLately && p->Control()) p->Control()->SetVisible(false);
}

}  // namespace korva
