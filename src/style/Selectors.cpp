#include "style/Selectors.h"

#include <algorithm>
#include <cctype>

#include "style/PropStack.h"
#include "style/StyleLimits.h"

namespace korva {

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; }

std::string LowerCopy(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = Lower(c);
  return r;
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }
bool IsNameStart(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || static_cast<unsigned char>(c) >= 0x80;
}
bool IsNameChar(char c) { return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-'; }

// HTML attributes whose values are keywords, compared without regard to case.
bool CaseInsensitiveAttr(std::string_view name) {
  static constexpr std::string_view names[] = {
      "align", "alink", "axis", "bgcolor", "charset", "checked", "clear", "codetype", "color", "compact",
      "declare", "defer", "dir", "direction", "disabled", "enctype", "face", "frame", "hreflang", "http-equiv",
      "lang", "language", "link", "media", "method", "multiple", "nohref", "noresize", "noshade", "nowrap",
      "readonly", "rel", "rev", "rules", "scope", "scrolling", "selected", "shape", "target", "text", "type",
      "valign", "valuetype", "vlink"};
  for (std::string_view n : names)
    if (n == name) return true;
  return false;
}

class TSelectorReader {
 public:
  explicit TSelectorReader(std::string_view text) : FText(text) {}

  bool ReadSelector(TSelector& out) {
    SkipSpaces();
    for (;;) {
      if (out.Parts.size() >= std::size_t(MaxSelectorCompounds)) return false;
      TCompound c;
      if (!ReadCompound(c, out, true)) return false;
      out.Parts.push_back(std::move(c));
      const bool spaced = SkipSpaces();
      if (AtEnd()) break;
      char comb = ' ';
      if (Peek() == '>' || Peek() == '+' || Peek() == '~') {
        comb = Peek();
        ++FPos;
        SkipSpaces();
      } else if (!spaced) {
        return false;
      }
      if (out.PseudoElement != peNone || AtEnd()) return false;  // nothing may follow a pseudo-element
      out.Combinators += comb;
    }
    // Kept from the subject leftwards.
    std::reverse(out.Parts.begin(), out.Parts.end());
    std::reverse(out.Combinators.begin(), out.Combinators.end());
    return true;
  }

 private:
  bool AtEnd() const { return FPos >= FText.size(); }
  char Peek(std::size_t ahead = 0) const { return FPos + ahead < FText.size() ? FText[FPos + ahead] : '\0'; }
  bool SkipSpaces() {
    bool any = false;
    while (!AtEnd() && IsSpace(FText[FPos])) {
      ++FPos;
      any = true;
    }
    return any;
  }

  // An identifier (with simple backslash escapes); empty when there is none.
  std::string ReadIdent() {
    std::string r;
    std::size_t start = FPos;
    if (Peek() == '-') {
      r += '-';
      ++FPos;
    }
    if (!(IsNameStart(Peek()) || Peek() == '\\')) {
      FPos = start;
      return {};
    }
    while (!AtEnd() && (IsNameChar(Peek()) || Peek() == '\\')) {
      if (Peek() == '\\') {
        ++FPos;
        if (AtEnd()) break;
        int hex = 0, digits = 0;
        while (digits < 6 && std::isxdigit(static_cast<unsigned char>(Peek()))) {
          const char h = Lower(Peek());
          hex = hex * 16 + (h <= '9' ? h - '0' : h - 'a' + 10);
          ++digits;
          ++FPos;
        }
        if (digits > 0) {
          if (IsSpace(Peek())) ++FPos;
          if (hex > 0 && hex < 128) r += char(hex);
          else r += '?';  // outside ASCII: matches nothing we keep in lower case anyway
        } else {
          r += FText[FPos++];
        }
        continue;
      }
      r += FText[FPos++];
      if (r.size() > std::size_t(MaxSelectorBytes)) return {};
    }
    return r;
  }

  bool ReadString(std::string& value) {
    const char quote = Peek();
    ++FPos;
    while (!AtEnd() && Peek() != quote) {
      if (Peek() == '\\' && FPos + 1 < FText.size()) ++FPos;
      value += FText[FPos++];
    }
    if (AtEnd()) return false;
    ++FPos;
    return true;
  }

  bool ReadAttr(TAttrTest& t) {
    ++FPos;  // '['
    SkipSpaces();
    std::string name = ReadIdent();
    if (name.empty() || (Peek() == '|' && Peek(1) != '=')) return false;  // no namespaces
    t.Name = LowerCopy(name);
    SkipSpaces();
    if (Peek() == ']') {
      ++FPos;
      t.Op = aoExists;
      return true;
    }
    switch (Peek()) {
      case '=': t.Op = aoEquals; break;
      case '~': t.Op = aoIncludes; break;
      case '|': t.Op = aoDashMatch; break;
      case '^': t.Op = aoPrefix; break;
      case '$': t.Op = aoSuffix; break;
      case '*': t.Op = aoSubstring; break;
      default: return false;
    }
    if (t.Op != aoEquals && Peek(1) != '=') return false;
    FPos += t.Op == aoEquals ? 1 : 2;
    SkipSpaces();
    if (Peek() == '"' || Peek() == '\'') {
      if (!ReadString(t.Value)) return false;
    } else {
      t.Value = ReadIdent();
      if (t.Value.empty()) return false;
    }
    SkipSpaces();
    if (Peek() == 'i' || Peek() == 'I') {  // the case flag of later selector levels
      ++FPos;
      t.IgnoreCase = true;
      SkipSpaces();
    }
    if (Peek() != ']') return false;
    ++FPos;
    // Class and id are kept in lower case; so are the keyword attributes compared without case.
    if (t.Name == "class" || t.Name == "id" || CaseInsensitiveAttr(t.Name)) t.IgnoreCase = true;
    if (t.IgnoreCase) t.Value = LowerCopy(t.Value);
    return true;
  }

  bool ReadNthArgument(TPseudoTest& p) {
    std::size_t close = FText.find(')', FPos);
    if (close == std::string_view::npos) return false;
    if (!ParseNth(FText.substr(FPos, close - FPos), p.A, p.B)) return false;
    FPos = close + 1;
    return true;
  }

  // One pseudo-class or pseudo-element after the colon(s). `inNot`: inside :not(), where only
  // simple selectors are allowed.
  bool ReadPseudo(TCompound& c, TSelector& sel, bool inNot, int& counted) {
    bool element = false;
    ++FPos;
    if (Peek() == ':') {
      element = true;
      ++FPos;
    }
    std::string name = LowerCopy(ReadIdent());
    if (name.empty()) return false;
    if (name == "before" || name == "after") {
      if (inNot || sel.PseudoElement != peNone) return false;
      sel.PseudoElement = name == "before" ? peBefore : peAfter;
      return true;
    }
    if (element) return false;  // ::first-line, ::selection, ...: not drawn here
    TPseudoTest p;
    if (Peek() == '(') {
      ++FPos;
      SkipSpaces();
      if (name == "nth-child" || name == "nth-of-type") {
        p.Kind = name == "nth-child" ? pkNthChild : pkNthOfType;
        if (!ReadNthArgument(p)) return false;
      } else if (name == "not" && !inNot) {
        TCompound inner;
        TSelector scratch;
        int innerCount = 0;
        if (!ReadSimple(inner, scratch, true, innerCount) || innerCount != 1) return false;
        if (scratch.PseudoElement != peNone) return false;
        SkipSpaces();
        if (Peek() != ')') return false;
        ++FPos;
        c.Negations.push_back(std::move(inner));
        ++counted;
        return true;
      } else {
        return false;
      }
    } else if (name == "link") p.Kind = pkLink;
    else if (name == "visited") p.Kind = pkVisited;
    else if (name == "hover") p.Kind = pkHover;
    else if (name == "active") p.Kind = pkActive;
    else if (name == "focus") p.Kind = pkFocus;
    else if (name == "first-child") p.Kind = pkFirstChild;
    else if (name == "first-of-type") p.Kind = pkFirstOfType;
    else if (name == "root") p.Kind = pkRoot;
    else return false;  // :last-child and the like need the elements after this one
    if (c.Pseudos.size() >= std::size_t(MaxSimpleSelectors)) return false;
    c.Pseudos.push_back(p);
    ++counted;
    return true;
  }

  // One simple selector into `c`; `counted` grows by the simple selectors read.
  bool ReadSimple(TCompound& c, TSelector& sel, bool inNot, int& counted) {
    const char ch = Peek();
    if (ch == '*' || IsNameStart(ch) || ch == '\\') {
      if (counted > 0) return false;  // a type selector comes first
      if (ch == '*') {
        ++FPos;
        c.Tag.clear();
      } else {
        c.Tag = LowerCopy(ReadIdent());
        if (c.Tag.empty()) return false;
      }
      if (Peek() == '|') return false;  // namespaces
      ++counted;
      return true;
    }
    if (ch == '#') {
      ++FPos;
      std::string id = ReadIdent();
      if (id.empty() || !c.Id.empty()) {
        // Two different ids can never both hold; the same one twice is harmless.
        if (id.empty() || LowerCopy(id) != c.Id) return false;
      }
      c.Id = LowerCopy(id);
      ++counted;
      return true;
    }
    if (ch == '.') {
      ++FPos;
      std::string cls = ReadIdent();
      if (cls.empty() || c.Classes.size() >= std::size_t(MaxSimpleSelectors)) return false;
      c.Classes.push_back(LowerCopy(cls));
      ++counted;
      return true;
    }
    if (ch == '[') {
      TAttrTest t;
      if (!ReadAttr(t) || c.Attrs.size() >= std::size_t(MaxSimpleSelectors)) return false;
      c.Attrs.push_back(std::move(t));
      ++counted;
      return true;
    }
    if (ch == ':') return ReadPseudo(c, sel, inNot, counted);
    return false;
  }

  bool ReadCompound(TCompound& c, TSelector& sel, bool) {
    int counted = 0;
    while (!AtEnd() && !IsSpace(Peek()) && Peek() != '>' && Peek() != '+' && Peek() != '~') {
      if (sel.PseudoElement != peNone) return false;
      if (!ReadSimple(c, sel, false, counted)) return false;
    }
    return counted > 0 || sel.PseudoElement != peNone;
  }

  std::string_view FText;
  std::size_t FPos = 0;
};

void AddSpecificity(const TCompound& c, std::uint32_t& a, std::uint32_t& b, std::uint32_t& t) {
  if (!c.Id.empty()) ++a;
  b += std::uint32_t(c.Classes.size() + c.Attrs.size() + c.Pseudos.size());
  if (!c.Tag.empty()) ++t;
  for (const TCompound& n : c.Negations) AddSpecificity(n, a, b, t);
}

std::string CollapsedText(std::string_view text) {
  std::string r;
  for (char c : text) {
    if (IsSpace(c)) {
      if (!r.empty() && r.back() != ' ') r += ' ';
    } else {
      r += Lower(c);
    }
  }
  while (!r.empty() && r.back() == ' ') r.pop_back();
  return r;
}

// Splits at commas outside strings, brackets and parentheses.
std::vector<std::string_view> SplitGroup(std::string_view text) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  int depth = 0;
  char quote = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quote) {
      if (c == '\\') ++i;
      else if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '(' || c == '[') {
      ++depth;
    } else if ((c == ')' || c == ']') && depth > 0) {
      --depth;
    } else if (c == ',' && depth == 0) {
      parts.push_back(text.substr(start, i - start));
      start = i + 1;
    }
  }
  parts.push_back(text.substr(start));
  return parts;
}

