// Links and references named by archive pages: which of them leave the archive, and which archive
// member the others name. Member names use "\" between folders, as the archive reader stores them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace korva {

enum class TLinkKind {
  lkMember,      // a page or file inside the archive (or beside it)
  lkExternal,    // for the desktop's browser or mail program
  lkUnsupported  // a scheme we do not hand on (file:, javascript:, unknown ones)
};

// What kind of target a link names. "//host/x" counts as external.
TLinkKind ClassifyLink(std::string_view url);
// The lower-case scheme of "scheme:rest" (two or more characters, so "c:\x" has none), or "".
std::string LinkScheme(std::string_view url);

// The folder part of a member name, up to and including its last "\"; "" for the archive root.
std::string MemberFolder(std::string_view member);

// The member that reference names when it appears in referrer: "/" becomes "\", the reference is
// taken relative to referrer's folder (or to the root when it starts with a separator), and "."
// and ".." segments are folded; ".." never climbs above the root. An empty reference stays empty.
std::string ResolveMemberReference(std::string_view referrer, std::string_view reference);

// The names worth looking up for a reference, best first: as written, then without a query, then
// with percent escapes decoded. Each is resolved against referrer; duplicates are left out.
std::vector<std::string> MemberCandidates(std::string_view referrer, std::string_view reference);

// "%20" and the like decoded; a "%" not followed by two hex digits is kept as it is.
std::string PercentDecode(std::string_view s);

}  // namespace korva
