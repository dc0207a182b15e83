#include "app/MemberLinks.h"

#include <algorithm>
#include <array>

#include "url/Url.h"

namespace korva {

namespace {

bool IsAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Schemes the desktop has a safe, well-known handler for. Anything else (file:, javascript:,
// data:, vendor schemes) could run or open something the reader of a page never meant to.
constexpr std::array<std::string_view, 9> ExternalSchemes = {"http", "https", "ftp",  "ftps", "mailto",
                                                             "news", "nntp",  "irc",  "ircs"};

}  // namespace

std::string LinkScheme(std::string_view url) {
  if (url.empty() || !IsAlpha(url[0])) return {};
  std::size_t i = 1;
  while (i < url.size() && (IsAlpha(url[i]) || IsDigit(url[i]) || url[i] == '+' || url[i] == '-' || url[i] == '.'))
    ++i;
  // One letter before ":" is a drive, not a scheme.
  if (i >= url.size() || url[i] != ':' || i < 2) return {};
  return AsciiLower(url.substr(0, i));
}

TLinkKind ClassifyLink(std::string_view url) {
  const std::string s = UrlTrim(url);
  if (s.rfind("//", 0) == 0) return TLinkKind::lkExternal;
  const std::string scheme = LinkScheme(s);
  if (scheme.empty()) return TLinkKind::lkMember;
  if (std::find(ExternalSchemes.begin(), ExternalSchemes.end(), scheme) != ExternalSchemes.end())
    return TLinkKind::lkExternal;
  return TLinkKind::lkUnsupported;
}

std::string MemberFolder(std::string_view member) {
  const std::size_t slash = member.find_last_of("\\/");
  if (slash == std::string_view::npos) return {};
  std::string folder(member.substr(0, slash + 1));
  std::replace(folder.begin(), folder.end(), '/', '\\');
  return folder;
}

std::string ResolveMemberReference(std::string_view referrer, std::string_view reference) {
  if (reference.empty()) return {};
  std::string ref(reference);
  std::replace(ref.begin(), ref.end(), '/', '\\');
  const std::string path = ref[0] == '\\' ? ref : MemberFolder(referrer) + ref;

  std::vector<std::string_view> parts;
  const std::string_view p(path);
  std::size_t a = 0;
  for (;;) {
    const std::size_t b = p.find('\\', a);
    const std::string_view part = p.substr(a, b == std::string_view::npos ? std::string_view::npos : b - a);
    if (part == "..") {
      // Above the root there is nothing: the step is dropped.
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    if (b == std::string_view::npos) break;
    a = b + 1;
  }
  std::string out;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i) out += '\\';
    out += parts[i];
  }
  // A folder link keeps its separator, so it never matches a file of the same name.
  if (!out.empty() && (path.back() == '\\' || path.ends_with("\\.") || path.ends_with("\\..")))
    out += '\\';
  return out;
}

std::string PercentDecode(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size() && HexValue(s[i + 1]) >= 0 && HexValue(s[i + 2]) >= 0) {
      out += char(HexValue(s[i + 1]) * 16 + HexValue(s[i + 2]));
      i += 2;
    } else {
      out += s[i];
    }
  }
  return out;
}

std::vector<std::string> MemberCandidates(std::string_view referrer, std::string_view reference) {
  std::vector<std::string> out;
  auto add = [&](std::string_view ref) {
    std::string name = ResolveMemberReference(referrer, ref);
    if (!name.empty() && std::find(out.begin(), out.end(), name) == out.end()) out.push_back(std::move(name));
  };
  add(reference);
  const std::string_view plain = reference.substr(0, reference.find('?'));
  add(plain);
  if (plain.find('%') != std::string_view::npos) add(PercentDecode(plain));
  return out;
}

}  // namespace korva
