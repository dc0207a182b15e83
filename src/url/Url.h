// URL helpers: plain 8-bit string functions, no state. Positions in the comments of Url.cpp are
// 1-based where that keeps the arithmetic readable; "trimmed" removes codes 0..32 at both ends.
#pragma once

#include <string>
#include <string_view>

namespace korva {

// The URL up to and including its last "/" (query removed); a "/" is appended when none counts.
std::string UrlBase(std::string_view url);
// Joins a base and a relative reference, removing "/../" and "/./" segments.
std::string UrlCombine(std::string_view base, std::string_view relative);
// "scheme://..." with no "/" before the "://", or anything containing "mailto:".
bool UrlIsAbsolute(std::string_view url);
// Lower-case scheme: the text before "://", "http" for "/..." and "http:...", "mailto", or "".
std::string UrlScheme(std::string_view url);
// Percent-decodes and turns "file:///c|/x/y" into "c:\x\y".
std::string UrlToLocalPath(std::string_view url);
// UrlToLocalPath, prefixed with serverRoot when the path is rooted ("\...") but has no drive or
// UNC prefix.
std::string UrlToServerPath(std::string_view url, std::string_view serverRoot);

// A reference to a file beside a page, kept inside the page's folder: "\" read as "/", "." and
// ".." folded, query and fragment cut off. Empty when the reference names anything outside
// that folder: an absolute path, a drive or network name, any scheme ("file:", "http://"), or
// ".." above the folder.
std::string UrlConfinedPath(std::string_view reference);

// Helpers shared with other modules.
std::string UrlTrim(std::string_view s);
std::string AsciiLower(std::string_view s);

}  // namespace korva
