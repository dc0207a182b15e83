// The symbols of the HTML reader: one byte-wide enumeration for tag names, end tags and
// attribute names, plus extra values for text, unknown names, end of document and
// line ends.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>

namespace korva {

enum TSymbol : std::uint8_t {
  // Tags with an end-tag symbol, in the order of the tag table.
  syHtml, syTitle, syBody, syHead, syB, syI, syH, syEm, syStrong, syU, syCite, syVar, syTt, syCode,
  syKbd, sySamp, syOl, syUl, syDir, syMenu, syDl, syA, syAddress, syBlockquote, syPre, syCenter,
  syTable, syTd, syTh, syCaption, syForm, syTextarea, sySelect, syOption, syFont, sySub, sySup,
  syBig, sySmall, syP, syMap, syFrameset, syNoframes, syScript, syDiv, syS, syStrike, syTr, syNobr,
  syStyle, sySpan, syColgroup, syLabel,
  // Later tags with end tags: the sectioning elements, disclosure, buttons, SVG and objects.
  sySection, syArticle, syNav, syHeader, syFooter, syAside, syMain, syFigure, syFigcaption,
  syHgroup, syDetails, sySummary, syButton, sySvg, syObject, syIframe, syTemplate,
  // Tags without an end-tag symbol.
  syLi, syBr, syHr, syDd, syDt, syImg, syBase, syInput, sySelected, syBasefont, syArea,
  syFrame, syPage, syBgsound, syWrap, syMeta, syPanel, syWbr, syLink, syCol, syEmbed,
  // End tags of the first 53 tags, in the same order.
  syEndHtml, syEndTitle, syEndBody, syEndHead, syEndB, syEndI, syEndH, syEndEm, syEndStrong,
  syEndU, syEndCite, syEndVar, syEndTt, syEndCode, syEndKbd, syEndSamp, syEndOl, syEndUl,
  syEndDir, syEndMenu, syEndDl, syEndA, syEndAddress, syEndBlockquote, syEndPre, syEndCenter,
  syEndTable, syEndTd, syEndTh, syEndCaption, syEndForm, syEndTextarea, syEndSelect, syEndOption,
  syEndFont, syEndSub, syEndSup, syEndBig, syEndSmall, syEndP, syEndMap, syEndFrameset,
  syEndNoframes, syEndScript, syEndDiv, syEndS, syEndStrike, syEndTr, syEndNobr, syEndStyle,
  syEndSpan, syEndColgroup, syEndLabel, syEndSection, syEndArticle, syEndNav, syEndHeader,
  syEndFooter, syEndAside, syEndMain, syEndFigure, syEndFigcaption, syEndHgroup, syEndDetails,
  syEndSummary, syEndButton, syEndSvg, syEndObject, syEndIframe, syEndTemplate,
  // Attribute names that are not also tag names (TITLE, STYLE, SPAN, LABEL, WRAP, LINK and
  // SELECTED use the tag's symbol). TEXT is syTextAttr, to keep syText for text runs.
  syHref, syName, sySrc, syAlt, syAlign, syTextAttr, syBgcolor, syBackground, syColspan, syRowspan,
  syBorder, syCellpadding, syCellspacing, syValign, syWidth, syStart, syValue, syType, syCheckbox,
  syRadio, syMethod, syAction, syChecked, sySize, syMaxlength, syCols, syRows, syMultiple, syFace,
  syColor, syTransp, syClear, syIsmap, syBordercolor, syUsemap, syShape, syCoords, syNohref,
  syHeight, syPlain, syTarget, syNoresize, syScrolling, syHspace, syLanguage, syFrameborder,
  syMarginwidth, syMarginheight, syLoop, syOnclick, syNoshade, syHttpEquiv, syContent, syEnctype,
  syVlink, syOlink, syActive, syVspace, syClass, syId, syRel, syRev, syNowrap, syBordercolorlight,
  syBordercolordark, syCharset, syRatio, syOnfocus, syOnblur, syOnchange, syTabindex,
  syBgproperties, syDisabled, syTopmargin, syLeftmargin, syData, syOpen,
  // Special values.
  syText,        // a run of text is in the current token
  syUnknownTag,  // a tag not in the table, or the end tag of one without an end symbol
  syEof,         // end of the document
  syUnknownAttr, // an attribute name not in the table
  syEol,         // a line end inside TEXTAREA and SCRIPT contents
  syCount
};

static_assert(syCount <= 256, "symbols must fit one byte");

constexpr int TagCount = 91;
constexpr int EndTagCount = 70;
constexpr int AttributeNameCount = 85;

// Start symbol for an upper-case tag name, or syUnknownTag. For an end tag, the end symbol of
// one of the first EndTagCount tags, else syUnknownTag.
TSymbol LookupTag(std::string_view upperName, bool endTag);
// Symbol for an upper-case attribute name, or syUnknownAttr.
TSymbol LookupAttribute(std::string_view upperName);

// The end symbol of a tag, or syUnknownTag when it has none; and back.
TSymbol EndSymbolOf(TSymbol tag);
TSymbol StartSymbolOf(TSymbol endTag);
inline bool IsEndTagSymbol(TSymbol s) { return s >= syEndHtml && s <= syEndTemplate; }
inline bool IsTagSymbol(TSymbol s) { return s <= syEmbed; }

// A readable name: the tag name ("P", "/P"), the attribute name, or "Text", "UnknownTag",
// "Eof", "UnknownAttr", "Eol".
std::string_view SymbolName(TSymbol s);

// A set of symbols (terminator sets of the builder's productions).
class TSymbolSet {
 public:
  constexpr TSymbolSet() = default;
  constexpr TSymbolSet(std::initializer_list<TSymbol> symbols) {
    for (TSymbol s : symbols) Include(s);
  }
  constexpr void Include(TSymbol s) { FBits[s >> 6] |= std::uint64_t(1) << (s & 63); }
  constexpr void Exclude(TSymbol s) { FBits[s >> 6] &= ~(std::uint64_t(1) << (s & 63)); }
  constexpr bool Contains(TSymbol s) const { return (FBits[s >> 6] >> (s & 63)) & 1; }
  constexpr TSymbolSet operator+(const TSymbolSet& o) const {
    TSymbolSet r = *this;
    for (int i = 0; i < 4; ++i) r.FBits[i] |= o.FBits[i];
    return r;
  }
  constexpr TSymbolSet operator-(const TSymbolSet& o) const {
    TSymbolSet r = *this;
    for (int i = 0; i < 4; ++i) r.FBits[i] &= ~o.FBits[i];
    return r;
  }
  constexpr bool operator==(const TSymbolSet&) const = default;

 private:
  std::uint64_t FBits[4] = {0, 0, 0, 0};
};

}  // namespace korva
