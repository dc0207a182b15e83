// Unit conversion of style values: lengths to pixels, font sizes to points.
#pragma once

#include <string>
#include <string_view>

namespace korva {

// Text helpers used throughout the style code (ASCII only; bytes >= 128 are left alone).
std::string StyleTrim(std::string_view s);  // removes codes 0..32 at both ends
std::string StyleLower(std::string_view s);
std::string_view StyleTrimView(std::string_view s);

// Splits a length into its number and its unit: the longest numeric prefix, cut at an "e"
// that lies inside it (so "2em" is 2 and "em"); the unit is the rest, trimmed and lower-cased.
// No numeric prefix reads as 0. Returns the length of the numeric part.
size_t SplitNumberUnit(std::string_view text, double& number, std::string& unit);
// Reads the whole text (trimmed) as a number; false when anything else is in it.
bool ReadWholeNumber(std::string_view text, double& number);
// Reads the whole text (trimmed) as an integer, saturating at the int range.
bool ReadWholeInt(std::string_view text, int& value);

// Pixels of a length ("in", "cm", "mm", "pt", "pc", "px", "em", "ex", "rem", "ch", "vw", "vh",
// "%" or no unit); an
// unknown unit gives `defaultValue`. Rounds halves to even.
int LengthToPixels(std::string_view text, bool relative, int base, int defaultValue, int emSize, int exSize);
// Points of a CSS font size relative to the inherited size `oldSize`.
double FontSizeToPoints(std::string_view text, double oldSize);

// The document default font size in points (set by the default style sheet), used by the
// keyword sizes of FontSizeToPoints.
double DefaultFontSize();
void SetDefaultFontSize(double points);

}  // namespace korva
