// The cascade: how an element's property set is computed from its parent's, the style list
// and its inline style, and the fonts of the four link states.
#include <algorithm>
#include <array>
#include <vector>

#include "style/PropStack.h"
#include "style/StyleList.h"
#include "style/StyleState.h"
#include "style/Units.h"

namespace korva {

namespace {

bool EqualNoCase(std::string_view a, std::string_view b) { return CompareKeys(a, b) == 0; }

bool PieceMatches(const std::string& piece, std::string_view value) {
  return piece.empty() || EqualNoCase(piece, value);
}

bool PartMatches(const TSelectorPart& part, std::string_view tag, std::string_view cls, std::string_view id,
                 std::string_view pseudo) {
  return PieceMatches(part.Tag, tag) && PieceMatches(part.Class, cls) && PieceMatches(part.Id, id) &&
         PieceMatches(part.Pseudo, pseudo);
}

// Ancestors must appear in order, nearest first, among the open elements below the element
// (entry 0, the base set, never takes part); gaps are allowed.
bool AncestorsMatch(const std::vector<TSelectorPart>& ancestors, const TPropStack& stack, int stackIndex) {
  std::size_t next = 0;
  for (int j = std::min(stackIndex, stack.Count()) - 1; j >= 1 && next < ancestors.size(); --j) {
    const TProperties& e = stack[j];
    if (PartMatches(ancestors[next], e.FTagName, e.FClassName, e.FIdName, e.FPseudoClass)) ++next;
  }
  return next == ancestors.size();
}

// Builds lower-case keys in place: the cascade looks up several for every element.
class TKeyBuilder {
 public:
  std::string_view operator()(std::initializer_list<std::string_view> pieces) {
    std::size_t n = 0;
    for (std::string_view p : pieces) n += p.size();
    char* out = FFixed;
    if (n > sizeof FFixed) {
      FLong.resize(n);
      out = FLong.data();
    }
    char* w = out;
    for (std::string_view p : pieces)
      for (char c : p) *w++ = (c >= 'A' && c <= 'Z') ? char(c + 32) : c;
    return std::string_view(out, n);
  }

 private:
  char FFixed[128];
  std::string FLong;
};

// The visited, hover and visited-hover fonts of a link depend only on the link's font values,
// its text background and character set, its identity and the rules, as long as it has no
// style attribute and no descendant rule can pick it out by its ancestors. Pages repeat the
// same links many times, so those fonts are remembered for such links.
constexpr int LinkFontProps[] = {piFontFamily,     piFontSize,      piFontStyle, piFontWeight,
                                 piTextDecoration, piLetterSpacing, piColor};
constexpr std::size_t LinkFontPropCount = std::size(LinkFontProps);

struct TLinkFontsEntry {
  std::array<TPropValue, LinkFontPropCount> Values;
  TColor TextBack = clNone;
  std::uint8_t CharSet = 0;
  std::string Tag, Class, Id;
  ThtFontInfo Visited, Hover, VisitedHover;

  bool Matches(const TProperties& p) const {
    if (TextBack != p.FTextBackColor || CharSet != p.FCharsetCode || Tag != p.FTagName || Class != p.FClassName ||
        Id != p.FIdName)
      return false;
    for (std::size_t i = 0; i < LinkFontPropCount; ++i)
      if (!(Values[i] == p.FValues[std::size_t(LinkFontProps[i])])) return false;
    return true;
  }
};

class TLinkFontsMemo {
 public:
  // The entry for `p` under these rules, or null.
  const TLinkFontsEntry* Find(const TStyleList& styles, const TProperties& p) {
    Sync(styles);
    for (const TLinkFontsEntry& e : FEntries)
      if (e.Matches(p)) return &e;
    return nullptr;
  }
  void Add(const TStyleList& styles, const TProperties& p, const TFontInfoArray& fonts) {
    Sync(styles);
    TLinkFontsEntry e;
    for (std::size_t i = 0; i < LinkFontPropCount; ++i) e.Values[i] = p.FValues[std::size_t(LinkFontProps[i])];
    e.TextBack = p.FTextBackColor;
    e.CharSet = p.FCharsetCode;
    e.Tag = p.FTagName;
    e.Class = p.FClassName;
    e.Id = p.FIdName;
    e.Visited = fonts.Ar[lfVisited];
    e.Hover = fonts.Ar[lfHover];
    e.VisitedHover = fonts.Ar[lfVisitedHover];
    if (FEntries.size() < MaxEntries) FEntries.push_back(std::move(e));
    else FEntries[FNext++ % MaxEntries] = std::move(e);
  }

