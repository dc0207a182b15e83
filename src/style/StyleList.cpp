#include "style/StyleList.h"

#include <algorithm>
#include <atomic>
#include <iterator>
#include <mutex>

#include "style/Colors.h"
#include "style/StyleLimits.h"
#include "style/StyleState.h"
#include "style/Units.h"

namespace korva {

namespace {

inline unsigned char Fold(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return (u >= 'A' && u <= 'Z') ? u + 32 : u;
}

}  // namespace

int CompareKeys(std::string_view a, std::string_view b) {
  std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    unsigned char x = Fold(a[i]), y = Fold(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

TSelectorPart SplitSelectorPart(std::string_view part) {
  TSelectorPart p;
  if (size_t c = part.find(':'); c != std::string_view::npos) {
    p.Pseudo = StyleLower(part.substr(c + 1));
    part = part.substr(0, c);
  }
  if (size_t h = part.find('#'); h != std::string_view::npos) {
    p.Id = StyleLower(part.substr(h + 1));
    part = part.substr(0, h);
  }
  if (size_t d = part.find('.'); d != std::string_view::npos) {
    p.Class = StyleLower(part.substr(d + 1));
    part = part.substr(0, d);
  }
  p.Tag = StyleLower(part);
  return p;
}

namespace {

std::uint64_t NewVersion() {
  static std::atomic<std::uint64_t> last{0};
  return ++last;
}

std::string FoldedKey(std::string_view key) {
  std::string folded(key);
  for (char& c : folded) c = char(Fold(c));
  return folded;
}

// The rules of a cleared list, shared by all of them.
const std::shared_ptr<TStyleList::TRules>& EmptyRules() {
  static const std::shared_ptr<TStyleList::TRules> empty = [] {
    auto r = std::make_shared<TStyleList::TRules>();
    r->Version = NewVersion();
    r->Frozen = true;
    return r;
  }();
  return empty;
}

// A private copy of shared rules. The sets stay shared until the copy writes to one.
std::shared_ptr<TStyleList::TRules> CloneRules(const TStyleList::TRules& from) {
  auto to = std::make_shared<TStyleList::TRules>(from);
  to->Frozen = false;
  return to;
}

bool SameDefaults(const TStyleDefaults& a, const TStyleDefaults& b) {
  return a.FontName == b.FontName && a.PreFontName == b.PreFontName && a.FontSize == b.FontSize &&
         a.FontColor == b.FontColor && a.LinkColor == b.LinkColor && a.VisitedColor == b.VisitedColor &&
         a.HoverColor == b.HoverColor && a.UnderlineLinks == b.UnderlineLinks && a.CharSet == b.CharSet &&
         a.MarginWidth == b.MarginWidth && a.MarginHeight == b.MarginHeight;
}

// The shared default sheets and parsed sheets, bounded (StyleLimits.h): past a bound the oldest
// are dropped; a sheet too big for half the bounds is not kept at all. Lists that hold dropped
// rules keep them alive until they let go.
class TSharedSheets {
 public:
  static constexpr std::size_t MaxDefaults = MaxSharedDefaultSheets;
  static constexpr std::size_t MaxSheets = MaxSharedSheets;
  static constexpr std::size_t MaxSheetBytes = MaxSharedSheetBytes;
  static constexpr std::size_t MaxSheetKeys = MaxSharedSheetKeys;

  std::shared_ptr<TStyleList::TRules> FindDefaults(const TStyleDefaults& d) {
    std::lock_guard lock(FMutex);
    for (const auto& [defaults, rules] : FDefaults)
      if (SameDefaults(defaults, d)) return rules;
    return nullptr;
  }
  void AddDefaults(const TStyleDefaults& d, std::shared_ptr<TStyleList::TRules> rules) {
    rules->Frozen = true;
    std::lock_guard lock(FMutex);
    if (FDefaults.size() >= MaxDefaults) FDefaults.erase(FDefaults.begin());
    FDefaults.emplace_back(d, std::move(rules));
  }

  struct TSheet {
    std::shared_ptr<TStyleList::TRules> Prior, Result;
    std::string Text, Base;
    long long HoverNotices = 0;
  };
  const TSheet* FindSheet(const TStyleList::TRules* prior, std::string_view text, std::string_view base,
                          TSheet& found) {
    std::lock_guard lock(FMutex);
    for (const TSheet& s : FSheets)
      if (s.Prior.get() == prior && s.Text == text && s.Base == base) {
        found = s;
        return &found;
      }
    return nullptr;
  }
  void AddSheet(TSheet sheet) {
    const std::size_t keys = sheet.Result->List.size();
    if (sheet.Text.size() > MaxSheetBytes / 2 || keys > MaxSheetKeys / 2) return;
    sheet.Result->Frozen = true;
    std::lock_guard lock(FMutex);
    FSheets.push_back(std::move(sheet));
    auto totals = [&] {
      std::size_t bytes = 0, n = 0;
      for (const TSheet& s : FSheets) {
        bytes += s.Text.size() + s.Base.size();
        n += s.Result->List.size();
      }
      return std::pair(bytes, n);
    };
    for (auto t = totals(); FSheets.size() > MaxSheets || t.first > MaxSheetBytes || t.second > MaxSheetKeys;
         t = totals())
      FSheets.erase(FSheets.begin());
  }

  void Forget() {
    std::lock_guard lock(FMutex);
    FDefaults.clear();
    FSheets.clear();
  }

 private:
  std::mutex FMutex;
  std::vector<std::pair<TStyleDefaults, std::shared_ptr<TStyleList::TRules>>> FDefaults;
  std::vector<TSheet> FSheets;
};

TSharedSheets& SharedSheets() {
  static TSharedSheets sheets;
  return sheets;
}

}  // namespace

TStyleList::TStyleList(TStyleListDocument* document) : FDocument(document), FRules(EmptyRules()) {}

TStyleList::~TStyleList() = default;

TStyleList::TRules& TStyleList::Own() {
  if (FRules->Frozen) FRules = CloneRules(*FRules);
  FRules->Version = NewVersion();
  return *FRules;
}

void TStyleList::Clear() { FRules = EmptyRules(); }

void TStyleList::ForgetSharedSheets() { SharedSheets().Forget(); }

std::vector<std::string> TStyleList::Keys() const {
  std::vector<std::string> keys;
  keys.reserve(FRules->List.size());
  for (const auto& [key, props] : FRules->List) keys.push_back(key);
  return keys;
}

const TProperties* TStyleList::Find(std::string_view key) const {
  // An author rule written with that selector (the normal declarations of its first block)
  // before an entry of the default sheet.
  const std::string folded = FoldedKey(key);
  for (const TAuthorRule& rule : FRules->Author)
    if (!rule.Important && rule.Selector->Text == folded) return rule.Block->Props.get();
  auto it = FRules->List.find(key);
  return it == FRules->List.end() ? nullptr : it->second.get();
}

int TStyleList::AddCondition(std::vector<TMediaList> lists) {
  TRules& r = Own();
  if (r.Conditions.size() >= std::size_t(MaxMediaLists)) return int(r.Conditions.size()) - 1;
  r.Conditions.push_back(std::move(lists));
  return int(r.Conditions.size()) - 1;
}

void TStyleList::AddAuthorRules(const std::vector<std::shared_ptr<const TSelector>>& selectors,
                                std::shared_ptr<const TRuleBlock> block, bool important, int condition) {
  if (!block || (block->Values.empty() && !block->HasContent)) return;
  TRules& r = Own();
  for (const std::shared_ptr<const TSelector>& sel : selectors) {
    if (r.Author.size() >= std::size_t(MaxAuthorRules)) return;
    TAuthorRule rule;
    rule.Selector = sel;
    rule.Block = block;
    rule.Order = std::uint32_t(r.Author.size());
    rule.Important = important;
    rule.Condition = condition;
    const int n = int(r.Author.size());
    const TCompound& subject = sel->Parts[0];
    // Each list is kept in cascade order (specificity, then order written), so the lists of an
    // element only need merging.
    r.AuthorKey.push_back(std::uint64_t(sel->Specificity) << 32 | rule.Order);
    std::vector<int>& list = !subject.Id.empty()        ? r.AuthorById[subject.Id]
                             : !subject.Classes.empty() ? r.AuthorByClass[subject.Classes[0]]
                             : !subject.Tag.empty()     ? r.AuthorByTag[subject.Tag]
                                                        : r.AuthorUniversal;
    const std::uint64_t key = r.AuthorKey.back();
    list.insert(std::upper_bound(list.begin(), list.end(), key,
                                 [&](std::uint64_t k, int other) { return k < r.AuthorKey[std::size_t(other)]; }),
                n);
    for (std::size_t i = 0; i < sel->Parts.size(); ++i) {
      const TCompound& c = sel->Parts[i];
      bool attrs = !c.Attrs.empty();
      for (const TCompound& neg : c.Negations) attrs = attrs || !neg.Attrs.empty();
      if (attrs) r.UsesAttributes = true;
      if (i < sel->Combinators.size() && (sel->Combinators[i] == '+' || sel->Combinators[i] == '~'))
        r.UsesSiblings = true;
    }
    for (std::size_t i = 1; i < sel->Parts.size(); ++i) {
      if (sel->Combinators[i - 1] != ' ' && sel->Combinators[i - 1] != '>') continue;
      const TCompound& c = sel->Parts[i];
      if (!c.Tag.empty()) rule.AncestorNeed.Add('t', c.Tag);
      if (!c.Id.empty()) rule.AncestorNeed.Add('i', c.Id);
      for (const std::string& cls : c.Classes) rule.AncestorNeed.Add('c', cls);
      rule.HasAncestorNeed = rule.HasAncestorNeed || !c.Tag.empty() || !c.Id.empty() || !c.Classes.empty();
    }
    if (sel->Text.find(":hover") != std::string::npos) {
      ++FHoverNotices;
      if (FDocument) FDocument->HoverStyleAdded();
    }
    r.Author.push_back(std::move(rule));
  }
}

void TStyleList::AuthorCandidates(std::string_view tag, std::string_view id, std::string_view cls,
                                  std::vector<int>& out) const {
  const TRules& r = *FRules;
  out.clear();
  if (r.Author.empty()) return;
  auto less = [&](int a, int b) { return r.AuthorKey[std::size_t(a)] < r.AuthorKey[std::size_t(b)]; };
  std::vector<int> merged;
  auto take = [&](const std::vector<int>& list) {
    if (list.empty()) return;
    merged.clear();
    std::merge(out.begin(), out.end(), list.begin(), list.end(), std::back_inserter(merged), less);
    out.swap(merged);
  };
  auto find = [&](const auto& map, std::string_view key) {
    auto it = map.find(key);
    if (it != map.end()) take(it->second);
  };
  take(r.AuthorUniversal);
  if (!tag.empty()) find(r.AuthorByTag, tag);
  if (!id.empty()) find(r.AuthorById, id);
  std::vector<std::string_view> seen;
  std::size_t i = 0;
  while (i < cls.size()) {
    while (i < cls.size() && (cls[i] == ' ' || cls[i] == '\t' || cls[i] == '\n' || cls[i] == '\r')) ++i;
    std::size_t j = i;
    while (j < cls.size() && cls[j] != ' ' && cls[j] != '\t' && cls[j] != '\n' && cls[j] != '\r') ++j;
    if (j > i) {
      std::string_view one = cls.substr(i, j - i);
      // Each rule is in one list only, so a class named twice must not bring its list twice.
      if (std::find(seen.begin(), seen.end(), one) == seen.end()) {
        seen.push_back(one);
        find(r.AuthorByClass, one);
      }
    }
    i = j;
  }
}

void TStyleList::SetMediaEnv(const TMediaEnv& env) {
  FMediaEnv = env;
  StyleState().ViewportWidth = env.Width;
  StyleState().ViewportHeight = env.Height;
}

bool TStyleList::ConditionHolds(int condition) const {
  if (condition < 0) return true;
  const TRules& r = *FRules;
  if (std::size_t(condition) >= r.Conditions.size()) return false;
  if (FCondVersion != r.Version || !(FCondEnv == FMediaEnv) || FCondCache.size() != r.Conditions.size()) {
    FCondCache.assign(r.Conditions.size(), -1);
    FCondVersion = r.Version;
    FCondEnv = FMediaEnv;
  }
  signed char& known = FCondCache[std::size_t(condition)];
  if (known < 0) {
    known = 1;
    for (const TMediaList& list : r.Conditions[std::size_t(condition)])
      if (!MediaListHolds(list, FMediaEnv)) known = 0;
  }
  return known == 1;
}

std::vector<bool> TStyleList::MediaState(const TMediaEnv& env) const {
  std::vector<bool> state;
  for (const std::vector<TMediaList>& lists : FRules->Conditions) {
    bool holds = true;
    for (const TMediaList& list : lists) holds = holds && MediaListHolds(list, env);
    state.push_back(holds);
  }
  return state;
}

std::vector<int> TStyleList::WidthBreakpoints() const {
  std::vector<int> widths;
  for (const std::vector<TMediaList>& lists : FRules->Conditions)
    for (const TMediaList& list : lists) AddWidthBreakpoints(list, widths);
  std::sort(widths.begin(), widths.end());
  widths.erase(std::unique(widths.begin(), widths.end()), widths.end());
  return widths;
}

TProperties* TStyleList::FindOwn(std::string_view key) {
  TRules& r = Own();
  auto it = r.List.find(key);
  if (it == r.List.end()) return nullptr;
  // Only this list's rules refer to a set held once; any other is copied and the copy put in
  // its place everywhere the rules refer to it.
  if (it->second.use_count() > 1) {
    TProperties* old = it->second.get();
    auto copy = std::make_shared<TProperties>();
    copy->CopyRule(*old);
    TProperties* raw = copy.get();
    it->second = std::move(copy);
    if (r.DefaultProps == old) r.DefaultProps = raw;
    if (auto k = r.ByKey.find(FoldedKey(it->first)); k != r.ByKey.end())
      std::replace(k->second.begin(), k->second.end(), old, raw);
    if (it->first.find(' ') != std::string::npos)
      for (auto& [piece, rules] : r.Descendants)
        for (TDescendantRule& rule : rules)
          if (rule.Props == old) rule.Props = raw;
  }
  return it->second.get();
}

bool TStyleList::HasKeysStartingWith(char c) const { return FRules->FirstChars[Fold(c)]; }

void TStyleList::MergeLowerKey(TProperties& target, std::string_view key) const {
  if (const std::vector<TProperties*>* sets = SetsForLowerKey(key))
    for (const TProperties* p : *sets) target.Merge(*p);
}

void TStyleList::MergeKey(TProperties& target, std::string_view key) const {
  if (key.empty() || !FRules->FirstChars[Fold(key[0])]) return;
  MergeLowerKey(target, FoldedKey(key));
}

TProperties& TStyleList::AddNew(std::string_view key) {
  TRules& r = Own();
  auto props = std::make_shared<TProperties>();
  TProperties* raw = props.get();
  raw->FTagName = std::string(key);
  r.List.emplace(std::string(key), std::move(props));
  r.ByKey[FoldedKey(key)].push_back(raw);
  if (!key.empty()) r.FirstChars[Fold(key[0])] = true;
  if (key.find(' ') != std::string_view::npos) IndexDescendantKey(raw->FTagName, raw);
  return *raw;
}

// A descendant key is "subject N<serial>nearest next ... " (see the parser). The digits after
// the first space are the ancestor count followed by the serial; the matcher ignores them but
// they order rules of one subject: fewer ancestors first, then in the order written.
void TStyleList::IndexDescendantKey(const std::string& key, TProperties* props) {
  std::vector<std::string_view> parts;
  std::string_view rest(key);
  while (!rest.empty()) {
    size_t sp = rest.find(' ');
    std::string_view part = rest.substr(0, sp);
    if (!part.empty()) parts.push_back(part);
    if (sp == std::string_view::npos) break;
    rest = rest.substr(sp + 1);
  }
  if (parts.size() < 2) return;
  TDescendantRule rule;
  rule.Subject = StyleLower(parts[0]);
  rule.SubjectPart = SplitSelectorPart(parts[0]);
  rule.Props = props;
  rule.AncestorCount = int(parts.size()) - 1;

  std::string_view second = parts[1];
  size_t digits = 0;
  while (digits < second.size() && second[digits] >= '0' && second[digits] <= '9') ++digits;
  std::string countText = std::to_string(rule.AncestorCount);
  if (digits > countText.size() && second.substr(0, countText.size()) == countText) {
    std::string_view serial = second.substr(countText.size(), digits - countText.size());
    long long s = 0;
    for (char c : serial) s = s < 100000000000LL ? s * 10 + (c - '0') : s;
    rule.Serial = s;
  }
  parts[1] = second.substr(digits);
  for (size_t i = 1; i < parts.size() && int(i) < MaxDescendantParts; ++i)
    if (!parts[i].empty()) rule.Ancestors.push_back(SplitSelectorPart(parts[i]));
  if (rule.Ancestors.empty()) return;
  for (const TSelectorPart& a : rule.Ancestors) {
    if (!a.Tag.empty()) rule.Need.Add('t', a.Tag);
    if (!a.Class.empty()) rule.Need.Add('c', a.Class);
    if (!a.Id.empty()) rule.Need.Add('i', a.Id);
    if (!a.Pseudo.empty()) rule.Need.Add('p', a.Pseudo);
  }

  // The bucket of the subject's leading piece: "p.note" goes with "p", ".x:hover" with ".x".
  std::string_view subject(rule.Subject);
  std::size_t cut = subject.find_first_of(".#:", 1);
  std::string bucketKey(subject.substr(0, cut));
  TRules& r = Own();
  std::vector<TDescendantRule>& bucket = r.Descendants[bucketKey];
  auto less = [](const TDescendantRule& a, const TDescendantRule& b) {
    if (int c = a.Subject.compare(b.Subject)) return c < 0;
    if (a.AncestorCount != b.AncestorCount) return a.AncestorCount < b.AncestorCount;
    return a.Serial < b.Serial;
  };
  bucket.insert(std::upper_bound(bucket.begin(), bucket.end(), rule, less), std::move(rule));
  ++r.DescendantCount;
}

std::string TStyleList::NextDescendantSerial() { return std::to_string(Own().DescendantSerial++); }

TProperties* TStyleList::AddCopyUnderKey(std::string_view key, const TProperties& set) {
  if (Count() >= MaxStyleKeys) return nullptr;
  TProperties& copy = AddNew(key);
  copy.Copy(set);
  Own();
  return &copy;
}

void TStyleList::SetLinkColor(std::string_view pseudo, TColor color) {
  std::string key = "::" + std::string(pseudo);
  if (TProperties* p = FindOwn(key)) {
    p->FValues[piColor] = int(color);
    p->FCachedFont.reset();
  }
}

void TStyleList::SetRulePropertyOnce(std::string_view key, int index, std::string_view value) {
  TProperties* props = FindOwn(key);
  if (!props) {
    if (Count() >= MaxStyleKeys) return;
    props = &AddNew(key);
  }
  if (index == piColor) {
    TColor c;
    if (!ParseColor(value, false, c)) return;
    props->FValues[piColor] = int(c);
    props->FCachedFont.reset();
    if (key == ":link") {
      SetLinkColor("hover", c);
      SetLinkColor("visited", c);
    } else if (key == ":visited") {
      SetLinkColor("hover", c);
    }
  } else {
    props->SetFromText(index, value);
  }
}

void TStyleList::SetRuleProperty(std::string_view key, std::string_view name, std::string_view value) {
  int index;
  if (!PropIndexFromName(name, index)) return;
  SetRulePropertyOnce(key, index, value);
  if (key.find(":hover") != std::string_view::npos) {
    ++FHoverNotices;
    if (FDocument) FDocument->HoverStyleAdded();
  }
  if (key == "a") SetRulePropertyOnce("::link", index, value);
}

void TStyleList::AddSheetText(std::string_view text, std::string_view basePath, TSheetParser parse) {
  // Only rules that are shared (and so never change) can stand for the state a sheet was
  // parsed onto.
  FImportedDuringParse = false;
  if (!FRules->Frozen) {
    parse(*this, text, basePath);
    return;
  }
  TSharedSheets& shared = SharedSheets();
  TSharedSheets::TSheet known;
  if (shared.FindSheet(FRules.get(), text, basePath, known)) {
    FRules = known.Result;
    FHoverNotices += known.HoverNotices;
    if (FDocument)
      for (long long i = 0; i < known.HoverNotices; ++i) FDocument->HoverStyleAdded();
    return;
  }
  TSharedSheets::TSheet sheet;
  sheet.Prior = FRules;
  const long long notices = FHoverNotices;
  parse(*this, text, basePath);
  // Nothing was added, or the rules depend on the sheets it imported as well.
  if (FRules == sheet.Prior || FImportedDuringParse) return;
  sheet.Result = FRules;
  sheet.Text = std::string(text);
  sheet.Base = std::string(basePath);
  sheet.HoverNotices = FHoverNotices - notices;
  shared.AddSheet(std::move(sheet));
}

void TStyleList::Initialize(const TStyleDefaults& d) {
  const double size = d.FontSize;
  SetDefaultFontSize(size);
  static constexpr int steps[7] = {8, 10, 12, 14, 18, 24, 36};
  static constexpr int preSteps[7] = {7, 8, 10, 12, 15, 20, 30};
  for (int i = 0; i < 7; ++i) {
    FontSizes[std::size_t(i)] = size * steps[i] / 12.0;
    PreFontSizes[std::size_t(i)] = size * preSteps[i] / 12.0;
  }
  if (std::shared_ptr<TRules> known = SharedSheets().FindDefaults(d)) {
    FRules = std::move(known);
    return;
  }
  Clear();
  BuildDefaultSheet(d);
  SharedSheets().AddDefaults(d, FRules);
}

void TStyleList::BuildDefaultSheet(const TStyleDefaults& d) {
  const double size = d.FontSize;

  TProperties& def = AddNew("default");
  def.FValues[piFontFamily] = d.FontName;
  def.FValues[piFontSize] = size;
  def.FValues[piFontStyle] = "none";
  def.FValues[piFontWeight] = "normal";
  def.FValues[piTextAlign] = "left";
  def.FValues[piTextDecoration] = "none";
  def.FValues[piTextTransform] = 0;
  def.FValues[piFontVariant] = "normal";
  def.FValues[piColor] = int(d.FontColor);
  def.FValues[piMarginTop] = d.MarginHeight;
  def.FValues[piMarginBottom] = d.MarginHeight;
  def.FValues[piMarginLeft] = d.MarginWidth;
  def.FValues[piMarginRight] = d.MarginWidth;
  def.FValues[piVisibility] = int(viVisible);
  def.FValues[piLetterSpacing] = 0;
  def.SetCharsetCode(d.CharSet);
  Own().DefaultProps = &def;

  TProperties& link = AddNew("::link");
  link.FValues[piColor] = int(d.LinkColor | PaletteMatchFlag);
  link.FValues[piTextDecoration] = d.UnderlineLinks ? "underline" : "none";
  AddNew("::visited").FValues[piColor] = int(d.VisitedColor | PaletteMatchFlag);
  AddNew("::hover").FValues[piColor] = int(d.HoverColor | PaletteMatchFlag);
  AddNew("null");

  TProperties& pre = AddNew("pre");
  pre.FValues[piFontFamily] = d.PreFontName;
  pre.FValues[piFontSize] = size * 10.0 / 12.0;
  pre.FValues[piFontStyle] = "none";
  pre.FValues[piFontWeight] = "normal";
  pre.FValues[piTextDecoration] = "none";

  TProperties& p = AddNew("p");
  p.FValues[piMarginTop] = ParagraphSpaceValue;
  p.FValues[piMarginBottom] = ParagraphSpaceValue;
  AddNew("p 11pre ").FValues[piMarginTop] = 0;

  for (const char* list : {"ul", "ol", "menu", "dir"}) {
    TProperties& l = AddNew(list);
    l.FValues[piMarginLeft] = 35;
    l.FValues[piMarginTop] = ParagraphSpaceValue;
    l.FValues[piMarginBottom] = ParagraphSpaceValue;
    l.FValues[piListStyleType] = "blank";
  }
  TProperties& dl = AddNew("dl");
  dl.FValues[piMarginLeft] = 0;
  dl.FValues[piMarginTop] = 0;
  dl.FValues[piMarginBottom] = 0;
  dl.FValues[piListStyleType] = "none";
  TProperties& dd = AddNew("dd");
  dd.FValues[piMarginLeft] = 40;
  dd.FValues[piMarginTop] = 0;
  dd.FValues[piMarginBottom] = 0;
  TProperties& bq = AddNew("blockquote");
  bq.FValues[piMarginLeft] = 35;
  bq.FValues[piMarginTop] = ParagraphSpaceValue;
  bq.FValues[piMarginBottom] = 14;

  TProperties& code = AddNew("code");
  code.FValues[piFontFamily] = d.PreFontName;
  code.FValues[piFontSize] = "0.833em";
  for (const char* k : {"tt", "kbd", "samp"}) AddCopyUnderKey(k, code);

  TProperties& b = AddNew("b");
  b.FValues[piFontWeight] = "bold";
  for (const char* k : {"strong", "th"}) AddCopyUnderKey(k, b);

  TProperties& sup = AddNew("sup");
  sup.FValues[piFontSize] = "75%";
  sup.FValues[piVerticalAlign] = "super";
  TProperties& sub = AddNew("sub");
  sub.FValues[piFontSize] = "75%";
  sub.FValues[piVerticalAlign] = "sub";
  AddNew("big").FValues[piFontSize] = "1.25em";
  AddNew("small").FValues[piFontSize] = "0.75em";
  AddNew("table").FValues[piTextAlign] = "none";

  TProperties& i = AddNew("i");
  i.FValues[piFontStyle] = "italic";
  for (const char* k : {"em", "cite", "var", "address"}) AddCopyUnderKey(k, i);
  AddNew("u").FValues[piTextDecoration] = "underline";
  TProperties& s = AddNew("s");
  s.FValues[piTextDecoration] = "line-through";
  AddCopyUnderKey("strike", s);
  TProperties& center = AddNew("center");
  center.FValues[piTextAlign] = "center";
  AddCopyUnderKey("caption", center);

  TProperties& input = AddNew("input");
  input.FValues[piFontFamily] = "Arial Unicode MS, Arial";
  input.FValues[piFontSize] = "10pt";
  input.FValues[piFontStyle] = "none";
  input.FValues[piFontWeight] = "normal";
  input.FValues[piTextAlign] = "left";
  input.FValues[piTextDecoration] = "none";
  input.FValues[piColor] = int(d.FontColor);
  AddCopyUnderKey("select", input);
  // Not a Windows 95 family system: text areas use the preformatted face.
  if (TProperties* textarea = AddCopyUnderKey("textarea", input)) textarea->FValues[piFontFamily] = d.PreFontName;

  // Buttons take the controls' face and size.
  AddCopyUnderKey("button", input);

  // The blocks of later HTML are blocks like DIV; a figure is indented as browsers indent it.
  for (const char* k : {"section", "article", "nav", "header", "footer", "aside", "main", "figure", "figcaption",
                        "hgroup", "details", "summary"}) {
    TProperties& block = AddNew(k);
    block.FValues[piDisplay] = "block";
    if (std::string_view(k) == "figure") {
      block.FValues[piMarginTop] = "1em";
      block.FValues[piMarginBottom] = "1em";
      block.FValues[piMarginLeft] = 40;
      block.FValues[piMarginRight] = 40;
    }
  }

  TProperties& hr = AddNew("hr");
  hr.FValues[piMarginLeft] = 0;
  hr.FValues[piMarginRight] = 0;
  hr.FValues[piMarginTop] = 10;
  hr.FValues[piMarginBottom] = 10;

  static constexpr int headings[6] = {24, 18, 14, 12, 10, 8};
  for (int h = 0; h < 6; ++h) {
    TProperties& hp = AddNew("h" + std::to_string(h + 1));
    hp.FValues[piFontSize] = size / 12.0 * headings[h];
    hp.FValues[piMarginTop] = 19;
    hp.FValues[piMarginBottom] = 19;
    hp.FValues[piFontWeight] = "bold";
  }
}

}  // namespace korva