// A place in the tree for the matcher: an element record, the stack index of its parent, and
// how many of the parent's kept closed children come before it.
struct TCursor {
  const TElementInfo* Info;
  int Parent;
  std::size_t Before;
};

enum TMatchResult { mrMatch, mrFailLocal, mrFailSiblings, mrFailAll };

bool AttrMatches(const TAttrTest& t, const TElementInfo& e) {
  const std::string* v = e.Attr(t.Name);
  if (!v) return false;
  if (t.Op == aoExists) return true;
  std::string folded;
  std::string_view value = *v;
  if (t.IgnoreCase) {
    folded = LowerCopy(*v);
    value = folded;
  }
  const std::string_view want = t.Value;
  switch (t.Op) {
    case aoEquals: return value == want;
    case aoIncludes: {
      if (want.empty() || want.find_first_of(" \t\n\r\f") != std::string_view::npos) return false;
      std::size_t i = 0;
      while (i < value.size()) {
        while (i < value.size() && IsSpace(value[i])) ++i;
        std::size_t j = i;
        while (j < value.size() && !IsSpace(value[j])) ++j;
        if (value.substr(i, j - i) == want) return true;
        i = j;
      }
      return false;
    }
    case aoDashMatch:
      return value == want || (value.size() > want.size() && value.substr(0, want.size()) == want &&
                               value[want.size()] == '-');
    case aoPrefix: return !want.empty() && value.substr(0, std::min(value.size(), want.size())) == want;
    case aoSuffix: return !want.empty() && value.size() >= want.size() && value.substr(value.size() - want.size()) == want;
    case aoSubstring: return !want.empty() && value.find(want) != std::string_view::npos;
    default: return false;
  }
}

