// Tables: rows and cells, opened implicitly where the page leaves them out, captions, and the
// columns a table declares with COL and COLGROUP.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "html/HtmlBuilder.h"
#include "html/HtmlBuilderSets.h"
#include "layout/Block.h"
#include "layout/Section.h"
#include "layout/SectionList.h"
#include "layout/Table.h"
#include "layout/TableCell.h"
#include "style/PropStack.h"

namespace korva {

// Which declared columns of each row are taken: "o" free, "x" taken by a cell that spans into
// the row. Only tables that declare columns have one.
class TCellManager {
 public:
  explicit TCellManager(int columns) : FColumns(columns) {}
  // The first free column of a row (-1 when none).
  int FirstFree(int row) {
    Ensure(row + 1);
    std::size_t at = FRows[std::size_t(row)].find('o');
    return at == std::string::npos ? -1 : int(at);
  }
  // Marks the columns a cell covers from the first free column of its row; the column span is
  // cut where fewer free columns follow.
  void Mark(int row, int rowSpan, int& colSpan) {
    rowSpan = std::clamp(rowSpan, 1, MaxMarkedRows);
    Ensure(row + rowSpan);
    std::size_t col = FRows[std::size_t(row)].find('o');
    if (col == std::string::npos) return;
    for (int r = row; r < row + rowSpan; ++r) {
      std::string& s = FRows[std::size_t(r)];
      int taken = 0;
      for (std::size_t c = col; c < s.size() && taken < colSpan && s[c] == 'o'; ++c, ++taken) s[c] = 'x';
      if (taken < colSpan) colSpan = std::max(1, taken);
    }
  }
  int RowCount() const { return int(FRows.size()); }
  const std::string& Row(int i) const { return FRows[std::size_t(i)]; }

