#include "layout/SectionText.h"

#include "layout/DocumentStore.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

namespace korva {

static_assert(sizeof(std::uintptr_t) == 8, "inline text needs a 64-bit word");
static_assert(std::endian::native == std::endian::little, "inline characters are read in place, low byte first");
static_assert(__STDCPP_DEFAULT_NEW_ALIGNMENT__ >= 4 && TDocumentStore::Alignment >= 4,
              "block pointers need their two low bits clear");

int TSectionText::Encode(char16_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return int(c);
  for (int k = 0; k < 32; ++k)
    if (High[k] == c) return 0x80 + k;
  return -1;
}

TSectionText::THeader* TSectionText::NewBlock(std::uint32_t capacity, bool wide) {
  if (capacity > std::uint32_t(std::numeric_limits<std::int32_t>::max())) throw std::length_error("section text");
  const std::size_t bytes = DataOffset + std::size_t(capacity) * (wide ? 2 : 1);
  auto* b = static_cast<THeader*>(::operator new(bytes));
  b->Size = 0;
  b->Capacity = capacity;
  b->Wide = wide ? 1 : 0;
  return b;
}

void TSectionText::Release() {
  if (FWord && !IsInline() && !IsStored()) ::operator delete(Block());
  FWord = 0;
}

void TSectionText::Unstore() {
  if (IsStored()) Rebuild(Block()->Size, Block()->Wide != 0);
}

void TSectionText::MoveTo(TDocumentStore& store) {
  if (!FWord || IsInline() || IsStored()) return;
  const THeader* b = Block();
  const std::size_t bytes = std::size_t(b->Size) * (b->Wide ? 2 : 1);
  // The size word, then the characters; adding to the text copies it back to the heap.
  auto* stored = static_cast<std::uint8_t*>(store.Allocate(StoredHeader + bytes));
  static_assert(offsetof(THeader, Capacity) == 0 && sizeof(THeader) == DataOffset && DataOffset == 2 * StoredHeader);
  std::memcpy(stored, reinterpret_cast<const std::uint8_t*>(b) + StoredHeader, StoredHeader);
  std::memcpy(stored + StoredHeader, NarrowChars(b), bytes);
  Release();
  FWord = (reinterpret_cast<std::uintptr_t>(stored) - StoredHeader) | 2;
}

TSectionText::TSectionText(const TSectionText& other) {
  if (!other.FWord || other.IsInline()) {
    FWord = other.FWord;
    return;
  }
  const THeader* src = other.Block();
  THeader* b = NewBlock(src->Size, src->Wide != 0);
  std::memcpy(NarrowChars(b), NarrowChars(src), std::size_t(src->Size) * (src->Wide ? 2 : 1));
  b->Size = src->Size;
  FWord = reinterpret_cast<std::uintptr_t>(b);
}

TSectionText& TSectionText::operator=(TSectionText&& other) noexcept {
  if (this != &other) {
    Release();
    FWord = other.FWord;
    other.FWord = 0;
  }
  return *this;
}

void TSectionText::Rebuild(std::uint32_t capacity, bool wide) {
  const int n = Size();
  THeader* b = NewBlock(std::max<std::uint32_t>(capacity, std::uint32_t(n)), wide);
  if (wide) {
    CopyTo(0, n, WideChars(b));
  } else if (!IsInline() && FWord && !Wide()) {
    std::memcpy(NarrowChars(b), NarrowChars(Block()), std::size_t(n));
  } else {
    // Narrowing from the inline form, or from wide text whose characters all have a byte.
    for (int i = 0; i < n; ++i) NarrowChars(b)[i] = std::uint8_t(Encode((*this)[i]));
  }
  b->Size = std::uint32_t(n);
  Release();
  FWord = reinterpret_cast<std::uintptr_t>(b);
}

void TSectionText::Reserve(std::uint32_t more, bool wide) {
  const std::uint32_t n = std::uint32_t(Size());
  const bool block = FWord && !IsInline();
  if (block && Wide() == wide && Room() - n >= more) return;
  std::uint32_t room = block ? Room() : 0;
  if (room < n + more) room = std::max<std::uint32_t>({16, n + more, 2 * n});
  Rebuild(room, wide);
}

void TSectionText::Append(char16_t c) {
  const int code = Encode(c);
  const int n = Size();
  if (code >= 0 && (IsInline() || !FWord) && n < InlineCapacity) {
    const std::uintptr_t count = std::uintptr_t(n + 1);
    FWord = (FWord & ~std::uintptr_t(0xFF)) | (count << 1) | 1;
    FWord |= std::uintptr_t(code) << (8 * (n + 1));
    return;
  }
  Reserve(1, Wide() || code < 0);
  THeader* b = Block();
  if (b->Wide) WideChars(b)[b->Size] = c;
  else NarrowChars(b)[b->Size] = std::uint8_t(code);
  ++b->Size;
}

void TSectionText::Append(const char16_t* s, int n) {
  if (n <= 0) return;
  if (n == 1 || (Size() + n <= InlineCapacity && (IsInline() || !FWord))) {
    for (int i = 0; i < n; ++i) Append(s[i]);
    return;
  }
  bool wide = Wide();
  for (int i = 0; i < n && !wide; ++i) wide = s[i] >= 0x80 && Encode(s[i]) < 0;
  Reserve(std::uint32_t(n), wide);
  THeader* b = Block();
  if (wide) {
    std::memcpy(WideChars(b) + b->Size, s, std::size_t(n) * 2);
  } else {
    std::uint8_t* out = NarrowChars(b) + b->Size;
    for (int i = 0; i < n; ++i) out[i] = std::uint8_t(s[i] < 0x80 ? int(s[i]) : Encode(s[i]));
  }
  b->Size += std::uint32_t(n);
}

void TSectionText::Set(int i, char16_t c) {
  Unstore();
  const int code = Encode(c);
  if (IsInline() && code >= 0) {
    const int shift = 8 * (i + 1);
    FWord = (FWord & ~(std::uintptr_t(0xFF) << shift)) | (std::uintptr_t(code) << shift);
    return;
  }
  if (code < 0 && !Wide()) Rebuild(std::uint32_t(Size()), true);
  else if (IsInline()) Rebuild(std::uint32_t(Size()), false);
  THeader* b = Block();
  if (b->Wide) WideChars(b)[i] = c;
  else NarrowChars(b)[i] = std::uint8_t(code);
}

void TSectionText::Truncate(int n) {
  if (n >= Size()) return;
  Unstore();
  if (n <= 0) {
    Release();
  } else if (IsInline()) {
    const std::uintptr_t keep = (std::uintptr_t(1) << (8 * (n + 1))) - 1;
    FWord = ((FWord & keep) & ~std::uintptr_t(0xFF)) | (std::uintptr_t(n) << 1) | 1;
  } else {
    Block()->Size = std::uint32_t(n);
  }
}

void TSectionText::Compact(const char* keep) {
  const int n = Size();
  if (IsInline()) {
    std::uintptr_t word = 1;
    int k = 0;
    for (int i = 0; i < n; ++i)
      if (keep[i]) word |= ((FWord >> (8 * (i + 1))) & 0xFF) << (8 * (++k));
    FWord = k ? word | (std::uintptr_t(k) << 1) : 0;
    return;
  }
  if (!FWord) return;
  Unstore();
  THeader* b = Block();
  int k = 0;
  if (b->Wide) {
    char16_t* c = WideChars(b);
    for (int i = 0; i < n; ++i)
      if (keep[i]) c[k++] = c[i];
  } else {
    std::uint8_t* c = NarrowChars(b);
    for (int i = 0; i < n; ++i)
      if (keep[i]) c[k++] = c[i];
  }
  b->Size = std::uint32_t(k);
}

void TSectionText::ShrinkToFit() {
  if (!FWord || IsInline()) return;
  const int n = Size();
  bool narrow = true;
  for (int i = 0; narrow && i < n && Wide(); ++i) narrow = Encode((*this)[i]) >= 0;
  if (n == 0) {
    Release();
  } else if (narrow && n <= InlineCapacity) {
    std::uintptr_t word = (std::uintptr_t(n) << 1) | 1;
    for (int i = 0; i < n; ++i) word |= std::uintptr_t(Encode((*this)[i])) << (8 * (i + 1));
    Release();
    FWord = word;
  } else if (narrow != !Wide() || Room() != std::uint32_t(n)) {
    Rebuild(std::uint32_t(n), !narrow);
  }
}

int TSectionText::Find(char16_t c, int from) const {
  const int n = Size();
  from = std::max(from, 0);
  if (from >= n) return n;
  if (const char16_t* w = WideData()) {
    const char16_t* hit = std::find(w + from, w + n, c);
    return int(hit - w);
  }
  const int code = Encode(c);
  if (code < 0) return n;
  const std::uint8_t* b = NarrowData();
  const void* hit = std::memchr(b + from, code, std::size_t(n - from));
  return hit ? int(static_cast<const std::uint8_t*>(hit) - b) : n;
}

void TSectionText::CopyTo(int pos, int n, char16_t* out) const {
  if (n <= 0) return;
  if (Wide()) {
    std::memcpy(out, WideChars(Block()) + pos, std::size_t(n) * 2);
    return;
  }
  if (IsInline()) {
    for (int i = 0; i < n; ++i) out[i] = (*this)[pos + i];
    return;
  }
  const std::uint8_t* s = NarrowChars(Block()) + pos;
  for (int i = 0; i < n; ++i) out[i] = Decode(s[i]);
}

std::u16string TSectionText::String(int pos, int n) const {
  const int size = Size();
  pos = std::clamp(pos, 0, size);
  if (n < 0 || n > size - pos) n = size - pos;
  std::u16string out(std::size_t(n), u'\0');
  CopyTo(pos, n, out.data());
  return out;
}

std::size_t TSectionText::CapacityBytes() const {
  if (!FWord || IsInline()) return 0;
  return (IsStored() ? StoredHeader : DataOffset) + std::size_t(Room()) * (Block()->Wide ? 2 : 1);
}

TUtf16Piece::TUtf16Piece(const TSectionText& text, int pos, int n) {
  if (const char16_t* wide = text.WideData()) {
    FData = wide + pos;
  } else if (n <= Chunk) {
    text.CopyTo(pos, n, FSmall);
    FData = FSmall;
  } else {
    FLarge.resize(std::size_t(n));
    text.CopyTo(pos, n, FLarge.data());
    FData = FLarge.data();
  }
}

}  // namespace korva
