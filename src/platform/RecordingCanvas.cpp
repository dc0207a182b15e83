#include "platform/RecordingCanvas.h"
#include "platform/CodePage.h"

#include <algorithm>
#include <cstdio>

namespace korva {

namespace {

constexpr int Universe = 1000000;

std::string ColorText(TColor c) {
  if (c == clNone) return "none";
  const TColor rgb = ColorToRGB(c);
  char buf[8];
  std::snprintf(buf, sizeof buf, "#%02X%02X%02X", GetRValue(rgb), GetGValue(rgb), GetBValue(rgb));
  return buf;
}

std::string Num(std::int64_t v) { return std::to_string(v); }


std::string Quoted(const char16_t* s, int n) {
  std::string out = "\"";
  for (int i = 0; i < n; ++i) {
    const char16_t c = s[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      AppendUtf8(out, 0x10000 + ((char32_t(c) - 0xD800) << 10) + (char32_t(s[i + 1]) - 0xDC00));
      ++i;
    } else if (c < 0x20 || c == 0x7F || (c >= 0xD800 && c <= 0xDFFF)) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04X", unsigned(c));
      out += buf;
    } else if (c == u'"' || c == u'\\') {
      out += '\\';
      out += char(c);
    } else {
      AppendUtf8(out, c);
    }
  }
  return out + "\"";
}

std::string FontText(const TPlatformFont& font) {
  const TFontSpec& f = font.Spec();
  std::string out = f.Name + "/" + Num(f.Height);
  std::string flags;
  if (f.Weight >= 600) flags += 'b';
  if (f.Italic) flags += 'i';
  if (f.Underline) flags += 'u';
  if (f.StrikeOut) flags += 's';
  if (!flags.empty()) out += "/" + flags;
  if (f.CharSet != DEFAULT_CHARSET) out += "/cs=" + Num(f.CharSet);
  return out;
}

std::string RopText(TRop rop) {
  switch (rop) {
    case TRop::SrcCopy: return "SrcCopy";
    case TRop::SrcPaint: return "SrcPaint";
    case TRop::SrcAnd: return "SrcAnd";
    case TRop::SrcInvert: return "SrcInvert";
    case TRop::SrcErase: return "SrcErase";
    case TRop::NotSrcCopy: return "NotSrcCopy";
    case TRop::NotSrcErase: return "NotSrcErase";
    case TRop::MergePaint: return "MergePaint";
    case TRop::DstInvert: return "DstInvert";
    case TRop::Blackness: return "Blackness";
    case TRop::Whiteness: return "Whiteness";
  }
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", unsigned(rop));
  return buf;
}

std::string ModeText(TStretchMode m) {
  switch (m) {
    case TStretchMode::Halftone: return " mode=Halftone";
    case TStretchMode::BlackOnWhite: return " mode=BlackOnWhite";
    case TStretchMode::WhiteOnBlack: return " mode=WhiteOnBlack";
    default: return "";
  }
}

std::string BitmapText(const TBitmap& b) {
  return Num(b.BitsPerPixel()) + "bpp " + Num(b.Width()) + "x" + Num(b.Height());
}

std::string RectText(const TRect& r) {
  return Num(r.Left) + "," + Num(r.Top) + "," + Num(r.Right) + "," + Num(r.Bottom);
}

// What an unclipped canvas shows.
TRect SurfaceOf(TSize size) {
  if (size.cx > 0 && size.cy > 0) return {0, 0, size.cx, size.cy};
  return {-Universe, -Universe, Universe, Universe};
}

}  // namespace

struct TRecordingCanvas::TPathState {
  bool Open = false;       // between BeginPath and EndPath
  bool FigureOpen = false;
  std::vector<std::string> Figures;
  std::string Current;     // points of the open figure
};

TRecordingCanvas::TRecordingCanvas(TSize size)
    : TCanvasState(SurfaceOf(size)), FSize(size), FPath(std::make_unique<TPathState>()) {}

TRecordingCanvas::~TRecordingCanvas() = default;

std::string TRecordingCanvas::Text() const {
  std::string out;
  for (const std::string& line : FLines) {
    out += line;
    out += '\n';
  }
  return out;
}