bool CompoundMatches(const TCompound& c, const TElementInfo& e, bool isRoot) {
  if (!c.Tag.empty() && c.Tag != e.Tag) return false;
  if (!c.Id.empty() && c.Id != e.Id) return false;
  for (const std::string& cls : c.Classes)
    if (!e.HasClass(cls)) return false;
  for (const TAttrTest& t : c.Attrs)
    if (!AttrMatches(t, e)) return false;
  for (const TPseudoTest& p : c.Pseudos) {
    switch (p.Kind) {
      case pkLink: if (e.Pseudo != "link") return false; break;
      case pkVisited: if (e.Pseudo != "visited") return false; break;
      case pkHover: if (e.Pseudo != "hover") return false; break;
      case pkActive: case pkFocus: return false;
      case pkFirstChild: if (e.ChildIndex != 1) return false; break;
      case pkFirstOfType: if (e.TypeIndex != 1) return false; break;
      case pkNthChild: if (!NthMatches(p.A, p.B, e.ChildIndex)) return false; break;
      case pkNthOfType: if (!NthMatches(p.A, p.B, e.TypeIndex)) return false; break;
      case pkRoot: if (!isRoot) return false; break;
    }
  }
  for (const TCompound& n : c.Negations)
    if (CompoundMatches(n, e, isRoot)) return false;
  return true;
}

