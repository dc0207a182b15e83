// Cells: ordered lists of sections. TCellBasic holds and visits them; TCell lays its sections out
// against an indent manager of its own, borrowed for the layout (the document and table cells);
// TBlockCell is a block's content, using its block's manager.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/FreeList.h"
#include "layout/IndentManager.h"
#include "layout/SectionBase.h"

namespace korva {

class TBlock;
template <class T>
class TEmbedded;

// A view of a tag name in 10 bytes aligned to 2, so that it packs with the cell's y and depth:
// the pointer is kept as bytes next to a 16-bit length (a longer name is cut, which changes no
// comparison with a tag the program knows).
class TOwnerTag {
 public:
  TOwnerTag() = default;
  TOwnerTag& operator=(std::string_view tag) {
    const char* data = tag.data();
    std::memcpy(FData, &data, sizeof data);
    FSize = tag.size() <= UINT16_MAX ? std::uint16_t(tag.size()) : std::uint16_t(UINT16_MAX);
    return *this;
  }
  std::string_view View() const {
    const char* data = nullptr;
    std::memcpy(&data, FData, sizeof data);
    return {data, FSize};
  }
  operator std::string_view() const { return View(); }
  friend bool operator==(const TOwnerTag& a, std::string_view b) { return a.View() == b; }
  friend std::ostream& operator<<(std::ostream& out, const TOwnerTag& tag);

 private:
  unsigned char FData[sizeof(const char*)]{};
  std::uint16_t FSize = 0;
};

// A nesting depth in two bytes. Depths past the layout limit all mean "too deep", so a larger
// value is kept as the largest that fits.
class TCellDepth {
 public:
  TCellDepth() = default;
  TCellDepth& operator=(int depth) {
    FValue = std::int16_t(std::clamp(depth, 0, int(INT16_MAX)));
    return *this;
  }
  operator int() const { return FValue; }

 private:
  std::int16_t FValue = 0;
};

class TCellBasic : public TFreeList<TSectionBase> {
 public:
  TCellBasic() = default;
  // Frees a deep tree without recursion (see TSectionBase::ReleaseChildren).
  ~TCellBasic() override;
  void Clear() override;

  // The document of the sections: the one of the block, table or document that owns the cell.
  virtual TSectionList* Document() const = 0;

  int FCellY = 0;
  // Nesting depth of the cell: 0 for the document, the table's depth + 1 for a table cell, the
  // block's depth for its content (at most MaxLayoutDepth + 1).
  TCellDepth FDepth;

  // The tag of the element owning the cell ("default" for the document, "td" or "th" for a table
  // cell), and the block whose content the cell is (null for the document and table cells).
  // Each kind of cell keeps what it needs (a table cell has 24 bytes beside it in its object).
  virtual std::string_view OwnerTag() const = 0;
  virtual TBlock* ParentBlock() const { return nullptr; }

  // Appends a section (its document becomes ours). A finished text section with no characters
  // and no objects is freed instead; returns the section kept, or null.
  TSectionBase* AddSection(std::unique_ptr<TSectionBase> section);
  // The automatic bottom margin of the last block that is not absolutely positioned becomes 0
  // (a list item's is looked for in its content); called when the cell is closed.
  void SettleLastBottomMargin();

  virtual int LayoutCell(TCanvas& canvas, int x, int y, int xRef, int yRef, int width, int availHeight,
                         int blockHeight, IndentManager& indents, int& scrollWidth, int& cursor);
  virtual void MeasureMinMax(TCanvas& canvas, int& minWidth, int& maxWidth);
  virtual int Draw(TCanvas& canvas, const TRect& clip, IndentManager& indents, int x, int xRef, int yRef);
  virtual bool HotSpotAt(TCanvas& canvas, int x, int y, THotSpot& spot);

