// The device-context state both canvases keep (pen, brush, font, colours, modes, origin,
// current position, clip) with its save stack and the clip arithmetic, written once. Private
// to the platform layer; the bitmap and the recording canvas derive from it and add drawing.
#pragma once

#include <vector>

#include "platform/Canvas.h"

namespace korva {

class TCanvasState : public TCanvas {
 public:
  void SaveState() override;
  // Does nothing without a matching SaveState; else restores and calls ClipChanged.
  void RestoreState() override;
  void SetOrigin(int dx, int dy) override { FState.Origin = {dx, dy}; }
  TPoint Origin() const override { return FState.Origin; }

  void SetPen(const TPen& pen) override { FState.Pen = pen; }
  const TPen& Pen() const override { return FState.Pen; }
  void SetBrush(const TBrush& brush) override { FState.Brush = brush; }
  const TBrush& Brush() const override { return FState.Brush; }
  void SetFont(const TPlatformFontPtr& font) override;
  const TPlatformFontPtr& Font() const override { return FState.Font; }
  void SetTextColor(TColor c) override { FState.TextColor = c; }
  TColor TextColor() const override { return FState.TextColor; }
  void SetBkColor(TColor c) override { FState.BkColor = c; }
  TColor BkColor() const override { return FState.BkColor; }
  void SetBkMode(TBkMode m) override { FState.BkMode = m; }
  TBkMode BkMode() const override { return FState.BkMode; }
  void SetTextAlign(unsigned flags) override { FState.Align = flags; }
  unsigned TextAlign() const override { return FState.Align; }
  void SetTextCharacterExtra(int extra) override { FState.CharExtra = extra; }
  int TextCharacterExtra() const override { return FState.CharExtra; }
  void SetTextJustification(int extra, int breakCount) override;
  TTextJustification TextJustification() const override { return FState.Just; }
  void SetStretchMode(TStretchMode m) override { FState.Stretch = m; }
  TStretchMode StretchMode() const override { return FState.Stretch; }
  void SelectPalette(const TPalettePtr& palette) override { FState.Palette = palette; }

  void IntersectClipRect(const TRect& r) override;
  void ExcludeClipRect(const TRect& r) override;
  void IntersectClipRegion(const TRegion& rgn) override;
  TRect ClipBox() const override;

  TPoint PenPos() const override { return FState.PenPos; }

 protected:
  struct TState {
    TPen Pen;
    TBrush Brush;
    TPlatformFontPtr Font;
    TColor TextColor = clBlack, BkColor = clWhite;
    TBkMode BkMode = TBkMode::Opaque;
    unsigned Align = TA_LEFT | TA_TOP;
    int CharExtra = 0;
    TTextJustification Just;
    TStretchMode Stretch = TStretchMode::ColorOnColor;
    TPalettePtr Palette;
    TPoint Origin, PenPos;
    bool Clipped = false;
    TRegion Clip;  // device coordinates, when Clipped
  };

  // `surface`: the device rectangle an unclipped canvas shows.
  explicit TCanvasState(const TRect& surface);

  // Called after every clip operation and RestoreState, for a canvas that follows the clip.
  virtual void ClipChanged() {}
  // r moved by the origin, its coordinates clamped to the region limit; empty (all zero)
  // when r has no area (an inverted rectangle is not normalised).
  TRect DeviceRect(const TRect& r) const;
  bool HasSavedState() const { return !FStack.empty(); }

  TState FState;

 private:
  // The visible part of the surface, in device coordinates.
  TRegion Visible() const;

  TRect FSurface;
  std::vector<TState> FStack;
};

}  // namespace korva
