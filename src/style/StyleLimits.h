// Limits of the style engine: every size that style text can drive is checked against these.
#pragma once

namespace korva {

// Keys in one style list; rules for further new keys are dropped.
constexpr int MaxStyleKeys = 20000;
// Selectors of one rule (grouped by commas); further selectors are dropped, so that a huge
// group times a huge block cannot multiply into billions of deliveries.
constexpr int MaxSelectorsPerRule = 512;
// Parts of a descendant key that the matcher looks at (subject plus nine ancestors).
constexpr int MaxDescendantParts = 10;
// Author selectors: bytes of one selector and of one comma group, compound selectors in one
// selector, simple selectors of one kind in one compound. Longer ones drop their rule.
constexpr int MaxSelectorBytes = 4096;
constexpr int MaxSelectorGroupBytes = 1 << 20;
constexpr int MaxSelectorCompounds = 32;
constexpr int MaxSimpleSelectors = 32;
// Author rules (one per selector and importance) in one style list; further ones are dropped.
constexpr int MaxAuthorRules = 50000;
// Closed children an open element keeps for sibling selectors ("+", "~"): at least this many
// and at most twice as many; a "~" sibling further back may not be seen. Attributes kept per element for attribute selectors.
constexpr int MaxSiblingRecords = 64;
constexpr int MaxKeptAttributes = 32;
// Nested style sheet imports, and nested conditional blocks (@media inside @media).
constexpr int MaxImportDepth = 16;
constexpr int MaxBlockNesting = 16;
// Media query lists one style list keeps, and queries in one list.
constexpr int MaxMediaLists = 4096;
constexpr int MaxMediaQueries = 64;
// Converted lengths are clamped to this many pixels either way (also keeps them clear of the
// sentinel values near -12345678).
constexpr int MaxLengthPixels = 1000000;
// Extra pixels between characters (letter-spacing) are clamped to this either way.
constexpr int MaxCharExtra = 1000;
// Font sizes in points are clamped to this either way.
constexpr double MaxFontPoints = 2000.0;
// Open elements the document builder nests; deeper start tags are flattened into the innermost
// element kept, so that neither the property stack nor any pass over the tree grows beyond it.
constexpr int MaxNestingDepth = 512;
// The cascade remembers what the rules give this many element identities (tag, class, id,
// pseudo-class) at once, each of at most this many bytes; longer ones are worked out each time.
constexpr int MaxRememberedIdentities = 1024;
constexpr int MaxRememberedIdentityBytes = 200;

// Style lists made in this process share the rules of identical default sheets and of a sheet
// parsed again onto the same rules. Kept: this many default sheets; parsed sheets up to a count,
// a total of their text and a total of their keys (one sheet may use half of either at most).
constexpr int MaxSharedDefaultSheets = 4;
constexpr int MaxSharedSheets = 8;
constexpr int MaxSharedSheetBytes = 1 << 20;
constexpr int MaxSharedSheetKeys = 4000;

}  // namespace korva
