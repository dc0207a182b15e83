// The cascade: how an element's property set is computed from its parent's, the style list
// and its inline style, and the fonts of the four link states.
#include <algorithm>
#include <array>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/Attributes.h"
#include "style/PropStack.h"
#include "style/StyleLimits.h"
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

// What the rules give one element identity whatever its ancestors: the plain rules that match
// it, the values merging them gives, and the descendant rules whose subject it is.
struct TRuleMatch {
  std::vector<const TProperties*> Sets;                          // in cascade order
  std::vector<std::pair<int, TPropValue>> Merged;                // index order
  std::vector<const TStyleList::TDescendantRule*> Descendants;   // in cascade order
  TSelectorBloom SelfBloom;
  // Author rules whose subject's identity and link state fit, in cascade order: the first
  // AuthorNormal are normal declarations, the rest important ones. Rules of ::before and
  // ::after are apart, in cascade order.
  std::vector<const TAuthorRule*> Author;
  std::size_t AuthorNormal = 0;
  std::vector<const TAuthorRule*> Generated;
  // The same rules in steps: a run of rules that hold for every element of this identity is
  // merged ahead into one list of values; a rule that depends on more is a step of its own.
  // Elements inside links take the rules one by one (each changes the link fonts in turn).
  struct TStep {
    const TAuthorRule* Rule = nullptr;  // null: Values are the run's
    std::vector<std::pair<int, TPropValue>> Values;
  };
  std::vector<TStep> Steps;
  std::size_t StepsNormal = 0;
  // No author rule here depends on more than the identity (no ancestors, siblings, attributes,
  // media): what they give can be remembered per identity.
  bool AuthorContextFree = true;
};

struct TRuleMemo {
  struct THash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
  };
  std::uint64_t Version = 0;
  std::string Key;        // reused for every lookup
  TRuleMatch Unremembered;  // the answer for an identity too long to remember
  std::unordered_map<std::string, TRuleMatch, THash, std::equal_to<>> Matches;
};

