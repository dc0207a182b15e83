// Limits of the layout engine: every size that page content can drive is checked against these.
#pragma once

namespace korva {

// Blocks nested deeper than this are not laid out, drawn or measured (the builder flattens
// nesting at the style limit's depth, so only hand-made trees reach it); keeps every pass over
// the tree within a bounded stack.
constexpr int MaxLayoutDepth = 600;
// Coordinates are clamped to this either way, so that sums of many large lengths cannot overflow.
constexpr int MaxLayoutCoord = 100000000;
// y of a section that was never laid out.
constexpr int NotLaidOutY = 999999999;
// The bottom of an indent that lasts until it is removed.
constexpr int OpenIndentBottom = 9999999;
// Grid positions of one table (cells and the placeholders that spans make): spans are cut back
// so that a few attributes cannot make a huge grid.
constexpr int MaxTableGridCells = 1000000;
// A line height given by style is cut to this (far taller than any screen).
constexpr int MaxLineHeight = 32767;

}  // namespace korva
