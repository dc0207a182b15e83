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
// Bytes of text kept for one OPTION.
constexpr std::size_t MaxOptionTextBytes = 64 * 1024;

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

// What a paragraph holds; anything else ends it.
inline constexpr TSymbolSet ParagraphContentSet =
    InlineSet + TSymbolSet{syBr, syImg, syBasefont, syInput, syTextarea, syEndTextarea, sySelect, syMap, syPage,
                           syScript, syEndScript, syPanel, syNobr, syEndNobr, syWbr, syText, syUnknownTag};

// What the body and lists hand to the common production.
inline constexpr TSymbolSet BodyCommonSet = ParagraphContentSet + TSymbolSet{syH, syHr, syPre, syTable};

// What a heading hands to the common production.
inline constexpr TSymbolSet HeadingContentSet =
    InlineSet + TSymbolSet{syBr, syHr, syImg, syText, syInput, sySelect, syTextarea, syEndTextarea, syBasefont,
                           syScript, syEndScript, syPanel, syNobr, syEndNobr, syWbr};

// What a list item hands to the common production.
inline constexpr TSymbolSet ItemContentSet =
    InlineSet + TSymbolSet{syBr, syH, syImg, syText, syInput, sySelect, syTextarea, syEndTextarea, syBasefont,
                           syMap, syPage, syScript, syEndScript, syPanel, syNobr, syEndNobr, syWbr, syTable};

// End tags of every list.
inline constexpr TSymbolSet ListEndSet{syEndOl, syEndUl, syEndDir, syEndMenu, syEndDl};

// The cell terminator set.
inline constexpr TSymbolSet CellTermSet{syEndTable, syTd, syEndTd, syTr, syEndTr, syTh, syEndTh,
                                        syCaption, syEndCaption, syCol, syColgroup};

}  // namespace korva