namespace {

void FindRuleMatch(const TStyleList& styles, std::string_view tag, std::string_view cls, std::string_view id,
                   std::string_view pseudo, TRuleMatch& m) {
  const bool hasPseudo = !pseudo.empty();
  const bool plain = !hasPseudo || (pseudo != "hover" && pseudo != "visited");
  const bool hasClass = !cls.empty();
  TKeyBuilder key;
  auto add = [&](std::initializer_list<std::string_view> pieces) {
    if (const std::vector<TProperties*>* sets = styles.SetsForLowerKey(key(pieces)))
      m.Sets.insert(m.Sets.end(), sets->begin(), sets->end());
  };

  if (tag == "a" && hasPseudo) add({"::", pseudo});
  if (plain) add({tag});
  if (hasPseudo) add({":", pseudo});
  if (hasClass && plain) {
    add({".", cls});
    add({tag, ".", cls});
  }
  if (hasPseudo) add({tag, ":", pseudo});
  if (hasClass && hasPseudo) {
    add({".", cls, ":", pseudo});
    add({tag, ".", cls, ":", pseudo});
  }
  if (!id.empty()) {
    add({"#", id});
    add({tag, "#", id});
    if (hasClass) add({".", cls, "#", id});
    if (hasPseudo) {
      add({"#", id, ":", pseudo});
      add({tag, "#", id, ":", pseudo});
    }
    if (hasClass) add({tag, ".", cls, "#", id});
    if (hasClass && hasPseudo) {
      add({".", cls, "#", id, ":", pseudo});
      add({tag, ".", cls, "#", id, ":", pseudo});
    }
  }

  // Merging the sets one after another leaves, at each index, the last value Merge takes.
  std::array<const TPropValue*, PropCount> last{};
  for (const TProperties* p : m.Sets)
    for (int i = 0; i < PropCount; ++i)
      if (TProperties::MergeTakes(i, p->FValues[i])) last[std::size_t(i)] = &p->FValues[i];
  for (int i = 0; i < PropCount; ++i)
    if (last[std::size_t(i)]) m.Merged.emplace_back(i, *last[std::size_t(i)]);

  // Descendant rules: by the subject's leading tag, class, pseudo-class and id.
  if (styles.DescendantRuleCount() > 0) {
    auto scan = [&](std::string_view piece) {
      if (const auto* rules = styles.DescendantRules(piece))
        for (const TStyleList::TDescendantRule& rule : *rules)
          if (PartMatches(rule.SubjectPart, tag, cls, id, pseudo)) m.Descendants.push_back(&rule);
    };
    if (!tag.empty()) scan(key({tag}));
    if (hasClass) scan(key({".", cls}));
    if (hasPseudo) scan(key({":", pseudo}));
    if (!id.empty()) scan(key({"#", id}));
  }

  if (styles.AuthorRuleCount() > 0) {
    std::string lowerId = StyleLower(id), lowerClass = StyleLower(cls);
    std::vector<int> candidates;
    styles.AuthorCandidates(tag, lowerId, lowerClass, candidates);
    const std::vector<TAuthorRule>& rules = styles.AuthorRules();
    std::vector<const TAuthorRule*> normal, important;
    for (int n : candidates) {
      const TAuthorRule& rule = rules[std::size_t(n)];
      const TCompound& subject = rule.Selector->Parts[0];
      // A link state set takes only the rules written for that state; the rest reach it from
      // the link's own set.
      if (!plain && !subject.HasStatePseudo()) continue;
      if (!IdentityMatches(subject, tag, lowerId, lowerClass) || !StateMatches(subject, pseudo)) continue;
      if (rule.Selector->PseudoElement != peNone) m.Generated.push_back(&rule);
      else (rule.Important ? important : normal).push_back(&rule);
    }
    // The candidates come in cascade order, and so does every part taken from them.
    m.Author = std::move(normal);
    m.AuthorNormal = m.Author.size();
    m.Author.insert(m.Author.end(), important.begin(), important.end());

    std::array<const TPropValue*, PropCount> run{};
    bool open = false;
    auto flush = [&] {
      if (!open) return;
      TRuleMatch::TStep step;
      for (int i = 0; i < PropCount; ++i)
        if (run[std::size_t(i)]) step.Values.emplace_back(i, *run[std::size_t(i)]);
      m.Steps.push_back(std::move(step));
      run.fill(nullptr);
      open = false;
    };
    for (const TAuthorRule* rule : m.Author)
      if (rule->Condition >= 0 || rule->Selector->NeedsElement()) m.AuthorContextFree = false;
    if (!m.Generated.empty()) m.AuthorContextFree = false;
    for (std::size_t k = 0; k < m.Author.size(); ++k) {
      if (k == m.AuthorNormal) {
        flush();
        m.StepsNormal = m.Steps.size();
      }
      const TAuthorRule* rule = m.Author[k];
      if (rule->Condition < 0 && !rule->Selector->NeedsElement()) {
        for (const auto& [i, v] : rule->Block->Values) run[std::size_t(i)] = &v;
        open = true;
      } else {
        flush();
        m.Steps.push_back({rule, {}});
      }
    }
    flush();
    if (m.AuthorNormal == m.Author.size()) m.StepsNormal = m.Steps.size();
  }

  m.SelfBloom.Add('t', tag);
  if (hasClass) m.SelfBloom.Add('c', cls);
  // Each class of a list too, for the author rules' ancestor filter.
  for (std::size_t i = 0; i < cls.size();) {
    while (i < cls.size() && cls[i] == ' ') ++i;
    std::size_t j = cls.find(' ', i);
    if (j == std::string_view::npos) j = cls.size();
    if (j > i && j - i < cls.size()) m.SelfBloom.Add('c', cls.substr(i, j - i));
    i = j;
  }
  if (!id.empty()) m.SelfBloom.Add('i', id);
  if (hasPseudo) m.SelfBloom.Add('p', pseudo);
}

}  // namespace

TPropStack::TPropStack() : FRuleMemo(std::make_unique<TRuleMemo>()) {}
TPropStack::~TPropStack() = default;

