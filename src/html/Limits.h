// Limits of the HTML reader: a page is untrusted input.
#pragma once

#include <cstddef>

namespace korva {

// Source positions are 32-bit; longer documents are cut here.
constexpr std::size_t MaxDocumentBytes = std::size_t(1) << 30;
// Characters kept of a tag name (further ones are dropped) and of an attribute name.
constexpr int MaxTagNameLength = 255;
constexpr int MaxAttributeNameLength = 255;
// Attributes kept per tag; further ones are read and dropped.
constexpr int MaxAttributesPerTag = 4096;
// Letters read of a named character reference (one more than the longest name).
constexpr int MaxEntityNameLength = 32;
// Bytes a character reference may add to an attribute value.
constexpr int MaxReferenceBytes = 11;
// Include expansion: expansions per document and the size of the pending include text.
constexpr int MaxIncludesPerDocument = 1000;
constexpr std::size_t MaxIncludeBytes = std::size_t(16) << 20;
// A tab in preformatted text advances to the next multiple of this many columns.
constexpr int TabColumns = 8;
// Links counted by the prescan before it stops; more than this many is a page of many links.
constexpr int ManyLinksThreshold = 400;

}  // namespace korva