class TMatcher {
 public:
  TMatcher(const TSelector& s, const TPropStack& stack) : FSel(s), FStack(stack) {}

  TCursor Open(int index) const {
    const int parent = FStack.ParentOf(index);
    return {&FStack.Node(index).Info, parent, parent >= 0 ? FStack.Node(parent).Closed.size() : 0};
  }

  TMatchResult Match(std::size_t part, const TCursor& at) const {
    if (!CompoundMatches(FSel.Parts[part], *at.Info, at.Parent == 0)) return mrFailLocal;
    if (part + 1 >= FSel.Parts.size()) return mrMatch;
    switch (FSel.Combinators[part]) {
      case '>':
        if (at.Parent < 1) return mrFailAll;
        return Match(part + 1, Open(at.Parent));
      case ' ':
        for (int p = at.Parent; p >= 1; p = FStack.ParentOf(p)) {
          TMatchResult r = Match(part + 1, Open(p));
          if (r == mrMatch || r == mrFailAll) return r;
        }
        return mrFailAll;
      case '+': {
        if (at.Before == 0 || at.Parent < 0) return mrFailSiblings;
        const auto& closed = FStack.Node(at.Parent).Closed;
        return Match(part + 1, {&closed[at.Before - 1], at.Parent, at.Before - 1});
      }
      default: {  // '~'
        if (at.Parent < 0) return mrFailSiblings;
        const auto& closed = FStack.Node(at.Parent).Closed;
        for (std::size_t i = at.Before; i-- > 0;) {
          TMatchResult r = Match(part + 1, {&closed[i], at.Parent, i});
          if (r == mrMatch || r == mrFailSiblings || r == mrFailAll) return r;
        }
        return mrFailSiblings;
      }
    }
  }

 private:
  const TSelector& FSel;
  const TPropStack& FStack;
};

}  // namespace

const std::string* TElementInfo::Attr(std::string_view name) const {
  for (const auto& [n, v] : Attrs)
    if (n == name) return &v;
  return nullptr;
}

bool TElementInfo::HasClass(std::string_view cls) const { return HasClassIn(Class, cls); }

