#include "layout/Section.h"
#include "core/CharCase.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "core/Attributes.h"
#include "core/Progress.h"
#include "layout/Block.h"
#include "layout/FloatingObj.h"
#include "layout/FormControl.h"
#include "layout/ImageObj.h"
#include "layout/IndentManager.h"
#include "layout/MapItem.h"
#include "layout/LayoutDump.h"
#include "layout/SectionList.h"
#include "platform/Canvas.h"
#include "style/PropStack.h"

namespace korva {

static_assert(sizeof(TSection) <= 88, "a section fits an 88-byte block of the small-object pool");

char16_t ToLower16(char16_t c) {
  if (c >= 'A' && c <= 'Z') return char16_t(c + 32);
  if (c < 0xC0) return c;
  if ((c >= 0xC0 && c <= 0xDE && c != 0xD7)) return char16_t(c + 32);
  if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return char16_t(c + 32);
  if (c >= 0x410 && c <= 0x42F) return char16_t(c + 32);
  if (c >= 0x400 && c <= 0x40F) return char16_t(c + 80);
  return c;
}

namespace {

// A character of a section's text as Visit hands it out.
inline char16_t TextChar(char16_t c) { return c; }
inline char16_t TextChar(std::uint8_t b) { return TSectionText::Decode(b); }

// Characters above U+2FFF (CJK and beyond) break between any two; surrogate halves do not.
inline bool IsWide(char16_t c) { return c > 0x2FFF && (c < 0xD800 || c > 0xDFFF); }
inline bool IsPlaceholder(char16_t c) { return c == ccControl || c == ccObject || c == ccLineBreak; }

// Case mapping of the scripts whose case pairs sit at fixed distances; others stay as they are.
char16_t ToUpper16(char16_t c) {
  if (c >= 'a' && c <= 'z') return char16_t(c - 32);
  if (c < 0xB5) return c;
  if ((c >= 0xE0 && c <= 0xFE && c != 0xF7)) return char16_t(c - 32);
  if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return char16_t(c - 32);
  if (c >= 0x430 && c <= 0x44F) return char16_t(c - 32);
  if (c >= 0x450 && c <= 0x45F) return char16_t(c - 80);
  return c;
}


// Where floats end below y, so that a line may find more room; y when no float ends below.
// Edges that last until removed (a cell's own edges) end nowhere.
inline int NextWider(const IndentManager& indents, int y) {
  int next = indents.NextWiderY(y);
  return next >= OpenIndentBottom ? y : next;
}

inline int ClampCoord(std::int64_t v) {
  return int(std::clamp<std::int64_t>(v, -MaxLayoutCoord, MaxLayoutCoord));
}

// A floating object is drawn after the text of the page.
class TDeferredObject : public TDrawItem {
 public:
  TDeferredObject(TTextObject* obj, int dx, int dy) : FObj(obj), FDx(dx), FDy(dy) {}
  void DrawItem(TCanvas& canvas) override { FObj->DrawObj(canvas, FDx, FDy); }

