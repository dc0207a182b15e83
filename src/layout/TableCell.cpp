#include "layout/TableCell.h"

#include <algorithm>
#include <cstdlib>

#include "core/Attributes.h"
#include "layout/LayoutDump.h"
#include "layout/SectionList.h"
#include "layout/Table.h"
#include "style/Colors.h"

namespace korva {

namespace {

bool HasPercentSign(const std::string& text) { return text.find('%') != std::string::npos; }

// Drawing more tiles than this for one cell means a tiny picture in a huge cell: the rest of
// the cell is left plain rather than spend a paint on it.
constexpr int MaxTilesPerCell = 20000;

}  // namespace

static_assert(sizeof(void*) != 8 || sizeof(TCellObj) <= 48, "TCellObj grew");

TTableCellContent::TTableCellContent(ThtmlTable* table) : FTableOrExtra(reinterpret_cast<std::uintptr_t>(table)) {
  if (table) FDepth = table->FDepth + 1;
}

TTableCellContent::~TTableCellContent() { delete ExtraRecord(); }

TSectionList* TTableCellContent::Document() const {
  ThtmlTable* table = Table();
  return table ? table->FDocument : nullptr;
}

TCellExtra& TTableCellContent::MakeExtraRecord() {
  if (TCellExtra* e = ExtraRecord()) return *e;
  auto e = std::make_unique<TCellExtra>();
  e->Table = Table();
  static_assert(alignof(TCellExtra) >= 2, "the record's address leaves the low bit free");
  FTableOrExtra = reinterpret_cast<std::uintptr_t>(e.get()) | 1;
  return *e.release();
}

int TTableCellContent::LayoutCell(TCanvas& canvas, int x, int y, int xRef, int yRef, int width, int availHeight,
                                  int blockHeight, IndentManager&, int& scrollWidth, int& cursor) {
  return LayoutWithOwnIndents(canvas, x, y, xRef, yRef, width, availHeight, blockHeight, scrollWidth, cursor);
}

TCellObj::TCellObj(TSectionList* document, TProperties& props, const TAttributeList* attributes, int rowVAlign,
                   ThtmlTable* table)
    : FCell(table), FVAlign(std::uint8_t(rowVAlign >= acTop && rowVAlign <= acBottom ? rowVAlign : acMiddle)) {
  FCell->FOwnerTag = props.FTagName == "th" ? "th" : "td";
  int emPixels = props.FEmPixels, exPixels = props.FExPixels;
  if (document) {
    const TDocFont& font = document->FontFor(props);
    emPixels = font.EmPixels;
    exPixels = font.ExPixels;
  }
  std::string backImage;

  if (attributes) {
    TAttribute* a = nullptr;
    TColor c = clNone;
    if (attributes->Find(syBgcolor, a) && ParseColor(a->Text(), false, c)) SetBackColor(c);
    if (attributes->Find(syBackground, a) && !a->Text().empty()) backImage = a->Text();
    if (attributes->Find(syColspan, a) && a->Value() > 1) FColSpan = std::min(a->Value(), MaxColSpan);
    if (attributes->Find(syRowspan, a) && a->Value() > 1) FRowSpan = std::min(a->Value(), MaxRowSpan);
    if (attributes->Find(syWidth, a)) {
      if (HasPercentSign(a->Text())) {
        if (a->Value() >= 1 && a->Value() <= 100) {
          FGivenW = a->Value() * 10;
          FGivenWIsPercent = true;
        }
      } else if (a->Value() > 0) {
        FGivenW = std::min(a->Value(), MaxLayoutCoord);
      }
    }
    if (attributes->Find(syHeight, a)) {
      if (HasPercentSign(a->Text()))
        FGivenHPercent = std::uint8_t(std::clamp(a->Value(), 0, 100));
      else
        FGivenH = std::clamp(a->Value(), 0, MaxLayoutCoord);
    }
  }

  TAlignCode v;
  if (props.GetVertAlign(v) && (v == acTop || v == acMiddle || v == acBottom || v == acBaseline))
    FVAlign = std::uint8_t(v);

  TVMarginArray raw{};
  props.GetVerticalBox(raw);
  PrepareBoxLengths(raw, emPixels, exPixels);
  const TPropValue& w = raw[piWidth];
  if (w.IsPercent()) {
    if (w.Percent() > 0 && w.Percent() < 100) {
      FGivenW = int(w.Percent() * 10);
      FGivenWIsPercent = true;
    }
  } else if (w.IsInt() && w.Int() > 0 && w.Int() != AutoValue) {
    FGivenW = std::min(w.Int(), MaxLayoutCoord);
    FGivenWIsPercent = false;
  }
  const TPropValue& h = raw[piHeight];
  if (h.IsPercent()) {
    FGivenHPercent = std::uint8_t(std::clamp(int(h.Percent()), 0, 100));
    FGivenH = 0;
  } else if (h.IsInt() && h.Int() > 0) {
    FGivenH = std::min(h.Int(), MaxLayoutCoord);
    FGivenHPercent = 0;
  }

  TColor bg = props.GetBackgroundColor();
  if (bg != clNone) SetBackColor(bg);
  std::string url;
  if (props.GetBackgroundImage(url)) backImage = url;
  if (!backImage.empty()) {
    TBackgroundPosArray pos{};
    props.GetBackgroundPos(emPixels, exPixels, pos);
    SetBackImage(backImage, pos);
  }

  TBoxValues pads{};
  ResolveCellPadding(raw, emPixels, exPixels, pads);
  SetPads({pads[piPaddingTop], pads[piPaddingRight], pads[piPaddingBottom], pads[piPaddingLeft]});

  for (int i = piBorderTopStyle; i <= piBorderLeftStyle; ++i)
    if (raw[i].IsInt() && raw[i].Int() != bssNone) FHasCssBorder = true;
  int autoCount = 0;
  TBoxValues box{};
  ResolveBlockBox(raw, 0, 0, emPixels, exPixels, box, autoCount);
  if (FHasCssBorder) {
    // A side without its own colour takes the element's colour.
    const TPropValue& color = props.Value(piColor);
    TColor text = color.IsInt() ? TColor(color.Int()) : clBlack;
    for (int i = piBorderTopColor; i <= piBorderLeftColor; ++i)
      if (!raw[i].IsInt() || raw[i].Int() == NotSetValue) box[i] = int(text);
    TCellExtra& e = Extra();
    for (int s = 0; s < 4; ++s) {
      e.BorderWidths[std::size_t(s)] = std::clamp(box[piBorderTopWidth + s], 0, MaxLayoutCoord);
      e.BorderColors[std::size_t(s)] = TColor(box[piBorderTopColor + s]);
      e.BorderStyles[std::size_t(s)] = std::uint8_t(box[piBorderTopStyle + s]);
    }
  }
  bool before = false, after = false, inside = false;
  props.GetPageBreaks(before, after, inside);
  SetPageBreaks(before, after, inside);
}

TCellObj::TCellObj(ThtmlTable* table, const TCellObj& s)
    : FCell(table),
      FGivenW(s.FGivenW),
      FGivenH(s.FGivenH),
      FGivenHPercent(s.FGivenHPercent),
      FGivenWIsPercent(s.FGivenWIsPercent),
      FHasCssBorder(s.FHasCssBorder),
      FTableBorder(s.FTableBorder),
      FCellVSize(s.FCellVSize),
      FVAlign(s.FVAlign),
      FColSpan(s.FColSpan),
      FRowSpan(s.FRowSpan) {
  FCell->FOwnerTag = s.FCell->FOwnerTag;
  FCell->FDepth = s.FCell->FDepth;
  FCell->CopyFrom(*s.FCell, table->FDocument);
  if (const TCellExtra* from = s.Ext()) {
    TCellExtra& e = Extra();
    e.BorderWidths = from->BorderWidths;
    e.BorderColors = from->BorderColors;
    e.BorderStyles = from->BorderStyles;
    e.BaselineIndent = from->BaselineIndent;
    e.BreakBefore = from->BreakBefore;
    e.BreakAfter = from->BreakAfter;
    e.BreakInside = from->BreakInside;
    if (from->BackImage) {
      e.BackImage = std::make_unique<TCellBackImage>();
      e.BackImage->Pos = from->BackImage->Pos;
      // The copy shares the picture without holding the cache entry.
      e.BackImage->Image.ShareFrom(from->BackImage->Image);
    }
  }
  if (s.HasBackColor()) SetBackColor(s.BackColor());
  SetPads({s.Pad(0), s.Pad(1), s.Pad(2), s.Pad(3)});
}

TCellObj::~TCellObj() {
  TCellExtra* e = FCell->ExtraRecord();
  if (e && e->BackImage) e->BackImage->Image.Release(FCell->Document());
}

const std::string& TCellObj::BackImageName() const {
  static const std::string none;
  const TCellExtra* e = Ext();
  return e && e->BackImage ? e->BackImage->Image.Name : none;
}

void TCellObj::SetBackImage(const std::string& name, const TBackgroundPosArray& pos) {
  std::unique_ptr<TCellBackImage>& back = Extra().BackImage;
  if (back) back->Image.Release(FCell->Document());
  back = std::make_unique<TCellBackImage>();
  back->Image.Name = name;
  back->Pos = pos;
}

int TCellObj::Pad(int side) const {
  if (FPadCode != OwnPads)
    if (const ThtmlTable* table = FCell->Table()) return table->CellPads(int(FPadCode))[std::size_t(side)];
  const TCellExtra* e = Ext();
  return e ? e->WidePad[std::size_t(side)] : -1;
}

void TCellObj::SetPads(const std::array<int, 4>& pads) {
  bool narrow = true;
  ThtmlTable::TCellPads small{};
  for (std::size_t i = 0; i < 4; ++i) {
    narrow = narrow && pads[i] >= INT8_MIN && pads[i] <= INT8_MAX;
    small[i] = std::int8_t(pads[i]);
  }
  ThtmlTable* table = FCell->Table();
  const int code = narrow && table ? table->CellPadCode(small) : -1;
  if (code >= 0) {
    FPadCode = std::uint64_t(code);
    if (TCellExtra* e = FCell->ExtraRecord()) e->WidePad = {-1, -1, -1, -1};
  } else {
    Extra().WidePad = pads;
    FPadCode = OwnPads;
  }
}

TColor TCellObj::BackColor() const {
  if (FColorCode == 0) return clNone;
  if (FColorCode == OwnColor) return Ext()->BkColor;
  const ThtmlTable* table = FCell->Table();
  return table ? table->CellColor(int(FColorCode)) : clNone;
}

void TCellObj::SetBackColor(TColor c) {
  ThtmlTable* table = FCell->Table();
  const int code = table ? table->CellColorCode(c) : -1;
  if (code > 0) {
    FColorCode = std::uint64_t(code);
  } else {
    Extra().BkColor = c;
    FColorCode = OwnColor;
  }
}

void TCellObj::MoveToTable(ThtmlTable* table) {
  const bool hasColor = HasBackColor();
  const TColor color = BackColor();
  const std::array<int, 4> pads{Pad(0), Pad(1), Pad(2), Pad(3)};
  FCell->SetTable(table);
  FColorCode = 0;
  if (hasColor) SetBackColor(color);
  SetPads(pads);
}

void TCellObj::SetPageBreaks(bool before, bool after, bool inside) {
  if (!before && !after && !inside && !Ext()) return;
  TCellExtra& e = Extra();
  e.BreakBefore = before;
  e.BreakAfter = after;
  e.BreakInside = inside;
}

void TCellObj::Finish(int cellPadding, bool tableBorder) {
  std::array<int, 4> pads{};
  for (int i = 0; i < 4; ++i) pads[std::size_t(i)] = Pad(i) < 0 ? cellPadding : Pad(i);
  SetPads(pads);
  if (tableBorder && !FHasCssBorder) FTableBorder = true;
}

TCellBox TCellObj::Box() const {
  const ThtmlTable* table = FCell->Table();
  return table ? table->CellBox(*this) : TCellBox{};
}

int TCellObj::ContentLeft() const {
  const ThtmlTable* table = FCell->Table();
  return ContentLeft(Box(), table ? table->FCellSpacing : 0);
}

void TCellObj::LoadBackImage() {
  TSectionList* doc = FCell->Document();
  TCellExtra* e = FCell->ExtraRecord();
  TCellBackImage* back = e ? e->BackImage.get() : nullptr;
  if (back && !back->Image.Ready() && doc && doc->Host().ViewImages()) back->Image.Load(*doc);
}

// ---------------------------------------------------------------------------------------------
// Drawing

void TCellObj::DrawCell(TCanvas& canvas, const TRect& clip, const TCellBox& cellBox, int spacing,
                        const ThtmlTable& table) {
  const TRect box{cellBox.Left + spacing, cellBox.Top + spacing, cellBox.Left + cellBox.Width,
                  cellBox.Top + cellBox.Height};
  if (box.Right <= box.Left || box.Bottom <= box.Top) return;
  if (box.Bottom <= clip.Top || box.Top >= clip.Bottom) return;
  TSectionList* doc = FCell->Document();
  bool backgrounds = !(doc && doc->FPrinting && !doc->FPrintBackground);
  if (backgrounds && HasBackColor() && BackColor() != clNone) canvas.FillRect(box, BackColor() | PaletteMatchFlag);
  TCellExtra* e = FCell->ExtraRecord();
  TCellBackImage* back = e ? e->BackImage.get() : nullptr;
  if (backgrounds && back && back->Image.Ready()) {
    try {
      TileBackground(canvas, clip, box);
    } catch (const std::exception&) {
      back->Image.Release(doc);
      back->Image.Failed = true;
    }
  }
  FCell->DrawOwn(canvas, clip, ContentLeft(cellBox, spacing), ContentWidth(cellBox, spacing));
  DrawBorder(canvas, box, table);
}

void TCellObj::TileBackground(TCanvas& canvas, const TRect& clip, const TRect& box) {
  const TCellBackImage& back = *Ext()->BackImage;
  const TBlockImage::TPicture& im = *back.Image.Pic;
  const TBackgroundPosArray& pos = back.Pos;
  const TBitmap& pic = *im.Frame;
  const int tw = pic.Width(), th = pic.Height();
  TRect area = IntersectRect(box, clip);
  if (tw <= 0 || th <= 0 || area.IsEmpty()) return;
  auto origin = [](const TBackgroundPos& p, int length, int tile) {
    switch (p.PosType) {
      case bpCenter: return (length - tile) / 2;
      case bpBottom:
      case bpRight: return length - tile;
      case bpPercent: return MulDiv(length - tile, p.Value, 100);
      case bpDim: return p.Value;
      default: return 0;
    }
  };
  int x0 = box.Left + origin(pos[0], box.Width(), tw);
  int y0 = box.Top + origin(pos[1], box.Height(), th);
  // Back up to the first tile that reaches into the visible area.
  if (pos[0].Repeat && x0 > area.Left) x0 -= ((x0 - area.Left + tw - 1) / tw) * tw;
  if (pos[1].Repeat && y0 > area.Top) y0 -= ((y0 - area.Top + th - 1) / th) * th;
  if (pos[0].Repeat && x0 + tw <= area.Left) x0 += ((area.Left - x0) / tw) * tw;
  if (pos[1].Repeat && y0 + th <= area.Top) y0 += ((area.Top - y0) / th) * th;
  canvas.SaveState();
  canvas.IntersectClipRect(area);
  int drawn = 0;
  for (int y = y0; y < area.Bottom && drawn < MaxTilesPerCell; y += th) {
    for (int x = x0; x < area.Right && drawn < MaxTilesPerCell; x += tw) {
      if (im.Mask)
        canvas.MaskedStretchBlt(x, y, tw, th, pic, *im.Mask, 0, 0, tw, th);
      else
        canvas.BitBlt(x, y, tw, th, pic, 0, 0);
      ++drawn;
      if (!pos[0].Repeat) break;
    }
    if (!pos[1].Repeat) break;
  }
  canvas.RestoreState();
}

void TCellObj::DrawBorder(TCanvas& canvas, const TRect& outer, const ThtmlTable& table) {
  if (FHasCssBorder) {
    const TCellExtra& e = *Ext();
    const std::array<int, 4>& widths = e.BorderWidths;
    const int t = widths[0], r = widths[1], b = widths[2], l = widths[3];
    if (t + r + b + l == 0) return;
    const std::array<TColor, 4>& colors = e.BorderColors;
    const std::array<std::uint8_t, 4>& styles = e.BorderStyles;
    bool flat = t == 1 && r == 1 && b == 1 && l == 1;
    for (int s = 0; s < 4; ++s) flat = flat && styles[s] == bssSolid && colors[s] == colors[0];
    if (flat) {
      canvas.FrameRect(outer, TColor(colors[0]));
      return;
    }
    // The shaded styles darken the sides the light does not reach.
    std::array<TColor, 4> c{};
    for (int s = 0; s < 4; ++s) {
      c[std::size_t(s)] = styles[s] == bssNone ? clNone : colors[s];
      bool leftTop = s == 0 || s == 3;
      if ((styles[s] == bssInset || styles[s] == bssGroove) && leftTop) c[std::size_t(s)] = DarkenColor(c[std::size_t(s)]);
      if ((styles[s] == bssOutset || styles[s] == bssRidge) && !leftTop) c[std::size_t(s)] = DarkenColor(c[std::size_t(s)]);
    }
    DrawFrameSides(canvas, outer, widths, c);
    return;
  }
  if (table.FTableBorderWidth <= 0) return;
  // A sunken frame: dark above and on the left, light below and on the right.
  TColor dark = table.FBorderColorDark, light = table.FBorderColorLight;
  canvas.FillRect({outer.Left, outer.Top, outer.Right, outer.Top + 1}, dark);
  canvas.FillRect({outer.Left, outer.Top, outer.Left + 1, outer.Bottom}, dark);
  canvas.FillRect({outer.Left, outer.Bottom - 1, outer.Right, outer.Bottom}, light);
  canvas.FillRect({outer.Right - 1, outer.Top, outer.Right, outer.Bottom}, light);
}

void TCellObj::Dump(TDumpWriter& out, int depth, const TCellBox& box, int spacing) const {
  out.Line(depth) << "cell";
  out.Box(box.Left + spacing, box.Top + spacing, box.Width - spacing, box.Height - spacing);
  if (FColSpan > 1) out << " colspan=" << FColSpan;
  if (FRowSpan > 1) out << " rowspan=" << FRowSpan;
  out << " content=" << ContentLeft(box, spacing) << "," << FCell->FCellY << " " << ContentWidth(box, spacing) << "x"
      << FCellVSize;
  FCell->Dump(out, depth);
}

}  // namespace korva
