// The document builder: the productions that turn the reader's symbols into the section tree of
// a TSectionList (paragraphs, headings, blocks, lists, tables, forms, images, maps, rules,
// preformatted text), pushing an element style for every open element and popping it at the
// element's end or at whatever ends an enclosing element.
//
// Every production takes the terminator set of its caller: a symbol in it ends the production
// without being consumed, so the end tag of an enclosing table, cell or list closes everything
// opened inside it. Elements nested deeper than MaxNestingDepth are flattened into the
// innermost element kept, so neither the property stack nor the tree (nor this builder's own
// recursion) grows with the page's nesting.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/Symbols.h"
#include "core/UrlTarget.h"
#include "html/HtmlParse.h"

namespace korva {

class TSectionList;
class TCellBasic;
class TSection;
class TBlock;
class TBodyBlock;
class TProperties;
class ThtmlForm;
class TCellManager;
class TAttributeList;

// What the viewer offers the builder beyond the reader's handlers. All are optional.
struct TBuilderHandlers {
  // The bytes a URL names (a linked style sheet); false when the handler has none.
  std::function<bool(const std::string& url, std::string& data)> OnStreamRequest;
  // The viewer's expansion of a link URL.
  std::function<std::string(const std::string& url)> ExpandUrl;
  // The file a URL names; without it the URL is taken as a file name.
  std::function<std::string(const std::string& url)> UrlToFileName;
  std::function<void(const std::string& rel, const std::string& rev, const std::string& href)> OnLink;
  std::function<void(const std::string& src, int loop, bool terminate)> OnSoundRequest;
};

class TDocumentBuilder : public THtmlBuilder {
 public:
  explicit TDocumentBuilder(TSectionList& document);
  ~TDocumentBuilder() override;

  const TBuilderHandlers* Handlers = nullptr;
  // The viewer's margins, used when BODY gives none.
  int MarginWidth = 10;
  int MarginHeight = 5;

  // Collected for the viewer.
  std::string Title, BaseUrl, BaseTarget;

  void BeginParse(THtmlReader& reader) override;
  void BuildBody(THtmlReader& reader) override;
  void BuildText(THtmlReader& reader) override;
  void EndParse(THtmlReader& reader) override;

 private:
  TSectionList& FDoc;
  THtmlReader* R = nullptr;
  TCellBasic* FCell = nullptr;
  std::unique_ptr<TSection> FSection;
  TBodyBlock* FBody = nullptr;
  TUrlTarget FLink;
  bool FLinkOpen = false;
  bool FNoBreak = false;
  int FListLevel = 0;
  int FTableDepth = 0;
  int FBaseFontSize = 3;
  bool FInPre = false;
  ThtmlForm* FForm = nullptr;

  // ---- style stack ----
  TProperties& Top() const;
  // Pushes an element's style; with `attributes` its class, id, style and title take part.
  TProperties& Push(std::string_view tag, bool withAttributes, std::string_view pseudo = {});
  void Pop(std::string_view tag);
  // Whether another element may be opened (the nesting limit).
  bool CanNest() const;
  // Text background and the inline border range of the top set.
  void StartInline();

  // ---- sections and blocks ----
  void CloseSection();
  void NewSection(bool withAttributes = false, bool firstInBlock = true);
  void NewPreSection();
  void EnsureSection();
  void ChangeFont();
  TBlock* NewBlock(bool withAttributes, bool isList = false);
  // Back to the block's parent cell; `outward` moves an automatic bottom margin of the last
  // block inside onto the block itself.
  void EndBlock(TBlock* block, bool outward);
  void CloseLink();
  void SetNoBreak(bool on);

  // ---- productions ----
  void BodyProduction(const TSymbolSet& term);
  void StartBody();
  void ParagraphProduction(const TSymbolSet& term);
  void CommonProduction(const TSymbolSet& term);
  void HeadingProduction(const TSymbolSet& term);
  void BlockProduction(const TSymbolSet& term);
  // A block read like DIV under the element's own tag name, ended by its own end tag.
  void DivLikeProduction(TSymbol sy, const TSymbolSet& term);
  void DetailsProduction(const TSymbolSet& term);
  void PreProduction();
  void LinkStart();
  void LinkEnd();
  void FontStart(bool baseFont);
  void InlineStart(std::string_view tag, bool needSection);
  // After the start of an inline element that the page's style hides (display: none): passes
  // over its content to its end tag (consumed) or to what ends an enclosing element (left).
  void SkipHiddenInline(TSymbol start, const TSymbolSet& term);
  // Passes over the current symbol and reads the next one; raw content is passed over whole.
  void SkipHiddenSymbol();
  void InlineEnd(std::string_view tag);
  void DoBr();
  void DoImage(bool panel);
  // Later HTML's inline objects (HtmlEmbedded.cpp). DoObject answers false when it has read on
  // itself.
  bool DoButton(const TSymbolSet& term);
  void DoSvg();
  bool DoObject(const TSymbolSet& term);
  // EMBED, or an IFRAME (tag "iframe"), whose source is a picture: an image object.
  void DoEmbed(std::string_view tag = "embed");
  // An image object in the flow made from `attributes`, styled by the top set.
  void AddImageObject(const TAttributeList& attributes, int sourcePos);
  void DoHr();
  void DoLinkElement();
  void DoBgSound();
  void DoStyle();

  // Lists, tables, forms and maps (HtmlTables.cpp, HtmlForms.cpp).
  void ListProduction(TSymbol list, const TSymbolSet& term);
  void ListItemProduction(TSymbol list, TSymbol item, int number, const TSymbolSet& term, bool plain,
                          char numberingType);
  void TableProduction(const TSymbolSet& term);
  // False when the symbol that ended the control is not its own and must not be read past.
  bool FormControlProduction(const TSymbolSet& term);
  void ReadOptions(class TListBoxFormControlObj* control);
  void MapProduction();
};

// Builds a whole HTML document into `document` (its style list and defaults already set up).
void BuildHtmlDocument(TSectionList& document, std::string text, TDocumentBuilder& builder,
                       const THtmlHandlers* handlers = nullptr);
// Builds a plain-text document.
void BuildTextDocument(TSectionList& document, std::string text, TDocumentBuilder& builder);

}  // namespace korva