 private:
  static constexpr std::size_t MaxEntries = 32;
  // Entries made under other rules (or another default size) are dropped.
  void Sync(const TStyleList& styles) {
    const double size = DefaultFontSize();
    if (styles.Version() == FVersion && size == FDefaultSize) return;
    FEntries.clear();
    FVersion = styles.Version();
    FDefaultSize = size;
  }
  std::vector<TLinkFontsEntry> FEntries;
  std::uint64_t FVersion = 0;
  double FDefaultSize = 0;
  std::size_t FNext = 0;
};

TLinkFontsMemo& LinkFontsMemo() {
  static TLinkFontsMemo memo;
  return memo;
}

// Whether some descendant rule's subject leads with one of the link state's pieces.
bool DescendantRulesMayApply(const TStyleList& styles, const TProperties& p) {
  if (styles.DescendantRuleCount() == 0) return false;
  auto any = [&](const std::string& piece) { return styles.DescendantRules(piece) != nullptr; };
  if (any(StyleLower(p.FTagName)) || any(":visited") || any(":hover")) return true;
  if (!p.FClassName.empty() && any("." + StyleLower(p.FClassName))) return true;
  return !p.FIdName.empty() && any("#" + StyleLower(p.FIdName));
}

}  // namespace

void TSelectorBloom::Add(char kind, std::string_view text) {
  // FNV-1a over the kind and the case-folded text; two bits out of 256.
  std::uint64_t h = 14695981039346656037ull;
  auto mix = [&](unsigned char c) {
    h ^= c;
    h *= 1099511628211ull;
  };
  mix(static_cast<unsigned char>(kind));
  for (char c : text) mix(static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c + 32 : c));
  unsigned b1 = unsigned(h & 255), b2 = unsigned((h >> 8) & 255);
  W[b1 >> 6] |= 1ull << (b1 & 63);
  W[b2 >> 6] |= 1ull << (b2 & 63);
}

void TProperties::Combine(TStyleList& styles, TPropStack& stack, int stackIndex, std::string_view tag,
                          std::string_view cls, std::string_view id, std::string_view pseudo,
                          std::string_view title, const std::shared_ptr<const TProperties>& inlineStyle) {
  const TPropValue& inherited = FValues[piFontSize];
  const double parentSize = inherited.IsReal() && inherited.Real() > 0 ? inherited.Real() : DefaultFontSize();
  const bool hasPseudo = !pseudo.empty();
  const bool plain = !hasPseudo || (pseudo != "hover" && pseudo != "visited");
  const bool hasClass = !cls.empty();
  TKeyBuilder key;
  auto merge = [&](std::initializer_list<std::string_view> pieces) { styles.MergeLowerKey(*this, key(pieces)); };

  if (tag == "a" && hasPseudo) merge({"::", pseudo});
  if (plain) merge({tag});
  if (hasPseudo) merge({":", pseudo});
  if (hasClass && plain) {
    merge({".", cls});
    merge({tag, ".", cls});
  }
  if (hasPseudo) merge({tag, ":", pseudo});
  if (hasClass && hasPseudo) {
    merge({".", cls, ":", pseudo});
    merge({tag, ".", cls, ":", pseudo});
  }
  if (!id.empty()) {
    merge({"#", id});
    merge({tag, "#", id});
    if (hasClass) merge({".", cls, "#", id});
    if (hasPseudo) {
      merge({"#", id, ":", pseudo});
      merge({tag, "#", id, ":", pseudo});
    }
    if (hasClass) merge({tag, ".", cls, "#", id});
    if (hasClass && hasPseudo) {
      merge({".", cls, "#", id, ":", pseudo});
      merge({tag, ".", cls, "#", id, ":", pseudo});
    }
  }

  // Descendant rules: by the subject's leading tag, class, pseudo-class and id. Rules whose
  // ancestors cannot all be open are rejected by the filter before the stack is walked.
  if (styles.DescendantRuleCount() > 0) {
    const TSelectorBloom& open = stack.AncestorFilter(stackIndex);
    auto scan = [&](std::string_view piece) {
      const auto* rules = styles.DescendantRules(piece);
      if (!rules) return;
      for (const TStyleList::TDescendantRule& rule : *rules)
        if (open.Covers(rule.Need) && PartMatches(rule.SubjectPart, tag, cls, id, pseudo) &&
            AncestorsMatch(rule.Ancestors, stack, stackIndex))
          Merge(*rule.Props);
    };
    if (!tag.empty()) scan(key({tag}));
    if (hasClass) scan(key({".", cls}));
    if (hasPseudo) scan(key({":", pseudo}));
    if (!id.empty()) scan(key({"#", id}));
  }

  if (inlineStyle) Merge(*inlineStyle);

  if (FValues[piFontSize].IsText()) FValues[piFontSize] = FontSizeToPoints(FValues[piFontSize].Text(), parentSize);

  FTagName = std::string(tag);
  FClassName = std::string(cls);
  FIdName = std::string(id);
  FPseudoClass = std::string(pseudo);
  FInlineStyle = inlineStyle;
  FSelfBloom = TSelectorBloom{};
  FSelfBloom.Add('t', FTagName);
  if (hasClass) FSelfBloom.Add('c', FClassName);
  if (!id.empty()) FSelfBloom.Add('i', FIdName);
  if (hasPseudo) FSelfBloom.Add('p', FPseudoClass);
  stack.IdentityChanged(stackIndex);
  if (!title.empty()) {
    FTitleText = std::string(title);
    FHasOwnTitle = true;
  }
  FCachedFont.reset();
  if (pseudo == "link") BuildLinkFonts(styles, stack, stackIndex);
}