const TRuleMatch& TPropStack::RuleMatch(const TStyleList& styles, std::string_view tag, std::string_view cls,
                                        std::string_view id, std::string_view pseudo) {
  TRuleMemo& memo = *FRuleMemo;
  // Rules that may have changed, or rules of another list, give other answers.
  if (memo.Version != styles.Version() || memo.Matches.size() >= std::size_t(MaxRememberedIdentities)) {
    memo.Matches.clear();
    memo.Version = styles.Version();
  }
  if (tag.size() + cls.size() + id.size() + pseudo.size() > std::size_t(MaxRememberedIdentityBytes)) {
    memo.Unremembered = TRuleMatch{};
    FindRuleMatch(styles, tag, cls, id, pseudo, memo.Unremembered);
    return memo.Unremembered;
  }
  static_assert(MaxRememberedIdentityBytes < 256);
  // Each piece after its length (one byte, the pieces being short), so that no two identities
  // share a key whatever characters they hold.
  std::string& key = memo.Key;
  key.clear();
  for (std::string_view piece : {tag, cls, id, pseudo}) {
    key += char(static_cast<unsigned char>(piece.size()));
    key += piece;
  }
  auto it = memo.Matches.find(std::string_view(key));
  if (it == memo.Matches.end()) {
    it = memo.Matches.try_emplace(key).first;
    FindRuleMatch(styles, tag, cls, id, pseudo, it->second);
  }
  return it->second;
}

void TProperties::Combine(TStyleList& styles, TPropStack& stack, int stackIndex, std::string_view tag,
                          std::string_view cls, std::string_view id, std::string_view pseudo,
                          std::string_view title, const std::shared_ptr<const TProperties>& inlineStyle) {
  const TPropValue& inherited = FValues[piFontSize];
  const double parentSize = inherited.IsReal() && inherited.Real() > 0 ? inherited.Real() : DefaultFontSize();
  const TRuleMatch& match = stack.RuleMatch(styles, tag, cls, id, pseudo);

  if (FHasLinkFonts && FLinkFonts) {
    // Each rule changes the link fonts in turn, so the rules are merged one by one.
    for (const TProperties* p : match.Sets) Merge(*p);
  } else {
    for (const auto& [i, v] : match.Merged) {
      FValues[std::size_t(i)] = v;
      FLocalFlags[std::size_t(i)] = true;
    }
  }

  // Rules whose ancestors cannot all be open are rejected by the filter before the stack is walked.
  if (!match.Descendants.empty()) {
    const TSelectorBloom& open = stack.AncestorFilter(stackIndex);
    for (const TStyleList::TDescendantRule* rule : match.Descendants)
      if (open.Covers(rule->Need) && AncestorsMatch(rule->Ancestors, stack, stackIndex)) Merge(*rule->Props);
  }
  FSelfBloom = match.SelfBloom;

  // Author rules: normal ones, then the style attribute, then important ones.
  const TSelectorBloom* open = nullptr;
  auto applies = [&](const TAuthorRule& rule) {
    if (!styles.ConditionHolds(rule.Condition)) return false;
    if (!rule.Selector->NeedsElement()) return true;
    if (rule.HasAncestorNeed) {
      if (!open) open = &stack.AncestorFilter(stackIndex);
      if (!open->Covers(rule.AncestorNeed)) return false;
    }
    return SelectorMatches(*rule.Selector, stack, stackIndex);
  };
  if (FHasLinkFonts && FLinkFonts) {
    for (std::size_t i = 0; i < match.AuthorNormal; ++i)
      if (applies(*match.Author[i])) MergeValues(match.Author[i]->Block->Values);
    if (inlineStyle) Merge(*inlineStyle);
    for (std::size_t i = match.AuthorNormal; i < match.Author.size(); ++i)
      if (applies(*match.Author[i])) MergeValues(match.Author[i]->Block->Values);
  } else {
    auto step = [&](const TRuleMatch::TStep& st) {
      if (!st.Rule) MergeValues(st.Values);
      else if (applies(*st.Rule)) MergeValues(st.Rule->Block->Values);
    };
    for (std::size_t i = 0; i < match.StepsNormal; ++i) step(match.Steps[i]);
    if (inlineStyle) Merge(*inlineStyle);
    for (std::size_t i = match.StepsNormal; i < match.Steps.size(); ++i) step(match.Steps[i]);
  }
  FBefore.reset();
  FAfter.reset();
  if (!match.Generated.empty()) ApplyGenerated(styles, stack, stackIndex, match.Generated);
  ResolveKeywords(styles, stack, stackIndex);

  if (FValues[piFontSize].IsText()) FValues[piFontSize] = FontSizeToPoints(FValues[piFontSize].Text(), parentSize);

  FTagName.assign(tag);
  FClassName.assign(cls);
  FIdName.assign(id);
  FPseudoClass.assign(pseudo);
  FInlineStyle = inlineStyle;
  stack.IdentityChanged(stackIndex);
  if (!title.empty()) {
    FTitleText = std::string(title);
    FHasOwnTitle = true;
  }
  FCachedFont.reset();
  if (pseudo == "link") BuildLinkFonts(styles, stack, stackIndex);
}

