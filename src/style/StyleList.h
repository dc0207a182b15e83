// TStyleList: the document's style sheet. Sorted selector keys (compared without regard to
// case, duplicates kept in insertion order), each owning one property set; the default style
// sheet; the entry points of the style sheet parser. The cascade itself is
// TProperties::Combine (Cascade.cpp).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <unordered_map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Font.h"
#include "platform/Types.h"
#include "style/MediaQuery.h"
#include "style/Properties.h"
#include "style/Selectors.h"

namespace korva {

// What the style list needs of the document that owns it (the document lives in a higher
// layer and implements this).
class TStyleListDocument {
 public:
  virtual ~TStyleListDocument() = default;
  // A rule with ":hover" in its selector was added: links under the mouse must be repainted.
  virtual void HoverStyleAdded() = 0;
};

// The viewer's settings that the default style sheet is made from.
struct TStyleDefaults {
  std::string FontName = "Times New Roman";
  std::string PreFontName = "Courier New";
  int FontSize = 12;  // points
  TColor FontColor = clBlack;
  TColor LinkColor = clBlue;
  TColor VisitedColor = clPurple;
  TColor HoverColor = clBlue;
  bool UnderlineLinks = true;
  std::uint8_t CharSet = DEFAULT_CHARSET;
  int MarginWidth = 10;   // left/right page margin, pixels
  int MarginHeight = 5;   // top/bottom page margin, pixels
};

// Case-insensitive ASCII comparison used for the key order.
int CompareKeys(std::string_view a, std::string_view b);

// One part of a descendant selector: tag, class, id and pseudo-class (empty = any).
struct TSelectorPart {
  std::string Tag, Class, Id, Pseudo;
};

// The declarations of one block of an author sheet, of one importance, shared by the selectors
// of its group.
struct TRuleBlock {
  std::shared_ptr<TProperties> Props;  // as parsed (tests and lookups read it)
  std::vector<std::pair<int, TPropValue>> Values;  // what merging Props gives, made when the block ends
  bool HasContent = false;  // a "content" declaration (used by ::before and ::after)
  std::string Content;      // its text, quotes and escapes resolved
};

// One author rule: a selector and a block, in the order the sheets give them.
struct TAuthorRule {
  std::shared_ptr<const TSelector> Selector;
  std::shared_ptr<const TRuleBlock> Block;
  std::uint32_t Order = 0;
  bool Important = false;
  int Condition = -1;  // the media condition (TStyleList::ConditionHolds), -1 for none
  // The tags, classes and ids its subject's ancestors must have: a rule whose ancestors cannot
  // all be open is rejected by the stack's filter without walking it.
  TSelectorBloom AncestorNeed;
  bool HasAncestorNeed = false;
};

class TStyleList {
 public:
  explicit TStyleList(TStyleListDocument* document = nullptr);
  ~TStyleList();
  TStyleList(const TStyleList&) = delete;
  TStyleList& operator=(const TStyleList&) = delete;

  TStyleListDocument* Document() const { return FDocument; }
  void SetDocument(TStyleListDocument* document) { FDocument = document; }

  // Frees every set and resets the descendant serial to 10.
  void Clear();
  // Clears the list and loads the default style sheet; sets the document default font size
  // and the HTML font size steps. The sheet for given defaults is built once per process and
  // then shared (see the rule sharing below).
  void Initialize(const TStyleDefaults& defaults);

  // One declaration of a rule (the parser's entry): unknown names do nothing.
  void SetRuleProperty(std::string_view key, std::string_view name, std::string_view value);
  // Adds a copy of `set`'s values under `key`; returns the copy.
  TProperties* AddCopyUnderKey(std::string_view key, const TProperties& set);
  void SetLinkColor(std::string_view pseudo, TColor color);
  // The serial for the next descendant key, as decimal text (then incremented).
  std::string NextDescendantSerial();

