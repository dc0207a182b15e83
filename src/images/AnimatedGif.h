// Animated GIF images: the composed strip of all frames, its mask, and the frame clock.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Bitmap.h"
#include "platform/Types.h"

namespace korva {

class TCanvas;
class TMemoryStream;

// A bitmap with an optional monochrome mask (white = transparent) that it draws through.
class ThtBitmap {
 public:
  ThtBitmap(std::unique_ptr<TBitmap> bitmap, std::unique_ptr<TBitmap> mask);
  TBitmap& Bitmap() { return *FBitmap; }
  const TBitmap& Bitmap() const { return *FBitmap; }
  const TBitmap* StripMask() const { return FStripMask.get(); }
  bool StripMasked() const { return FStripMasked; }
  int Width() const { return FBitmap->Width(); }
  int Height() const { return FBitmap->Height(); }

  // Draws the source rectangle of the bitmap into the destination rectangle, through the mask
  // when there is one.
  void StretchDraw(TCanvas& canvas, const TRect& dest, const TRect& source) const;

 private:
  std::unique_ptr<TBitmap> FBitmap;
  std::unique_ptr<TBitmap> FStripMask;
  bool FStripMasked = false;
};

struct TgfFrame {
  int Left = 0, Top = 0, Width = 0, Height = 0;
  int Delay = 0;  // milliseconds
  std::uint8_t Disposal = 0;
  bool Copy = false;
};

// Frames numbered from 1.
class TgfFrameList {
 public:
  int Count() const { return int(FItems.size()); }
  const TgfFrame& Items(int n) const { return FItems.at(std::size_t(n - 1)); }
  void Add(const TgfFrame& f) { FItems.push_back(f); }

 private:
  std::vector<TgfFrame> FItems;
};

// What an animated image asks of the window it is drawn in.
class TAnimationHost {
 public:
  virtual ~TAnimationHost() = default;
  virtual void InvalidateRect(const TRect& r, bool erase) = 0;
};

// The millisecond clock the animation runs on (the system's by default; tests set their own).
using TAnimationClock = std::uint32_t (*)();
void SetAnimationClock(TAnimationClock clock);
std::uint32_t AnimationNow();

class TAnimatedGif {
 public:
  // Decodes a GIF; nullptr on any failure. singleFrame tells whether it has fewer than two frames.
  static std::unique_ptr<TAnimatedGif> FromGifStream(const TMemoryStream& stream, bool* singleFrame = nullptr);
  static std::unique_ptr<TAnimatedGif> FromGifData(const std::uint8_t* data, std::size_t size,
                                                   bool* singleFrame = nullptr);
  static std::unique_ptr<TAnimatedGif> FromGifFile(const std::string& fileName, bool* singleFrame = nullptr);
  // A second image showing the same decoded strip with its own frame clock.
  static std::unique_ptr<TAnimatedGif> CloneSharing(const TAnimatedGif& source);

  bool MultiFrame() const { return FMultiFrame; }
  int FrameNo() const { return FFrameNo; }
  int SlotWidth() const { return FSlotWidth; }
  int SlotHeight() const { return FSlotHeight; }
  int Width() const { return FSlotWidth; }
  int Height() const { return FSlotHeight; }
  int FrameTotal() const { return FFrameTotal; }
  int PlayLimit() const { return FPlayLimit; }
  int PlayCount() const { return FPlayCount; }
  bool HasMask() const { return FHasMask; }
  bool Showable() const { return FShowable; }
  void SetShowable(bool v) { FShowable = v; }
  bool Running() const { return FRunning; }
  bool PaintedLately() const { return FPaintedLately; }
  void SetPaintedLately(bool v) { FPaintedLately = v; }
  bool SharesStrip() const { return FSharesStrip; }
  const TRect& LastDest() const { return FLastDest; }
  std::uint32_t HoldTime() const { return FHoldTime; }
  const TgfFrameList& FrameList() const { return FFrameList; }
  const ThtBitmap& FrameStrip() const { return *FFrameStrip; }
  // Where frame n (from 1) lies in the strip.
  TRect SlotRect(int n) const;

  // Frame 1 as its own bitmap, and its mask (nullptr unless HasMask); built on first use.
  const TBitmap& FirstFramePicture();
  const TBitmap* FirstFrameMaskPicture();
  // Copies of frame n (from 1) and its mask (nullptr unless HasMask).
  std::unique_ptr<TBitmap> FrameBitmap(int n) const;
  std::unique_ptr<TBitmap> FrameMask(int n) const;

  void PaintFrame(TCanvas& canvas, int x, int y, int width, int height);
  // One tick of the document's animation timer.
  void Advance(TAnimationHost* host);
  void SetRunning(bool on);
  void SelectFrame(int n);

 private:
  TAnimatedGif() = default;

  bool FMultiFrame = false;
  int FFrameNo = 1;
  int FSlotWidth = 0, FSlotHeight = 0;
  int FFrameTotal = 0;
  int FPlayLimit = 0;
  bool FHasMask = false;
  bool FShowable = true;
  std::shared_ptr<ThtBitmap> FFrameStrip;
  std::unique_ptr<TBitmap> FFirstFrameBitmap;
  std::unique_ptr<TBitmap> FFirstFrameMask;
  bool FRunning = false;
  TRect FLastDest;
  TgfFrameList FFrameList;
  int FPlayCount = 1;
  std::uint32_t FLastSwitch = 0;
  std::uint32_t FHoldTime = 0;
  bool FPaintedLately = false;
  bool FSharesStrip = false;
};

}  // namespace korva
