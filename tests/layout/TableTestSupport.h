// Building tables by hand for the table tests, as the document builder does: the table, its
// block and the caption wrapper are made at TABLE, rows at TR (or implicitly at the first cell),
// cells at TD with the row's vertical alignment, and the wrapper is used only when a caption
// came. HTML attributes are written as "NAME=value" strings.
#pragma once

#include <charconv>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>

#include "BlockTestSupport.h"
#include "TextTestUtil.h"
#include "core/Attributes.h"
#include "layout/Table.h"

namespace korva::test {

// An attribute list from {"BORDER", "CELLPADDING=4", "WIDTH=50%"}: the numeric value is the
// leading integer of the text, 1 for a bare name.
inline std::unique_ptr<TAttributeList> Attrs(std::initializer_list<std::string_view> items) {
  static const struct {
    std::string_view Name;
    TSymbol Sym;
  } names[] = {{"BORDER", syBorder},       {"CELLPADDING", syCellpadding},
               {"CELLSPACING", syCellspacing}, {"BORDERCOLOR", syBordercolor},
               {"BORDERCOLORLIGHT", syBordercolorlight}, {"BORDERCOLORDARK", syBordercolordark},
               {"WIDTH", syWidth},         {"HEIGHT", syHeight},
               {"ALIGN", syAlign},         {"VALIGN", syValign},
               {"BGCOLOR", syBgcolor},     {"BACKGROUND", syBackground},
               {"COLSPAN", syColspan},     {"ROWSPAN", syRowspan},
               {"HSPACE", syHspace},       {"VSPACE", syVspace}};
  auto list = std::make_unique<TAttributeList>();
  for (std::string_view item : items) {
    std::size_t eq = item.find('=');
    std::string_view name = item.substr(0, eq);
    std::string_view text = eq == std::string_view::npos ? std::string_view() : item.substr(eq + 1);
    int value = eq == std::string_view::npos ? 1 : 0;
    if (!text.empty()) std::from_chars(text.data(), text.data() + text.size(), value);
    TSymbol sym = syUnknownAttr;
    for (const auto& n : names)
      if (n.Name == name) sym = n.Sym;
    list->Add(sym, name, value, text);
  }
  return list;
}

// Opens tables, rows, cells and captions in the tree builder's current cell.
struct TTableBuilder {
  explicit TTableBuilder(TTreeBuilder& t) : T(t), F(t.F) {}
  TTreeBuilder& T;
  TLayoutFixture& F;

  struct TOpen {
    ThtmlTable* Table = nullptr;
    std::unique_ptr<TTableBlock> Block;
    std::unique_ptr<TTableAndCaptionBlock> Wrapper;
    std::unique_ptr<TBlock> Caption;
    bool CaptionBelow = false;
    TCellBasic* Saved = nullptr;
    std::unique_ptr<TCellList> Row;
    std::unique_ptr<TCellObj> Cell;
    int RowVAlign = acMiddle;
  };
  std::vector<TOpen> Open;

  TTableBlock* Table(std::initializer_list<std::string_view> attrs = {}, std::string_view style = {}) {
    auto a = Attrs(attrs);
    TProperties& p = F.Push("table", style);
    TOpen o;
    o.Saved = &T.Cell();
    auto table = std::make_unique<ThtmlTable>(&F.Doc, a.get());
    o.Table = table.get();
    o.Wrapper = std::make_unique<TTableAndCaptionBlock>(&F.Doc, a.get(), o.Saved, p);
    o.Block = std::make_unique<TTableBlock>(&F.Doc, a.get(), o.Saved, p, std::move(table));
    TTableBlock* block = o.Block.get();
    Open.push_back(std::move(o));
    return block;
  }
  TCellList* Row(std::initializer_list<std::string_view> attrs = {}, std::string_view style = {}) {
    EndRow();
    auto a = Attrs(attrs);
    TProperties& p = F.Push("tr", style);
    TOpen& o = Open.back();
    o.Row = std::make_unique<TCellList>(a.get(), p);
    o.RowVAlign = acMiddle;
    if (TAttribute* v = a->Find(syValign)) o.RowVAlign = ParseAlignment(v->Text());
    if (o.RowVAlign < acTop || o.RowVAlign > acBottom) o.RowVAlign = acMiddle;
    return o.Row.get();
  }
  TCellObj* Cell(std::initializer_list<std::string_view> attrs = {}, std::string_view style = {},
                 std::string_view tag = "td") {
    TOpen& o = Open.back();
    if (!o.Row) Row();
    EndCell();
    auto a = Attrs(attrs);
    TProperties& p = F.Push(tag, style);
    int valign = o.RowVAlign;
    if (TAttribute* v = a->Find(syValign)) {
      int code = ParseAlignment(v->Text());
      if (code >= acTop && code <= acBottom) valign = code;
    }
    o.Cell = std::make_unique<TCellObj>(&F.Doc, p, a.get(), valign, o.Table);
    T.Cells.push_back(o.Cell->FCell.get());
    T.Tags.emplace_back(tag);
    return o.Cell.get();
  }
  // A cell holding one line probe of the given minimum and maximum widths.
  TCellObj* ProbeCell(int minWidth, int maxWidth, std::initializer_list<std::string_view> attrs = {},
                      std::string_view style = {}, int height = TLineProbe::LineHeight) {
    TCellObj* c = Cell(attrs, style);
    T.Line(minWidth, maxWidth, height);
    return c;
  }
  // A text section in the current cell.
  TSection* Text(std::u16string_view text, std::string_view style = {}) {
    TProperties& p = F.Push("span", style);
    auto s = std::make_unique<TSection>(&F.Doc, nullptr, p, true, nullptr);
    AddText(*s, text, 0);
    s->Finish();
    F.Pop("span");
    return static_cast<TSection*>(T.Cell().AddSection(std::move(s)));
  }
  TBlock* Caption(bool below = false, std::string_view style = {}) {
    EndCell();
    TOpen& o = Open.back();
    TProperties& p = F.Push("caption", style);
    o.CaptionBelow = below;
    o.Caption = std::make_unique<TBlock>(&F.Doc, nullptr, o.Wrapper->FInnerCell.get(), p, false, true);
    T.Cells.push_back(o.Caption->FInnerCell.get());
    T.Tags.emplace_back("caption");
    return o.Caption.get();
  }
  void EndCaption() { T.Close(); }
  void EndCell() {
    TOpen& o = Open.back();
    if (!o.Cell) return;
    T.Cell().SettleLastBottomMargin();
    T.Cells.pop_back();
    F.Pop(T.Tags.back());
    T.Tags.pop_back();
    o.Row->Add(std::move(o.Cell));
  }
  void EndRow() {
    TOpen& o = Open.back();
    EndCell();
    if (!o.Row) return;
    o.Table->AddRow(std::move(o.Row));
    F.Pop("tr");
  }
  // Ends the table and puts it (or its caption wrapper) into the cell it was opened in.
  TBlock* End() {
    EndRow();
    TOpen o = std::move(Open.back());
    Open.pop_back();
    F.Pop("table");
    if (o.Caption) {
      o.Wrapper->SetContent(std::move(o.Block), std::move(o.Caption), o.CaptionBelow);
      return static_cast<TBlock*>(o.Saved->AddSection(std::move(o.Wrapper)));
    }
    return static_cast<TBlock*>(o.Saved->AddSection(std::move(o.Block)));
  }
};

}  // namespace korva::test