std::string TRecordingCanvas::Dev(int x, int y) const {
  return Num(std::int64_t(x) + FState.Origin.x) + "," + Num(std::int64_t(y) + FState.Origin.y);
}

std::string TRecordingCanvas::DevRect(const TRect& r) const {
  return Dev(r.Left, r.Top) + "," + Dev(r.Right, r.Bottom);
}

std::string TRecordingCanvas::PenText() const {
  const TPen& p = FState.Pen;
  if (p.Style == TPenStyle::Clear) return "none";
  std::string out = ColorText(p.Color);
  if (p.Width == 1 && p.Style == TPenStyle::Solid) return out;
  static const char* const styles[] = {"solid", "dash", "dot", "dashdot", "none", "inside"};
  out += "/" + Num(p.Width) + "/" + styles[int(p.Style)];
  if (p.Cap == TPenCap::Flat) out += "/flat";
  else if (p.Cap == TPenCap::Square) out += "/square";
  if (p.Join == TPenJoin::Bevel) out += "/bevel";
  else if (p.Join == TPenJoin::Miter) out += "/miter";
  return out;
}

std::string TRecordingCanvas::BrushText() const {
  return FState.Brush.Style == TBrushStyle::Clear ? "none" : ColorText(FState.Brush.Color);
}

// ---- state ----

void TRecordingCanvas::SaveState() {
  TCanvasState::SaveState();
  FLines.push_back("Save");
}

void TRecordingCanvas::RestoreState() {
  if (!HasSavedState()) return;
  TCanvasState::RestoreState();
  FLines.push_back("Restore");
}

void TRecordingCanvas::IntersectClipRect(const TRect& r) {
  TCanvasState::IntersectClipRect(r);
  FLines.push_back("IntersectClip " + DevRect(r));
}

void TRecordingCanvas::ExcludeClipRect(const TRect& r) {
  TCanvasState::ExcludeClipRect(r);
  FLines.push_back("ExcludeClip " + DevRect(r));
}

void TRecordingCanvas::IntersectClipRegion(const TRegion& rgn) {
  TCanvasState::IntersectClipRegion(rgn);
  std::int64_t count = 0;
  std::string list;
  for (const TRect& r : rgn.Rects()) {
    const TRect d = DeviceRect(r);
    if (d.IsEmpty()) continue;
    ++count;
    if (!list.empty()) list += ' ';
    list += RectText(d);
  }
  FLines.push_back("ClipRegion n=" + Num(count) + " (" + list + ")");
}

// ---- text ----

void TRecordingCanvas::TextOut(int x, int y, const char16_t* s, int n) {
  RecordText("TextOut", x, y, 0, nullptr, s, n, nullptr);
}

void TRecordingCanvas::ExtTextOut(int x, int y, unsigned options, const TRect* rect, const char16_t* s, int n,
                                  const int* dx) {
  RecordText("ExtTextOut", x, y, options, rect, s, n, dx);
}

void TRecordingCanvas::RecordText(const char* verb, int x, int y, unsigned options, const TRect* rect,
                                  const char16_t* s, int n, const int* dx) {
  if (!s || n < 0) n = 0;
  const bool opaqueRect = rect && (options & ETO_OPAQUE);
  if (n == 0 && !opaqueRect) return;
  const bool updateCp = (FState.Align & TA_UPDATECP) != 0;
  if (updateCp) {
    x = FState.PenPos.x;
    y = FState.PenPos.y;
  }
  std::int64_t advance = 0;
  if (dx) {
    for (int i = 0; i < n; ++i) advance += dx[i];
  } else {
    advance = TextAdvances(*FState.Font, s, n, FState.CharExtra, FState.Just, nullptr);
  }
  std::string line = std::string(verb) + " " + Dev(x, y) + " " + Quoted(s, n) + " w=" + Num(advance);
  if (opaqueRect) line += " opaque=" + DevRect(*rect);
  if (rect && (options & ETO_CLIPPED)) line += " clipped=" + DevRect(*rect);
  if (dx) {
    line += " dx=";
    for (int i = 0; i < n; ++i) line += (i ? "," : "") + Num(dx[i]);
  }
  line += " font=" + FontText(*FState.Font) + " color=" + ColorText(FState.TextColor) +
          " bk=" + (FState.BkMode == TBkMode::Transparent ? std::string("transparent") : ColorText(FState.BkColor));
  std::string align;
  auto add = [&](const char* a) { align += (align.empty() ? "" : "+") + std::string(a); };
  const unsigned h = FState.Align & TA_CENTER, v = FState.Align & TA_BASELINE;
  if (h == TA_RIGHT) add("right");
  else if (h == TA_CENTER) add("center");
  if (v == TA_BOTTOM) add("bottom");
  else if (v == TA_BASELINE) add("baseline");
  if (updateCp) add("updatecp");
  if (!align.empty()) line += " align=" + align;
  if (FState.CharExtra != 0 && !dx) line += " extra=" + Num(FState.CharExtra);
  if (FState.Just.Breaks > 0 && !dx) line += " just=" + Num(FState.Just.Extra) + "/" + Num(FState.Just.Breaks);
  FLines.push_back(std::move(line));
  if (updateCp) {
    const int a = int(std::clamp<std::int64_t>(advance, -(1 << 28), 1 << 28));
    if (h == TA_LEFT) FState.PenPos.x += a;
    else if (h == TA_RIGHT) FState.PenPos.x -= a;
  }
}

