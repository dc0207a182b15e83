// The link that surrounds the text being read (font runs keep a copy), and the shared texts it is
// made of.
//
// Large pages repeat the same few texts thousands of times (link addresses, picture names, alt
// texts, tags): a TSharedText is a 4-byte handle to one counted copy of its characters, held
// once for the whole program and freed with its last holder. The empty text holds nothing.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>

namespace korva {

class TSharedText {
 public:
  TSharedText() = default;
  TSharedText(std::string_view text);  // implicit: it stands in for a std::string field
  TSharedText(const TSharedText& other) noexcept : FHandle(other.FHandle) { Hold(FHandle); }
  TSharedText(TSharedText&& other) noexcept : FHandle(other.FHandle) { other.FHandle = 0; }
  ~TSharedText() { Drop(FHandle); }
  TSharedText& operator=(const TSharedText& other) noexcept;
  TSharedText& operator=(TSharedText&& other) noexcept;
  TSharedText& operator=(std::string_view text);

  // The characters; they stay valid while this holder keeps them.
  std::string_view str() const { return TextOf(FHandle); }
  operator std::string_view() const { return TextOf(FHandle); }
  bool empty() const { return FHandle == 0; }
  void clear() { *this = TSharedText(); }

  friend bool operator==(const TSharedText& a, const TSharedText& b) { return a.FHandle == b.FHandle; }
  friend bool operator==(const TSharedText& a, std::string_view b) { return a.str() == b; }

  // Texts held now, program-wide (for tests and probes).
  static std::size_t LiveCount();

 private:
  friend class TUrlTarget;
  static std::string_view TextOf(std::uint32_t handle) { return handle ? Lookup(handle) : std::string_view(); }
  static std::string_view Lookup(std::uint32_t handle);
  static void Hold(std::uint32_t handle) noexcept;
  static void Drop(std::uint32_t handle) noexcept;
  std::uint32_t FHandle = 0;
};

std::ostream& operator<<(std::ostream& out, const TSharedText& text);

// A link is its address, target window and tab index (shared by every link that has the same
// three) and the sequence number taken when it was set, which tells the runs of one link from
// those of another. Copies share the texts; an empty link holds nothing.
class TUrlTarget {
 public:
  TUrlTarget() = default;
  TUrlTarget(const TUrlTarget& other) noexcept : FLink(other.FLink), FID(other.FID) { TSharedText::Hold(FLink); }
  TUrlTarget(TUrlTarget&& other) noexcept : FLink(other.FLink), FID(other.FID) { other.FLink = 0, other.FID = 0; }
  ~TUrlTarget() { TSharedText::Drop(FLink); }
  TUrlTarget& operator=(const TUrlTarget& other) noexcept;
  TUrlTarget& operator=(TUrlTarget&& other) noexcept;

  // Sets URL and target and takes the next link sequence number.
  void Assign(std::string_view url, std::string_view target);
  // Copies all four fields.
  void Copy(const TUrlTarget& other) { *this = other; }
  void Clear();

  // Valid while this link (or a copy of it) keeps its texts.
  std::string_view Url() const { return TSharedText::TextOf(FLink); }
  std::string_view Target() const;
  int ID() const { return FID; }
  std::int32_t TabIndex() const;
  void SetTabIndex(std::int32_t value);

 private:
  void Set(std::string_view url, std::string_view target, std::int32_t tabIndex);
  std::uint32_t FLink = 0;  // the shared address, with the target and tab index when any
  int FID = 0;
};

}  // namespace korva