  // Adds the rules of a whole sheet held in memory by calling `parse`. When the same text with
  // the same base path was parsed before onto the same shared rules, that result is taken over
  // instead (and the document told of hover rules as often as the parse told it).
  using TSheetParser = void (*)(TStyleList& styles, std::string_view text, std::string_view basePath);
  void AddSheetText(std::string_view text, std::string_view basePath, TSheetParser parse);
  // Drops every shared default sheet and parsed sheet this process remembers.
  static void ForgetSharedSheets();

  int Count() const { return int(FRules->List.size()); }
  // The keys in list order.
  std::vector<std::string> Keys() const;
  // The first set under the key, or null (constant time).
  const TProperties* Find(std::string_view key) const;
  const TProperties* DefaultProps() const { return FRules->DefaultProps; }

  // HTML font sizes 1..7 in points (index 0..6) for normal and preformatted text.
  std::array<double, 7> FontSizes{};
  std::array<double, 7> PreFontSizes{};

  // For the cascade: merges every entry under `key` into `target`, in list order.
  void MergeKey(TProperties& target, std::string_view key) const;
  // The same for a key already in lower case (ASCII letters).
  void MergeLowerKey(TProperties& target, std::string_view key) const;
  // The sets under a key already in lower case, in list order, or null.
  const std::vector<TProperties*>* SetsForLowerKey(std::string_view key) const {
    if (key.empty() || !FRules->FirstChars[static_cast<unsigned char>(key[0])]) return nullptr;
    auto it = FRules->ByKey.find(key);
    return it == FRules->ByKey.end() ? nullptr : &it->second;
  }
  // Whether any key starts with `c` (used to skip lookups that cannot hit).
  bool HasKeysStartingWith(char c) const;

  // ---- author rules (the page's sheets) ----
  // A media condition: every list must hold. Returns its number for AddAuthorRule.
  int AddCondition(std::vector<TMediaList> lists);
  // Adds one rule per selector for a finished block (Values already made).
  void AddAuthorRules(const std::vector<std::shared_ptr<const TSelector>>& selectors,
                      std::shared_ptr<const TRuleBlock> block, bool important, int condition);
  int AuthorRuleCount() const { return int(FRules->Author.size()); }
  const std::vector<TAuthorRule>& AuthorRules() const { return FRules->Author; }
  // The rules whose subject's id, one of its classes, its tag or nothing in particular is
  // indexed; their numbers in cascade order. Classes and id in lower case.
  void AuthorCandidates(std::string_view tag, std::string_view id, std::string_view cls, std::vector<int>& out) const;
  // What the element records must keep for the author selectors.
  bool NeedsAttributes() const { return FRules->UsesAttributes; }
  bool NeedsSiblings() const { return FRules->UsesSiblings; }

  // The page's media: conditions are evaluated against it. The rules keep their conditions, so
  // changing the media re-styles without parsing again.
  // Also sets the viewport that vw and vh lengths are taken from.
  void SetMediaEnv(const TMediaEnv& env);
  const TMediaEnv& MediaEnv() const { return FMediaEnv; }
  bool ConditionHolds(int condition) const;
  // Which conditions hold for `env`, one flag each: two widths with the same answer style the
  // page alike, so a viewer re-styles only when the answer changes.
  std::vector<bool> MediaState(const TMediaEnv& env) const;
  // The widths at which some condition's answer may change, ascending, without repeats.
  std::vector<int> WidthBreakpoints() const;

  // How @import reads a sheet: the address made absolute against the importing sheet, the
  // bytes out. Without one, imports load nothing.
  using TImportFetcher = std::function<bool(const std::string& url, std::string& data)>;
  void SetImportFetcher(TImportFetcher fetcher) { FImportFetcher = std::move(fetcher); }
  const TImportFetcher& ImportFetcher() const { return FImportFetcher; }
  // Set by the parser when a sheet read imports (its rules then depend on more than its text).
  bool FImportedDuringParse = false;