void TProperties::BuildLinkFonts(TStyleList& styles, TPropStack& stack, int k) {
  auto fonts = std::make_unique<TFontInfoArray>();
  SetTextBackColor();
  GetFontInfo(fonts->Ar[lfLink]);

  const bool rememberable = !FInlineStyle && !DescendantRulesMayApply(styles, *this);
  if (rememberable) {
    if (const TLinkFontsEntry* known = LinkFontsMemo().Find(styles, *this)) {
      fonts->Ar[lfVisited] = known->Visited;
      fonts->Ar[lfHover] = known->Hover;
      fonts->Ar[lfVisitedHover] = known->VisitedHover;
      // The three state sets are not made, but the sets made after them keep their numbers.
      StyleState().PropertySerial += 3;
      FLinkFonts = std::move(fonts);
      FHasLinkFonts = true;
      return;
    }
  }

  const int at = std::clamp(k + 1, 0, stack.Count());
  // A state's set inherits from the set it derives from and is combined with the same element
  // identity; it stands on the stack while combined so descendant rules see its ancestors.
  auto state = [&](const TProperties& from, int position, std::string_view pseudo) {
    auto set = std::make_unique<TProperties>();
    set->InheritFrom(from);
    TProperties& ref = *set;
    stack.Insert(position, std::move(set));
    ref.Combine(styles, stack, position, FTagName, FClassName, FIdName, pseudo, std::string_view(), FInlineStyle);
    ref.FTitleText = FTitleText;
    ref.SetTextBackColor();
    return &ref;
  };
  TProperties* visited = state(*this, at, "visited");
  visited->GetFontInfo(fonts->Ar[lfVisited]);
  TProperties* visitedHover = state(*visited, at + 1, "hover");
  visitedHover->GetFontInfo(fonts->Ar[lfVisitedHover]);
  stack.Delete(at + 1);
  stack.Delete(at);
  TProperties* hover = state(*this, at, "hover");
  hover->GetFontInfo(fonts->Ar[lfHover]);
  stack.Delete(at);
  if (rememberable) LinkFontsMemo().Add(styles, *this, *fonts);

  FLinkFonts = std::move(fonts);
  FHasLinkFonts = true;
}

