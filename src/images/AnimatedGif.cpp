#include "images/AnimatedGif.h"

#include <algorithm>
#include <cstring>

#include "images/DisplayState.h"
#include "images/Gif.h"
#include "images/ImageLoader.h"
#include "images/ImageStream.h"
#include "images/Limits.h"
#include "platform/Canvas.h"
#include "platform/System.h"

namespace korva {

namespace {

TAnimationClock Clock = nullptr;

std::unique_ptr<TBitmap> CopyRect(const TBitmap& src, const TRect& r) {
  std::unique_ptr<TBitmap> out = TBitmap::Create(r.Width(), r.Height(), src.BitsPerPixel());
  if (!out) return out;
  if (src.BitsPerPixel() <= 8) out->SetColorTable(src.ColorTable());
  const int bits = src.BitsPerPixel();
  if (bits >= 8) {
    std::size_t bpp = std::size_t(bits / 8);
    for (int y = 0; y < r.Height(); ++y)
      std::memcpy(out->ScanLine(y), src.ScanLine(r.Top + y) + r.Left * bpp, std::size_t(r.Width()) * bpp);
  } else if ((r.Left * bits) % 8 == 0) {
    // Masks and small palettes start on a byte here (always for a whole picture): whole bytes
    // are copied, a screen-sized mask in milliseconds rather than pixel by pixel. The bits past
    // the width in the last byte fall in the row's padding.
    const std::size_t bytes = (std::size_t(r.Width()) * std::size_t(bits) + 7) / 8;
    for (int y = 0; y < r.Height(); ++y)
      std::memcpy(out->ScanLine(y), src.ScanLine(r.Top + y) + std::size_t(r.Left * bits / 8), bytes);
  } else {
    for (int y = 0; y < r.Height(); ++y)
      for (int x = 0; x < r.Width(); ++x) out->SetIndex(x, y, src.GetIndex(r.Left + x, r.Top + y));
  }
  out->SetPalette(src.Palette());
  return out;
}

}  // namespace

void SetAnimationClock(TAnimationClock clock) { Clock = clock; }
std::uint32_t AnimationNow() { return Clock ? Clock() : TimeGetTime(); }

ThtBitmap::ThtBitmap(std::unique_ptr<TBitmap> bitmap, std::unique_ptr<TBitmap> mask)
    : FBitmap(std::move(bitmap)), FStripMask(std::move(mask)), FStripMasked(FStripMask != nullptr) {}

void ThtBitmap::StretchDraw(TCanvas& canvas, const TRect& dest, const TRect& source) const {
  if (FBitmap->Palette()) canvas.SelectPalette(FBitmap->Palette());
  TStretchMode oldMode = canvas.StretchMode();
  int bpp = FBitmap->BitsPerPixel();
  if (ScreenColorBits() <= 8 && bpp >= 15)
    canvas.SetStretchMode(TStretchMode::Halftone);
  else if (!FBitmap->Monochrome())
    canvas.SetStretchMode(TStretchMode::ColorOnColor);
  if (FStripMasked)
    canvas.MaskedStretchBlt(dest.Left, dest.Top, dest.Width(), dest.Height(), *FBitmap, *FStripMask, source.Left,
                            source.Top, source.Width(), source.Height());
  else
    canvas.StretchBlt(dest.Left, dest.Top, dest.Width(), dest.Height(), *FBitmap, source.Left, source.Top,
                      source.Width(), source.Height(), TRop::SrcCopy);
  canvas.SetStretchMode(oldMode);
  if (FBitmap->Palette()) canvas.SelectPalette(nullptr);
}

std::unique_ptr<TAnimatedGif> TAnimatedGif::FromGifData(const std::uint8_t* data, std::size_t size,
                                                        bool* singleFrame) {
  if (singleFrame) *singleFrame = false;
  try {
    TGif gif;
    gif.ReadGif(data, size);
    std::unique_ptr<TBitmap> mask;
    std::unique_ptr<TBitmap> strip = gif.BuildStrip(&mask);
    std::unique_ptr<TAnimatedGif> a(new TAnimatedGif());
    a->FFrameTotal = gif.ImageCount();
    a->FMultiFrame = a->FFrameTotal > 1;
    if (singleFrame) *singleFrame = a->FFrameTotal < 2;
    a->FSlotWidth = gif.ScreenWidth();
    a->FSlotHeight = gif.ScreenHeight();
    int repeat = gif.RepeatCount();
    a->FPlayLimit = repeat < 0 ? 1 : repeat == 0 ? 0 : repeat + 1;
    a->FHasMask = gif.IsTransparent();
    strip->SetPalette(CopyGlobalPalette());
    a->FFrameStrip = std::make_shared<ThtBitmap>(std::move(strip), std::move(mask));
    for (int i = 0; i < gif.ImageCount(); ++i) {
      TgfFrame f;
      f.Disposal = std::uint8_t(gif.FrameDisposal(i));
      f.Left = gif.FrameLeft(i);
      f.Top = gif.FrameTop(i);
      f.Width = gif.FrameSizeX(i);
      f.Height = gif.FrameSizeY(i);
      f.Delay = std::max(30, 10 * gif.FrameDelay(i));
      a->FFrameList.Add(f);
    }
    return a;
  } catch (const std::exception& e) {
    SetLastImageError(e.what());
    return nullptr;
  }
}

std::unique_ptr<TAnimatedGif> TAnimatedGif::FromGifStream(const TMemoryStream& stream, bool* singleFrame) {
  return FromGifData(stream.Memory(), stream.Size(), singleFrame);
}

std::unique_ptr<TAnimatedGif> TAnimatedGif::FromGifFile(const std::string& fileName, bool* singleFrame) {
  if (singleFrame) *singleFrame = false;
  std::vector<std::uint8_t> data;
  if (!ReadWholeFile(fileName, data, MaxImageStreamBytes)) {
    SetLastImageError("cannot read " + fileName);
    return nullptr;
  }
  return FromGifData(data.data(), data.size(), singleFrame);
}

std::unique_ptr<TAnimatedGif> TAnimatedGif::CloneSharing(const TAnimatedGif& source) {
  std::unique_ptr<TAnimatedGif> a(new TAnimatedGif());
  a->FMultiFrame = source.FMultiFrame;
  a->FSlotWidth = source.FSlotWidth;
  a->FSlotHeight = source.FSlotHeight;
  a->FFrameTotal = source.FFrameTotal;
  a->FPlayLimit = source.FPlayLimit;
  a->FHasMask = source.FHasMask;
  a->FShowable = source.FShowable;
  a->FFrameStrip = source.FFrameStrip;
  a->FFrameList = source.FFrameList;
  a->FSharesStrip = true;
  a->FFrameNo = 1;
  a->FPlayCount = 1;
  return a;
}

TRect TAnimatedGif::SlotRect(int n) const { return TGif::StripSlotRect(FSlotWidth, FSlotHeight, FFrameTotal, n - 1); }

const TBitmap& TAnimatedGif::FirstFramePicture() {
  if (!FFirstFrameBitmap) {
    FFirstFrameBitmap = CopyRect(FFrameStrip->Bitmap(), SlotRect(1));
    if (FFrameStrip->StripMask()) FFirstFrameMask = CopyRect(*FFrameStrip->StripMask(), SlotRect(1));
  }
  return *FFirstFrameBitmap;
}

const TBitmap* TAnimatedGif::FirstFrameMaskPicture() {
  if (!FHasMask) return nullptr;
  if (!FFirstFrameMask) FirstFramePicture();
  return FFirstFrameMask.get();
}

std::unique_ptr<TBitmap> TAnimatedGif::FrameBitmap(int n) const {
  if (n < 1 || n > FFrameTotal) return nullptr;
  return CopyRect(FFrameStrip->Bitmap(), SlotRect(n));
}

std::unique_ptr<TBitmap> TAnimatedGif::FrameMask(int n) const {
  if (n < 1 || n > FFrameTotal || !FFrameStrip->StripMask()) return nullptr;
  return CopyRect(*FFrameStrip->StripMask(), SlotRect(n));
}

void TAnimatedGif::PaintFrame(TCanvas& canvas, int x, int y, int width, int height) {
  FLastDest = Rect(x, y, x + width, y + height);
  canvas.SetStretchMode(TStretchMode::ColorOnColor);
  if (!FShowable || FFrameTotal <= 0) return;
  FFrameStrip->StretchDraw(canvas, FLastDest, SlotRect(FFrameNo));
}

void TAnimatedGif::SetRunning(bool on) {
  if (on == FRunning) return;
  FRunning = on;
  if (on && FFrameTotal > 1) {
    FHoldTime = std::uint32_t(std::max(FFrameList.Items(FFrameNo).Delay, 1));
    FLastSwitch = AnimationNow();
  }
}

void TAnimatedGif::SelectFrame(int n) {
  if (n == FFrameNo) return;
  if (n > FFrameTotal)
    FFrameNo = 1;
  else if (n <= 0)
    FFrameNo = FFrameTotal;
  else
    FFrameNo = n;
}

void TAnimatedGif::Advance(TAnimationHost* host) {
  if (!FRunning) return;
  std::uint32_t now = AnimationNow();
  if (now - FLastSwitch < FHoldTime) return;  // unsigned difference survives the clock's wrap
  FLastSwitch = now;
  if (FFrameNo == FFrameTotal) {
    if (FPlayLimit > 0 && FPlayCount >= FPlayLimit) {
      FRunning = false;
      return;
    }
    ++FPlayCount;
  }
  ++FFrameNo;
  if (FFrameNo > FFrameTotal || FFrameNo <= 0) FFrameNo = 1;
  if (host) host->InvalidateRect(FLastDest, true);
  if (FFrameTotal > 0) FHoldTime = std::uint32_t(std::max(FFrameList.Items(FFrameNo).Delay, 1));
}

}  // namespace korva