bool HasClassIn(std::string_view list, std::string_view cls) {
  std::size_t i = 0;
  while (i < list.size()) {
    while (i < list.size() && IsSpace(list[i])) ++i;
    std::size_t j = i;
    while (j < list.size() && !IsSpace(list[j])) ++j;
    if (j > i && list.substr(i, j - i) == cls) return true;
    i = j;
  }
  return false;
}

bool TCompound::HasStatePseudo() const {
  for (const TPseudoTest& p : Pseudos)
    if (p.Kind == pkVisited || p.Kind == pkHover) return true;
  return false;
}

bool ParseNth(std::string_view text, long long& a, long long& b) {
  std::string t;
  for (char c : text)
    if (!IsSpace(c)) t += Lower(c);
  if (t == "odd") {
    a = 2, b = 1;
    return true;
  }
  if (t == "even") {
    a = 2, b = 0;
    return true;
  }
  constexpr long long cap = 1000000000LL;  // beyond any child index; keeps the arithmetic exact
  auto readInt = [&](std::size_t& i, long long& v) {
    std::size_t start = i;
    v = 0;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') {
      v = std::min(cap, v * 10 + (t[i] - '0'));
      ++i;
    }
    return i > start;
  };
  std::size_t i = 0;
  long long sign = 1;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) sign = t[i++] == '-' ? -1 : 1;
  long long n = 0;
  const bool digits = readInt(i, n);
  if (i < t.size() && t[i] == 'n') {
    a = sign * (digits ? n : 1);
    ++i;
    b = 0;
    if (i == t.size()) return true;
    if (t[i] != '+' && t[i] != '-') return false;
    const long long bs = t[i++] == '-' ? -1 : 1;
    long long bv = 0;
    if (!readInt(i, bv) || i != t.size()) return false;
    b = bs * bv;
    return true;
  }
  if (!digits || i != t.size()) return false;
  a = 0;
  b = sign * n;
  return true;
}

bool NthMatches(long long a, long long b, long long index) {
  if (a == 0) return index == b;
  const long long d = index - b;
  if (d % a != 0) return false;
  return d / a >= 0;
}

bool ParseSelectorGroup(std::string_view text, std::vector<TSelector>& out) {
  out.clear();
  if (text.size() > std::size_t(MaxSelectorGroupBytes)) return false;
  for (std::string_view part : SplitGroup(text)) {
    TSelector sel;
    if (part.size() > std::size_t(MaxSelectorBytes)) return false;
    TSelectorReader reader(part);
    if (!reader.ReadSelector(sel) || sel.Parts.empty()) return false;
    std::uint32_t a = 0, b = 0, c = 0;
    for (const TCompound& comp : sel.Parts) AddSpecificity(comp, a, b, c);
    if (sel.PseudoElement != peNone) ++c;
    sel.Specificity = std::min<std::uint32_t>(a, 1023) << 20 | std::min<std::uint32_t>(b, 1023) << 10 |
                      std::min<std::uint32_t>(c, 1023);
    sel.Text = CollapsedText(part);
    sel.FNeedsElement = sel.Parts.size() > 1 || sel.Parts[0].NeedsElement();
    // A huge group still costs only its parsing: selectors past the limit are not kept.
    if (out.size() < std::size_t(MaxSelectorsPerRule)) out.push_back(std::move(sel));
  }
  return !out.empty();
}

bool IdentityMatches(const TCompound& c, std::string_view tag, std::string_view id, std::string_view cls) {
  if (!c.Tag.empty() && c.Tag != tag) return false;
  if (!c.Id.empty() && c.Id != id) return false;
  for (const std::string& k : c.Classes)
    if (!HasClassIn(cls, k)) return false;
  return true;
}

bool StateMatches(const TCompound& c, std::string_view pseudo) {
  for (const TPseudoTest& p : c.Pseudos) {
    if (p.Kind == pkLink && pseudo != "link") return false;
    if (p.Kind == pkVisited && pseudo != "visited") return false;
    if (p.Kind == pkHover && pseudo != "hover") return false;
    if (p.Kind == pkActive || p.Kind == pkFocus) return false;
  }
  return true;
}

bool SelectorMatches(const TSelector& s, const TPropStack& stack, int self) {
  if (self < 1 || self >= stack.Count()) return false;
  TMatcher m(s, stack);
  return m.Match(0, m.Open(self)) == mrMatch;
}

}  // namespace korva