 private:
  TTextObject* FObj;
  int FDx, FDy;
};

}  // namespace

// ---- objects in the text ----

static_assert(alignof(TTextObject) >= 2, "an object's address leaves the low bit for the block mark");

void TTextObjectList::Regrow(std::uint32_t capacity) {
  const std::size_t n = size();
  auto* block = static_cast<THeader*>(SmallAllocate(BlockBytes(capacity)));
  block->Size = std::uint32_t(n);
  block->Capacity = capacity;
  auto** to = reinterpret_cast<TTextObject**>(block + 1);
  if (n) std::memcpy(static_cast<void*>(to), begin(), n * sizeof(TTextObject*));
  if (IsBlock()) SmallFree(Block(), BlockBytes(Block()->Capacity));
  FOne = reinterpret_cast<TTextObject*>(reinterpret_cast<std::uintptr_t>(block) | 1);
}

void TTextObjectList::push_back(std::unique_ptr<TTextObject> object) {
  if (!object) return;
  if (!FOne) {
    FOne = object.release();
    return;
  }
  if (!IsBlock() || Block()->Size == Block()->Capacity) {
    const std::uint32_t have = std::uint32_t(size());
    if (have > std::numeric_limits<std::uint32_t>::max() / 2 / sizeof(TTextObject*))
      throw std::length_error("too many objects in one section");
    Regrow(std::max<std::uint32_t>(4, have * 2));
  }
  Items()[Block()->Size++] = object.release();
}

void TTextObjectList::Clear() {
  for (TTextObject* o : *this) delete o;
  if (IsBlock()) SmallFree(Block(), BlockBytes(Block()->Capacity));
  FOne = nullptr;
}

void TTextObjectList::shrink_to_fit() {
  if (!IsBlock()) return;
  const std::uint32_t n = Block()->Size;
  if (n == 1) {
    TTextObject* only = Items()[0];
    SmallFree(Block(), BlockBytes(Block()->Capacity));
    FOne = only;
  } else if (n == 0) {
    SmallFree(Block(), BlockBytes(Block()->Capacity));
    FOne = nullptr;
  } else if (n < Block()->Capacity) {
    Regrow(n);
  }
}

std::size_t TTextObjectList::CapacityBytes() const { return IsBlock() ? BlockBytes(Block()->Capacity) : 0; }

void TTextObject::DumpObj(TDumpWriter& out, int depth) const {
  out.Line(depth) << "object";
  out.Box(FX, FY, ObjWidth(), ObjHeight());
  if (FloatKind() == 1) out << " float=left";
  if (FloatKind() == 2) out << " float=right";
}

// ---- break flags ----

void TBreakFlags::Grow(std::uint32_t words) {
  const std::size_t have = FBits.size();
  if (words <= have) return;
  // Grows by half again, so that a long run of NOBR text is not copied for every word.
  FBits.reserve(std::max<std::size_t>(words, have + have / 2));
  FBits.resize(words);  // new words are zero: may break
}

void TBreakFlags::Set(int i, bool canBreak) {
  if (i < 0) return;
  const std::uint32_t w = std::uint32_t(i) >> 6;
  const std::uint64_t bit = std::uint64_t(1) << (std::uint32_t(i) & 63);
  if (canBreak) {
    if (w < FBits.size()) FBits[w] &= ~bit;
    return;
  }
  Grow(w + 1);
  FBits[w] |= bit;
}

void TBreakFlags::SetRange(int from, int n, bool canBreak) {
  if (canBreak && FBits.empty()) return;
  for (int i = 0; i < n; ++i) Set(from + i, canBreak);
}

void TBreakFlags::Truncate(int n) {
  n = std::max(n, 0);
  for (std::size_t w = std::uint32_t(n) >> 6; w < FBits.size(); ++w) {
    const std::size_t first = w << 6;
    if (first >= std::size_t(n)) FBits[w] = 0;
    else FBits[w] &= (std::uint64_t(1) << (std::size_t(n) - first)) - 1;
  }
}

bool TBreakFlags::NoneBreaks(int n) const {
  if (n <= 0) return true;
  const std::size_t full = std::size_t(n) >> 6, rest = std::size_t(n) & 63;
  if (FBits.size() < full + (rest ? 1 : 0)) return false;
  for (std::size_t w = 0; w < full; ++w)
    if (FBits[w] != ~std::uint64_t(0)) return false;
  const std::uint64_t mask = (std::uint64_t(1) << rest) - 1;
  return !rest || (FBits[full] & mask) == mask;
}

void TBreakFlags::ShrinkToFit() {
  std::size_t used = FBits.size();
  while (used > 0 && FBits[used - 1] == 0) --used;
  FBits.resize(used);
  FBits.shrink_to_fit();
}

std::string TBreakFlags::Text(int n) const {
  std::string out(std::size_t(std::max(n, 0)), 'y');
  for (int i = 0; i < n; ++i)
    if (!CanBreak(i)) out[std::size_t(i)] = 'n';
  return out;
}

// ---- construction and content ----

const TTextObjectList TSection::NoObjects;

TSection::TRareArena& TSection::Rares() {
  static auto* arena = new TRareArena;  // kept to the end, as sections may outlive statics
  return *arena;
}

TSection::TRare& TSection::Rare() {
  FRare.Make();
  return *FRare;
}

void TSection::SetSectionLeft(int left) {
  const std::int64_t offset = std::int64_t(left) - FLayoutX;
  if (offset > SectionLeftInRare && offset <= INT16_MAX) {
    FSectionLeftOffset = std::int16_t(offset);
  } else {
    Rare().WideSectionLeft = left;
    FSectionLeftOffset = SectionLeftInRare;
  }
}

void TSection::SetBreak(int i, bool canBreak) {
  if (FPreFormated) return;
  if (FNoBreakAll) {
    if (CanBreakAt(i) == canBreak) return;
    KeepBreakFlags();
  }
  if (FRare || !canBreak) Rare().Brk.Set(i, canBreak);
}

void TSection::SetBreakRange(int from, int n, bool canBreak) {
  if (FPreFormated) return;
  if (FNoBreakAll) KeepBreakFlags();
  if (FRare || !canBreak) Rare().Brk.SetRange(from, n, canBreak);
}

bool TSection::BreakNowhere() const { return FRare && FRare->Brk.NoneBreaks(BuffS.Size()); }

void TSection::KeepBreakFlags() {
  FNoBreakAll = false;
  Rare().Brk.SetRange(0, BuffS.Size(), false);
}

std::string TSection::BreakFlags() const {
  const int n = BuffS.Size() + (FFinished ? 1 : 0);
  std::string out(std::size_t(n), 'y');
  for (int i = 0; i < n; ++i)
    if (!CanBreakAt(i)) out[std::size_t(i)] = 'n';
  return out;
}

TSection::TSection(TSectionList* document, const TUrlTarget* link, const TProperties& props, bool firstInBlock,
                   const TAttributeList* attributes)
    : TSectionBase(document) {
  const TPropValue& align = props.Value(piTextAlign);
  if (align.TextIs("right")) FJustify = 3;
  else if (align.TextIs("center")) FJustify = 2;
  else if (align.TextIs("justify")) FJustify = 4;
  if (attributes) {
    if (TAttribute* a = attributes->Find(syClear)) {
      std::string v = a->Text();
      std::transform(v.begin(), v.end(), v.begin(), [](unsigned char c) { return char(LowCase(c)); });
      FClearAttr = std::uint8_t(v == "left" ? 1 : v == "right" ? 2 : 3);
    }
  }
  TClearCode cc = ccNone;
  if (props.GetClear(cc)) FClearAttr = std::uint8_t(cc);
  StartRun(props, link, true);
  FLineHeight = std::int16_t(std::clamp(props.GetLineHeight(FFonts[0]->Height()), -1, MaxLineHeight));
  if (firstInBlock) {
    bool percent = false;
    int indent = props.GetTextIndent(percent);
    if (percent && indent > 0) Rare().FirstLinePercent = std::uint8_t(std::min(indent, 90));
    else if (!percent && indent != 0) Rare().FirstLineIndent = std::clamp(indent, -MaxLayoutCoord, MaxLayoutCoord);
  }
  if (attributes && document) {
    const std::string& id = attributes->TheID();
    if (!id.empty()) document->IDNameList().AddObject(id, this);
  }
}

TSection::TSection(TSectionList* document, const TSection& source)
    : TSectionBase(document, source),
      FLineHeight(source.FLineHeight),
      BuffS(source.BuffS),
      SIndexList(source.SIndexList),
      FSectionNumber(source.FSectionNumber),
      FJustify(source.FJustify),
      FClearAttr(source.FClearAttr),
      FFinished(source.FFinished),
      FPreFormated(source.FPreFormated),
      FNoBreakAll(source.FNoBreakAll) {
  for (const TFontObj& f : source.FFonts) FFonts.Add(TFontObj(this, f));
  if (source.FRare) {
    TRare& rare = Rare();
    rare.Brk = source.FRare->Brk;
    rare.FirstLineIndent = source.FRare->FirstLineIndent;
    rare.FirstLinePercent = source.FRare->FirstLinePercent;
    for (const TTextObject* o : source.FRare->Objects)
      if (auto copy = o->CloneObjectForPrint(document)) {
        copy->SetTextIndex(o->TextIndex());
        rare.Objects.push_back(std::move(copy));
      }
  }
}

TSection::~TSection() {
  ForgetCaretFit();
  // Runs leave the document's link list on their own; they need their section's document.
  FFonts.Clear();
}

namespace {
// Plain runs that draw alike: the later one need not start a run of its own.
bool SameLook(const TFontObj& a, const TFontObj& b) {
  return !a.IsLink() && !b.IsLink() && a.Title().empty() && b.Title().empty() && a.SScript() == b.SScript() &&
         &a.DocFont() == &b.DocFont();
}
}  // namespace

void TSection::StartRun(const TProperties& props, const TUrlTarget* link, bool setLink) {
  int pos = BuffS.Size();
  TFontObj* last = FFonts.Last();
  if (last && last->Pos == pos) {
    // Nothing was added since the last run began: it takes the new font instead.
    if (setLink) {
      last->ClearLink();
      last->SetFontFrom(this, props);
    } else {
      last->SetFontFrom(this, props);
      return;
    }
  } else {
    TFontObj run(this, pos, props);
    if (!setLink && last && SameLook(*last, run)) return;  // an element that changes nothing seen
    last = FFonts.Add(std::move(run));
    if (!setLink) {
      // The new run goes on with the link of the one before.
      const TFontObj* before = FFonts[FFonts.Count() - 2];
      if (before->IsLink()) last->MakeLink(this, before->UrlTarget(), props, false);
      return;
    }
  }
  last->SetTitle(this, props.FTitleText);
  if (link && !link->Url().empty()) {
    // One keyboard stop per link: its first run, unless the page has too many links. The
    // search is bounded by that limit: past it nothing is looked for.
    bool first = FDocument && !FDocument->ManyLinks;
    for (int i = 0; first && i < FFonts.Count(); ++i) {
      const TFontObj* f = FFonts[i];
      if (f != last && f->IsLink() && f->UrlTarget().ID() == link->ID()) first = false;
    }
    if (first)
      for (TLinkRun* r : FDocument->FLinkList)
        if (r->LinkID() == link->ID()) first = false;
    last->MakeLink(this, *link, props, first);
  }
}

void TSection::ChangeFont(const TProperties& props) { StartRun(props, nullptr, false); }

void TSection::HRef(bool start, const TUrlTarget& link, const TProperties& props) {
  StartRun(props, start ? &link : nullptr, true);
}

void TSection::AddTokenObj(const TokenObj& token) {
  int n = token.Count();
  if (n <= 0 || FFinished) return;
  const char16_t* s = token.Chars();
  const std::int32_t* p = token.Positions();
  TPropStack& stack = PropStack();
  TTextTransformCode transform = txNone;
  bool smallCaps = false;
  if (!stack.Empty()) {
    transform = stack.Last().GetTextTransform();
    smallCaps = stack.Last().GetFontVariant() == "small-caps";
  }
  const char flag = (FNoBreak || FPreFormated) ? 'n' : 'y';
  if (!smallCaps) {
    if (transform == txUpper || transform == txLower) {
      for (int i = 0; i < n; ++i) BuffS.Append(transform == txUpper ? ToUpper16(s[i]) : ToLower16(s[i]));
    } else {
      BuffS.Append(s, n);
    }
    SetBreakRange(BuffS.Size() - n, n, flag == 'y');
    AppendSource(BuffS.Size() - n, p, n);
    return;
  }
  // Small capitals: lower-case letters upper-cased in the "small" style, others as they are.
  bool inSmall = false;
  for (int i = 0; i < n; ++i) {
    char16_t c = s[i];
    char16_t up = ToUpper16(c);
    if (up != c && !inSmall) {
      ChangeFont(stack.PushElement(FDocument->Styles(), "small", {}, {}, nullptr, {}, {}));
      inSmall = true;
    } else if (up == c && ToLower16(c) != c && inSmall) {
      stack.PopElement(FDocument->Styles(), "small");
      ChangeFont(stack.Last());
      inSmall = false;
    }
    AppendSource(BuffS.Size(), p + i, 1);
    SetBreak(BuffS.Size(), flag == 'y');
    BuffS.Append(up);
  }
  if (inSmall) {
    stack.PopElement(FDocument->Styles(), "small");
    ChangeFont(stack.Last());
  }
}

void TSection::AddChar(char16_t ch, int sourcePos) {
  TokenObj t;
  t.AddUnicodeChar(ch, sourcePos);
  AddTokenObj(t);
}

TTextObject* TSection::AddObject(std::unique_ptr<TTextObject> object, char16_t placeholder, int sourcePos) {
  if (!object || FFinished) return nullptr;
  int pos = BuffS.Size();
  const std::int32_t source = sourcePos;
  AppendSource(pos, &source, 1);
  SetBreak(pos, !(FNoBreak || FPreFormated));
  BuffS.Append(placeholder);
  object->SetTextIndex(pos);
  TTextObjectList& objects = Rare().Objects;
  objects.push_back(std::move(object));
  FMinWidthCache = 0;
  return objects.back();
}

TFloatingObj* TSection::AddImage(std::unique_ptr<TFloatingObj> image, int sourcePos) {
  if (!image) return nullptr;
  TFloatingObj* raw = image.get();
  const TFontObj* run = FFonts.Last();
  if (run && run->IsLink()) raw->Link = run->UrlTarget();
  AddObject(std::move(image), ccObject, sourcePos);
  return raw;
}

TFormControlObj* TSection::AddFormControl(TSymbol which, const TAttributeList& attributes, const TProperties& props,
                                          ThtmlForm*& form, TCellBasic* cell, int sourcePos) {
  if (FFinished || !FDocument) return nullptr;
  TNewFormControl made = CreateFormControl(*FDocument, which, attributes, props, form, cell, BuffS.Size());
  if (made.Image) AddImage(std::move(made.Image), sourcePos);
  else if (made.Control && made.Control->InText()) AddObject(MakeControlTextObject(*made.Control), ccControl, sourcePos);
  if (made.Browse) AddObject(MakeControlTextObject(*made.Browse), ccControl, sourcePos);
  return made.Control;
}

void TSection::AppendSource(int index, const std::int32_t* positions, int n) {
  int i = 0;
  while (i < n) {
    SIndexList.Add(index + i, positions[i]);
    ++i;
    // The characters that follow on from the one before continue its run.
    while (i < n && positions[i] == positions[i - 1] + 1) ++i;
  }
}

void TSection::Compact(const std::vector<char>& keep) {
  const int n = BuffS.Size();
  if (std::find(keep.begin(), keep.end(), 0) == keep.end()) return;
  // Every character's source position, compacted with the text, then made runs again.
  std::vector<std::int32_t> xp(std::size_t(n), 0);
  int runFrom = -1, runPos = 0;
  auto fill = [&](int to) {
    for (int i = std::max(runFrom, 0); runFrom >= 0 && i < to && i < n; ++i) xp[std::size_t(i)] = runPos + (i - runFrom);
  };
  SIndexList.ForEach([&](int index, int pos) {
    fill(index);
    runFrom = index;
    runPos = pos;
    return true;
  });
  fill(n);
  std::vector<int> newIndex(std::size_t(n) + 1);
  int k = 0;
  for (int i = 0; i < n; ++i) {
    newIndex[std::size_t(i)] = k;
    if (keep[std::size_t(i)]) {
      SetBreak(k, CanBreakAt(i));
      xp[std::size_t(k)] = xp[std::size_t(i)];
      ++k;
    }
  }
  newIndex[std::size_t(n)] = k;
  BuffS.Compact(keep.data());
  if (FRare) FRare->Brk.Truncate(k);
  SIndexList.Clear();
  AppendSource(0, xp.data(), k);
  for (TFontObj& f : FFonts) f.Pos = newIndex[std::size_t(std::min(f.Pos, n))];
  if (FRare)
    for (TTextObject* o : FRare->Objects) {
      o->SetTextIndex(newIndex[std::size_t(o->TextIndex())]);
    }
  // Runs that now start together: the later one wins; runs past the end hold nothing.
  for (int i = FFonts.Count() - 2; i >= 0; --i)
    if (FFonts[i]->Pos == FFonts[i + 1]->Pos) FFonts.Delete(i);
  while (FFonts.Count() > 1 && FFonts.Last()->Pos >= k) FFonts.Delete(FFonts.Count() - 1);
  if (FFonts.Count() > 0) FFonts[0]->Pos = 0;
}

void TSection::Finish() {
  if (FFinished) return;
  if (!FPreFormated && !BuffS.Empty()) {
    const int n = BuffS.Size();
    std::vector<char> keep(std::size_t(n), 1);
    // Leading spaces go; of two spaces together one goes (the second when the first may break).
    BuffS.Visit([&](const auto* t) {
      int last = -1;
      for (int i = 0; i < n; ++i) {
        if (t[i] == u' ') {
          if (last < 0) {
            keep[std::size_t(i)] = 0;
            continue;
          }
          if (t[last] == u' ') {
            if (CanBreakAt(last)) {
              keep[std::size_t(i)] = 0;
              continue;
            }
            keep[std::size_t(last)] = 0;
          }
        }
        last = i;
      }
    });
    Compact(keep);
    // A space after a floating object, and spaces on either side of a line break, go.
    const int m = BuffS.Size();
    keep.assign(std::size_t(m), 1);
    for (const TTextObject* o : Objects())
      if (o->FloatKind() != 0 && o->TextIndex() + 1 < m && BuffS[o->TextIndex() + 1] == u' ')
        keep[std::size_t(o->TextIndex() + 1)] = 0;
    for (int i = BuffS.Find(ccLineBreak, 0); i < m; i = BuffS.Find(ccLineBreak, i + 1)) {
      for (int j = i - 1; j >= 0 && BuffS[j] == u' '; --j) keep[std::size_t(j)] = 0;
      for (int j = i + 1; j < m && BuffS[j] == u' '; ++j) keep[std::size_t(j)] = 0;
    }
    Compact(keep);
    // One trailing space; a trailing line break after text (a lone one keeps the line's height).
    for (int pass = 0; pass < 2; ++pass) {
      const int len = BuffS.Size();
      if (len == 0) break;
      char16_t c = BuffS.Back();
      if ((pass == 0 && c == u' ') || (pass == 1 && c == ccLineBreak && len > 1)) {
        keep.assign(std::size_t(len), 1);
        keep.back() = 0;
        Compact(keep);
      }
    }
  }
  if (FRare) FRare->Brk.Truncate(BuffS.Size());  // the end of the text may break
  // The text is read from here on, never grown: no room is kept for more.
  BuffS.ShrinkToFit();
  SIndexList.ShrinkToFit();
  if (FDocument && !FDocument->FIsCopy) {
    BuffS.MoveTo(FDocument->Store());
    SIndexList.MoveTo(FDocument->Store());
  }
  if (FRare) {
    // Text where no character breaks, as that of a NOWRAP cell, needs no flags to say so.
    if (BuffS.Size() > 0 && BreakNowhere()) {
      FRare->Brk.Truncate(0);
      FNoBreakAll = true;
    }
    FRare->Brk.ShrinkToFit();
    FRare->Objects.shrink_to_fit();
    if (FRare->Brk.CapacityBytes() == 0 && FRare->Objects.empty() && FRare->FirstLineIndent == 0 &&
        FRare->FirstLinePercent == 0 && FSectionLeftOffset != SectionLeftInRare)
      FRare.reset();
  }
  FFonts.ShrinkToFit();
  FFinished = true;
  FMinWidthCache = 0;
  if (!BuffS.Empty() && FDocument)
    FSectionNumber = std::min(unsigned(++FDocument->FSectionCount), MaxSectionNumber);
}

void TSection::RemoveFromDocumentLists() {
  if (!FDocument) return;
  for (TFontObj& f : FFonts)
    if (f.IsLink()) f.ClearLink();
  FDocument->ForgetSection(this);
}

bool TSection::OnlySpaces() const {
  for (int i = 0; i < BuffS.Size(); ++i)
    if (BuffS[i] != u' ') return false;
  return true;
}

std::size_t TSection::MemoryBytes() const {
  const std::size_t rare =
      FRare ? sizeof(TRare) + FRare->Brk.CapacityBytes() + FRare->Objects.CapacityBytes() : 0;
  return sizeof(*this) + rare + BuffS.CapacityBytes() +
         SIndexList.CapacityBytes() + FFonts.CapacityBytes() +
         FLines.CapacityBytes();
}

std::unique_ptr<TSectionBase> TSection::CloneForPrint(TSectionList* document) const {
  return std::make_unique<TSection>(document, *this);
}

// ---- measuring ----

TTextObject* TSection::ObjectAtIndex(int index) const {
  auto it = std::lower_bound(Objects().begin(), Objects().end(), index,
                             [](const TTextObject* o, int i) { return o->TextIndex() < i; });
  return it != Objects().end() && (*it)->TextIndex() == index ? *it : nullptr;
}

int TSection::FirstObjectFrom(int index) const {
  return int(std::lower_bound(Objects().begin(), Objects().end(), index,
                              [](const TTextObject* o, int i) { return o->TextIndex() < i; }) -
             Objects().begin());
}

int TSection::MeasureRange(int a, int b) const {
  if (b <= a) return 0;
  std::int64_t w = 0;
  int run = 0;
  FFonts.GetFontObjAt(a, &run);
  std::size_t oi = std::size_t(FirstObjectFrom(a));
  int pos = a;
  while (pos < b) {
    if (oi < Objects().size() && Objects()[oi]->TextIndex() == pos) {
      const TTextObject& o = *Objects()[oi];
      if (o.FloatKind() == 0) w += o.ObjWidth() + o.HSpaceL() + o.HSpaceR();
      ++oi;
      ++pos;
      continue;
    }
    while (run + 1 < FFonts.Count() && FFonts[run + 1]->Pos <= pos) ++run;
    int end = b;
    if (run + 1 < FFonts.Count()) end = std::min(end, FFonts[run + 1]->Pos);
    if (oi < Objects().size()) end = std::min(end, Objects()[oi]->TextIndex());
    const TFontObj* f = FFonts[run];
    w += TextWidthOf(f->Handle(), pos, end - pos) + std::int64_t(f->CharExtra()) * (end - pos);
    pos = end;
  }
  return ClampCoord(w);
}

std::int64_t TSection::TextWidthOf(const TPlatformFont& font, int pos, int n) const {
  if (const std::uint8_t* narrow = BuffS.NarrowData()) return font.TextWidth1252(narrow + pos, n);
  if (const char16_t* wide = BuffS.WideData()) return font.TextWidth(wide + pos, n);
  return 0;
}

int TSection::FitTextOf(const TPlatformFont& font, int pos, int n, int maxWidth, int extra, int& count) const {
  if (const std::uint8_t* narrow = BuffS.NarrowData())
    return font.FitText1252(narrow + pos, n, maxWidth, extra, &count, nullptr);
  if (const char16_t* wide = BuffS.WideData()) return font.FitText(wide + pos, n, maxWidth, extra, &count, nullptr);
  count = 0;
  return 0;
}

const std::vector<BorderRec>* TSection::LineBorders(int line) const {
  if (!FRare || !FRare->LineBorders) return nullptr;
  for (const auto& [index, borders] : *FRare->LineBorders)
    if (index == line) return &borders;
  return nullptr;
}

bool TSection::Justification(const LineRec& line, int& spaces, int& extra) const {
  if (!line.Justified) return false;
  // As the line was finished: its spaces before the trailing ones, and the width it fell short by.
  const int e = EndOfText(line);
  spaces = 0;
  for (int i = line.Start; i < e; ++i)
    if (BuffS[i] == u' ') ++spaces;
  extra = line.DrawWidth - line.Width;
  return spaces > 0 && extra > 0;
}

int TSection::MeasureInLine(const LineRec& line, int a, int b) const {
  int w = MeasureRange(a, b);
  int spaces = 0, extra = 0;
  if (!Justification(line, spaces, extra)) return w;
  // The canvas gives space k (from the line start) Extra / Spaces, one more while k < the rest.
  int k0 = 0;
  for (int i = line.Start; i < a; ++i)
    if (BuffS[i] == u' ') ++k0;
  const int share = extra / spaces, rest = extra % spaces;
  for (int i = a, k = k0; i < b; ++i)
    if (BuffS[i] == u' ') {
      if (k < spaces) w += share + (k < rest ? 1 : 0);
      ++k;
    }
  return w;
}

int TSection::MaxCharWidthAll() const {
  int m = 0;
  for (const TFontObj& f : FFonts) m = std::max(m, f.MaxCharWidth() + f.CharExtra());
  return m;
}

int TSection::PaintBottom() const {
  // Floats placed by the last layout may hang below the text.
  int bottom = FDocY + FBoxHeight;
  for (TTextObject* entry : Objects()) {
    const TTextObject& o = *entry;
    if (o.FloatKind() != 0) bottom = std::max(bottom, o.Y() + o.ObjHeight() + o.VSpaceB());
  }
  return bottom;
}

int TSection::EndOfText(const LineRec& line) const {
  int e = line.Start + line.Ln;
  while (e > line.Start && (BuffS[e - 1] == u' ' || BuffS[e - 1] == ccLineBreak)) --e;
  return e;
}

// ---- layout ----

void TSection::PlaceFloat(TTextObject& obj, int y, IndentManager& indents) {
  int tw = obj.ObjWidth() + obj.HSpaceL() + obj.HSpaceR();
  int th = obj.ObjHeight() + obj.VSpaceT() + obj.VSpaceB();
  int rx = indents.PlaceFloatImage(y, obj.FloatKind() == 2, tw, obj.HSpaceL(), th);
  obj.Place(indents.LeftLimit + rx, y + obj.VSpaceT());
}

int TSection::FitLine(TFitScratch& scratch, int start, int width, int y, IndentManager& indents, bool& placedFloat) {
  const int n = BuffS.Size();
  // The nearest line break at or after start (start only grows during one layout).
  if (scratch.NextBreakFrom < 0 || start < scratch.NextBreakFrom || scratch.NextBreak < start) {
    scratch.NextBreak = BuffS.Find(ccLineBreak, start);
  }
  scratch.NextBreakFrom = start;
  const int end = scratch.NextBreak;
  if (end == start) return 1;  // a line break alone makes a line
  int pos = start;
  int rem = width;
  std::size_t oi = std::size_t(FirstObjectFrom(start));
  int run = 0;
  FFonts.GetFontObjAt(start, &run);
  while (pos < end) {
    if (oi < Objects().size() && Objects()[oi]->TextIndex() == pos) {
      TTextObject& o = *Objects()[oi];
      ++oi;
      int tw = o.ObjWidth() + o.HSpaceL() + o.HSpaceR();
      if (o.FloatKind() != 0) {
        if (pos == start) {
          // A float first on the line is placed now and takes its room from the line.
          if (tw > rem && NextWider(indents, y) > y) break;
          PlaceFloat(o, y, indents);
          placedFloat = true;
          ++pos;
          if (tw > rem) break;
          rem -= tw;
        } else {
          scratch.PendingFloats.push_back(pos);
          ++pos;
        }
        continue;
      }
      if (tw > rem) break;
      rem -= tw;
      ++pos;
      continue;
    }
    while (run + 1 < FFonts.Count() && FFonts[run + 1]->Pos <= pos) ++run;
    int pieceEnd = end;
    if (run + 1 < FFonts.Count()) pieceEnd = std::min(pieceEnd, FFonts[run + 1]->Pos);
    if (oi < Objects().size()) pieceEnd = std::min(pieceEnd, Objects()[oi]->TextIndex());
    const TFontObj* f = FFonts[run];
    int count = 0;
    int w = FitTextOf(f->Handle(), pos, pieceEnd - pos, rem, f->CharExtra(), count);
    pos += count;
    rem -= w;
    if (pos < pieceEnd) break;
  }
  if (pos == end && end < n) ++pos;  // everything before the line break fits: it joins the line
  return pos - start;
}

namespace {
// Where a line may end after character k (the line ends after it).
inline bool BreaksAfter(const TSectionText& s, const TSection& section, int k, int last) {
  char16_t c = s[k];
  if (section.CanBreakAt(k) &&
      (c == u' ' || c == u'-' || c == u'?' || c == ccControl || c == ccObject || IsWide(c)))
    return true;
  return k < last && IsWide(s[k + 1]) && section.CanBreakAt(k + 1);
}
}  // namespace

int TSection::LayoutSection(TCanvas& canvas, int x, int y, int, int, int availWidth, int, int,
                            IndentManager& indents, int& maxWidth, int& cursor) {
  FFirstChar = cursor;
  FDocY = y;
  FLayoutX = x;
  FLines.Clear();
  if (FRare) FRare->LineBorders.reset();
  ForgetCaretFit();
  TFitScratch scratch;
  const int n = BuffS.Size();
  int clearY = y;
  if (FClearAttr != 0) {
    int l = 0, r = 0;
    indents.ClearedY(l, r);
    int target = FClearAttr == 1 ? l : FClearAttr == 2 ? r : std::max(l, r);
    clearY = std::max(y, target);
  }
  SetSectionLeft(indents.LeftEdgeAt(y));
  const int sectionLeft = SectionLeft();
  const int sectionRight = indents.RightEdgeAt(y);
  if (n == 0 || FFonts.Empty()) {
    FBoxHeight = clearY - y;
    maxWidth = FLayoutWidth = 0;
    return FBoxHeight;
  }
  const int flPercent = FRare ? FRare->FirstLinePercent : 0;
  const int fli = flPercent ? int(std::int64_t(availWidth) * flPercent / 100) : FRare ? FRare->FirstLineIndent : 0;
  const int usable = std::min(availWidth, sectionRight - sectionLeft);
  maxWidth = usable;
  for (TTextObject* o : Objects()) {
    o->SizeFor(canvas, usable);
    maxWidth = std::max(maxWidth, o->ObjWidth());
  }
  int ycur = y;
  auto addEmpty = [&](int start, int h) {
    LineRec e;
    e.Start = start;
    e.Top = ycur;
    e.LineHt = h;
    e.DrawXX = indents.LeftEdgeAt(ycur);
    KeepLine(e);
    ycur += h;
  };
  if (clearY > ycur) addEmpty(0, clearY - ycur);

  int start = 0;
  while (start < n) {
    scratch.PendingFloats.clear();
    const int lineIndent = start == 0 ? fli : 0;
    int left = indents.LeftEdgeAt(ycur), right = indents.RightEdgeAt(ycur);
    bool placed = false;
    int count = FitLine(scratch, start, right - left - lineIndent, ycur, indents, placed);
    if (count == 0) {
      int next = NextWider(indents, ycur);
      if (next > ycur) {
        addEmpty(start, next - ycur);
        continue;
      }
      count = 1;
    }
    int end = start + count;
    bool overlong = false;
    if (end < n && BuffS[end - 1] != ccLineBreak) {
      const int c = end - 1;
      char16_t cc = BuffS[c], nx = BuffS[end];
      const bool cy = CanBreakAt(c);
      if (((cc == u' ' || cc == ccControl || cc == ccObject || IsWide(cc)) && cy) || cc == ccLineBreak ||
          (nx == u' ' && cy) || ((nx == ccControl || nx == ccObject || IsWide(nx)) && CanBreakAt(end))) {
        // the line ends after c
      } else {
        int k = c - 1;
        while (k >= start && !BreaksAfter(BuffS, *this, k, c)) --k;
        if (k >= start) {
          end = k + 1;
        } else {
          // A word longer than the line: below the floats if they end somewhere, else overfull
          // up to the first place the text may break.
          int next = NextWider(indents, ycur);
          if (next > ycur && !placed) {
            addEmpty(start, next - ycur);
            continue;
          }
          int p = c + 1;
          for (; p < n; ++p) {
            char16_t q = BuffS[p], prev = BuffS[p - 1];
            if (CanBreakAt(p) &&
                (prev == u'-' || prev == u'?' || q == u' ' || q == ccControl || q == ccObject || q == ccLineBreak ||
                 IsWide(q)))
              break;
          }
          end = p;
          overlong = true;
        }
      }
    }
    while (end < n && BuffS[end] == u' ') ++end;
    if (overlong && end < n && BuffS[end] == ccLineBreak) ++end;

    LineRec line;
    line.Start = start;
    line.Ln = end - start;
    left = indents.LeftEdgeAt(ycur);
    right = indents.RightEdgeAt(ycur);
    line.Top = ycur;
    FinishLine(line, x, left + lineIndent, right, end >= n);
    if (overlong || line.Width > right - left - lineIndent)
      maxWidth = std::max(maxWidth, line.Width + lineIndent + (left - sectionLeft));
    ycur += line.Height();
    for (int p : scratch.PendingFloats) {
      if (p >= end) break;
      PlaceFloat(*ObjectAtIndex(p), ycur, indents);
    }
    if (FDocument && FDocument->FFirstLineBaseline && line.LineHt > 0) {
      // A list item waits for the baseline of its first line of text to place its marker.
      *FDocument->FFirstLineBaseline = line.DrawY() + line.LineHt - line.Descent;
      FDocument->FFirstLineBaseline = nullptr;
    }
    KeepLine(line);
    start = end;
  }
  cursor += n;
  // A layout at another width makes about as many lines again: no spare room is kept.
  FLines.Settle(y);
  FBoxHeight = ycur - y;
  FLayoutWidth = maxWidth;
  ReportProgress();
  return FBoxHeight;
}

void TSection::ForgetCaretFit() {
  if (FDocument && FDocument->FCaretFit.Section == this) FDocument->FCaretFit = {};
}

void TSection::ReportProgress() {
  constexpr int ProgressEvery = 50;
  TSectionList* doc = FDocument;
  if (!doc || doc->FPrinting || !doc->OnProgress || FSectionNumber <= 0 || FSectionNumber % ProgressEvery != 0)
    return;
  // Once per section and pass (cells are laid out more than once), never going back.
  if (doc->FProgressCycle == doc->LayoutCounter() && FSectionNumber <= doc->FProgressSection) return;
  doc->FProgressCycle = doc->LayoutCounter();
  doc->FProgressSection = int(FSectionNumber);
  const int start = std::clamp(doc->ProgressShare, 0, 100);
  const int sections = std::max(doc->FSectionCount, int(FSectionNumber));
  doc->OnProgress(psRunning, start + int(std::int64_t(FSectionNumber) * (100 - start) / sections));
}

void TSection::FinishLine(LineRec& line, int x, int left, int right, bool lastLine) {
  const int start = line.Start, end = line.Start + line.Ln;
  const int e = EndOfText(line);
  line.Width = MeasureRange(start, e);
  bool onlyObjects = true;
  for (int i = start; i < end && onlyObjects; ++i)
    if (!IsPlaceholder(BuffS[i])) onlyObjects = false;
  if (line.Ln == 1 && BuffS[start] == ccLineBreak) onlyObjects = false;
  int run = 0;
  FFonts.GetFontObjAt(start, &run);
  if (!onlyObjects) {
    for (int k = run; k < FFonts.Count() && FFonts[k]->Pos < std::max(end, start + 1); ++k) {
      line.LineHt = std::max(line.LineHt, FFonts[k]->Height());
      line.Descent = std::int16_t(std::max(int(line.Descent), FFonts[k]->Descent()));
    }
  }
  if (FLineHeight >= 0) {
    int d = FLineHeight - line.LineHt;
    line.SpaceBefore = d / 2;
    line.SpaceAfter = d - line.SpaceBefore;
  }
  const std::size_t firstObj = std::size_t(FirstObjectFrom(start));
  for (std::size_t oi = firstObj; oi < Objects().size() && Objects()[oi]->TextIndex() < end; ++oi) {
    TTextObject& o = *Objects()[oi];
    if (o.FloatKind() != 0) continue;
    const int h = o.ObjHeight() + o.VSpaceT() + o.VSpaceB();
    switch (o.VertAlign()) {
      case acTop:
        line.SpaceAfter = std::max(line.SpaceAfter, h - line.LineHt);
        break;
      case acBottom:
        // A form control aligned at the bottom stands on the bottom of the text, not on its
        // baseline as pictures do.
        if (o.AsControl()) {
          line.SpaceBefore = std::max(line.SpaceBefore, h - line.LineHt);
          break;
        }
        line.SpaceBefore = std::max(line.SpaceBefore, h - line.LineHt + line.Descent);
        break;
      case acMiddle: {
        if (line.LineHt == 0) {
          // Centred on a line of its own font: the line is as tall as the object.
          const TFontObj* f = FFonts.GetFontObjAt(Objects()[oi]->TextIndex());
          line.LineHt = f->Height();
          line.Descent = std::int16_t(f->Descent());
        }
        int g = h - line.LineHt;
        line.SpaceAfter = std::max(line.SpaceAfter, g / 2);
        line.SpaceBefore = std::max(line.SpaceBefore, g - g / 2);
        break;
      }
      default:
        line.SpaceBefore = std::max(line.SpaceBefore, h - line.LineHt + line.Descent);
        break;
    }
  }
  for (int k = run; k < FFonts.Count() && FFonts[k]->Pos < std::max(end, start + 1); ++k)
    if (FFonts[k]->IsLink()) FFonts[k]->SetYValue(line.Top);

  int indent = 0;  // x of the line start from the section's left x
  switch (FJustify) {
    case 2:
      indent = (right + left - line.Width) / 2 - x;
      break;
    case 3:
      indent = right - x - line.Width;
      break;
    default:
      indent = left - x;
  }
  line.DrawXX = x + indent;
  line.DrawWidth = right - left;
  if (FJustify == 4 && !lastLine) {
    int spaces = 0;
    for (int i = start; i < e; ++i)
      if (BuffS[i] == u' ') ++spaces;
    int extra = right - left - line.Width;
    if (spaces > 0 && extra > 0) {
      line.Justified = true;
    }
  }
  // Objects in the line: x along the text, y by their vertical alignment.
  int prev = start, xacc = line.DrawXX;
  for (std::size_t oi = firstObj; oi < Objects().size() && Objects()[oi]->TextIndex() < end; ++oi) {
    TTextObject& o = *Objects()[oi];
    if (o.FloatKind() != 0) continue;
    const int p = Objects()[oi]->TextIndex();
    xacc += MeasureInLine(line, prev, p);
    const int h = o.ObjHeight() + o.VSpaceT() + o.VSpaceB();
    int top;
    switch (o.VertAlign()) {
      case acTop:
        top = line.DrawY();
        break;
      case acMiddle:
        top = line.DrawY() + (line.LineHt - h) / 2;
        break;
      case acBottom:
        top = line.DrawY() + line.LineHt - (o.AsControl() ? 0 : line.Descent) - h;
        break;
      default:
        top = line.DrawY() + line.LineHt - line.Descent - h;
    }
    o.Place(xacc + o.HSpaceL(), top + o.VSpaceT());
    xacc += o.ObjWidth() + o.HSpaceL() + o.HSpaceR();
    prev = p + 1;
  }
  // Inline borders are found at the first drawing: the document turns their source positions
  // into document positions once, which needs every section's place.
  line.FirstDraw = true;
}

// ---- drawing ----

int TSection::Draw(TCanvas& canvas, const TRect& clip, IndentManager&, int x, int, int) {
  const int dx = x - FLayoutX;
  for (int i = 0; i < LineCount(); ++i) {
    LineRec line = Line(i);
    if (line.Ln == 0) continue;
    if (line.Top + line.Height() <= clip.Top) continue;
    if (line.Top >= clip.Bottom) break;
    if (FDocument && FDocument->FPrinting && line.Top + line.Height() > FDocument->FPageBottom &&
        line.Height() <= FDocument->FPageBottom - clip.Top) {
      // The page ends above a line that would cross its bottom.
      FDocument->FPageBottom = std::min(FDocument->FPageBottom, line.Top);
      break;
    }
    DrawLine(canvas, line, dx, 0);
  }
  // Floats hang below the line that holds them, so they are drawn by their own box, not by
  // whether that line is in the clip.
  for (TTextObject* entry : Objects()) {
    TTextObject& o = *entry;
    if (o.FloatKind() == 0) continue;
    const int top = o.Y() - o.VSpaceT(), bottom = o.Y() + o.ObjHeight() + o.VSpaceB();
    if (bottom <= clip.Top || top >= clip.Bottom) continue;
    const TFontObj* around = FFonts.GetFontObjAt(o.TextIndex());
    o.SetLinkFocused(around && around->IsLink() && around->Focused());
    if (FDocument) FDocument->AddDrawItem(std::make_unique<TDeferredObject>(&o, dx, 0));
    else o.DrawObj(canvas, dx, 0);
  }
  return FDocY + FBoxHeight;
}

void TSection::DrawLine(TCanvas& canvas, LineRec& line, int dx, int dy) {
  const int baseline = line.DrawY() + line.LineHt - line.Descent + dy;
  const int e = EndOfText(line);
  int selB = -1, selE = -1;
  if (FDocument && FDocument->FSelB >= 0 && FDocument->FSelE > FDocument->FSelB) {
    selB = FDocument->FSelB - FFirstChar;
    selE = FDocument->FSelE - FFirstChar;
  }
  // Matches of a search, drawn on a marker background: the current one in its own colour.
  static const std::vector<std::pair<int, int>> noHighlights;
  const auto& highlights = FDocument ? FDocument->FHighlights : noHighlights;
  std::size_t hi = highlights.empty() ? 0 : FDocument->HighlightFrom(FFirstChar + line.Start);
  canvas.SetTextAlign(TA_BASELINE);
  int spaces = 0, extra = 0;
  const bool justified = Justification(line, spaces, extra);
  if (justified) canvas.SetTextJustification(extra, spaces);
  int xcur = line.DrawXX + dx;
  std::size_t oi = std::size_t(FirstObjectFrom(line.Start));
  int run = 0;
  FFonts.GetFontObjAt(line.Start, &run);
  int pos = line.Start;
  if (FDocument && FDocument->FInlineList) DrawInlineBorders(canvas, line, dx, dy);
  while (pos < e) {
    if (oi < Objects().size() && Objects()[oi]->TextIndex() == pos) {
      TTextObject& o = *Objects()[oi];
      ++oi;
      // Floats are drawn by Draw.
      if (o.FloatKind() == 0) {
        const TFontObj* around = FFonts.GetFontObjAt(pos);
        o.SetLinkFocused(around && around->IsLink() && around->Focused());
        o.DrawObj(canvas, dx, dy);
        xcur += o.ObjWidth() + o.HSpaceL() + o.HSpaceR();
      }
      ++pos;
      continue;
    }
    while (run + 1 < FFonts.Count() && FFonts[run + 1]->Pos <= pos) ++run;
    int pieceEnd = e;
    if (run + 1 < FFonts.Count()) pieceEnd = std::min(pieceEnd, FFonts[run + 1]->Pos);
    if (oi < Objects().size()) pieceEnd = std::min(pieceEnd, Objects()[oi]->TextIndex());
    if (selB > pos && selB < pieceEnd) pieceEnd = selB;
    if (selE > pos && selE < pieceEnd) pieceEnd = selE;
    bool highlighted = false, current = false;
    while (hi < highlights.size() && highlights[hi].second - FFirstChar <= pos) ++hi;
    if (hi < highlights.size()) {
      const int hs = highlights[hi].first - FFirstChar, he = highlights[hi].second - FFirstChar;
      if (hs > pos && hs < pieceEnd) pieceEnd = hs;
      if (pos >= hs && he < pieceEnd) pieceEnd = he;
      highlighted = pos >= hs && pos < he;
      current = highlighted && int(hi) == FDocument->FCurrentHighlight;
    }
    const TFontObj* f = FFonts[run];
    const TMyFont& font = f->Font();
    font.ApplyTo(canvas);
    const bool selected = pos >= selB && pos < selE;
    if (selected) {
      TColor text = ColorToRGB(font.Color());
      canvas.SetBkMode(TBkMode::Opaque);
      canvas.SetBkColor(text);
      canvas.SetTextColor(font.BGColor != clNone ? font.BGColor : TColor(text ^ 0xFFFFFF));
    } else if (highlighted) {
      canvas.SetBkMode(TBkMode::Opaque);
      canvas.SetBkColor(current ? CurrentMatchColor : MatchColor);
    } else if (font.BGColor != clNone) {
      canvas.SetBkMode(TBkMode::Opaque);
      canvas.SetBkColor(font.BGColor);
    } else {
      canvas.SetBkMode(TBkMode::Transparent);
    }
    int yy = baseline;
    if (f->SScript() == ssSuper) yy -= f->Height() / 3;
    else if (f->SScript() == ssSub) yy += f->Descent() / 2 + 1;
    const int len = pieceEnd - pos;
    const TUtf16Piece piece(BuffS, pos, len);
    const int w = canvas.TextExtent(piece.Data(), len).cx;
    canvas.TextOut(xcur, yy, piece.Data(), len);
    if (f->Focused() && f->IsLink())
      canvas.DrawFocusRect(TRect{xcur, yy + f->Descent() - f->Height(), xcur + w, yy + f->Descent()});
    xcur += w;
    pos = pieceEnd;
    if (pieceEnd >= e) break;
  }
  if (justified) canvas.SetTextJustification(0, 0);
}

namespace {

enum TInlineSide { isLeft = 0, isTop, isRight, isBottom };

// One side of an inline box: the trapezoid between the outer and inner rectangles, a line when
// it is one pixel thick.
void DrawInlineSide(TCanvas& canvas, int side, const TRect& o, const TRect& i, TColor color) {
  if (color == clNone) return;
  const int w = side == isLeft ? i.Left - o.Left : side == isTop ? i.Top - o.Top : side == isRight ? o.Right - i.Right
                                                                                                 : o.Bottom - i.Bottom;
  if (w <= 0) return;
  if (w == 1) {
    canvas.SetPen({color, 1, TPenStyle::Solid});
    switch (side) {
      case isLeft: canvas.MoveTo(o.Left, o.Top), canvas.LineTo(o.Left, o.Bottom); break;
      case isTop: canvas.MoveTo(o.Left, o.Top), canvas.LineTo(o.Right, o.Top); break;
      case isRight: canvas.MoveTo(o.Right - 1, o.Top), canvas.LineTo(o.Right - 1, o.Bottom); break;
      default: canvas.MoveTo(o.Left, o.Bottom - 1), canvas.LineTo(o.Right, o.Bottom - 1); break;
    }
    return;
  }
  std::vector<TPoint> pts;
  switch (side) {
    case isLeft: pts = {{o.Left, o.Top}, {i.Left, i.Top}, {i.Left, i.Bottom}, {o.Left, o.Bottom}}; break;
    case isTop: pts = {{o.Left, o.Top}, {o.Right, o.Top}, {i.Right, i.Top}, {i.Left, i.Top}}; break;
    case isRight: pts = {{o.Right, o.Top}, {o.Right, o.Bottom}, {i.Right, i.Bottom}, {i.Right, i.Top}}; break;
    default: pts = {{o.Left, o.Bottom}, {o.Right, o.Bottom}, {i.Right, i.Bottom}, {i.Left, i.Bottom}}; break;
  }
  canvas.SetPen({clNone, 1, TPenStyle::Clear});
  canvas.SetBrush({color, TBrushStyle::Solid});
  canvas.Polygon(pts, TFillMode::Alternate);
}

TRect InsetBy(const TRect& r, const std::array<int, 4>& d, int sign) {
  return {r.Left + sign * d[isLeft], r.Top + sign * d[isTop], r.Right - sign * d[isRight],
          r.Bottom - sign * d[isBottom]};
}

// An inline element's piece on one line: `text` is the box of its text; the sides it does not
// start or end on this line are left open (no padding, no border).
TRect DrawInlineBox(TCanvas& canvas, const BorderRec& b, const TRect& text, bool paintBackground) {
  const TBoxValues& m = b.MargArray;
  static constexpr int padIndex[4] = {piPaddingLeft, piPaddingTop, piPaddingRight, piPaddingBottom};
  static constexpr int widthIndex[4] = {piBorderLeftWidth, piBorderTopWidth, piBorderRightWidth, piBorderBottomWidth};
  static constexpr int colorIndex[4] = {piBorderLeftColor, piBorderTopColor, piBorderRightColor, piBorderBottomColor};
  static constexpr int styleIndex[4] = {piBorderLeftStyle, piBorderTopStyle, piBorderRightStyle, piBorderBottomStyle};
  constexpr int MaxInlineEdge = 1000;  // keeps the sums below far from overflowing
  std::array<int, 4> pad{}, width{};
  for (int s = 0; s < 4; ++s) {
    const bool open = (s == isLeft && b.OpenStart) || (s == isRight && b.OpenEnd);
    pad[std::size_t(s)] = open ? 0 : std::clamp(m[padIndex[s]], 0, MaxInlineEdge);
    width[std::size_t(s)] = open || m[styleIndex[s]] == bssNone ? 0 : std::clamp(m[widthIndex[s]], 0, MaxInlineEdge);
  }
  const TRect inner = InsetBy(text, pad, -1);
  const TRect outer = InsetBy(inner, width, -1);
  const TColor bg = TColor(m[piBackgroundColor]);
  if (paintBackground && bg != clNone) canvas.FillRect(inner, bg | PaletteMatchFlag);

  std::array<int, 4> half{}, third{};
  for (std::size_t s = 0; s < 4; ++s) {
    half[s] = width[s] / 2;
    third[s] = width[s] == 1 ? 1 : width[s] / 3 + (width[s] % 3 == 2 ? 1 : 0);
  }
  const TRect mid = InsetBy(outer, half, 1);
  const TRect outerThird = InsetBy(outer, third, 1);
  const TRect innerThird = InsetBy(inner, third, -1);
  for (int s = 0; s < 4; ++s) {
    const int w = width[std::size_t(s)];
    if (w <= 0) continue;
    const TColor c = TColor(m[colorIndex[s]]);
    const bool leftTop = s == isLeft || s == isTop;
    switch (m[styleIndex[s]]) {
      case bssSolid: DrawInlineSide(canvas, s, outer, inner, c); break;
      case bssInset: DrawInlineSide(canvas, s, outer, inner, leftTop ? DarkenColor(c) : c); break;
      case bssOutset: DrawInlineSide(canvas, s, outer, inner, leftTop ? c : DarkenColor(c)); break;
      case bssGroove:
        DrawInlineSide(canvas, s, outer, mid, leftTop ? DarkenColor(c) : c);
        DrawInlineSide(canvas, s, mid, inner, leftTop ? c : DarkenColor(c));
        break;
      case bssRidge:
        DrawInlineSide(canvas, s, outer, mid, leftTop ? c : DarkenColor(c));
        DrawInlineSide(canvas, s, mid, inner, leftTop ? DarkenColor(c) : c);
        break;
      case bssDouble:
        DrawInlineSide(canvas, s, outer, outerThird, c);
        DrawInlineSide(canvas, s, innerThird, inner, c);
        break;
      case bssDashed:
      case bssDotted: {
        const bool dotted = m[styleIndex[s]] == bssDotted;
        canvas.SetPen({c, w, dotted ? TPenStyle::Dot : TPenStyle::Dash, dotted ? TPenCap::Round : TPenCap::Square,
                       TPenJoin::Miter});
        // Along the middle of the side.
        const int along = (s == isLeft || s == isTop) ? w / 2 : w - 1 - w / 2;
        if (s == isLeft || s == isRight) {
          const int x = s == isLeft ? outer.Left + along : outer.Right - 1 - along;
          canvas.MoveTo(x, outer.Top);
          canvas.LineTo(x, outer.Bottom);
        } else {
          const int y = s == isTop ? outer.Top + along : outer.Bottom - 1 - along;
          canvas.MoveTo(outer.Left, y);
          canvas.LineTo(outer.Right, y);
        }
        break;
      }
      default: break;
    }
  }
  return outer;
}

}  // namespace

void TSection::DrawInlineBorders(TCanvas& canvas, LineRec& line, int dx, int dy) {
  const int index = line.Index;
  if (line.FirstDraw) {
    line.FirstDraw = false;
    if (index >= 0) FLines.SetFirstDraw(index, false);
    std::vector<BorderRec> found;
    FDocument->FInlineList->BordersForLine(FFirstChar + line.Start, FFirstChar + line.Start + line.Ln, found);
    if (found.empty()) return;
    auto& lists = Rare().LineBorders;
    if (!lists) lists = std::make_unique<std::vector<std::pair<int, std::vector<BorderRec>>>>();
    lists->emplace_back(index, std::move(found));
  }
  std::vector<BorderRec>* borders = MutableLineBorders(index);
  if (!borders) return;
  const int e = EndOfText(line);
  auto xAt = [&](int docPos) {
    const int p = std::clamp(docPos - FFirstChar, line.Start, e);
    return line.DrawXX + dx + MeasureInLine(line, line.Start, p);
  };
  const bool background = !FDocument->FPrinting || FDocument->FPrintBackground;
  const TPen pen = canvas.Pen();
  const TBrush brush = canvas.Brush();
  for (BorderRec& b : *borders) {
    const TRect text{xAt(b.BStart), line.DrawY() + dy, xAt(b.BEnd), line.DrawY() + line.LineHt + dy};
    b.BRect = DrawInlineBox(canvas, b, text, background);
    b.DrawPending = false;
  }
  canvas.SetPen(pen);
  canvas.SetBrush(brush);
  line.FirstDraw = false;
}

void TSection::KeepLine(const LineRec& line) { FLines.Push(line); }

LineRec TSection::Line(int i) const {
  LineRec l;
  static_cast<TLineSlot&>(l) = FLines.Slot(i, FDocY);
  const TLineSlot& s = l;
  l.Index = i;
  // The lines cover the text and the section's height one after another.
  const bool last = i + 1 == FLines.Count();
  l.Ln = (last ? BuffS.Size() : FLines.Start(i + 1)) - s.Start;
  l.SpaceAfter = (last ? FDocY + FBoxHeight : FLines.Top(i + 1, FDocY)) - s.Top - s.SpaceBefore - s.LineHt;
  return l;
}

bool TSection::RunBox(int index, TRect& box) const {
  if (index < 0 || index >= BuffS.Size()) return false;
  const int li = LineOfIndex(index);
  if (li < 0) return false;
  const LineRec line = Line(li);
  const int lineEnd = line.Start + line.Ln;
  const int runEnd = std::min(lineEnd, index + FFonts.GetFontCountAt(index, lineEnd));
  const int left = line.DrawXX + MeasureInLine(line, line.Start, index);
  box = TRect{left, line.Top, left + MeasureInLine(line, index, runEnd), line.Top + line.Height()};
  return true;
}

// ---- hit testing ----

int TSection::LineAtY(int y) const {
  const int n = LineCount();
  for (int i = 0; i < n; ++i) {
    // A line ends where the next one starts, the last one where the section ends.
    const int bottom = i + 1 < n ? FLines.Top(i + 1, FDocY) : FDocY + FBoxHeight;
    if (y < bottom) return y >= FLines.Top(i, FDocY) || i == 0 ? i : -1;
  }
  return -1;
}

int TSection::LineOfIndex(int index) const {
  // The first line starting after the index, by halving; then back to one with characters.
  int lo = 0, hi = FLines.Count();
  while (lo < hi) {
    const int mid = lo + (hi - lo) / 2;
    if (index < FLines.Start(mid)) hi = mid;
    else lo = mid + 1;
  }
  for (int li = lo - 1; li >= 0; --li) {
    const int start = FLines.Start(li), ln = Line(li).Ln;
    if (index >= start && index < start + std::max(ln, 1) && ln > 0) return li;
    if (ln > 0) break;
  }
  return -1;
}

int TSection::CaretFromPoint(TCanvas&, int x, int y, int& xr, int& yr, int& caretHeight, bool& inText) {
  if (FLines.Empty() || x < SectionLeft()) return -1;
  int li = LineAtY(y);
  if (li < 0) return -1;
  const LineRec line = Line(li);
  if (line.Ln == 0 || x > line.DrawXX + line.DrawWidth) return -1;
  int count = 0;
  const int dx = x - line.DrawXX;
  if (dx > 0) {
    TSectionList::TCaretFit* fit = FDocument ? &FDocument->FCaretFit : nullptr;
    if (fit && fit->Section == this && fit->Line == li && fit->X == dx) {
      count = fit->Count;
    } else {
      const int e = EndOfText(line);
      int lo = 0, hi = e - line.Start;
      while (lo < hi) {  // the largest count whose width does not pass the point
        int mid = (lo + hi + 1) / 2;
        if (MeasureInLine(line, line.Start, line.Start + mid) <= dx) lo = mid;
        else hi = mid - 1;
      }
      count = lo;
      if (count < e - line.Start) {
        int w0 = MeasureInLine(line, line.Start, line.Start + count);
        int w1 = MeasureInLine(line, line.Start, line.Start + count + 1);
        if (dx > w0 + (w1 - w0) / 2) ++count;
      }
      if (fit) *fit = {this, li, dx, count};
    }
  }
  xr = line.DrawXX + MeasureInLine(line, line.Start, line.Start + count);
  yr = line.Top;
  caretHeight = line.Height();
  inText = true;
  return FFirstChar + line.Start + count;
}

bool TSection::PointFromCaret(TCanvas&, int cursor, int& x, int& y) {
  int i = cursor - FFirstChar;
  if (i < 0 || i >= BuffS.Size()) return false;
  int li = LineOfIndex(i);
  if (li < 0) return false;
  const LineRec line = Line(li);
  x = line.DrawXX + MeasureInLine(line, line.Start, i);
  y = line.Top;
  return true;
}

bool TSection::LineYAt(int docPos, int& y) {
  int i = docPos - FFirstChar;
  if (i < 0 || i >= BuffS.Size()) return false;
  int li = LineOfIndex(i);
  y = li >= 0 ? FLines.Top(li, FDocY) : FDocY;
  return true;
}

bool TSection::HotSpotAt(TCanvas&, int x, int y, THotSpot& spot) {
  for (TTextObject* o : Objects()) {
    TTextObject& obj = *o;
    if (x >= obj.X() && x < obj.X() + obj.ObjWidth() && y >= obj.Y() && y < obj.Y() + obj.ObjHeight())
      if (obj.HotSpotAt(x, y, spot)) return true;
  }
  int li = LineAtY(y);
  if (li < 0 || x < SectionLeft()) return false;
  const LineRec line = Line(li);
  if (line.Ln == 0 || x < line.DrawXX || y < line.Top) return false;
  const int e = EndOfText(line);
  const int dx = x - line.DrawXX;
  int lo = 0, hi = e - line.Start;
  while (lo < hi) {
    int mid = (lo + hi + 1) / 2;
    if (MeasureInLine(line, line.Start, line.Start + mid) <= dx) lo = mid;
    else hi = mid - 1;
  }
  const int i = line.Start + lo;
  if (i >= e || BuffS[i] == ccObject) return false;
  TFontObj* f = FFonts.GetFontObjAt(i);
  if (!f) return false;
  if (f->IsLink()) {
    spot.IsLink = true;
    spot.Link = f->UrlTarget();
    spot.LinkRun = f->Link();
  }
  if (!f->Title().empty()) {
    spot.Title = f->Title();
    spot.HasTitle = true;
  }
  return spot.IsLink || spot.HasTitle;
}

bool TSection::ObjectAt(int x, int y, TFloatingObj*& object, int& ix, int& iy) {
  for (TTextObject* o : Objects()) {
    TTextObject& obj = *o;
    TFloatingObj* img = obj.AsImage();
    if (img && x >= obj.X() && x < obj.X() + obj.ObjWidth() && y >= obj.Y() && y < obj.Y() + obj.ObjHeight()) {
      object = img;
      ix = x - obj.X();
      iy = y - obj.Y();
      return true;
    }
  }
  return false;
}

bool TSection::CharAt(int pos, char16_t& ch, TCharObject& object) {
  int i = pos - FFirstChar;
  if (i < 0 || i >= BuffS.Size()) return false;
  ch = BuffS[i];
  object = TCharObject{};
  if (ch == ccObject || ch == ccControl)
    if (TTextObject* o = ObjectAtIndex(i)) {
      object.Image = o->AsImage();
      object.Control = o->AsControl();
    }
  return true;
}

// ---- searching and copying ----

int TSection::SearchForward(int from, const std::u16string& text, bool matchCase) {
  const int len = BuffS.Size();
  int i0 = std::max(0, from - FFirstChar);
  if (text.empty() || i0 >= len) return -1;
  std::u16string hay = BuffS.String();
  if (!matchCase)
    for (auto& c : hay) c = ToLower16(c);
  auto p = hay.find(text, std::size_t(i0));
  return p == std::u16string::npos ? -1 : FFirstChar + int(p);
}

int TSection::SearchBackward(int from, const std::u16string& text, bool matchCase) {
  const int len = BuffS.Size();
  int limit = std::min(from - FFirstChar, len);  // matches start before this
  if (text.empty() || limit <= 0) return -1;
  std::u16string hay = BuffS.String();
  if (!matchCase)
    for (auto& c : hay) c = ToLower16(c);
  auto p = hay.rfind(text, std::size_t(limit - 1));
  return p == std::u16string::npos ? -1 : FFirstChar + int(p);
}

void TSection::FindAll(const std::u16string& text, bool matchCase, std::vector<std::pair<int, int>>& out) {
  const int len = BuffS.Size();
  const int n = int(text.size());
  if (n == 0 || n > len) return;
  std::u16string hay = BuffS.String();
  if (!matchCase)
    for (auto& c : hay) c = ToLower16(c);
  // Pictures and controls stand in the text as placeholder characters, which no search text
  // holds, so a match never spans one. Matches do not overlap, as in a browser.
  for (std::size_t p = hay.find(text); p != std::u16string::npos; p = hay.find(text, p + std::size_t(n)))
    out.emplace_back(FFirstChar + int(p), FFirstChar + int(p) + n);
}

void TSection::AppendSelectedText(std::u16string& text) {
  if (!FDocument || FDocument->FSelB < 0) return;
  const int len = BuffS.Size();
  int a = std::max(0, FDocument->FSelB - FFirstChar), b = std::min(len, FDocument->FSelE - FFirstChar);
  for (int i = a; i < b; ++i) {
    char16_t c = BuffS[i];
    if (!IsPlaceholder(c)) text.push_back(c);  // objects have no text
  }
  if (FDocument->FSelE > FFirstChar + len) text += u"\r\n";
}

// ---- source positions ----

int TSection::SourcePosOf(int docPos) {
  const int i = docPos - FFirstChar;
  if (i < 0 || i >= BuffS.Size()) return -1;
  return SIndexList.PosOf(i);
}

int TSection::DocPosOf(int sourcePos, bool previous) {
  const int len = BuffS.Size();
  if (SIndexList.Empty() || len == 0) return -1;
  // Each run is judged when the next one shows where it ends.
  int found = -2, runIndex = -1, runPos = 0;
  auto judge = [&](int end) {
    if (runIndex < 0) return false;
    if (sourcePos >= runPos && sourcePos < runPos + (end - runIndex)) {
      found = FFirstChar + runIndex + (sourcePos - runPos);
      return true;
    }
    if (sourcePos < runPos) {
      // Between two runs (or before the first): the nearest character after it, or before.
      found = !previous ? FFirstChar + runIndex : runIndex == 0 ? -1 : FFirstChar + runIndex - 1;
      return true;
    }
    return false;
  };
  SIndexList.ForEach([&](int index, int pos) {
    if (judge(index)) return false;
    runIndex = index;
    runPos = pos;
    return true;
  });
  if (found == -2 && !judge(len)) found = previous ? FFirstChar + len - 1 : -1;
  return found;
}

// ---- minimum and maximum width ----

void TSection::MeasureMinMax(TCanvas& canvas, int& minWidth, int& maxWidth) {
  if (FMinWidthCache >= 1 && Objects().empty()) {
    minWidth = FMinWidthCache;
    maxWidth = FMaxWidthCache;
    return;
  }
  const int n = BuffS.Size();
  int floats = 0, mn = 0;
  for (TTextObject* o : Objects()) {
    TTextObject& obj = *o;
    obj.SizeFor(canvas, 0);
    const int spaced = obj.ObjWidth() + obj.HSpaceL() + obj.HSpaceR();
    if (obj.FloatKind() != 0) {
      floats += spaced;
      SetBreak(o->TextIndex(), true);
    } else if (BuffS[o->TextIndex()] == ccControl) {
      if (!obj.PercentSized()) mn = std::max(mn, spaced);
    } else {
      mn = std::max(mn, obj.ObjWidth());
    }
  }
  auto withIndent = [&](int a, int w) -> int {
    if (a != 0) return w;
    if (!FRare) return w;
    if (FRare->FirstLinePercent > 0) return int(std::int64_t(w) * 100 / (100 - FRare->FirstLinePercent));
    return w + FRare->FirstLineIndent;
  };
  int widest = 0;
  for (int a = 0; a < n;) {
    const int b = BuffS.Find(ccLineBreak, a);
    int e = b;
    while (e > a && BuffS[e - 1] == u' ') --e;
    widest = std::max(widest, withIndent(a, MeasureRange(a, e)));
    a = b + 1;
  }
  // The widest piece that cannot break.
  BuffS.Visit([&](const auto* t) {
    int i = 0;
    while (i < n && t[i] == u' ') ++i;
    while (i < n) {
      const char16_t c = TextChar(t[i]);
      if (c == u' ' || IsPlaceholder(c)) {
        ++i;
        continue;
      }
      int j = i + 1;
      if (!(IsWide(c) && CanBreakAt(i))) {
        for (; j < n; ++j) {
          const char16_t q = TextChar(t[j]);
          const char16_t prev = TextChar(t[j - 1]);
          if (CanBreakAt(j) && (q == u' ' || IsPlaceholder(q) || IsWide(q))) break;
          if ((prev == u'-' || prev == u'?') && CanBreakAt(j - 1)) break;
        }
      }
      mn = std::max(mn, withIndent(i, MeasureRange(i, j)));
      i = j;
    }
  });
  mn = std::max(mn, floats);
  minWidth = mn;
  maxWidth = std::max(widest + floats, mn);
  CacheWidths(minWidth, maxWidth);
}

// ---- the layout dump ----

void TSection::Dump(TDumpWriter& out, int depth) const {
  out.Line(depth) << DumpKind();
  out.Box(FLayoutX, FDocY, ReportedWidth(), FBoxHeight);
  for (int i = 0; i < LineCount(); ++i) {
    const LineRec l = Line(i);
    out.Line(depth + 1) << "line " << (FFirstChar + l.Start) << "+" << l.Ln;
    out.Box(l.DrawXX, l.Top, l.Width, l.Height());
    out << " ";
    out.Quoted(BuffS.String(l.Start, l.Ln));
    int spaces = 0, extra = 0;
    if (Justification(l, spaces, extra)) out << " just=" << extra << "/" << spaces;
  }
  for (const TTextObject* o : Objects()) o->DumpObj(out, depth + 1);
}

}  // namespace korva