  bool ObjectAt(int x, int y, TFloatingObj*& object, int& ix, int& iy);
  int CaretFromPoint(TCanvas& canvas, int x, int y, int& xr, int& yr, int& caretHeight, bool& inText);
  int SearchForward(int from, const std::u16string& text, bool matchCase);
  int SearchBackward(int from, const std::u16string& text, bool matchCase);
  void FindAll(const std::u16string& text, bool matchCase, std::vector<std::pair<int, int>>& out);
  int SourcePosOf(int docPos);
  int DocPosOf(int sourcePos, bool previous);
  bool PointFromCaret(TCanvas& canvas, int cursor, int& x, int& y);
  bool CharAt(int pos, char16_t& ch, TCharObject& object);
  void AppendSelectedText(std::u16string& text);
  void CollectSections();
  // The y of the line holding a document position, asked of the sections in turn.
  bool LineYAt(int docPos, int& y);
  // Copies every section for another document.
  void CopyFrom(const TCellBasic& source, TSectionList* document);

  // The layout dump of the sections, one level deeper than `depth`.
  void Dump(TDumpWriter& out, int depth) const;

 protected:
  // Layout and drawing against an indent manager of the cell's own, from x to x + width (the
  // document and table cells: floats stay inside them and extend their height).
  int LayoutWithOwnIndents(TCanvas& canvas, int x, int y, int xRef, int yRef, int width, int availHeight,
                           int blockHeight, int& scrollWidth, int& cursor);
  int DrawWithOwnIndents(TCanvas& canvas, const TRect& clip, int x, int width, int xRef, int yRef);
};

class TCell : public TCellBasic {
 public:
  explicit TCell(TSectionList* document) : FDocument(document) {}
  TSectionList* Document() const override { return FDocument; }
  // Lays out against an indent manager of its own from 0 to width (not the one given); floats
  // extend the cell's height.
  int LayoutCell(TCanvas& canvas, int x, int y, int xRef, int yRef, int width, int availHeight, int blockHeight,
                 IndentManager& indents, int& scrollWidth, int& cursor) override;
  // The convenient form for the document.
  int LayoutOwn(TCanvas& canvas, int x, int y, int width, int availHeight, int blockHeight, int& scrollWidth,
                int& cursor);
  // Draws against a manager of its own too (not the one given).
  int Draw(TCanvas& canvas, const TRect& clip, IndentManager& indents, int x, int xRef, int yRef) override;
  int DrawOwn(TCanvas& canvas, const TRect& clip, int x, int xRef, int yRef);

  std::string_view OwnerTag() const override { return FOwnerTag.View(); }

  // Placed first, in the tail of the base.
  TOwnerTag FOwnerTag;  // "default" for the document
  TSectionList* FDocument;
  int FFirstChar = 0;  // the positions of the last layout
  int FCharCount = 0;
  int FWidth = 0;  // the width of the last layout
};

// The content of a block, held in place inside it (TBlock::FInnerCell): the block, and through it
// the document and the tag, are found from where the cell sits, so the cell keeps none of them.
class TBlockCell : public TCellBasic {
 public:
  TSectionList* Document() const override;
  std::string_view OwnerTag() const override;
  TBlock* ParentBlock() const override;

 private:
  // Made in place inside its block only (as its FInnerCell).
  friend class TEmbedded<TBlockCell>;
  explicit TBlockCell(TBlock* block);
};

// A cell held in place inside the object that owns it (one allocation for both), reached as
// through a pointer.
template <class T>
class TEmbedded {
 public:
  // Made with its owner's pointer (a document, or the table of a table cell).
  template <class TOwner>
  explicit TEmbedded(TOwner* owner) : FValue(owner) {}
  T* operator->() { return &FValue; }
  const T* operator->() const { return &FValue; }
  T& operator*() { return FValue; }
  const T& operator*() const { return FValue; }
  T* get() { return &FValue; }
  const T* get() const { return &FValue; }

 private:
  // An owner that declares its TEmbedded [[no_unique_address]] may place small fields in the
  // value's tail padding; elsewhere this changes nothing.
  [[no_unique_address]] T FValue;
};

}  // namespace korva
