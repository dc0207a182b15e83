// An object standing in the text of a section for one placeholder character: an image or panel
// (FloatingObj.h), or the view of a form control. Line breaking sizes it, places it in its line
// or at a margin, and draws it; hit tests ask it for its link, title or map answer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "core/IDNameList.h"
#include "layout/SectionBase.h"
#include "style/Properties.h"

namespace korva {

class TSectionList;

// Sizes are of the object's box; the spaces lie around it.
class TTextObject : public TIDObject {
 public:
  ~TTextObject() override = default;
  // Sizes the object for the usable width of its section (objects sized by percentage).
  virtual void SizeFor(TCanvas& canvas, int usableWidth) = 0;
  virtual int ObjWidth() const = 0;
  virtual int ObjHeight() const = 0;
  virtual int HSpaceL() const { return 0; }
  virtual int HSpaceR() const { return 0; }
  virtual int VSpaceT() const { return 0; }
  virtual int VSpaceB() const { return 0; }
  // 0 in the line, 1 floating left, 2 floating right.
  virtual int FloatKind() const { return 0; }
  virtual TAlignCode VertAlign() const { return acBottom; }
  // Sized by a percentage of the line: its minimum width does not count.
  virtual bool PercentSized() const { return false; }
  // The box's top-left in document coordinates, set by layout.
  virtual void Place(int x, int y) {
    FX = x;
    FY = y;
  }
  int X() const { return FX; }
  int Y() const { return FY; }
  int DocumentY() override { return FY; }
  // Draws the box at its place moved by (dx, dy).
  virtual void DrawObj(TCanvas& canvas, int dx, int dy) = 0;
  // The link the object stands in has the keyboard focus (set before drawing).
  void SetLinkFocused(bool on) { FLinkFocused = on; }
  // For hit tests and the character-object query.
  virtual TFloatingObj* AsImage() { return nullptr; }
  virtual TFormControlObj* AsControl() { return nullptr; }
  // Link, title or map answer at a document point inside the box.
  virtual bool HotSpotAt(int x, int y, THotSpot& spot) {
    (void)x, (void)y, (void)spot;
    return false;
  }
  // The copy for another document (printing); null when the object is not printed.
  virtual std::unique_ptr<TTextObject> CloneObjectForPrint(TSectionList* document) const {
    (void)document;
    return nullptr;
  }
  // The index of the object's placeholder in its section's text.
  int TextIndex() const { return FTextIndex; }
  // Mouse feedback: 0 none, 1 hover, 2 pressed (ACTIVE images show it).
  virtual void SetMouseState(int state) { (void)state; }
  // The placeholder moved (characters before it were dropped).
  virtual void SetTextIndex(int index) { FTextIndex = index; }
  virtual void DumpObj(TDumpWriter& out, int depth) const;

 protected:
  TTextObject() = default;
  explicit TTextObject(int textIndex) : FTextIndex(textIndex) {}

  int FX = 0, FY = 0;
  bool FLinkFocused = false;
  int FTextIndex = 0;
};

// The objects of a section in text order, owned. Most sections with objects hold one (an icon,
// a picture), which is kept in the list's own word; more go to a block.
class TTextObjectList {
 public:
  TTextObjectList() = default;
  TTextObjectList(const TTextObjectList&) = delete;
  TTextObjectList& operator=(const TTextObjectList&) = delete;
  ~TTextObjectList() { Clear(); }

  std::size_t size() const { return !FOne ? 0 : IsBlock() ? Block()->Size : 1; }
  bool empty() const { return FOne == nullptr; }
  TTextObject* const* begin() const { return IsBlock() ? Items() : FOne ? &FOne : nullptr; }
  TTextObject* const* end() const { return begin() + size(); }
  TTextObject* operator[](std::size_t i) const { return begin()[i]; }
  TTextObject* back() const { return end()[-1]; }
  void push_back(std::unique_ptr<TTextObject> object);
  void Clear();
  // Gives back unused room (a single object goes back into the word).
  void shrink_to_fit();
  // Heap bytes held (the objects themselves not counted).
  std::size_t CapacityBytes() const;

 private:
  struct THeader {
    std::uint32_t Size, Capacity;
  };
  // The word is null, the only object (objects are aligned to 8), or a block of pointers with
  // the low bit set.
  std::uintptr_t Word() const { return reinterpret_cast<std::uintptr_t>(FOne); }
  bool IsBlock() const { return (Word() & 1) != 0; }
  THeader* Block() const { return reinterpret_cast<THeader*>(Word() & ~std::uintptr_t(1)); }
  TTextObject** Items() const { return reinterpret_cast<TTextObject**>(Block() + 1); }
  static std::size_t BlockBytes(std::uint32_t capacity) { return sizeof(THeader) + capacity * sizeof(TTextObject*); }
  void Regrow(std::uint32_t capacity);

  TTextObject* FOne = nullptr;
};

}  // namespace korva
