#include "core/UrlTarget.h"

#include <atomic>
#include <climits>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <ostream>
#include <stdexcept>
#include <vector>

#include "core/SmallObjectPool.h"

namespace korva {

namespace {

// One shared text. A link's entry holds its address in Text, its target as the handle of
// another entry and its tab index; a plain text has neither. Either kind is found by all three,
// so equal links and equal texts are each held once.
struct TEntry {
  // The characters, in a block of the small-object pool (null for none).
  char* Data = nullptr;
  std::uint32_t Size = 0;
  std::atomic<std::uint32_t> Refs{0};
  std::uint32_t Hash = 0;
  std::uint32_t Next = 0;
  std::int32_t Tab = 0;
  std::string_view Text() const { return {Data, Size}; }
};

std::uint32_t HashOf(std::string_view text, std::uint32_t next, std::int32_t tab) {
  std::uint64_t h = std::hash<std::string_view>{}(text);
  h ^= std::uint64_t(next) * 0x9E3779B97F4A7C15ull + std::uint64_t(std::uint32_t(tab)) * 0xC2B2AE3D27D4EB4Full;
  h ^= h >> 31;
  h *= 0xBF58476D1CE4E5B9ull;
  return std::uint32_t(h ^ (h >> 32));
}

// The entries live in pages that never move, reached through a directory that is replaced (the
// old ones kept) when it grows: reading a text takes no lock. Taking a copy counts up without a
// lock; finding, adding and freeing entries, and the last release, happen under the lock.
class TTextTable {
 public:
  static constexpr unsigned PageBits = 8;
  static constexpr std::uint32_t PageMask = (1u << PageBits) - 1;

  TEntry& At(std::uint32_t h) const {
    return FDir.load(std::memory_order_acquire)[h >> PageBits][h & PageMask];
  }

  std::mutex Mutex;

  // Under the lock: the entry for (text, next, tab) with one more holder. Takes over the
  // caller's hold on `next`. 0 for the empty text.
  std::uint32_t InternLocked(std::string_view text, std::uint32_t next, std::int32_t tab) {
    if (text.empty() && next == 0 && tab == 0) return 0;
    const std::uint32_t hash = HashOf(text, next, tab);
    if (!FSlots.empty()) {
      for (std::size_t i = hash & (FSlots.size() - 1);; i = (i + 1) & (FSlots.size() - 1)) {
        const std::uint32_t h = FSlots[i];
        if (h == 0) break;
        TEntry& e = At(h);
        if (e.Hash == hash && e.Next == next && e.Tab == tab && e.Text() == text) {
          e.Refs.fetch_add(1, std::memory_order_relaxed);
          if (next) ReleaseLocked(next);  // the entry holds its own
          return h;
        }
      }
    }
    if (text.size() > UINT32_MAX) throw std::length_error("shared text too long");
    // Room in the slots first: a failure from here on would leave a filled entry behind.
    if ((FLive + 1) * 2 > FSlots.size()) Rehash(FSlots.empty() ? 64 : FSlots.size() * 2);
    char* data = text.empty() ? nullptr : static_cast<char*>(SmallAllocate(text.size()));
    if (data) std::memcpy(data, text.data(), text.size());
    std::uint32_t h;
    try {
      h = NewHandle();
    } catch (...) {
      if (data) SmallFree(data, text.size());
      throw;
    }
    TEntry& e = At(h);
    e.Data = data;
    e.Size = std::uint32_t(text.size());
    e.Hash = hash;
    e.Next = next;
    e.Tab = tab;
    e.Refs.store(1, std::memory_order_relaxed);
    Place(h);
    ++FLive;
    return h;
  }

