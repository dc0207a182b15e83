#include "html/HtmlBuilder.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "core/CharCase.h"
#include "html/HtmlBuilderSets.h"
#include "layout/Block.h"
#include "layout/BlockLI.h"
#include "layout/DetailsBlock.h"
#include "layout/FormControl.h"
#include "layout/HorzLine.h"
#include "layout/ImageObj.h"
#include "layout/InlineList.h"
#include "layout/MapItem.h"
#include "layout/Page.h"
#include "layout/PanelObj.h"
#include "layout/PreFormated.h"
#include "layout/Section.h"
#include "layout/SectionList.h"
#include "platform/CodePage.h"
#include "style/Colors.h"
#include "style/PropStack.h"
#include "style/StyleLimits.h"
#include "style/StyleParser.h"
#include "url/Url.h"

namespace korva {

std::string LowerText(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = char(LowCase(static_cast<unsigned char>(c)));
  return r;
}

std::string UpperText(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = char(UpCase(static_cast<unsigned char>(c)));
  return r;
}

std::string TagNameOf(TSymbol sy) { return LowerText(SymbolName(sy)); }

TDocumentBuilder::TDocumentBuilder(TSectionList& document) : FDoc(document) {}
TDocumentBuilder::~TDocumentBuilder() = default;

// ---------------------------------------------------------------------------------------------
// The style stack

TProperties& TDocumentBuilder::Top() const { return PropStack().Last(); }

bool TDocumentBuilder::CanNest() const { return PropStack().Count() < MaxNestingDepth; }

TProperties& TDocumentBuilder::Push(std::string_view tag, bool withAttributes, std::string_view pseudo) {
  if (!withAttributes) return PropStack().PushElement(FDoc.Styles(), tag, {}, {}, nullptr, {}, pseudo);
  TAttributeList& a = R->Attributes();
  return PropStack().PushElement(FDoc.Styles(), tag, a.TheClass(), a.TheID(), TheStyle(a), a.TheTitle(), pseudo,
                                 &a);
}

void TDocumentBuilder::Pop(std::string_view tag) {
  std::unique_ptr<TProperties> removed = PropStack().PopElement(FDoc.Styles(), tag);
  if (removed && FDoc.FInlineList && removed->GetBorderStyle() != bssNone)
    FDoc.FInlineList->AddEnd(R ? R->CharPos() : 0, removed->FSerial);
  PropStack().Recycle(std::move(removed));
}

void TDocumentBuilder::StartInline() {
  TProperties& p = Top();
  p.SetTextBackColor();
  if (p.GetBorderStyle() == bssNone) return;
  if (!FDoc.FInlineList) FDoc.FInlineList = std::make_shared<TInlineList>(&FDoc);
  const TDocFont& f = FDoc.FontFor(p);
  FDoc.FInlineList->AddStart(R->TagPos(), p, f.EmPixels, f.ExPixels);
}

// ---------------------------------------------------------------------------------------------
// Sections and blocks

void TDocumentBuilder::CloseSection() {
  if (!FSection) return;
  FSection->Finish();
  // A section that the cell will not keep must not stay in the id or link lists.
  if (FSection->IsEmptyText()) {
    FSection->RemoveFromDocumentLists();
    FSection.reset();
    return;
  }
  FCell->AddSection(std::move(FSection));
}

void TDocumentBuilder::NewSection(bool withAttributes, bool firstInBlock) {
  CloseSection();
  FSection = std::make_unique<TSection>(&FDoc, FLinkOpen ? &FLink : nullptr, Top(), firstInBlock,
                                        withAttributes ? &R->Attributes() : nullptr);
  FSection->FNoBreak = FNoBreak;
}

void TDocumentBuilder::NewPreSection() {
  CloseSection();
  FSection = std::make_unique<TPreFormated>(&FDoc, FLinkOpen ? &FLink : nullptr, Top(), false, nullptr);
}

void TDocumentBuilder::EnsureSection() {
  if (!FSection) NewSection();
}

void TDocumentBuilder::ChangeFont() {
  if (FSection) FSection->ChangeFont(Top());
}

TBlock* TDocumentBuilder::NewBlock(bool withAttributes, bool isList) {
  CloseSection();
  auto block = std::make_unique<TBlock>(&FDoc, withAttributes ? &R->Attributes() : nullptr, FCell, Top(), isList);
  auto* raw = static_cast<TBlock*>(FCell->AddSection(std::move(block)));
  FCell = raw->FInnerCell.get();
  return raw;
}

void TDocumentBuilder::EndBlock(TBlock* block, bool outward) {
  CloseSection();
  if (!block) return;
  if (outward) {
    // The automatic space below the last block inside moves out to the block itself.
    bool hadAuto = false;
    for (int i = FCell->Count() - 1; i >= 0; --i) {
      auto* b = dynamic_cast<TBlock*>((*FCell)[i]);
      if (!b || b->FPositioning == posAbsolute) continue;
      if (auto* li = dynamic_cast<TBlockLI*>(b); li && li->FInnerCell->Count() > 0) {
        for (int j = li->FInnerCell->Count() - 1; j >= 0; --j)
          if (auto* inner = dynamic_cast<TBlock*>((*li->FInnerCell)[j])) {
            hadAuto = inner->FBottomAuto;
            break;
          }
      } else {
        hadAuto = b->FBottomAuto;
      }
      break;
    }
    FCell->SettleLastBottomMargin();
    if (hadAuto && !block->FBottomAuto && block->FBoxValues[piMarginBottom] < ParagraphSpacePixels) {
      block->FBoxValues[piMarginBottom] = ParagraphSpacePixels;
      block->FBottomAuto = true;
    }
  }
  FCell = block->FParentCell;
}

void TDocumentBuilder::CloseLink() {
  if (!FLinkOpen) return;
  FLink.Clear();
  FLinkOpen = false;
  Pop("a");
  if (FSection) FSection->HRef(false, FLink, Top());
}

void TDocumentBuilder::SetNoBreak(bool on) {
  FNoBreak = on;
  if (FSection) FSection->FNoBreak = on;
}

// ---------------------------------------------------------------------------------------------
// Parse entries

void TDocumentBuilder::BeginParse(THtmlReader& reader) {
  R = &reader;
  TPropStack& stack = PropStack();
  stack.Reset(*FDoc.Styles().DefaultProps());
  // The default entry gets its font now, so that em lengths on the body have a size to use.
  stack[0].BuildFont();
  FLink.Clear();
  FLinkOpen = FNoBreak = FInPre = false;
  FListLevel = FTableDepth = 0;
  FBaseFontSize = 3;
  FForm = nullptr;
  Title.clear();
  BaseUrl.clear();
  BaseTarget.clear();
  FSection.reset();

  // The body block until a BODY tag replaces it: the viewer's margins around the default style.
  TProperties props;
  props.CopyDefault(stack[0]);
  props.FTagName = "body";
  props.FEmPixels = stack[0].FEmPixels;
  props.FExPixels = stack[0].FExPixels;
  props.SetFromAttribute(TPropValue(MarginWidth), piMarginLeft);
  props.SetFromAttribute(TPropValue(MarginWidth), piMarginRight);
  props.SetFromAttribute(TPropValue(MarginHeight), piMarginTop);
  props.SetFromAttribute(TPropValue(MarginHeight), piMarginBottom);
  auto body = std::make_unique<TBodyBlock>(&FDoc, nullptr, &FDoc, props);
  FBody = static_cast<TBodyBlock*>(FDoc.AddSection(std::move(body)));
  FCell = FBody->FInnerCell.get();
  NewSection();
}

void TDocumentBuilder::EndParse(THtmlReader& reader) {
  (void)reader;
  if (FCell) CloseSection();
  FSection.reset();
  FLink.Clear();
  FLinkOpen = false;
  FCell = nullptr;
  FBody = nullptr;
  FForm = nullptr;
  R = nullptr;
}

void TDocumentBuilder::BuildBody(THtmlReader& reader) {
  R = &reader;
  BodyProduction(TSymbolSet{});
}

void TDocumentBuilder::BuildText(THtmlReader& reader) {
  R = &reader;
  CloseSection();
  Push("pre", false);
  NewPreSection();
  TCharCollection pending;
  auto flush = [&] {
    if (pending.Count() == 0) return;
    TokenObj token;
    token.AddString(pending, R->CodePage());
    FSection->AddTokenObj(token);
    pending.Clear();
  };
  // Columns count characters since the line's start: a tab goes to the next multiple of 8.
  const bool utf8 = R->CodePage() == CP_UTF8;
  int column = 0;
  for (;;) {
    unsigned char c = R->Ch();
    if (c == 0) break;
    if (c == '\r') {
      flush();
      NewPreSection();
      column = 0;
    } else if (R->ChIsTab()) {
      do {
        pending.Add(' ', R->CharPos());
        ++column;
      } while (column % 8 != 0);
    } else {
      pending.Add(c, R->CharPos());
      if (!utf8 || (c & 0xC0) != 0x80) ++column;  // a character, not the middle of one
    }
    if (pending.Count() > 200) flush();
    R->GetCh();
  }
  flush();
  CloseSection();
  Pop("pre");
}

void BuildHtmlDocument(TSectionList& document, std::string text, TDocumentBuilder& builder,
                       const THtmlHandlers* handlers) {
  ParseHtml(std::move(text), builder, &document, handlers);
}

void BuildTextDocument(TSectionList& document, std::string text, TDocumentBuilder& builder) {
  ParseText(std::move(text), builder, &document);
}

// ---------------------------------------------------------------------------------------------
// The body

void TDocumentBuilder::BodyProduction(const TSymbolSet& term) {
  while (R->Sy() != syEof && !term.Contains(R->Sy())) {
    TSymbol sy = R->Sy();
    switch (sy) {
      case syTitle:
        Title = R->ReadTitle();
        break;
      case syBody: {
        // White space between the head's tags does not count as text.
        bool empty = FBody && FBody->FInnerCell->Count() == 0 && FCell == FBody->FInnerCell.get() &&
                     (!FSection || FSection->OnlySpaces());
        if (empty && FTableDepth == 0) StartBody();
        else R->Next();
        break;
      }
      case syP:
        ParagraphProduction(term);
        break;
      case syBase: {
        TAttributeList& a = R->Attributes();
        if (TAttribute* h = a.Find(syHref)) BaseUrl = h->Text();
        if (TAttribute* t = a.Find(syTarget)) BaseTarget = t->Text();
        R->Next();
        break;
      }
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
        if (!CanNest()) R->Next();
        else ListItemProduction(syUnknownTag, syLi, 1, term, false, '1');
        break;
      case syDd:
      case syDt:
        if (!CanNest()) R->Next();
        else ListItemProduction(syDl, sy, 1, term, false, '1');
        break;
      case syAddress:
      case syBlockquote:
      case syCenter:
      case syForm:
      case syDiv:
      case sySection: case syArticle: case syNav: case syHeader: case syFooter: case syAside: case syMain:
      case syFigure: case syFigcaption: case syHgroup: case syDetails: case sySummary:
        BlockProduction(term);
        break;
      case syLink:
        DoLinkElement();
        break;
      case syEndForm:
        FForm = nullptr;
        R->Next();
        break;
      case syBgsound:
        DoBgSound();
        break;
      case syMeta:
        R->DoMeta();
        break;
      case syStyle:
        DoStyle();
        break;
      default:
        if (BodyCommonSet.Contains(sy)) CommonProduction(term);
        else R->Next();
        break;
    }
  }
}

void TDocumentBuilder::StartBody() {
  if (FSection) {
    FSection->RemoveFromDocumentLists();
    FSection.reset();
  }
  TAttributeList& a = R->Attributes();
  TProperties& p = Push("body", true);
  TAttribute* at = nullptr;
  TColor c = clNone;
  if (a.Find(syTextAttr, at) && ParseColor(at->Text(), false, c)) p.SetFromAttribute(TPropValue(c), piColor);
  if (a.Find(syBgcolor, at) && ParseColor(at->Text(), false, c)) p.SetFromAttribute(TPropValue(c), piBackgroundColor);
  if (a.Find(syBackground, at) && !at->Text().empty())
    p.SetFromAttribute(TPropValue("url(" + at->Text() + ")"), piBackgroundImage);
  if (a.Find(syBgproperties, at) && SameText(at->Text(), "fixed"))
    p.SetFromAttribute(TPropValue("fixed"), piBackgroundAttachment);
  if (a.Find(syLink, at) && ParseColor(at->Text(), false, c)) FDoc.Styles().SetLinkColor("link", c);
  if (a.Find(syVlink, at) && ParseColor(at->Text(), false, c)) FDoc.Styles().SetLinkColor("visited", c);
  if (a.Find(syOlink, at) && ParseColor(at->Text(), false, c)) {
    FDoc.Styles().SetLinkColor("hover", c);
    FDoc.FHoverStylesUsed = true;
  }
  int mw = MarginWidth, mh = MarginHeight;
  if (a.Find(syMarginwidth, at) || a.Find(syLeftmargin, at)) mw = std::clamp(at->Value(), 0, 200);
  if (a.Find(syMarginheight, at) || a.Find(syTopmargin, at)) mh = std::clamp(at->Value(), 0, 200);
  p.SetFromAttribute(TPropValue(mw), piMarginLeft);
  p.SetFromAttribute(TPropValue(mw), piMarginRight);
  p.SetFromAttribute(TPropValue(mh), piMarginTop);
  p.SetFromAttribute(TPropValue(mh), piMarginBottom);

  // The old body goes first, so that the new one does not collapse its margins against it.
  int index = FDoc.IndexOf(FBody);
  if (index >= 0) FDoc.Delete(index);
  else index = FDoc.Count();
  auto body = std::make_unique<TBodyBlock>(&FDoc, &a, &FDoc, p);
  TBodyBlock* raw = body.get();
  FDoc.Insert(index, std::move(body));
  FBody = raw;
  FCell = FBody->FInnerCell.get();
  NewSection();
  R->Next();
}

// ---------------------------------------------------------------------------------------------
// Paragraphs, headings, blocks

namespace {

// The attributes a paragraph keeps while further P tags merge into it.
struct TParaAttrs {
  std::string Align, Class, Id, Title;
  std::shared_ptr<TProperties> Style;
  void Take(TAttributeList& a) {
    TAttribute* at = a.Find(syAlign);
    Align = at ? at->Text() : std::string();
    Class = a.TheClass();
    Id = a.TheID();
    Title = a.TheTitle();
    Style = TheStyle(a);
  }
};

}  // namespace

void ApplyAlign(TProperties& p, std::string_view align) {
  std::string v = LowerText(align);
  if (v == "middle") v = "center";
  if (v == "left" || v == "center" || v == "right" || v == "justify") p.SetFromAttribute(TPropValue(v), piTextAlign);
}

void TDocumentBuilder::ParagraphProduction(const TSymbolSet& term) {
  if (term.Contains(syP)) return;
  CloseSection();
  R->SkipSpaces();
  TParaAttrs attrs;
  attrs.Take(R->Attributes());
  R->Next();
  while (R->Sy() == syP || R->Sy() == syEndP) {
    if (R->Sy() == syP) attrs.Take(R->Attributes());
    R->SkipSpaces();
    R->Next();
  }
  TBlock* block = nullptr;
  bool pushed = CanNest();
  if (pushed) {
    TProperties& p = PropStack().PushElement(FDoc.Styles(), "p", attrs.Class, attrs.Id, attrs.Style, attrs.Title, {});
    ApplyAlign(p, attrs.Align);
    block = NewBlock(false);
  }
  while (R->Sy() != syEof && ParagraphContentSet.Contains(R->Sy()) && !term.Contains(R->Sy()))
    CommonProduction(term);
  CloseSection();
  if (pushed) {
    Pop("p");
    EndBlock(block, false);
  }
  if (R->Sy() == syEndP) R->Next();
}

void TDocumentBuilder::HeadingProduction(const TSymbolSet& term) {
  int level = R->HeadingLevel();
  if (level < 1 || level > 6 || !CanNest()) {
    R->Next();
    return;
  }
  CloseSection();
  std::string tag = "h" + std::to_string(level);
  TProperties& p = Push(tag, true);
  if (TAttribute* a = R->Attributes().Find(syAlign)) ApplyAlign(p, a->Text());
  R->SkipSpaces();
  R->Next();
  if (R->Sy() == syCenter) {
    Top().SetFromAttribute(TPropValue("center"), piTextAlign);
    R->Next();
  }
  TBlock* block = NewBlock(false);
  NewSection();
  TSymbolSet divTerm = term;
  divTerm.Include(syEndH);
  for (;;) {
    TSymbol sy = R->Sy();
    if (sy == syEof || term.Contains(sy)) break;
    if (sy == syP) ParagraphProduction(term);
    else if (sy == syDiv) BlockProduction(divTerm);
    else if (HeadingContentSet.Contains(sy)) CommonProduction(term);
    else if (sy == syUnknownTag) R->Next();
    else break;
  }
  CloseSection();
  Pop(tag);
  EndBlock(block, false);
  if (R->Sy() == syEndH) R->Next();
}

void TDocumentBuilder::BlockProduction(const TSymbolSet& term) {
  TSymbol sy = R->Sy();
  if (!CanNest()) {
    R->Next();
    return;
  }
  switch (sy) {
    case syAddress:
    case syBlockquote: {
      CloseSection();
      TSymbol end = EndSymbolOf(sy);
      TSymbolSet t = term;
      t.Include(end);
      ListProduction(sy, t);
      if (R->Sy() == end) R->Next();
      break;
    }
    case syCenter: {
      CloseSection();
      Push("center", false);
      R->Next();
      TSymbolSet t = term;
      t.Include(syEndCenter);
      BodyProduction(t);
      CloseSection();
      Pop("center");
      if (R->Sy() == syEndCenter) R->Next();
      break;
    }
    case syForm: {
      while (R->Sy() == syForm && CanNest()) {
        CloseSection();
        Push("form", true);
        TBlock* block = NewBlock(true);
        FForm = NewHtmlForm(FDoc, &R->Attributes());
        R->Next();
        TSymbolSet t = term;
        t.Include(syForm);
        t.Include(syEndForm);
        BodyProduction(t);
        CloseSection();
        Pop("form");
        EndBlock(block, true);
        if (R->Sy() == syEndForm) {
          FForm = nullptr;
          R->Next();
        }
      }
      if (R->Sy() == syForm) R->Next();  // beyond the nesting limit
      break;
    }
    case syDetails:
      DetailsProduction(term);
      break;
    default:
      if (DivLikeSet.Contains(sy)) DivLikeProduction(sy, term);
      else R->Next();
      break;
  }
}

void TDocumentBuilder::DivLikeProduction(TSymbol sy, const TSymbolSet& term) {
  CloseSection();
  const std::string tag = TagNameOf(sy);
  TProperties& p = Push(tag, true);
  if (TAttribute* a = R->Attributes().Find(syAlign)) ApplyAlign(p, a->Text());
  TBlock* block = NewBlock(true);
  NewSection();
  R->Next();
  const TSymbol end = EndSymbolOf(sy);
  TSymbolSet t = term;
  t.Include(end);
  BodyProduction(t);
  CloseSection();
  Pop(tag);
  EndBlock(block, true);
  NewSection();
  if (R->Sy() == end) R->Next();
}

// DETAILS: the summary first (one is made up when the page gives none), then the rest of the
// content in a block of its own that is hidden while the box is closed.
void TDocumentBuilder::DetailsProduction(const TSymbolSet& term) {
  // The box, its summary and its content take three entries.
  if (PropStack().Count() + 3 > MaxNestingDepth) {
    R->Next();
    return;
  }
  CloseSection();
  const bool open = R->Attributes().Find(syOpen) != nullptr;
  TProperties& p = Push("details", true);
  auto made = std::make_unique<TDetailsBlock>(&FDoc, &R->Attributes(), FCell, p, open);
  auto* details = static_cast<TDetailsBlock*>(FCell->AddSection(std::move(made)));
  FCell = details->FInnerCell.get();
  R->SkipSpaces();
  R->Next();
  while (R->Sy() == syText && R->Token().S().find_first_not_of(u' ') == std::u16string::npos) R->Next();
  TSymbolSet t = term;
  t.Include(syEndDetails);

  const bool given = R->Sy() == sySummary;
  const int markerPos = given ? R->TagPos() : R->CharPos();
  Push("summary", given);
  auto summary = std::make_unique<TSummaryBlock>(&FDoc, given ? &R->Attributes() : nullptr, FCell, Top(), details);
  TBlock* summaryBlock = static_cast<TBlock*>(FCell->AddSection(std::move(summary)));
  FCell = summaryBlock->FInnerCell.get();
  NewSection();
  FSection->AddChar(open ? TDetailsBlock::OpenMarker : TDetailsBlock::ClosedMarker, markerPos);
  FSection->AddChar(u' ', markerPos);
  details->SetMarker(FSection.get(), 0);
  if (given) {
    R->Next();
    TSymbolSet st = t;
    st.Include(syEndSummary);
    BodyProduction(st);
  } else {
    TokenObj word;
    for (char16_t c : std::u16string_view(u"Details")) word.AddUnicodeChar(c, markerPos);
    FSection->AddTokenObj(word);
  }
  CloseSection();
  Pop("summary");
  EndBlock(summaryBlock, false);
  if (given && R->Sy() == syEndSummary) R->Next();

  // The rest of the content; no sheet rule names the anonymous block that holds it.
  Push("details-content", false);
  TBlock* content = NewBlock(false);
  details->SetContent(content);
  NewSection();
  BodyProduction(t);
  CloseSection();
  Pop("details-content");
  // A closed box shows none of its content's space, margins included.
  EndBlock(content, false);
  Pop("details");
  EndBlock(details, true);
  NewSection();
  if (R->Sy() == syEndDetails) R->Next();
}

// ---------------------------------------------------------------------------------------------
// The common production

void TDocumentBuilder::InlineStart(std::string_view tag, bool needSection) {
  if (needSection) EnsureSection();
  if (CanNest()) {
    Push(tag, true);
    StartInline();
  }
  ChangeFont();
}

void TDocumentBuilder::InlineEnd(std::string_view tag) {
  Pop(tag);
  ChangeFont();
}

void TDocumentBuilder::SkipHiddenInline(TSymbol start, const TSymbolSet& term) {
  const TSymbol end = EndSymbolOf(start);
  const std::string tag = TagNameOf(start);
  int depth = 0;
  R->Next();
  for (;;) {
    const TSymbol sy = R->Sy();
    if (sy == end && depth == 0) {
      InlineEnd(tag);
      R->Next();
      return;
    }
    // What ends an enclosing element, or a block that cannot stand inside an inline one, ends
    // the hidden element too; it stays for the enclosing one.
    if (sy == syEof || term.Contains(sy) || !ParagraphContentSet.Contains(sy)) {
      InlineEnd(tag);
      return;
    }
    if (sy == start) ++depth;
    if (sy == end) --depth;
    SkipHiddenSymbol();
  }
}

void TDocumentBuilder::SkipHiddenSymbol() {
  // Elements whose content the reader takes raw are passed over whole, so that their text is
  // not read as markup; a sheet inside still applies, as in a browser.
  switch (R->Sy()) {
    case syScript:
      R->DoScript();
      break;
    case syStyle:
      R->ReadStyle(&FDoc.Styles());
      break;
    case syTextarea:
      R->ReadTextArea(nullptr);
      return;  // the reader stands after the end tag
    case sySvg: {
      std::string ignored;
      R->ReadForeignElement("SVG", 0, ignored);
      break;
    }
    case syIframe:
    case syTemplate:
      R->SkipHiddenElement(R->Sy() == syIframe ? "</IFRAME" : "</TEMPLATE");
      break;
    default:
      break;
  }
  R->Next();
}

void TDocumentBuilder::FontStart(bool baseFont) {
  TAttributeList& a = R->Attributes();
  TAttribute* at = nullptr;
  int size = 0;
  if (a.Find(sySize, at)) {
    const std::string& t = at->Text();
    size = t.size() > 1 && (t[0] == '+' || t[0] == '-') ? FBaseFontSize + at->Value() : at->Value();
    size = std::clamp(size, 1, 7);
    if (baseFont) FBaseFontSize = size;
  }
  TColor color = clNone;
  bool hasColor = a.Find(syColor, at) && ParseColor(at->Text(), false, color);
  std::string face;
  if (!baseFont && a.Find(syFace, at) && !at->Text().empty()) face = FirstInstalledFace(at->Text());
  int charset = -1;
  if (a.Find(syCharset, at)) {
    int cs = 0;
    if (LookupCharset(LowerText(at->Text()), cs)) charset = cs == CharsetEucJp ? CharsetShiftJis : cs;
  }
  if (!CanNest()) return;
  TProperties& p = Push("font", true);
  StartInline();
  if (hasColor) p.SetFromAttribute(TPropValue(color), piColor);
  if (size > 0) {
    const auto& table = FInPre ? FDoc.Styles().PreFontSizes : FDoc.Styles().FontSizes;
    p.SetFromAttribute(TPropValue(table[std::size_t(size - 1)]), piFontSize);
  }
  if (!face.empty()) p.SetFromAttribute(TPropValue(face), piFontFamily);
  if (charset >= 0) p.SetCharsetCode(charset);
}

void TDocumentBuilder::DoBr() {
  if (R->Attributes().Find(syClear)) {
    CloseSection();
    NewSection(true);
    return;
  }
  EnsureSection();
  FSection->AddChar(ccLineBreak, R->TagPos());
  CloseSection();
  NewSection(true, false);
}

// An A end tag: the link (if one is open) ends, and the text after it leaves the link's runs.
void TDocumentBuilder::LinkEnd() {
  if (FLinkOpen) {
    FLink.Clear();
    FLinkOpen = false;
  }
  Pop("a");
  if (FSection) FSection->HRef(false, FLink, Top());
}

void TDocumentBuilder::LinkStart() {
  TAttributeList& a = R->Attributes();
  TAttribute* href = a.Find(syHref);
  std::string pseudo;
  if (href) {
    CloseLink();
    FLinkOpen = true;
    TAttribute* target = a.Find(syTarget);
    FLink.Assign(href->Text(), target ? target->Text() : std::string());
    if (TAttribute* tab = a.Find(syTabindex)) FLink.SetTabIndex(tab->Value());
    pseudo = "link";
  }
  if (CanNest()) {
    Push("a", true, pseudo);
    StartInline();
  }
  if (FSection) ChangeFont();
  else NewSection();
  if (TAttribute* name = a.Find(syName)) {
    std::string_view n = name->Text();
    if (!n.empty() && n.front() == '#') n.remove_prefix(1);
    if (!n.empty()) FDoc.IDNameList().AddChPosObject(UpperText(n), R->CharPos());
  }
  if (href) FSection->HRef(true, FLink, Top());
}

void TDocumentBuilder::DoImage(bool panel) {
  EnsureSection();
  bool pushed = CanNest();
  if (pushed) {
    Push(panel ? "panel" : "img", true);
    StartInline();
  }
  int index = FSection->TextLength();
  if (panel) {
    FSection->AddImage(std::make_unique<TPanelObj>(&FDoc, R->Attributes(), index, R->CodePage()), R->TagPos());
  } else {
    auto image = std::make_unique<TImageObj>(&FDoc, R->Attributes(), index, R->CodePage());
    image->ApplyStyle(Top());
    FSection->AddImage(std::move(image), R->TagPos());
  }
  if (pushed) Pop(panel ? "panel" : "img");
}

void TDocumentBuilder::DoHr() {
  CloseSection();
  if (!CanNest()) return;
  TAttributeList& a = R->Attributes();
  TProperties& p = Push("hr", true);
  auto rule = std::make_unique<THorzLine>(&FDoc, p, &a);
  int align = rule->Align;
  auto block = std::make_unique<THRBlock>(&FDoc, &a, FCell, p, align);
  auto* raw = static_cast<THRBlock*>(FCell->AddSection(std::move(block)));
  raw->SetRule(std::move(rule));
  Pop("hr");
}

void TDocumentBuilder::CommonProduction(const TSymbolSet& term) {
  TSymbol sy = R->Sy();
  switch (sy) {
    case syText: {
      const TokenObj& t = R->Token();
      if (!FSection) {
        if (t.Count() == 0 || (t.Count() == 1 && t.Chars()[0] == u' ')) {
          R->Next();
          return;
        }
        NewSection();
      }
      FSection->AddTokenObj(t);
      R->Next();
      return;
    }
    case syB: case syI: case syEm: case syStrong: case syU: case syCite: case syVar: case syS:
    case syStrike: case syTt: case syCode: case syKbd: case sySamp: case sySpan: case syLabel:
    case sySub: case sySup: case syBig: case sySmall: {
      const bool sized = sy == sySub || sy == sySup || sy == syBig || sy == sySmall;
      const int before = PropStack().Count();
      InlineStart(TagNameOf(sy), sized);
      if (PropStack().Count() > before && Top().DisplayNone()) {
        // Hidden by the page's style: nothing inside is shown.
        SkipHiddenInline(sy, term);
        return;
      }
      break;
    }
    case syEndB: case syEndI: case syEndEm: case syEndStrong: case syEndU: case syEndCite: case syEndVar:
    case syEndS: case syEndStrike: case syEndTt: case syEndCode: case syEndKbd: case syEndSamp:
    case syEndSpan: case syEndLabel: case syEndSub: case syEndSup: case syEndBig: case syEndSmall:
      InlineEnd(TagNameOf(StartSymbolOf(sy)));
      break;
    case syFont:
    case syBasefont:
      FontStart(sy == syBasefont);
      ChangeFont();
      break;
    case syEndFont:
      InlineEnd("font");
      break;
    case syBr:
      DoBr();
      break;
    case syNobr:
      SetNoBreak(true);
      break;
    case syEndNobr:
      SetNoBreak(false);
      break;
    case syWbr:
      if (FNoBreak) {
        EnsureSection();
        FSection->FNoBreak = false;
        FSection->AddChar(u' ', R->TagPos());
        FSection->FNoBreak = true;
      }
      break;
    case syA:
      LinkStart();
      break;
    case syEndA:
      LinkEnd();
      break;
    case syImg:
      DoImage(false);
      break;
    case syPanel:
      DoImage(true);
      break;
    case syInput:
    case sySelect:
    case syTextarea:
      if (!FormControlProduction(term)) return;
      break;
    case syButton:
      if (!DoButton(term)) return;
      break;
    case sySvg:
      DoSvg();
      break;
    case syObject:
      if (!DoObject(term)) return;
      break;
    case syEmbed:
      DoEmbed();
      break;
    case syH:
      HeadingProduction(term);
      return;
    case syHr:
      DoHr();
      break;
    case syPre:
      PreProduction();
      return;
    case syTable:
      TableProduction(term);
      return;
    case syMap:
      MapProduction();
      if (R->Sy() == syEndMap) R->Next();
      return;
    case syPage:
      CloseSection();
      FCell->AddSection(std::make_unique<TPage>(&FDoc));
      break;
    case syScript:
      R->DoScript();
      break;
    case syIframe:
      // A frame that shows a picture (Doxygen's SVG graphs) shows it; its content never.
      DoEmbed("iframe");
      R->SkipHiddenElement("</IFRAME");
      break;
    case syTemplate:
      R->SkipHiddenElement("</TEMPLATE");
      break;
    default:
      break;
  }
  R->Next();
}

// ---------------------------------------------------------------------------------------------
// Preformatted text

void TDocumentBuilder::PreProduction() {
  CloseSection();
  if (!CanNest()) {
    R->Next();
    return;
  }
  const int base = PropStack().Count();
  Push("pre", true);
  TBlock* block = NewBlock(true);
  TBlock* para = nullptr;
  const bool wasInPre = FInPre;
  FInPre = true;
  int fontsPushed = 0;
  NewPreSection();
  // A line end right after the start tag only lays out the source.
  if (R->Ch() == '\r') R->GetCh();
  bool readOn = true;
  int lineEnds = 0;
  auto lineEnd = [&] {
    CloseSection();
    NewPreSection();
    ++lineEnds;
  };
  for (;;) {
    unsigned char c = R->Ch();
    if (c == 0) break;
    if (c == '\r') {
      lineEnd();
      R->GetCh();
      continue;
    }
    if (c != '<') {
      R->NextPreformatted();
      if (R->Token().Count() > 0) FSection->AddTokenObj(R->Token());
      continue;
    }
    R->Next();
    TSymbol sy = R->Sy();
    if (sy == syEof) break;
    if (sy == syEndPre) break;
    if (sy == syEndTd || sy == syEndTh) {
      // The cell's end stays for the table.
      readOn = false;
      break;
    }
    switch (sy) {
      case syText:
        if (R->Token().Count() > 0) FSection->AddTokenObj(R->Token());
        break;
      case syBr:
        lineEnd();
        if (R->Ch() == '\r') R->GetCh();
        break;
      case syP:
        if (!para && CanNest()) {
          CloseSection();
          Push("p", true);
          para = NewBlock(false);
          NewPreSection();
          if (R->Ch() == '\r') R->GetCh();
        }
        break;
      case syEndP:
        if (para) {
          CloseSection();
          Pop("p");
          EndBlock(para, false);
          para = nullptr;
          NewPreSection();
        }
        break;
      case syB: case syI: case syEm: case syStrong: case syU: case syCite: case syVar: case syS:
      case syStrike: case syTt: case syCode: case syKbd: case sySamp: case sySpan: case syLabel:
      case sySub: case sySup: case syBig: case sySmall:
        InlineStart(TagNameOf(sy), false);
        break;
      case syEndB: case syEndI: case syEndEm: case syEndStrong: case syEndU: case syEndCite: case syEndVar:
      case syEndS: case syEndStrike: case syEndTt: case syEndCode: case syEndKbd: case syEndSamp:
      case syEndSpan: case syEndLabel: case syEndSub: case syEndSup: case syEndBig: case syEndSmall:
        InlineEnd(TagNameOf(StartSymbolOf(sy)));
        break;
      case syFont:
      case syBasefont: {
        int before = PropStack().Count();
        FontStart(sy == syBasefont);
        if (PropStack().Count() > before) ++fontsPushed;
        ChangeFont();
        break;
      }
      case syEndFont:
        if (fontsPushed > 0) {
          --fontsPushed;
          InlineEnd("font");
        }
        break;
      case syA:
        LinkStart();
        break;
      case syEndA:
        LinkEnd();
        break;
      case syImg:
        DoImage(false);
        break;
      case syPanel:
        DoImage(true);
        break;
      case sySvg:
        DoSvg();
        break;
      case syInput:
      case sySelect:
      case syTextarea:
        FormControlProduction(TSymbolSet{});
        break;
      case syForm:
        FForm = NewHtmlForm(FDoc, &R->Attributes());
        break;
      case syEndForm:
        FForm = nullptr;
        break;
      case syMap:
        MapProduction();
        break;
      case syPage:
        CloseSection();
        FCell->AddSection(std::make_unique<TPage>(&FDoc));
        NewPreSection();
        break;
      case syScript:
        R->DoScript();
        break;
      default:
        break;
    }
  }
  // A line end just before the end tag only lays out the source, as the one after the start
  // tag does: it leaves no empty last line.
  if (lineEnds > 0 && FSection && FSection->TextLength() == 0) {
    FSection->RemoveFromDocumentLists();
    FSection.reset();
  }
  CloseSection();
  if (para) {
    Pop("p");
    EndBlock(para, false);
  }
  while (PropStack().Count() > base) Pop(Top().FTagName);
  FInPre = wasInPre;
  EndBlock(block, false);
  if (readOn) R->Next();
}

// ---------------------------------------------------------------------------------------------
// Head elements

void TDocumentBuilder::DoStyle() {
  R->ReadStyle(&FDoc.Styles(), BaseUrl);
  R->Next();
}

namespace {

bool ReadWholeFile(const std::string& name, std::string& data) {
  std::ifstream in(name, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  data = s.str();
  return true;
}

// CR LF line ends throughout, as the style sheet parser expects of a whole sheet.
std::string NormaliseLineEnds(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\r') {
      out += "\r\n";
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else if (c == '\n') {
      out += "\r\n";
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

void TDocumentBuilder::DoLinkElement() {
  TAttributeList& a = R->Attributes();
  std::string relText, revText, hrefText;
  if (TAttribute* at = a.Find(syRel)) relText = at->Text();
  if (TAttribute* at = a.Find(syRev)) revText = at->Text();
  if (TAttribute* at = a.Find(syHref)) hrefText = at->Text();
  if (SameText(relText, "stylesheet") && !hrefText.empty()) {
    try {
      std::string data, basePath;
      bool got = false;
      bool expanded = false;
      if (Handlers && Handlers->OnStreamRequest) {
        std::string url = hrefText;
        if (Handlers->ExpandUrl) {
          url = Handlers->ExpandUrl(url);
          expanded = true;
        }
        basePath = UrlBase(url);
        got = Handlers->OnStreamRequest(url, data);
      }
      if (!got && !expanded) {
        std::string file = Handlers && Handlers->UrlToFileName ? Handlers->UrlToFileName(hrefText) : hrefText;
        if (ReadWholeFile(file, data)) {
          got = true;
          std::size_t slash = file.find_last_of("/\\");
          basePath = slash == std::string::npos ? std::string() : file.substr(0, slash + 1);
        }
      }
      if (got && !data.empty()) ParseStyleText(FDoc.Styles(), NormaliseLineEnds(data), basePath);
    } catch (const std::exception&) {
      // A sheet that cannot be had or read is ignored.
    }
  }
  if (Handlers && Handlers->OnLink) Handlers->OnLink(relText, revText, hrefText);
  R->Next();
}

void TDocumentBuilder::DoBgSound() {
  TAttributeList& a = R->Attributes();
  TAttribute* src = a.Find(sySrc);
  if (src && Handlers && Handlers->OnSoundRequest) {
    TAttribute* loop = a.Find(syLoop);
    Handlers->OnSoundRequest(src->Text(), loop ? loop->Value() : 1, false);
  }
  R->Next();
}

// ---------------------------------------------------------------------------------------------
// Maps

void TDocumentBuilder::MapProduction() {
  TAttribute* name = R->Attributes().Find(syName);
  auto map = std::make_shared<TMapItem>(UpperText(name ? name->Text() : std::string()));
  R->Next();
  int foreign = 0;
  while (R->Sy() != syEof) {
    TSymbol sy = R->Sy();
    if (sy == syArea) {
      map->AddAreaFromTag(R->Attributes());
    } else if (sy == syEndMap) {
      FDoc.AddMap(map->MapName, map);
      return;  // the caller reads on
    } else if (sy != syText) {
      // A map that is not closed soon is dropped; the third foreign symbol is left to the caller.
      if (++foreign >= MaxForeignInMap) return;
    }
    R->Next();
  }
}

}  // namespace korva