void TProperties::ApplyGenerated(const TStyleList& styles, const TPropStack& stack, int stackIndex,
                                 const std::vector<const TAuthorRule*>& rules) {
  TGeneratedContent before, after;
  bool anyBefore = false, anyAfter = false;
  for (const TAuthorRule* rule : rules) {
    if (!styles.ConditionHolds(rule->Condition) || !SelectorMatches(*rule->Selector, stack, stackIndex)) continue;
    const bool isBefore = rule->Selector->PseudoElement == peBefore;
    TGeneratedContent& g = isBefore ? before : after;
    (isBefore ? anyBefore : anyAfter) = true;
    if (rule->Block->HasContent) g.Text = rule->Block->Content;
    for (const auto& v : rule->Block->Values) g.Values.push_back(v);
  }
  // Only a string gives content; "none", "normal" and an empty string give none.
  if (anyBefore && !before.Text.empty()) FBefore = std::make_shared<const TGeneratedContent>(std::move(before));
  if (anyAfter && !after.Text.empty()) FAfter = std::make_shared<const TGeneratedContent>(std::move(after));
}

void TProperties::ResolveKeywords(const TStyleList& styles, const TPropStack& stack, int stackIndex) {
  const TProperties* parent = stackIndex >= 1 && stackIndex - 1 < stack.Count() ? &stack[stackIndex - 1] : nullptr;
  for (int i = 0; i < PropCount; ++i) {
    TPropValue& v = FValues[std::size_t(i)];
    if (!v.IsText()) continue;
    {
      const std::string& t = v.Text();  // most values are neither: one look at the first letter
      if (t.size() < 7 || (t[0] != 'i' && t[0] != 'c')) continue;
    }
    if (v.Text() == "currentcolor") {
      // The element's colour; for "color" itself the parent's.
      if (i == piColor) v = parent ? parent->FValues[piColor] : TPropValue(int(clBlack));
      else v = FValues[piColor].IsText() ? TPropValue(int(clBlack)) : FValues[piColor];
      continue;
    }
    const bool inherit = v.Text() == "inherit";
    if (!inherit && v.Text() != "initial") continue;
    if (inherit && parent) {
      v = parent->FValues[std::size_t(i)];
    } else if (i == piColor) {
      const TProperties* d = styles.DefaultProps();
      v = d ? d->FValues[piColor] : TPropValue(int(clBlack));
    } else if (i == piFontSize) {
      v = DefaultFontSize();
    } else if (i == piFontFamily) {
      const TProperties* d = styles.DefaultProps();
      if (d) v = d->FValues[piFontFamily];
      else v.Clear();
    } else if (i >= piMarginTop && i <= piLeft) {
      v = NotSetValue;
    } else if (i == piZIndex) {
      v = 0;
    } else if (i == piVisibility) {
      v = int(viVisible);
    } else if (i == piTextTransform) {
      v = int(txNone);
    } else {
      v.Clear();
    }
  }
}

