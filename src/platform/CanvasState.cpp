#include "platform/CanvasState.h"

#include <algorithm>
#include <cstdint>

namespace korva {

namespace {

TPlatformFontPtr DefaultFont() { return TPlatformFont::Create(TFontSpec{}); }

int ClampRegionCoord(std::int64_t v) { return int(std::clamp<std::int64_t>(v, -MaxRegionCoord, MaxRegionCoord)); }

}  // namespace

TCanvasState::TCanvasState(const TRect& surface) : FSurface(surface) { FState.Font = DefaultFont(); }

void TCanvasState::SaveState() { FStack.push_back(FState); }

void TCanvasState::RestoreState() {
  if (FStack.empty()) return;
  FState = std::move(FStack.back());
  FStack.pop_back();
  ClipChanged();
}

void TCanvasState::SetFont(const TPlatformFontPtr& font) { FState.Font = font ? font : DefaultFont(); }

void TCanvasState::SetTextJustification(int extra, int breakCount) {
  FState.Just = breakCount > 0 ? TTextJustification{extra, breakCount, 0} : TTextJustification{};
}

TRect TCanvasState::DeviceRect(const TRect& r) const {
  const TRect d{ClampRegionCoord(std::int64_t(r.Left) + FState.Origin.x),
                ClampRegionCoord(std::int64_t(r.Top) + FState.Origin.y),
                ClampRegionCoord(std::int64_t(r.Right) + FState.Origin.x),
                ClampRegionCoord(std::int64_t(r.Bottom) + FState.Origin.y)};
  return d.IsEmpty() ? TRect{} : d;
}

TRegion TCanvasState::Visible() const {
  if (FState.Clipped) return FState.Clip;
  return FSurface.IsEmpty() ? TRegion() : TRegion::FromRect(FSurface);
}

void TCanvasState::IntersectClipRect(const TRect& r) {
  const TRect d = DeviceRect(r);
  FState.Clip = d.IsEmpty() ? TRegion() : Visible().Combine(TRegion::FromRect(d), TRegionOp::And);
  FState.Clipped = true;
  ClipChanged();
}

void TCanvasState::ExcludeClipRect(const TRect& r) {
  const TRect d = DeviceRect(r);
  FState.Clip = d.IsEmpty() ? Visible() : Visible().Combine(TRegion::FromRect(d), TRegionOp::Diff);
  FState.Clipped = true;
  ClipChanged();
}

void TCanvasState::IntersectClipRegion(const TRegion& rgn) {
  FState.Clip = Visible().Combine(rgn.Offset(FState.Origin.x, FState.Origin.y), TRegionOp::And);
  FState.Clipped = true;
  ClipChanged();
}

TRect TCanvasState::ClipBox() const {
  TRect b;
  if (FState.Clipped) b = FState.Clip.BoundingBox();
  else b = FSurface;
  if (b.IsEmpty()) return {};
  return {b.Left - FState.Origin.x, b.Top - FState.Origin.y, b.Right - FState.Origin.x, b.Bottom - FState.Origin.y};
}

}  // namespace korva