  // Descendant rules, kept apart in buckets by the leading piece of their subject (its tag,
  // or "." class, ":" pseudo-class, "#" id), each bucket in the order the cascade applies it:
  // by subject, then by ancestor count, then by serial (the order the rules were written).
  struct TDescendantRule {
    std::string Subject;  // the subject part of the key, lower case
    TSelectorPart SubjectPart;
    std::vector<TSelectorPart> Ancestors;  // nearest first
    TSelectorBloom Need;                   // every piece of every ancestor
    int AncestorCount = 0;
    long long Serial = 0;
    TProperties* Props = nullptr;
  };
  // The rules whose subject leads with `piece` (lower case), or null.
  const std::vector<TDescendantRule>* DescendantRules(std::string_view piece) const {
    auto it = FRules->Descendants.find(piece);
    return it == FRules->Descendants.end() ? nullptr : &it->second;
  }
  int DescendantRuleCount() const { return FRules->DescendantCount; }
  // Changes whenever a rule may have changed; two lists holding the same shared rules have the
  // same version, any other two never do. Results computed from the rules can be remembered
  // under it.
  std::uint64_t Version() const { return FRules->Version; }
  // Whether this list holds rules shared with other lists (tests).
  bool SharesRules() const { return FRules->Frozen; }

 private:
  struct TKeyLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const { return CompareKeys(a, b) < 0; }
  };
  struct TStringHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
  };

 public:
  // The rules proper. Lists share them: the default sheet and parsed sheets are built once and
  // frozen; a list writes to a private copy it makes on its first change (copy on write), and
  // to a private copy of a set it changes.
  struct TRules {
    std::uint64_t Version = 0;
    bool Frozen = false;  // shared; never changed again
    int DescendantSerial = 10;
    TProperties* DefaultProps = nullptr;
    // Equal keys stay in insertion order (a multimap inserts at the end of an equal range).
    // A copy of shared rules shares their sets too, until it writes to one (see FindOwn).
    std::multimap<std::string, std::shared_ptr<TProperties>, TKeyLess> List;
    // The same sets by lower-case key, each in list order: the cascade's lookups.
    std::unordered_map<std::string, std::vector<TProperties*>, TStringHash, std::equal_to<>> ByKey;
    std::unordered_map<std::string, std::vector<TDescendantRule>, TStringHash, std::equal_to<>> Descendants;
    int DescendantCount = 0;
    std::array<bool, 256> FirstChars{};
    // Author rules in source order and their index by the subject's id, first class or tag.
    std::vector<TAuthorRule> Author;
    std::vector<std::uint64_t> AuthorKey;  // specificity << 32 | order: the cascade order
    std::unordered_map<std::string, std::vector<int>, TStringHash, std::equal_to<>> AuthorById, AuthorByClass,
        AuthorByTag;
    std::vector<int> AuthorUniversal;
    std::vector<std::vector<TMediaList>> Conditions;
    bool UsesAttributes = false;
    bool UsesSiblings = false;
  };

 private:
  TProperties& AddNew(std::string_view key);
  void IndexDescendantKey(const std::string& key, TProperties* props);
  void SetRulePropertyOnce(std::string_view key, int index, std::string_view value);
  // The first set under the key, made private to this list first, or null.
  TProperties* FindOwn(std::string_view key);
  void BuildDefaultSheet(const TStyleDefaults& defaults);
  // The rules, made private to this list first; the version changes.
  TRules& Own();

  TStyleListDocument* FDocument = nullptr;
  std::shared_ptr<TRules> FRules;
  TMediaEnv FMediaEnv;
  TImportFetcher FImportFetcher;
  // ConditionHolds' answers for FCondEnv under FCondVersion (-1 unknown, 0, 1).
  mutable std::vector<signed char> FCondCache;
  mutable std::uint64_t FCondVersion = 0;
  mutable TMediaEnv FCondEnv;
  long long FHoverNotices = 0;  // HoverStyleAdded calls made for this list
};

// Splits one part of a descendant key ("tag.class#id:pseudo").
TSelectorPart SplitSelectorPart(std::string_view part);

}  // namespace korva