void TProperties::BuildLinkFonts(TStyleList& styles, TPropStack& stack, int k) {
  auto fonts = std::make_unique<TFontInfoArray>();
  SetTextBackColor();
  GetFontInfo(fonts->Ar[lfLink]);

  // The state sets take only the author rules written for those states; when none of them
  // looks beyond the element's identity, the fonts are as remembered ones.
  bool authorFree = true;
  if (styles.AuthorRuleCount() > 0)
    for (std::string_view st : {std::string_view("visited"), std::string_view("hover")})
      if (!stack.RuleMatch(styles, FTagName, FClassName, FIdName, st).AuthorContextFree) authorFree = false;
  const bool rememberable = !FInlineStyle && !DescendantRulesMayApply(styles, *this) && authorFree;
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
  const int self = std::clamp(k, 0, stack.Count() - 1);
  auto state = [&](const TProperties& from, int position, std::string_view pseudo) {
    std::unique_ptr<TProperties> set = stack.NewSet();
    set->InheritFrom(from);
    TProperties& ref = *set;
    stack.InsertState(position, std::move(set), self, pseudo);
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
  FNodes.insert(FNodes.begin() + index, TElementNode{});
  IdentityChanged(index);
}

void TPropStack::InsertState(int index, std::unique_ptr<TProperties> props, int of, std::string_view pseudo) {
  index = std::clamp(index, 0, Count());
  TElementNode node;
  if (of >= 0 && of < Count()) {
    node.Info = FNodes[std::size_t(of)].Info;
    // A state of a state stands for the same element.
    node.StateOf = FNodes[std::size_t(of)].StateOf >= 0 ? FNodes[std::size_t(of)].StateOf : of;
  }
  node.Info.Pseudo.assign(pseudo);
  FItems.insert(FItems.begin() + index, std::move(props));
  FNodes.insert(FNodes.begin() + index, std::move(node));
  IdentityChanged(index);
}

std::unique_ptr<TProperties> TPropStack::Extract(int index) {
  if (index < 0 || index >= Count()) return nullptr;
  std::unique_ptr<TProperties> p = std::move(FItems[std::size_t(index)]);
  FItems.erase(FItems.begin() + index);
  FNodes.erase(FNodes.begin() + index);
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

void TPropStack::Recycle(std::unique_ptr<TProperties> set) {
  if (!set || FSpares.size() >= MaxSpares) return;
  set->ResetAsNew();  // a spare keeps nothing alive
  FSpares.push_back(std::move(set));
}

std::unique_ptr<TProperties> TPropStack::NewSet() {
  if (FSpares.empty()) return std::make_unique<TProperties>();
  std::unique_ptr<TProperties> set = std::move(FSpares.back());
  FSpares.pop_back();
  set->FSerial = ++StyleState().PropertySerial;
  return set;
}

TProperties& TPropStack::PushElement(TStyleList& styles, std::string_view tag, std::string_view className,
                                     std::string_view id, std::shared_ptr<const TProperties> inlineStyle, std::string_view title,
                                     std::string_view pseudo, const TAttributeList* attributes) {
  std::unique_ptr<TProperties> set = NewSet();
  TProperties& ref = *set;
  Add(std::move(set));
  const int k = Count() - 1;
  if (k > 0) {
    // The record the author selectors match: identity, place among siblings, attributes.
    TElementNode& parent = FNodes[std::size_t(k) - 1];
    TElementInfo& info = FNodes[std::size_t(k)].Info;
    auto assignLower = [](std::string& to, std::string_view from) {
      to.assign(from);  // in place: no temporary per element
      for (char& c : to)
        if (c >= 'A' && c <= 'Z') c = char(c + 32);
    };
    assignLower(info.Tag, tag);
    assignLower(info.Id, id);
    assignLower(info.Class, className);
    info.Pseudo.assign(pseudo);
    info.ChildIndex = ++parent.ChildCount;
    auto type = std::find_if(parent.TypeCounts.begin(), parent.TypeCounts.end(),
                             [&](const auto& e) { return e.first == info.Tag; });
    if (type == parent.TypeCounts.end()) {
      parent.TypeCounts.emplace_back(info.Tag, 0);
      type = parent.TypeCounts.end() - 1;
    }
    info.TypeIndex = ++type->second;
    if (attributes && styles.NeedsAttributes())
      for (int i = 0; i < attributes->Count() && i < MaxKeptAttributes; ++i) {
        const TAttribute* a = (*attributes)[i];
        info.Attrs.emplace_back(StyleLower(a->WhichName()), a->Text());
      }
  }
  if (k > 0) ref.InheritFrom((*this)[k - 1]);
  ref.Combine(styles, *this, k, tag, className, id, pseudo, title, inlineStyle);
  return ref;
}

std::unique_ptr<TProperties> TPropStack::PopElement(TStyleList& styles, std::string_view tag) {
  for (int i = Count() - 1; i >= 1; --i) {
    if ((*this)[i].FTagName != tag) continue;
    // The element becomes a previous sibling of its parent's next child.
    if (styles.NeedsSiblings()) {
      // The oldest half goes at once when the list is full, so a long run of siblings moves
      // each record about once.
      std::vector<TElementInfo>& closed = FNodes[std::size_t(i) - 1].Closed;
      if (closed.size() >= 2 * std::size_t(MaxSiblingRecords))
        closed.erase(closed.begin(), closed.begin() + MaxSiblingRecords);
      closed.push_back(std::move(FNodes[std::size_t(i)].Info));
    }
    std::unique_ptr<TProperties> removed = Extract(i);
    if (i > 1)
      for (int j = i; j < Count(); ++j) (*this)[j].Update((*this)[j - 1], styles, *this, j);
    return removed;
  }
  return nullptr;
}

}  // namespace korva
