// Borders of inline elements (a bordered SPAN, A, FONT ...): the document records the character
// range of each such element while the page is read; text sections ask, line by line, which of
// them cross the line and draw a BorderRec for each.
#pragma once

#include <memory>
#include <vector>

#include "core/FreeList.h"
#include "style/Properties.h"

namespace korva {

class TSectionList;

// One bordered inline element: its range, the serial of its property set and its box values
// converted against 200 x 200.
struct InlineRec {
  int StartB = 0;
  int EndB = 0;
  int Ident = 0;  // FSerial of the element's property set
  TBoxValues MargArray{};
};

// The piece of an inline border on one line. Positions are document positions clipped to the
// line; OpenStart says the border began on an earlier line, OpenEnd that it goes on below.
struct BorderRec {
  int BStart = 0;
  int BEnd = 0;
  bool OpenStart = false;
  bool OpenEnd = false;
  TBoxValues MargArray{};
  // Where the text section drew the piece (document coordinates), for the border pass.
  TRect BRect{};
  bool DrawPending = true;
};

// The inline borders crossing one line, found at its first drawing. Most lines have none, so
// the list is made only when there is one.
class TBorderList {
 public:
  TBorderList() = default;
  TBorderList(const TBorderList& other) { *this = other; }
  TBorderList& operator=(const TBorderList& other) {
    if (this != &other)
      FItems = other.FItems ? std::make_unique<std::vector<BorderRec>>(*other.FItems) : nullptr;
    return *this;
  }
  TBorderList(TBorderList&&) noexcept = default;
  TBorderList& operator=(TBorderList&&) noexcept = default;

  std::size_t size() const { return FItems ? FItems->size() : 0; }
  bool empty() const { return size() == 0; }
  BorderRec& operator[](std::size_t i) { return (*FItems)[i]; }
  const BorderRec& operator[](std::size_t i) const { return (*FItems)[i]; }
  BorderRec* begin() { return FItems ? FItems->data() : nullptr; }
  BorderRec* end() { return begin() + size(); }
  const BorderRec* begin() const { return FItems ? FItems->data() : nullptr; }
  const BorderRec* end() const { return begin() + size(); }
  void clear() { FItems.reset(); }
  // Takes the borders found (an empty list keeps nothing).
  void Assign(std::vector<BorderRec>&& items) {
    if (items.empty()) FItems.reset();
    else FItems = std::make_unique<std::vector<BorderRec>>(std::move(items));
  }

 private:
  std::unique_ptr<std::vector<BorderRec>> FItems;
};

class TInlineList : public TFreeList<InlineRec> {
 public:
  // Answer of StartB/EndB for an index out of range.
  static constexpr int OutOfRange = 99999999;
  // End of a range that has not been closed yet.
  static constexpr int OpenEnd = 999999;

  explicit TInlineList(TSectionList* document) : FDocument(document) {}
  void Clear() override;

  // An element with borders starts at a source position.
  void AddStart(int sourcePos, const TProperties& props, int emPixels, int exPixels);
  // The element with that property set ends: the last record of that serial gets the end.
  void AddEnd(int sourcePos, int serial);

  // Document positions (converted from source positions on the first query after loading).
  int StartB(int index);
  int EndB(int index);

  // The pieces of every recorded border that overlaps the line [lineStart, lineEnd).
  void BordersForLine(int lineStart, int lineEnd, std::vector<BorderRec>& out);

  // True until the positions have been converted to document positions.
  bool FNeedsConverting = true;

 private:
  void AdjustValues();
  TSectionList* FDocument;
};

}  // namespace korva