void TProperties::Update(const TProperties& parent, TStyleList& styles, TPropStack& stack, int stackIndex) {
  // What InheritFrom would give, for every property not set at this element.
  const bool span = parent.FTagName == "span";
  for (int i = 0; i < PropCount; ++i) {
    if (FLocalFlags[i]) continue;
    const bool inherited = (i >= 0 && i <= 6) || i == 8 || i == 35 || i == 36 || i == 41 || i == 43 || i == 44 ||
                           i == 45 || i == 48 || i == 52 || i == 53;
    if ((span && i != piBorderStyle) || inherited) FValues[i] = parent.FValues[i];
    else if (i >= piMarginTop && i <= piLeft) FValues[i] = NotSetValue;
    else FValues[i].Clear();
  }
  if (!FOwnTextBack) FTextBackColor = parent.FTextBackColor;
  if (!FOwnCharset) {
    FCharsetCode = parent.FCharsetCode;
    FCodePageNum = parent.FCodePageNum;
  }
  if (!FHasOwnTitle) FTitleText = parent.FTitleText;
  FEmPixels = parent.FEmPixels;
  FExPixels = FEmPixels / 2;
  FCachedFont.reset();
  if (FLinkFonts || parent.FHasLinkFonts) {
    if (FPseudoClass == "link") {
      BuildLinkFonts(styles, stack, stackIndex);
    } else if (parent.FHasLinkFonts && parent.FLinkFonts) {
      FLinkFonts = std::make_unique<TFontInfoArray>(*parent.FLinkFonts);
      FHasLinkFonts = true;
      // What this element's own rules and style attribute gave its link fonts stays.
      for (int i = piFontFamily; i <= piBackgroundColor; ++i)
        if (FLocalFlags[i]) ApplyLinkFontChange(i, FValues[i]);
    } else {
      FLinkFonts.reset();
      FHasLinkFonts = false;
    }
  }
}

// ---- the property stack ----

void TPropStack::Insert(int index, std::unique_ptr<TProperties> props) {
  index = std::clamp(index, 0, Count());
  FItems.insert(FItems.begin() + index, std::move(props));
  IdentityChanged(index);
}

std::unique_ptr<TProperties> TPropStack::Extract(int index) {
  if (index < 0 || index >= Count()) return nullptr;
  std::unique_ptr<TProperties> p = std::move(FItems[std::size_t(index)]);
  FItems.erase(FItems.begin() + index);
  IdentityChanged(index);
  return p;
}

const TSelectorBloom& TPropStack::AncestorFilter(int index) {
  const int last = std::min(index, Count()) - 1;  // the nearest ancestor
  if (last < 1) {
    static const TSelectorBloom none;
    return none;
  }
  if (FOpen.size() < std::size_t(last) + 1) FOpen.resize(std::max(std::size_t(last) + 1, FOpen.size() * 2));
  if (FOpenValid == 0) {
    FOpen[0] = TSelectorBloom{};
    FOpenValid = 1;
  }
  for (; FOpenValid <= last; ++FOpenValid) {
    TSelectorBloom& u = FOpen[std::size_t(FOpenValid)];
    u = FOpen[std::size_t(FOpenValid) - 1];
    u.AddAll(FItems[std::size_t(FOpenValid)]->FSelfBloom);
    ++FFilterSteps;
  }
  return FOpen[std::size_t(last)];
}

void TPropStack::Reset(const TProperties& defaults) {
  Clear();
  auto base = std::make_unique<TProperties>();
  base->CopyDefault(defaults);
  Add(std::move(base));
}

TProperties& TPropStack::PushElement(TStyleList& styles, std::string_view tag, std::string_view className,
                                     std::string_view id, std::shared_ptr<const TProperties> inlineStyle, std::string_view title,
                                     std::string_view pseudo) {
  auto set = std::make_unique<TProperties>();
  TProperties& ref = *set;
  Add(std::move(set));
  const int k = Count() - 1;
  if (k > 0) ref.InheritFrom((*this)[k - 1]);
  ref.Combine(styles, *this, k, tag, className, id, pseudo, title, inlineStyle);
  return ref;
}

std::unique_ptr<TProperties> TPropStack::PopElement(TStyleList& styles, std::string_view tag) {
  for (int i = Count() - 1; i >= 1; --i) {
    if ((*this)[i].FTagName != tag) continue;
    std::unique_ptr<TProperties> removed = Extract(i);
    if (i > 1)
      for (int j = i; j < Count(); ++j) (*this)[j].Update((*this)[j - 1], styles, *this, j);
    return removed;
  }
  return nullptr;
}

}  // namespace korva
