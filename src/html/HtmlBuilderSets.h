// Shared by the builder's source files: the symbol sets of its productions and small helpers.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "core/Symbols.h"

namespace korva {

class TProperties;

// The automatic space below a paragraph, in pixels.
constexpr int ParagraphSpacePixels = 14;
// Symbols other than AREA and text after which an unclosed MAP is given up.
constexpr int MaxForeignInMap = 3;
// Tables nested deeper than this are read as if their TABLE tag were not there.
constexpr int MaxTableNesting = 10;
// Bytes of text kept for one OPTION; characters kept of the caption of one BUTTON.
constexpr std::size_t MaxOptionTextBytes = 64 * 1024;
constexpr std::size_t MaxButtonCaptionChars = 4 * 1024;
// Bytes of markup kept for one inline SVG picture; a larger one shows as a broken picture.
constexpr std::size_t MaxInlineSvgBytes = std::size_t(8) << 20;

std::string LowerText(std::string_view s);
std::string UpperText(std::string_view s);
// The lower-case tag name of a start symbol ("b", "font").
std::string TagNameOf(TSymbol sy);
// ALIGN as text-align: left, center (also middle), right, justify.
void ApplyAlign(TProperties& p, std::string_view align);

// Inline elements with their end tags.
inline constexpr TSymbolSet InlineSet{
    syB, syI, syEm, syStrong, syU, syCite, syVar, syTt, syCode, syKbd, sySamp, syS, syStrike, sySub, sySup,
    syBig, sySmall, syFont, sySpan, syLabel, syA, syEndB, syEndI, syEndEm, syEndStrong, syEndU, syEndCite,
    syEndVar, syEndTt, syEndCode, syEndKbd, syEndSamp, syEndS, syEndStrike, syEndSub, syEndSup, syEndBig,
    syEndSmall, syEndFont, syEndSpan, syEndLabel, syEndA};

// Inline objects of later HTML (a button, an SVG picture, an embedded object) and the end tags
// that a page may leave standing after them.
inline constexpr TSymbolSet InlineObjectSet{syButton, syEndButton, sySvg, syEndSvg, syObject, syEndObject,
                                            syEmbed, syIframe, syEndIframe, syTemplate, syEndTemplate};

// What a paragraph holds; anything else ends it.
inline constexpr TSymbolSet ParagraphContentSet =
    InlineSet + InlineObjectSet +
    TSymbolSet{syBr, syImg, syBasefont, syInput, syTextarea, syEndTextarea, sySelect, syMap, syPage,
               syScript, syEndScript, syPanel, syNobr, syEndNobr, syWbr, syText, syUnknownTag};

// What the body and lists hand to the common production.
inline constexpr TSymbolSet BodyCommonSet = ParagraphContentSet + TSymbolSet{syH, syHr, syPre, syTable};

// What a heading hands to the common production.
inline constexpr TSymbolSet HeadingContentSet =
    InlineSet + InlineObjectSet +
    TSymbolSet{syBr, syHr, syImg, syText, syInput, sySelect, syTextarea, syEndTextarea, syBasefont, syScript,
               syEndScript, syPanel, syNobr, syEndNobr, syWbr};

// What a list item hands to the common production: block content that HTML allows in an item
// (preformatted text, rules, tables, headings) stays inside it.
inline constexpr TSymbolSet ItemContentSet =
    InlineSet + InlineObjectSet +
    TSymbolSet{syBr, syH, syImg, syText, syInput, sySelect, syTextarea, syEndTextarea, syBasefont, syMap, syPage,
               syScript, syEndScript, syPanel, syNobr, syEndNobr, syWbr, syTable, syPre, syHr};

// Blocks of later HTML read like DIV: the sectioning elements and the figure.
inline constexpr TSymbolSet SectioningSet{sySection, syArticle, syNav,    syHeader,     syFooter,
                                          syAside,   syMain,    syFigure, syFigcaption, syHgroup};
// The blocks read by the block production like DIV (inside a list item, such a block ends at the
// next item or the list's end).
inline constexpr TSymbolSet DivLikeSet = SectioningSet + TSymbolSet{syCenter, syDiv, syForm, syDetails, sySummary};

// End tags of every list, and the items.
inline constexpr TSymbolSet ListEndSet{syEndOl, syEndUl, syEndDir, syEndMenu, syEndDl};
inline constexpr TSymbolSet ItemSet{syLi, syDd, syDt};

// The cell terminator set.
inline constexpr TSymbolSet CellTermSet{syEndTable, syTd, syEndTd, syTr, syEndTr, syTh, syEndTh,
                                        syCaption, syEndCaption, syCol, syColgroup};

}  // namespace korva
