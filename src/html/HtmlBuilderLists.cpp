// Lists and list items (and ADDRESS and BLOCKQUOTE, which are read as lists without markers).
#include <limits>

#include "core/CharCase.h"
#include "html/HtmlBuilder.h"
#include "html/HtmlBuilderSets.h"
#include "layout/Block.h"
#include "layout/BlockLI.h"
#include "layout/Section.h"
#include "layout/SectionList.h"
#include "style/PropStack.h"

namespace korva {

namespace {

bool IsCountedList(TSymbol s) { return s == syOl || s == syUl || s == syDir || s == syMenu; }
bool IsRealList(TSymbol s) { return IsCountedList(s) || s == syDl; }

}  // namespace

void TDocumentBuilder::ListProduction(TSymbol list, const TSymbolSet& outerTerm) {
  // Items inside belong to this list, even when an enclosing block ends at the next item.
  const TSymbolSet term = outerTerm - ItemSet;
  TAttributeList& a = R->Attributes();
  int number = 1;
  char type = '1';
  bool plain = false;
  TAttribute* at = nullptr;
  if (list == syOl) {
    if (a.Find(syStart, at) && at->Value() >= 0) number = at->Value();
    if (a.Find(syType, at) && !at->Text().empty()) type = at->Text()[0];
  } else if (list == syUl) {
    plain = a.Find(syPlain) != nullptr ||
            (a.Find(syType, at) && (SameText(at->Text(), "none") || SameText(at->Text(), "plain")));
  }
  CloseSection();
  const std::string tag = TagNameOf(list);
  Push(tag, true);
  TBlock* block = NewBlock(true, IsCountedList(list));
  R->Next();
  if (ListEndSet.Contains(R->Sy()) || R->Sy() == syEndBlockquote) {
    CloseSection();
    Pop(tag);
    EndBlock(block, false);
    return;
  }
  const TSymbol end = EndSymbolOf(list);
  if (IsCountedList(list)) ++FListLevel;
  const TSymbolSet blockTerm = term + ListEndSet + ItemSet;
  while (R->Sy() != end && R->Sy() != syEof && !term.Contains(R->Sy())) {
    TSymbol sy = R->Sy();
    switch (sy) {
      case syP:
        ParagraphProduction(term);
        break;
      case syOl:
      case syUl:
      case syDir:
      case syMenu:
      case syDl:
        if (!CanNest()) {
          R->Next();
          break;
        }
        ListProduction(sy, term);
        if (R->Sy() == EndSymbolOf(sy)) R->Next();
        break;
      case syLi:
      case syDd:
      case syDt:
        if (sy == syLi) {
          if (TAttribute* v = R->Attributes().Find(syValue); v && v->Value() != 0) number = v->Value();
        }
        if (!CanNest()) {
          R->Next();
          break;
        }
        ListItemProduction(list, sy, number, term, plain, type);
        // Numbers from the page may stand at the top of the range: they stay there.
        if (number < std::numeric_limits<int>::max()) ++number;
        break;
      case syAddress:
      case syBlockquote:
        BlockProduction(term);
        break;
      default:
        if (DivLikeSet.Contains(sy)) {
          BlockProduction(blockTerm);
          break;
        }
        if (BodyCommonSet.Contains(sy)) CommonProduction(term);
        else R->Next();
        break;
    }
  }
  if (IsCountedList(list)) --FListLevel;
  CloseSection();
  EndBlock(block, true);
  Pop(tag);
}

void TDocumentBuilder::ListItemProduction(TSymbol list, TSymbol item, int number, const TSymbolSet& term, bool plain,
                                          char numberingType) {
  CloseSection();
  const std::string tag = TagNameOf(item);
  TProperties& p = Push(tag, true);
  auto li = std::make_unique<TBlockLI>(&FDoc, &R->Attributes(), FCell, p, list, number, FListLevel, numberingType,
                                       plain);
  auto* raw = static_cast<TBlockLI*>(FCell->AddSection(std::move(li)));
  FCell = raw->FInnerCell.get();
  NewSection();
  R->SkipSpaces();
  R->Next();
  for (;;) {
    TSymbol sy = R->Sy();
    if (sy == syEof || term.Contains(sy)) break;
    if (sy == syP) {
      if (!IsRealList(list)) break;
      ParagraphProduction(term);
    } else if (sy == syOl || sy == syUl || sy == syDir || sy == syMenu || sy == syDl) {
      if (!CanNest()) {
        R->Next();
        continue;
      }
      CloseSection();
      ListProduction(sy, term);
      FCell->SettleLastBottomMargin();
      if (R->Sy() == EndSymbolOf(sy)) R->Next();
    } else if (sy == syAddress || sy == syBlockquote) {
      BlockProduction(term);
    } else if (DivLikeSet.Contains(sy)) {
      // A block inside the item ends where the item does: at the next item or the list's end.
      BlockProduction(term + ListEndSet + ItemSet);
    } else if (ItemContentSet.Contains(sy)) {
      CommonProduction(term);
    } else if (sy == syUnknownTag) {
      R->Next();
    } else {
      break;
    }
  }
  CloseSection();
  FCell->SettleLastBottomMargin();
  Pop(tag);
  FCell = raw->FParentCell;
}

}  // namespace korva
