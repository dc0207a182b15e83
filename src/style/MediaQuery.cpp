#include "style/MediaQuery.h"

#include <string>

#include "platform/Font.h"
#include "style/StyleLimits.h"
#include "style/Units.h"

namespace korva {

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

std::vector<std::string> Words(std::string_view text) {
  std::vector<std::string> words;
  std::string w;
  auto flush = [&] {
    if (!w.empty()) words.push_back(std::move(w));
    w.clear();
  };
  int depth = 0;
  for (char c : text) {
    if (c == '(') {
      flush();
      ++depth;
      w += c;
    } else if (c == ')') {
      w += c;
      if (depth > 0) --depth;
      if (depth == 0) flush();
    } else if (IsSpace(c) && depth == 0) {
      flush();
    } else {
      w += c >= 'A' && c <= 'Z' ? char(c + 32) : c;
    }
  }
  flush();
  return words;
}

// A length in a media feature: px, em (of the default font size), pt, in, cm, mm.
bool FeatureLength(std::string_view text, int& pixels) {
  double n;
  std::string unit;
  if (SplitNumberUnit(text, n, unit) == 0) return false;
  if (unit.empty() && n != 0) return false;
  const int em = int(DefaultFontSize() * ScreenPixelsPerInch() / 72.0 + 0.5);
  if (!unit.empty() && unit != "px" && unit != "em" && unit != "rem" && unit != "pt" && unit != "in" &&
      unit != "cm" && unit != "mm" && unit != "pc")
    return false;
  pixels = LengthToPixels(text, false, 0, 0, em, em / 2);
  return true;
}

TMediaFeature ParseFeature(std::string_view inner) {
  TMediaFeature f;
  std::string name, value;
  const std::size_t colon = inner.find(':');
  auto trim = [](std::string_view s) {
    while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
    return std::string(s);
  };
  name = trim(inner.substr(0, colon));
  if (colon != std::string_view::npos) value = trim(inner.substr(colon + 1));
  TMediaCompare cmp = mcEqual;
  if (name.rfind("min-", 0) == 0) {
    cmp = mcMin;
    name.erase(0, 4);
  } else if (name.rfind("max-", 0) == 0) {
    cmp = mcMax;
    name.erase(0, 4);
  }
  f.Compare = cmp;
  if ((name == "width" || name == "height") && !value.empty()) {
    if (FeatureLength(value, f.Pixels)) f.Kind = name == "width" ? mfWidth : mfHeight;
  } else if (name == "orientation" && cmp == mcEqual && (value == "portrait" || value == "landscape")) {
    f.Kind = mfOrientation;
    f.Portrait = value == "portrait";
  } else if (name == "prefers-color-scheme" && cmp == mcEqual && (value == "light" || value == "dark")) {
    f.Kind = mfColorScheme;
    f.Light = value == "light";
  }
  return f;
}

TMediaQuery ParseQuery(std::string_view text) {
  TMediaQuery q;
  std::vector<std::string> words = Words(text);
  std::size_t i = 0;
  bool typeSeen = false;
  if (i < words.size() && (words[i] == "not" || words[i] == "only")) {
    q.Not = words[i] == "not";
    ++i;
    if (i >= words.size() || words[i][0] == '(') q.Never = true;  // "not" and "only" need a type
  }
  if (i < words.size() && words[i][0] != '(') {
    typeSeen = true;
    const std::string& t = words[i++];
    if (t == "all") q.Type = 0;
    else if (t == "screen") q.Type = 1;
    else if (t == "print") q.Type = 2;
    else q.Type = 3;  // a medium this program is never
  }
  bool needAnd = typeSeen;
  for (; i < words.size(); ++i) {
    if (needAnd) {
      if (words[i] != "and") {
        q.Never = true;
        break;
      }
      needAnd = false;
      continue;
    }
    const std::string& w = words[i];
    if (w.size() < 2 || w.front() != '(' || w.back() != ')') {
      q.Never = true;
      break;
    }
    TMediaFeature f = ParseFeature(std::string_view(w).substr(1, w.size() - 2));
    if (f.Kind == mfNever) q.Never = true;
    q.Features.push_back(f);
    needAnd = true;
  }
  if (!needAnd && !words.empty() && i == words.size() && words.back() == "and") q.Never = true;
  if (words.empty()) q.Never = true;
  return q;
}

bool QueryHolds(const TMediaQuery& q, const TMediaEnv& env) {
  bool holds = !q.Never;
  if (holds && q.Type == 1 && env.Print) holds = false;
  if (holds && q.Type == 2 && !env.Print) holds = false;
  if (q.Type == 3) holds = false;
  for (const TMediaFeature& f : q.Features) {
    if (!holds) break;
    switch (f.Kind) {
      case mfWidth:
      case mfHeight: {
        const int v = f.Kind == mfWidth ? env.Width : env.Height;
        holds = f.Compare == mcMin ? v >= f.Pixels : f.Compare == mcMax ? v <= f.Pixels : v == f.Pixels;
        break;
      }
      case mfOrientation: holds = (env.Height >= env.Width) == f.Portrait; break;
      case mfColorScheme: holds = f.Light; break;  // pages are drawn light
      default: holds = false;
    }
  }
  // An invalid query stays false even under "not".
  if (q.Never) return false;
  return q.Not ? !holds : holds;
}

}  // namespace

TMediaList ParseMediaList(std::string_view text) {
  TMediaList list;
  bool any = false;
  for (char c : text)
    if (!IsSpace(c)) any = true;
  if (!any) return list;
  std::size_t start = 0;
  int depth = 0;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    const char c = i < text.size() ? text[i] : ',';
    if (c == '(') ++depth;
    else if (c == ')' && depth > 0) --depth;
    else if (c == ',' && depth == 0) {
      if (list.Queries.size() < std::size_t(MaxMediaQueries)) list.Queries.push_back(ParseQuery(text.substr(start, i - start)));
      start = i + 1;
    }
  }
  return list;
}

bool MediaListHolds(const TMediaList& list, const TMediaEnv& env) {
  if (list.Queries.empty()) return true;
  for (const TMediaQuery& q : list.Queries)
    if (QueryHolds(q, env)) return true;
  return false;
}

void AddWidthBreakpoints(const TMediaList& list, std::vector<int>& widths) {
  for (const TMediaQuery& q : list.Queries)
    for (const TMediaFeature& f : q.Features)
      if (f.Kind == mfWidth) widths.push_back(f.Compare == mcMax ? f.Pixels + 1 : f.Pixels);
}

}  // namespace korva