  // Under the lock: one holder fewer; the last frees the entry.
  void ReleaseLocked(std::uint32_t h) {
    while (h) {
      TEntry& e = At(h);
      if (e.Refs.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
      const std::uint32_t next = e.Next;
      Erase(h);
      if (e.Data) SmallFree(e.Data, e.Size);
      e.Data = nullptr;
      e.Size = 0;
      e.Hash = e.Next = 0;
      e.Tab = 0;
      FFree.push_back(h);
      --FLive;
      h = next;
    }
  }

  std::size_t Live() {
    std::lock_guard lock(Mutex);
    return FLive;
  }

 private:
  std::uint32_t NewHandle() {
    if (!FFree.empty()) {
      const std::uint32_t h = FFree.back();
      FFree.pop_back();
      return h;
    }
    if (FUsed == UINT32_MAX) throw std::length_error("too many shared texts");
    const std::uint32_t h = FUsed++;
    const std::size_t page = h >> PageBits;
    if (page == FPages.size()) {
      TEntry** dir = FDir.load(std::memory_order_relaxed);
      if (page == FDirSize) {
        const std::size_t size = FDirSize ? FDirSize * 2 : 16;
        auto grown = std::make_unique<TEntry*[]>(size);
        for (std::size_t i = 0; i < FDirSize; ++i) grown[i] = dir[i];
        dir = grown.get();
        FDirs.push_back(std::move(grown));  // older directories stay: readers may hold them
        FDirSize = size;
      }
      FPages.push_back(std::make_unique<TEntry[]>(std::size_t(1) << PageBits));
      dir[page] = FPages.back().get();
      FDir.store(dir, std::memory_order_release);
    }
    return h;
  }

  void Place(std::uint32_t h) {
    const std::size_t mask = FSlots.size() - 1;
    std::size_t i = At(h).Hash & mask;
    while (FSlots[i]) i = (i + 1) & mask;
    FSlots[i] = h;
  }

  void Rehash(std::size_t size) {
    std::vector<std::uint32_t> old(size, 0);
    old.swap(FSlots);
    for (std::uint32_t h : old)
      if (h) Place(h);
  }

  // Linear probing: the entries after the hole move back when their home is not between.
  void Erase(std::uint32_t h) {
    const std::size_t mask = FSlots.size() - 1;
    std::size_t i = At(h).Hash & mask;
    while (FSlots[i] != h) i = (i + 1) & mask;
    for (std::size_t j = (i + 1) & mask; FSlots[j]; j = (j + 1) & mask) {
      const std::size_t home = At(FSlots[j]).Hash & mask;
      if (((j - home) & mask) >= ((j - i) & mask)) {
        FSlots[i] = FSlots[j];
        i = j;
      }
    }
    FSlots[i] = 0;
  }

  std::atomic<TEntry**> FDir{nullptr};
  std::size_t FDirSize = 0;
  std::vector<std::unique_ptr<TEntry*[]>> FDirs;
  std::vector<std::unique_ptr<TEntry[]>> FPages;
  std::vector<std::uint32_t> FFree;
  std::uint32_t FUsed = 1;  // 0 is the empty text
  std::vector<std::uint32_t> FSlots;  // handles by hash, half full at most
  std::size_t FLive = 0;
};

// Never destroyed: texts held by static objects may be released after the program's end starts.
std::atomic<TTextTable*> TheTable{nullptr};

TTextTable& Table() {
  static TTextTable* table = [] {
    auto* t = new TTextTable;
    TheTable.store(t, std::memory_order_release);
    return t;
  }();
  return *table;
}

// The table behind a handle other than 0: it was made before the handle was handed out.
TTextTable& Made() { return *TheTable.load(std::memory_order_acquire); }

std::uint32_t Intern(std::string_view text) {
  if (text.empty()) return 0;
  TTextTable& t = Table();
  std::lock_guard lock(t.Mutex);
  return t.InternLocked(text, 0, 0);
}

// Links share one sequence for the program's life, so runs of one link can be told from the
// runs of another even across documents. 0 means "no link"; past the largest int it starts
// again at 1.
std::atomic<int> LinkSequence{0};

int NextLinkID() {
  int id = LinkSequence.load(std::memory_order_relaxed), next;
  do next = id == INT_MAX ? 1 : id + 1;
  while (!LinkSequence.compare_exchange_weak(id, next, std::memory_order_relaxed));
  return next;
}

}  // namespace

// ---- TSharedText ----

TSharedText::TSharedText(std::string_view text) : FHandle(Intern(text)) {}

TSharedText& TSharedText::operator=(const TSharedText& other) noexcept {
  Hold(other.FHandle);
  Drop(FHandle);
  FHandle = other.FHandle;
  return *this;
}

TSharedText& TSharedText::operator=(TSharedText&& other) noexcept {
  if (this != &other) {
    Drop(FHandle);
    FHandle = other.FHandle;
    other.FHandle = 0;
  }
  return *this;
}

TSharedText& TSharedText::operator=(std::string_view text) {
  const std::uint32_t h = Intern(text);  // before the drop: text may be this one's own
  Drop(FHandle);
  FHandle = h;
  return *this;
}

std::string_view TSharedText::Lookup(std::uint32_t handle) { return Made().At(handle).Text(); }

void TSharedText::Hold(std::uint32_t handle) noexcept {
  if (handle) Made().At(handle).Refs.fetch_add(1, std::memory_order_relaxed);
}

void TSharedText::Drop(std::uint32_t handle) noexcept {
  if (!handle) return;
  TTextTable& t = Made();
  std::atomic<std::uint32_t>& refs = t.At(handle).Refs;
  // Only the last holder needs the lock: a count that reaches 0 frees the entry before anyone
  // can find it again.
  for (std::uint32_t r = refs.load(std::memory_order_relaxed); r > 1;)
    if (refs.compare_exchange_weak(r, r - 1, std::memory_order_release, std::memory_order_relaxed)) return;
  std::lock_guard lock(t.Mutex);
  t.ReleaseLocked(handle);
}

std::size_t TSharedText::LiveCount() { return Table().Live(); }

std::ostream& operator<<(std::ostream& out, const TSharedText& text) { return out << text.str(); }

// ---- TUrlTarget ----

TUrlTarget& TUrlTarget::operator=(const TUrlTarget& other) noexcept {
  TSharedText::Hold(other.FLink);
  TSharedText::Drop(FLink);
  FLink = other.FLink;
  FID = other.FID;
  return *this;
}

TUrlTarget& TUrlTarget::operator=(TUrlTarget&& other) noexcept {
  if (this != &other) {
    TSharedText::Drop(FLink);
    FLink = other.FLink;
    FID = other.FID;
    other.FLink = 0;
    other.FID = 0;
  }
  return *this;
}

void TUrlTarget::Set(std::string_view url, std::string_view target, std::int32_t tabIndex) {
  TTextTable& t = Table();
  std::uint32_t link;
  {
    std::lock_guard lock(t.Mutex);
    const std::uint32_t next = t.InternLocked(target, 0, 0);
    link = t.InternLocked(url, next, tabIndex);
  }
  TSharedText::Drop(FLink);
  FLink = link;
}

void TUrlTarget::Assign(std::string_view url, std::string_view target) {
  Set(url, target, TabIndex());
  FID = NextLinkID();
}

void TUrlTarget::Clear() {
  TSharedText::Drop(FLink);
  FLink = 0;
  FID = 0;
}

std::string_view TUrlTarget::Target() const {
  return FLink ? TSharedText::TextOf(Made().At(FLink).Next) : std::string_view();
}

std::int32_t TUrlTarget::TabIndex() const { return FLink ? Made().At(FLink).Tab : 0; }

void TUrlTarget::SetTabIndex(std::int32_t value) {
  if (value != TabIndex()) Set(Url(), Target(), value);
}

}  // namespace korva
