#include "url/Url.h"

#include <vector>

namespace korva {

namespace {

std::string_view BeforeQuery(std::string_view s) {
  size_t q = s.find('?');
  return q == std::string_view::npos ? s : s.substr(0, q);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool StartsWith(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

std::string UrlTrim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= 32) ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= 32) --e;
  return std::string(s.substr(b, e - b));
}

std::string AsciiLower(std::string_view s) {
  std::string r(s);
  for (char& c : r)
    if (c >= 'A' && c <= 'Z') c = char(c + 32);
  return r;
}

std::string UrlBase(std::string_view url) {
  std::string s = UrlTrim(url);
  s = std::string(BeforeQuery(s));
  size_t d = s.find("//");
  // Without "//" the search starts at the second character, so a leading "/" alone never counts.
  size_t from = d == std::string::npos ? 1 : d + 2;
  size_t slash = std::string::npos;
  if (from < s.size()) {
    size_t last = s.rfind('/');
    if (last != std::string::npos && last >= from) slash = last;
  }
  if (slash != std::string::npos) return s.substr(0, slash + 1);
  return s + "/";
}

std::string UrlCombine(std::string_view baseIn, std::string_view relativeIn) {
  std::string base = UrlTrim(baseIn);
  std::string scheme = UrlScheme(base);

  // root: 0-based index of the "/" that ends the scheme-and-host part; npos when none.
  size_t root = std::string::npos;
  bool rootIsAppended = false;
  if (StartsWith(base, "file:///")) {
    size_t s = base.find('/', 8);
    root = s == std::string::npos ? 7 : s;
  } else if (size_t c = base.find("://"); c != std::string::npos) {
    size_t s = base.find('/', c + 3);
    if (s != std::string::npos) {
      root = s;
    } else {
      // "http://host": the host ends at the "/" we append below, not inside "://" (which would
      // make "/x" lose the host).
      rootIsAppended = true;
    }
  } else {
    size_t s = base.find('/');
    if (s != std::string::npos) root = s; else rootIsAppended = true;
  }
  if (rootIsAppended) {
    base += '/';
    root = base.size() - 1;
  } else if (base.empty() || base.back() != '/') {
    base += '/';
  }

  std::string relative = UrlTrim(relativeIn);
  std::string result;
  if (relative.empty() || relative[0] != '/') {
    result = base + relative;
  } else if (relative.size() >= 2 && relative[1] == '/') {
    result = scheme != "file" ? scheme + ":" + relative : "file:///" + relative;
  } else {
    result = base.substr(0, root + 1) + relative.substr(1);
  }

  // "/../" removal. Positions at or before the root never lose their "/".
  for (;;) {
    size_t p = result.find("/../");
    if (p == std::string::npos) break;
    if (p > root) {
      if (p == 0) break;
      size_t prev = result.rfind('/', p - 1);
      if (prev == std::string::npos) break;  // the segment would start the string: stop altogether
      result.erase(prev + 1, p + 4 - (prev + 1));
    } else {
      result.erase(p + 1, 3);
    }
  }
  for (;;) {
    size_t p = result.find("/./");
    if (p == std::string::npos) break;
    result.erase(p + 1, 2);
  }
  return result;
}

bool UrlIsAbsolute(std::string_view url) {
  std::string_view s = BeforeQuery(url);
  size_t c = s.find("://");
  if (c != std::string_view::npos) {
    size_t slash = s.find('/');
    if (slash >= c) return true;
  }
  return AsciiLower(s).find("mailto:") != std::string::npos;
}

std::string UrlScheme(std::string_view url) {
  std::string_view s = BeforeQuery(url);
  if (s.empty()) return {};
  size_t c = s.find("://");
  if (c != std::string_view::npos) return AsciiLower(s.substr(0, c));
  if (s[0] == '/') return "http";
  if (AsciiLower(s.substr(0, 5)) == "http:") return "http";
  if (AsciiLower(s.substr(0, 7)) == "mailto:") return "mailto";
  return {};
}

std::string UrlToLocalPath(std::string_view url) {
  std::string s(url);
  // Percent decoding from the left; a "%" first or among the last two characters, or one not
  // followed by two hex digits, ends it.
  for (;;) {
    size_t p = s.find('%');
    if (p == std::string::npos || p == 0 || p + 2 >= s.size()) break;
    int hi = HexDigit(s[p + 1]), lo = HexDigit(s[p + 2]);
    if (hi < 0 || lo < 0) break;
    s[p] = char(hi * 16 + lo);
    s.erase(p + 1, 2);
  }
  if (s.find('/') == std::string::npos) return s;
  std::string lower = AsciiLower(s);
  if (size_t f = lower.find("file:///"); f != std::string::npos) {
    s.erase(f, 8);
  } else if (size_t g = lower.find("file://"); g != std::string::npos) {
    s.erase(g, 7);
  }
  for (char& c : s) {
    if (c == '|') c = ':';
    else if (c == '/') c = '\\';
  }
  return s;
}

std::string UrlToServerPath(std::string_view url, std::string_view serverRoot) {
  std::string p = UrlTrim(UrlToLocalPath(url));
  if (!p.empty() && !serverRoot.empty() && !StartsWith(p, "\\\\") && !(p.size() >= 2 && p[1] == ':') &&
      p[0] == '\\')
    return std::string(serverRoot) + p;
  return p;
}

std::string UrlConfinedPath(std::string_view reference) {
  std::string ref = UrlTrim(reference);
  ref = ref.substr(0, ref.find_first_of("?#"));
  for (char& c : ref)
    if (c == '\\') c = '/';
  if (ref.empty() || ref[0] == '/') return {};
  // "c:/x", "file:x", "http://h/x": a scheme or a drive before the first separator.
  const std::size_t colon = ref.find(':');
  if (colon != std::string::npos && colon < ref.find('/')) return {};
  std::vector<std::string_view> parts;
  std::size_t a = 0;
  while (a <= ref.size()) {
    std::size_t b = ref.find('/', a);
    if (b == std::string::npos) b = ref.size();
    const std::string_view part(ref.data() + a, b - a);
    if (part == "..") {
      if (parts.empty()) return {};
      parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    a = b + 1;
  }
  std::string out;
  for (std::string_view p : parts) {
    if (!out.empty()) out += '/';
    out.append(p);
  }
  return out;
}

}  // namespace korva