// ---- shapes ----

void TRecordingCanvas::MoveTo(int x, int y) {
  FState.PenPos = {x, y};
  if (FPath->Open) {
    if (FPath->FigureOpen && !FPath->Current.empty()) FPath->Figures.push_back("(" + FPath->Current + ")");
    FPath->Current = Dev(x, y);
    FPath->FigureOpen = true;
  }
}

void TRecordingCanvas::LineTo(int x, int y) {
  const TPoint from = FState.PenPos;
  FState.PenPos = {x, y};
  if (FPath->Open) {
    if (!FPath->FigureOpen) {
      FPath->Current = Dev(from.x, from.y);
      FPath->FigureOpen = true;
    }
    FPath->Current += " " + Dev(x, y);
    return;
  }
  FLines.push_back("Line " + Dev(from.x, from.y) + " " + Dev(x, y) + " pen=" + PenText());
}

void TRecordingCanvas::Rectangle(const TRect& r) {
  if (FPath->Open) {
    if (FPath->FigureOpen && !FPath->Current.empty()) FPath->Figures.push_back("(" + FPath->Current + ")");
    FPath->Current = Dev(r.Left, r.Top) + " " + Dev(r.Right, r.Top) + " " + Dev(r.Right, r.Bottom) + " " + Dev(r.Left, r.Bottom) + " z";
    FPath->Figures.push_back("(" + FPath->Current + ")");
    FPath->Current.clear();
    FPath->FigureOpen = false;
    return;
  }
  FLines.push_back("Rectangle " + DevRect(r) + " pen=" + PenText() + " brush=" + BrushText());
}

void TRecordingCanvas::FillRect(const TRect& r, TColor c) { FLines.push_back("FillRect " + DevRect(r) + " " + ColorText(c)); }
void TRecordingCanvas::FrameRect(const TRect& r, TColor c) { FLines.push_back("FrameRect " + DevRect(r) + " " + ColorText(c)); }
void TRecordingCanvas::DrawFocusRect(const TRect& r) { FLines.push_back("FocusRect " + DevRect(r)); }

void TRecordingCanvas::Polygon(const std::vector<TPoint>& pts, TFillMode mode) {
  if (pts.size() < 2) return;
  std::string list;
  for (const TPoint& p : pts) list += (list.empty() ? "" : " ") + Dev(p.x, p.y);
  if (FPath->Open) {
    if (FPath->FigureOpen && !FPath->Current.empty()) FPath->Figures.push_back("(" + FPath->Current + ")");
    FPath->Figures.push_back("(" + list + " z)");
    FPath->Current.clear();
    FPath->FigureOpen = false;
    return;
  }
  FLines.push_back("Polygon n=" + Num(std::int64_t(pts.size())) + " (" + list + ") " +
                   (mode == TFillMode::Winding ? "winding" : "alternate") + " pen=" + PenText() + " brush=" + BrushText());
}