 private:
  // Row spans beyond this mark no further rows (the table cuts such spans anyway).
  static constexpr int MaxMarkedRows = 10000;
  void Ensure(int rows) {
    while (int(FRows.size()) < rows) FRows.emplace_back(std::size_t(FColumns), 'o');
  }
  int FColumns;
  std::vector<std::string> FRows;
};

namespace {

struct TColDesc {
  int Width = 0;  // pixels, or tenths of a percent
  bool Percent = false;
  std::string Align;
  int VAlign = 0;
  int Span = 1;
};

// Columns beyond this many are not declared (COL SPAN is at most 100 each).
constexpr int MaxDeclaredColumns = 10000;

void ReadColDesc(const TAttributeList& a, TColDesc& d) {
  TAttribute* at = nullptr;
  if (a.Find(syAlign, at)) {
    TAlignCode code = ParseAlignment(at->Text());
    std::string v = LowerText(at->Text());
    if (code == acMiddle || v == "center" || v == "middle" || v == "absmiddle") d.Align = "center";
    else if (code == acLeft || code == acRight || code == acJustify) d.Align = v;
  }
  if (a.Find(syValign, at)) {
    std::string v = LowerText(at->Text());
    int code = v == "top" ? 1 : v == "middle" ? 2 : v == "baseline" ? 3 : v == "bottom" ? 4 : 0;
    if (code) d.VAlign = code;
  }
  if (a.Find(syWidth, at)) {
    if (at->Text().find('%') != std::string::npos) {
      if (at->Value() >= 1 && at->Value() <= 100) {
        d.Width = at->Value() * 10;
        d.Percent = true;
      }
    } else {
      d.Width = std::max(0, at->Value());
      d.Percent = false;
    }
  }
  if (a.Find(sySpan, at)) d.Span = std::max(1, at->Value());
}

int VAlignOf(const TAttributeList& a, int fallback) {
  TAttribute* at = a.Find(syValign);
  if (!at) return fallback;
  std::string v = LowerText(at->Text());
  return v == "top" ? 1 : v == "middle" ? 2 : v == "baseline" ? 3 : v == "bottom" ? 4 : fallback;
}

bool IsSpaceText(const TokenObj& t) {
  for (int i = 0; i < t.Count(); ++i)
    if (t.Chars()[i] != u' ') return false;
  return true;
}

}  // namespace

void TDocumentBuilder::TableProduction(const TSymbolSet& term) {
  (void)term;  // cells and rows end at the table's own symbols
  if (FTableDepth >= MaxTableNesting || !CanNest()) {
    // Read as if the TABLE tag were not there.
    R->Next();
    return;
  }
  ++FTableDepth;
  CloseLink();
  CloseSection();
  TCellBasic* const savedCell = FCell;
  const bool savedNoBreak = FNoBreak;
  const int savedListLevel = FListLevel;
  const std::string enclosingAlign(Top().Value(piTextAlign).TextOrEmpty());

  TAttributeList& attrs = R->Attributes();
  const std::string tableId(attrs.TheID());
  TProperties& tableProps = Push("table", true);
  const int tableLevel = PropStack().Count();
  auto table = std::make_unique<ThtmlTable>(&FDoc, &attrs);
  ThtmlTable* tbl = table.get();
  auto tableBlock = std::make_unique<TTableBlock>(&FDoc, &attrs, savedCell, tableProps, std::move(table));
  if (!tableBlock->FCentered && !tableBlock->IsFloating()) {
    if (enclosingAlign == "center") tableBlock->FCentered = true;
    else if (enclosingAlign == "right") tableBlock->FRightAligned = true;
  }
  auto wrapper = std::make_unique<TTableAndCaptionBlock>(&FDoc, &attrs, savedCell, tableProps);
  // With a caption, the wrapper is what the enclosing alignment moves.
  if (!wrapper->FCentered && !wrapper->IsFloating()) {
    wrapper->FCentered = tableBlock->FCentered && enclosingAlign == "center";
    wrapper->FRightAligned = tableBlock->FRightAligned;
  }

  std::unique_ptr<TCellList> row;
  int rowIndex = -1, rowVAlign = acMiddle, rowLevel = tableLevel;
  std::unique_ptr<TCellObj> cell;
  std::unique_ptr<TBlock> caption;
  bool captionBelow = false;
  bool cellsSeen = false;
  TColDesc groupDefaults;
  std::vector<TColDesc> columns;
  std::unique_ptr<TCellManager> manager;

  auto popTo = [&](int level) {
    while (PropStack().Count() > level) Pop(Top().FTagName);
  };
  auto finishCell = [&] {
    if (!cell) return;
    CloseSection();
    if (FCell == cell->FCell.get()) FCell->SettleLastBottomMargin();
    if (manager) {
      int colSpan = cell->FColSpan;
      manager->Mark(rowIndex, cell->FRowSpan, colSpan);
      cell->FColSpan = std::uint16_t(colSpan);
    }
    if (row) row->Add(std::move(cell));
    cell.reset();
    FCell = savedCell;
  };
  auto endRow = [&] {
    if (!row) return;
    finishCell();
    tbl->AddRow(std::move(row));
    popTo(tableLevel);
  };

  // Also run when an error ends the page inside the table, so that what was read is kept and
  // no pointer into the table's cells outlives them.
  auto finishTable = [&] {
    CloseLink();
    finishCell();
    endRow();
    popTo(tableLevel);
    FCell = savedCell;
    if (caption) {
      wrapper->SetContent(std::move(tableBlock), std::move(caption), captionBelow);
      savedCell->AddSection(std::move(wrapper));
    } else {
      // The unused wrapper took the table's id over when it was made: the id is the table
      // block's again, so that it names no freed block.
      TBlock* block = tableBlock.get();
      savedCell->AddSection(std::move(tableBlock));
      if (!tableId.empty() && FDoc.IDNameList().Find(tableId) == wrapper.get())
        FDoc.IDNameList().AddObject(tableId, block);
    }
    Pop("table");
    FNoBreak = savedNoBreak;
    FListLevel = savedListLevel;
    --FTableDepth;
  };

  try {
    R->Next();
    for (;;) {
      TSymbol sy = R->Sy();
      if (sy == syEof || sy == syEndTable || sy == syEndCaption) break;
      switch (sy) {
        case syTd:
        case syTh: {
          CloseLink();
          if (!row) {
            Push("tr", false);
            row = std::make_unique<TCellList>(nullptr, Top());
            rowVAlign = acMiddle;
            rowLevel = PropStack().Count();
            ++rowIndex;
          } else {
            finishCell();
            popTo(rowLevel);
          }
          // The columns are all declared once the first cell comes.
          if (!cellsSeen && !columns.empty()) manager = std::make_unique<TCellManager>(int(columns.size()));
          cellsSeen = true;
          FListLevel = 0;
          TAttributeList& a = R->Attributes();
          TProperties& p = Push(sy == syTd ? "td" : "th", true);
          int vAlign = VAlignOf(a, rowVAlign);
          if (manager) {
            int col = manager->FirstFree(rowIndex);
            if (col >= 0 && col < int(columns.size())) {
              if (!columns[std::size_t(col)].Align.empty())
                p.SetFromAttribute(TPropValue(columns[std::size_t(col)].Align), piTextAlign);
              if (columns[std::size_t(col)].VAlign) vAlign = columns[std::size_t(col)].VAlign;
            }
          }
          if (TAttribute* al = a.Find(syAlign)) ApplyAlign(p, al->Text());
          if (!p.FLocalFlags[piTextAlign]) p.SetFromAttribute(TPropValue(sy == syTh ? "center" : "left"), piTextAlign);
          cell = std::make_unique<TCellObj>(&FDoc, p, &a, vAlign, tbl);
          FCell = cell->FCell.get();
          bool absoluteWidth = cell->FGivenW > 0 && !cell->FGivenWIsPercent;
          FNoBreak = a.Find(syNowrap) != nullptr && !absoluteWidth;
          R->SkipSpaces();
          R->Next();
          BodyProduction(CellTermSet);
          break;
        }
        case syEndTd:
        case syEndTh:
          finishCell();
          FNoBreak = savedNoBreak;
          R->Next();
          break;
        case syTr: {
          CloseLink();
          endRow();
          TAttributeList& a = R->Attributes();
          TProperties& p = Push("tr", true);
          if (p.DisplayNone()) {
            // A row the page's style hides (collapsed tree rows, inherited members): it takes
            // no place in the table, and nothing in it is shown.
            Pop("tr");
            int depth = 0;
            R->Next();
            for (TSymbol s = R->Sy(); s != syEof; s = R->Sy()) {
              if (depth == 0 && (s == syTr || s == syEndTable || s == syEndCaption)) break;
              if (depth == 0 && s == syEndTr) {
                R->Next();
                break;
              }
              if (s == syTable) ++depth;
              if (s == syEndTable) --depth;
              SkipHiddenSymbol();
            }
            break;
          }
          if (TAttribute* al = a.Find(syAlign)) ApplyAlign(p, al->Text());
          row = std::make_unique<TCellList>(&a, p);
          rowVAlign = VAlignOf(a, acMiddle);
          rowLevel = PropStack().Count();
          ++rowIndex;
          R->Next();
          break;
        }
        case syEndTr:
          CloseLink();
          endRow();
          R->Next();
          break;
        case syCaption: {
          CloseLink();
          finishCell();
          TAttributeList& a = R->Attributes();
          TAttribute* al = a.Find(syAlign);
          captionBelow = al && SameText(al->Text(), "bottom");
          TProperties& p = Push("caption", true);
          if (!caption) caption = std::make_unique<TBlock>(&FDoc, &a, savedCell, p, false, false);
          FCell = caption->FInnerCell.get();
          R->Next();
          BodyProduction(CellTermSet);
          CloseSection();
          Pop("caption");
          FCell = savedCell;
          if (R->Sy() == syEndCaption) R->Next();
          break;
        }
        case syColgroup:
          if (!cellsSeen) {
            groupDefaults = TColDesc{};
            ReadColDesc(R->Attributes(), groupDefaults);
          }
          R->Next();
          break;
        case syCol:
          if (!cellsSeen) {
            TColDesc d = groupDefaults;
            d.Span = 1;
            ReadColDesc(R->Attributes(), d);
            for (int i = 0; i < std::min(d.Span, 100) && int(columns.size()) < MaxDeclaredColumns; ++i) {
              columns.push_back(d);
              tbl->AddColumnSpec(d.Width, d.Percent, d.Align, d.VAlign);
            }
          }
          R->Next();
          break;
        case syEndColgroup:
        case syUnknownTag:
          R->Next();
          break;
        case syText:
          if (IsSpaceText(R->Token())) {
            R->Next();
            break;
          }
          [[fallthrough]];
        default:
          // Content outside any cell goes before the table.
          FCell = savedCell;
          BodyProduction(CellTermSet);
          CloseSection();
          break;
      }
    }
  } catch (...) {
    // The caption may be open: its section belongs to the caption's cell.
    if (FCell != savedCell && !(cell && FCell == cell->FCell.get())) CloseSection();
    finishTable();
    throw;
  }
  finishTable();
  R->Next();
}

}  // namespace korva
