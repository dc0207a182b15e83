// The viewer: painting through an off-screen bitmap, the page background, the border, and
// scrolling by the bars.
#include <QAbstractSlider>
#include <QPainter>
#include <QtGlobal>
#include <algorithm>
#include <cstdlib>

#include "images/AnimatedGif.h"
#include "platform/Bitmap.h"
#include "platform/Canvas.h"
#include "layout/Tiling.h"
#include "platform/QtBridge.h"
#include "viewer/PageViewer.h"
#include "viewer/ViewerWidgets.h"

namespace korva {

// ---- painting ----

void TPageViewer::PaintPanelEvent(const QRect& clip) {
  if (FFormatting || FPainting) return;
  FPainting = true;
  struct TReset {
    bool& F;
    ~TReset() { F = false; }
  } reset{FPainting};
  UpdateBorder();
  const TRect r{clip.left(), clip.top(), clip.right() + 1, clip.bottom() + 1};
  if (r.IsEmpty()) return;
  QPainter painter(FPaintPanel);
  std::unique_ptr<TBitmap> buffer = TBitmap::Create(r.Width(), r.Height(), 32);
  if (!buffer) {
    // No memory for the picture: the panel shows its colour rather than stale pixels.
    qWarning("korva viewer: %s", EOutOfResources().what());
    painter.fillRect(clip, ToQColor(FPaintPanel->Color()));
    return;
  }
  std::unique_ptr<TCanvas> canvas = CreateBitmapCanvas(*buffer);
  PaintTo(*canvas, r);
  painter.drawImage(clip.topLeft(), BitmapAsQImage(*buffer));
  ++FPaintCount;
}

void TPageViewer::PaintTo(TCanvas& canvas, const TRect& clip) {
  canvas.SaveState();
  canvas.SetOrigin(-clip.Left, -clip.Top);
  canvas.SetBrush(TBrush{FPaintPanel->Color(), TBrushStyle::Solid});
  DrawBackground(canvas, clip);
  if (!FFormatting) {
    // The document draws in its own coordinates: y from its top, x from its left edge. Lines
    // near the clip are drawn too, since glyphs and underlines may reach a little beyond their
    // line's box; the bitmap cuts the drawing to the clip.
    // Scrolled sideways, the whole page moves: the origin carries the offset, as it does the
    // vertical one.
    constexpr int InkReach = 16;
    const int yOff = FDocument->FYOff, xOff = HScrollPos();
    FDocument->FXOff = xOff;
    canvas.SetOrigin(-clip.Left - xOff, -clip.Top - yOff);
    canvas.IntersectClipRect(clip.Offset(xOff, yOff));
    const TRect reach{clip.Left + xOff, clip.Top + yOff - InkReach, clip.Right + xOff, clip.Bottom + yOff + InkReach};
    FDocument->DrawDocument(canvas, reach, 0);
  }
  canvas.RestoreState();
}

void TPageViewer::ResetBackgroundTile() {
  FBgSource = {};
  FBgTile.reset();
  FBgTileMask.reset();
}

void TPageViewer::DrawBackground(TCanvas& canvas, const TRect& clip) {
  if (FDocument->FPrinting) return;
  canvas.FillRect(clip, FPaintPanel->Color());
  FFixedBackground = false;
  if (!FViewImages) return;
  TBitmapPtr mask;
  const TImageGraphic* graphic = FDocument->BackgroundBitmap(&mask);
  if (!graphic) return;
  const TBackgroundPosArray& pos = FDocument->BackgroundPos();
  FFixedBackground = pos[0].Fixed || pos[1].Fixed;

  // The tile: the picture (an animation's first frame) repeated inside itself along the axes
  // it repeats on; made once per picture.
  if (FBgSource.Bitmap != graphic->Bitmap || FBgSource.Gif != graphic->Gif || !FBgTile) {
    const TBitmap* image = graphic->Bitmap.get();
    const TBitmap* imageMask = mask.get();
    if (!image && graphic->Gif) {
      image = &graphic->Gif->FirstFramePicture();
      imageMask = graphic->Gif->FirstFrameMaskPicture();
    }
    if (!image || image->Width() <= 0 || image->Height() <= 0) return;
    const int iw = image->Width(), ih = image->Height();
    // A 1-pixel side is stretched when drawn, not repeated.
    const int nx = TileRepeats(iw, iw > 1 && pos[0].Repeat);
    const int ny = TileRepeats(ih, ih > 1 && pos[1].Repeat);
    FBgTile = ReplicateTile(*image, nx, ny);
    FBgTileMask = imageMask ? ReplicateTile(*imageMask, nx, ny) : nullptr;
    FBgSource = *graphic;
    FBgImageW = iw;
    FBgImageH = ih;
    if (!FBgTile) return;
  }
  const int pw = FPaintPanel->width(), ph = FPaintPanel->height();
  const TRect box = FFixedBackground
                        ? TRect{0, 0, pw, ph}
                        : Bounds(-HScrollPos(), -FDocument->FYOff, std::max(FHScrollBar->Maximum(), pw),
                                 std::max(FDocHeight, ph));
  const TRect area = IntersectRect(box, clip);
  if (area.IsEmpty()) return;
  const int tw = FBgTile->Width(), th = FBgTile->Height();
  // A side of 1 pixel is stretched over the whole area in one transfer instead of tiling.
  const bool stretchX = tw == 1, stretchY = th == 1;
  const bool rx = !stretchX && pos[0].Repeat, ry = !stretchY && pos[1].Repeat;
  const int x0 = stretchX ? area.Left : box.Left + PlaceOnAxis(pos[0], box.Width(), FBgImageW);
  const int y0 = stretchY ? area.Top : box.Top + PlaceOnAxis(pos[1], box.Height(), FBgImageH);
  const int dw = stretchX ? area.Width() : tw, dh = stretchY ? area.Height() : th;
  const int xs = rx ? x0 + FloorDiv(area.Left - x0, tw) * tw : x0;
  const int ys = ry ? y0 + FloorDiv(area.Top - y0, th) * th : y0;
  const int xe = rx ? area.Right : x0 + 1;
  const int ye = ry ? area.Bottom : y0 + 1;
  canvas.SaveState();
  canvas.IntersectClipRect(area);
  for (int ty = ys; ty < ye; ty += dh) {
    if (ty + dh <= area.Top || ty >= area.Bottom) continue;
    for (int tx = xs; tx < xe; tx += dw) {
      if (tx + dw <= area.Left || tx >= area.Right) continue;
      if (FBgTileMask) canvas.MaskedStretchBlt(tx, ty, dw, dh, *FBgTile, *FBgTileMask, 0, 0, tw, th);
      else if (dw == tw && dh == th) canvas.BitBlt(tx, ty, tw, th, *FBgTile, 0, 0);
      else canvas.StretchBlt(tx, ty, dw, dh, *FBgTile, 0, 0, tw, th);
    }
  }
  canvas.RestoreState();
}

// ---- the border ----

void TPageViewer::UpdateBorder() {
  const bool on = (hasFocus() && FBorderStyle == THtBorderStyle::htFocused) || FBorderStyle == THtBorderStyle::htSingle;
  FBorderPanel->SetBorderShown(on);
}

void TPageViewer::focusInEvent(QFocusEvent* event) {
  QWidget::focusInEvent(event);
  UpdateBorder();
}

void TPageViewer::focusOutEvent(QFocusEvent* event) {
  QWidget::focusOutEvent(event);
  UpdateBorder();
}

bool TPageViewer::focusNextPrevChild(bool next) { return QWidget::focusNextPrevChild(next); }

// ---- scrolling ----

void TPageViewer::ScrollVertically(int y, bool line) {
  const int old = Position();
  y = std::clamp(y, 0, MaxVertical());
  if (y == old) return;
  FVScrollBar->SetPosition(y);
  FDocument->SetScrollTop(y);
  // Moving the picture is only right when nothing on it stays put (a fixed background) and no
  // native control must be placed again by a full draw.
  const bool controls = !FDocument->FFormControlList.empty() || !FDocument->FPanelList.empty();
  if (line && !FFixedBackground && !controls && std::abs(y - old) < FPaintPanel->height())
    FPaintPanel->scroll(0, old - y);
  else
    FPaintPanel->update();
}

void TPageViewer::VScrollAction(int action) {
  const int p = Position();
  int y = p;
  switch (action) {
    case QAbstractSlider::SliderSingleStepAdd: y = p + FVScrollBar->SmallChange(); break;
    case QAbstractSlider::SliderSingleStepSub: y = p - FVScrollBar->SmallChange(); break;
    case QAbstractSlider::SliderPageStepAdd: y = p + FVScrollBar->LargeChange(); break;
    case QAbstractSlider::SliderPageStepSub: y = p - FVScrollBar->LargeChange(); break;
    case QAbstractSlider::SliderToMinimum: y = 0; break;
    case QAbstractSlider::SliderToMaximum: y = FDocHeight - FPaintPanel->height(); break;
    case QAbstractSlider::SliderMove: y = FVScrollBar->sliderPosition(); break;
    default: return;
  }
  ScrollVertically(y, true);
  // The bar takes the position the viewer chose rather than its own step.
  FVScrollBar->setSliderPosition(Position());
}

void TPageViewer::HScrollAction(int action) {
  const int p = HScrollPos();
  int x = p;
  switch (action) {
    case QAbstractSlider::SliderSingleStepAdd: x = p + FHScrollBar->SmallChange(); break;
    case QAbstractSlider::SliderSingleStepSub: x = p - FHScrollBar->SmallChange(); break;
    case QAbstractSlider::SliderPageStepAdd: x = p + FHScrollBar->LargeChange(); break;
    case QAbstractSlider::SliderPageStepSub: x = p - FHScrollBar->LargeChange(); break;
    case QAbstractSlider::SliderToMinimum: x = 0; break;
    case QAbstractSlider::SliderToMaximum: x = FHScrollBar->Maximum(); break;
    case QAbstractSlider::SliderMove: x = FHScrollBar->sliderPosition(); break;
    default: return;
  }
  SetHScrollPos(x);
  FHScrollBar->setSliderPosition(HScrollPos());
}

}  // namespace korva