void TRecordingCanvas::Polyline(const std::vector<TPoint>& pts) {
  if (pts.size() < 2) return;
  std::string list;
  for (const TPoint& p : pts) list += (list.empty() ? "" : " ") + Dev(p.x, p.y);
  if (FPath->Open) {
    if (FPath->FigureOpen && !FPath->Current.empty()) FPath->Figures.push_back("(" + FPath->Current + ")");
    FPath->Current = list;
    FPath->FigureOpen = true;
    return;
  }
  FLines.push_back("Polyline n=" + Num(std::int64_t(pts.size())) + " (" + list + ") pen=" + PenText());
}

void TRecordingCanvas::Ellipse(const TRect& r) {
  if (FPath->Open) {
    if (FPath->FigureOpen && !FPath->Current.empty()) FPath->Figures.push_back("(" + FPath->Current + ")");
    FPath->Figures.push_back("ellipse(" + DevRect(r) + ")");
    FPath->Current.clear();
    FPath->FigureOpen = false;
    return;
  }
  FLines.push_back("Ellipse " + DevRect(r) + " pen=" + PenText() + " brush=" + BrushText());
}

// ---- paths ----

void TRecordingCanvas::BeginPath() {
  *FPath = TPathState{};
  FPath->Open = true;
}

void TRecordingCanvas::EndPath() {
  if (FPath->FigureOpen && !FPath->Current.empty()) FPath->Figures.push_back("(" + FPath->Current + ")");
  FPath->Current.clear();
  FPath->FigureOpen = false;
  FPath->Open = false;
}

void TRecordingCanvas::CloseFigure() {
  if (!FPath->Open || !FPath->FigureOpen || FPath->Current.empty()) return;
  FPath->Figures.push_back("(" + FPath->Current + " z)");
  FPath->Current.clear();
  FPath->FigureOpen = false;
}

void TRecordingCanvas::FinishPath(const char* verb, bool fill, bool stroke) {
  EndPath();
  std::string line = verb;
  for (const std::string& f : FPath->Figures) line += " " + f;
  if (stroke) line += " pen=" + PenText();
  if (fill) line += " brush=" + BrushText();
  *FPath = TPathState{};
  FLines.push_back(std::move(line));
}

void TRecordingCanvas::StrokePath() { FinishPath("StrokePath", false, true); }
void TRecordingCanvas::FillPath() { FinishPath("FillPath", true, false); }
void TRecordingCanvas::StrokeAndFillPath() { FinishPath("StrokeAndFillPath", true, true); }

// ---- transfers ----

void TRecordingCanvas::BitBlt(int dx, int dy, int w, int h, const TBitmap& src, int sx, int sy, TRop rop) {
  if (w <= 0 || h <= 0) return;
  FLines.push_back("BitBlt " + Dev(dx, dy) + " " + Num(w) + "x" + Num(h) + " from " + BitmapText(src) + " at " + Num(sx) +
                   "," + Num(sy) + " " + RopText(rop));
}

void TRecordingCanvas::StretchBlt(int dx, int dy, int dw, int dh, const TBitmap& src, int sx, int sy, int sw, int sh,
                                  TRop rop) {
  if (dw == 0 || dh == 0 || sw == 0 || sh == 0) return;
  FLines.push_back("StretchBlt " + Dev(dx, dy) + " " + Num(dw) + "x" + Num(dh) + " from " + BitmapText(src) + " at " +
                   Num(sx) + "," + Num(sy) + " " + Num(sw) + "x" + Num(sh) + " " + RopText(rop) + ModeText(FState.Stretch));
}

void TRecordingCanvas::MaskedStretchBlt(int dx, int dy, int dw, int dh, const TBitmap& image, const TBitmap& mask,
                                        int sx, int sy, int sw, int sh) {
  if (dw == 0 || dh == 0 || sw == 0 || sh == 0) return;
  FLines.push_back("MaskedStretchBlt " + Dev(dx, dy) + " " + Num(dw) + "x" + Num(dh) + " from " + BitmapText(image) +
                   " mask " + Num(mask.BitsPerPixel()) + "bpp at " + Num(sx) + "," + Num(sy) + " " + Num(sw) + "x" + Num(sh) +
                   ModeText(FState.Stretch == TStretchMode::Halftone ? TStretchMode::Halftone : TStretchMode::ColorOnColor));
}

std::unique_ptr<TBitmap> TRecordingCanvas::Grab(const TRect&) const { return nullptr; }

}  // namespace korva
