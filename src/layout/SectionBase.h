// The base of everything laid out in a document: a run of text, a block box, a table, a rule,
// a page break. Sections live in cells (Cell.h); the document (SectionList.h) is the root cell.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/IDNameList.h"
#include "core/UrlTarget.h"
#include "layout/LayoutLimits.h"
#include "platform/Types.h"

namespace korva {

class TCanvas;
class TSectionList;
class IndentManager;
class TFloatingObj;
class TFormControlObj;
class TTextObject;
class TDumpWriter;
class TDetailsBlock;

// A run of a link's text, as the document's link list holds it: the document switches every
// run of a link between its normal and hover fonts together. The link records of font runs
// (FontObj.h) are these runs; the link and its marks are kept here, packed, so that a record
// needs no table of virtual functions.
class TLinkRun : public TPooled {
 public:
  TUrlTarget UrlTarget;
  // y of the link's line, for scrolling to it; layout coordinates are clamped well inside 28 bits.
  int YValue : 28 = 0;
  bool Visited : 1 = false, Hover : 1 = false, Focused : 1 = false;
  bool InLinkList : 1 = false;

  int LinkID() const { return UrlTarget.ID(); }
  void SetHover(bool on) { Hover = on; }

 protected:
  TLinkRun() = default;
  ~TLinkRun() = default;  // deleted as the record it is part of
};

// What lies under a point: the link (when IsLink), the form control, the title to show as a tool
// tip, and the objects the document's hover tracking switches.
struct THotSpot {
  bool IsLink = false;
  TUrlTarget Link;
  TFormControlObj* Control = nullptr;
  std::string Title;
  bool HasTitle = false;
  TLinkRun* LinkRun = nullptr;      // a font run of the link under the point
  TTextObject* Image = nullptr;     // the image under the point (it shows mouse feedback)
  TDetailsBlock* Disclosure = nullptr;  // the details block whose summary is under the point
};

// The object at a character position (placeholder characters 4 and 2).
struct TCharObject {
  TFloatingObj* Image = nullptr;
  TFormControlObj* Control = nullptr;
};

class TSectionBase : public TIDObject {
 public:
  explicit TSectionBase(TSectionList* document) : FDocument(document) {}
  // The copy for another document (printing): the height carried over.
  TSectionBase(TSectionList* document, const TSectionBase& source);
  ~TSectionBase() override = default;
  TSectionBase(const TSectionBase&) = delete;
  TSectionBase& operator=(const TSectionBase&) = delete;

  TSectionList* FDocument;
  int FBoxHeight = 0;
  int FFirstChar = 0;
  int FDocY = NotLaidOutY;

  // Where the section's box starts and ends in the flow, and the top and bottom of what it
  // paints. A section other than a block is laid out at its y and paints from there, so only
  // blocks (whose margins and positioning move them apart) keep these apart; text, tables and
  // blocks may paint below their box (floats).
  virtual int InnerTop() const { return FDocY; }
  virtual int InnerBottom() const { return FDocY + FBoxHeight; }
  virtual int PaintTop() const { return FDocY; }
  virtual int PaintBottom() const { return FDocY + FBoxHeight; }
  // The document positions the section holds, from FFirstChar (set by layout).
  virtual int CharCount() const { return 0; }
  // The drawing order among a block's children (CSS z-index); only blocks have one.
  virtual int StackLevel() const { return 0; }

  // ---- the operations, in slot order ----
  int DocumentY() override { return FDocY; }
  // A deep copy for another document (the copy-constructor slot).
  virtual std::unique_ptr<TSectionBase> CloneForPrint(TSectionList* document) const;
  virtual void AppendSelectedText(std::u16string& text);
  // Lays the section out at (x, y) for the available width; the references are the origin of
  // the nearest positioned block. Returns the height it takes in the flow; reports in maxWidth
  // the width it would need, and advances cursor by its character count.
  virtual int LayoutSection(TCanvas& canvas, int x, int y, int xRef, int yRef, int availWidth, int availHeight,
                            int blockHeight, IndentManager& indents, int& maxWidth, int& cursor);
  // Draws what meets the clip rectangle (document coordinates); returns the y after the section.
  virtual int Draw(TCanvas& canvas, const TRect& clip, IndentManager& indents, int x, int xRef, int yRef);
  virtual bool HotSpotAt(TCanvas& canvas, int x, int y, THotSpot& spot);
  virtual bool ObjectAt(int x, int y, TFloatingObj*& object, int& ix, int& iy);
  virtual int CaretFromPoint(TCanvas& canvas, int x, int y, int& xr, int& yr, int& caretHeight, bool& inText);
  virtual int SearchForward(int from, const std::u16string& text, bool matchCase);
  virtual int SearchBackward(int from, const std::u16string& text, bool matchCase);
  // Every occurrence of the text (already lower-cased when the case does not matter), as
  // [first, end) document positions in order. A match lies within one text section.
  virtual void FindAll(const std::u16string& text, bool matchCase, std::vector<std::pair<int, int>>& out);
  virtual int SourcePosOf(int docPos);
  virtual int DocPosOf(int sourcePos, bool previous);
  virtual bool PointFromCaret(TCanvas& canvas, int cursor, int& x, int& y);
  virtual bool CharAt(int pos, char16_t& ch, TCharObject& object);
  virtual void MeasureMinMax(TCanvas& canvas, int& minWidth, int& maxWidth);
  virtual void CollectSections();

  // ---- beyond the slots ----
  // The y of the line holding a document position, when this section holds it.
  virtual bool LineYAt(int docPos, int& y) {
    if (docPos < FFirstChar || docPos >= FFirstChar + CharCount()) return false;
    y = FDocY;
    return true;
  }
  // The name of the kind in the layout dump ("block", "text", ...), and the element's tag.
  virtual const char* DumpKind() const { return "section"; }
  virtual std::string DumpTag() const { return {}; }
  // Writes the section (and what it holds) into the layout dump.
  virtual void Dump(TDumpWriter& out, int depth) const;
  // Moves the sections this one owns into `out`, so that a deep tree can be freed without
  // recursion.
  virtual void ReleaseChildren(std::vector<std::unique_ptr<TSectionBase>>& out) { (void)out; }
  // Blocks answer true; the margin collapsing of a new block looks at its predecessor.
  virtual bool IsBlock() const { return false; }
  // Positioned sections may paint outside their place in the flow: drawing always visits them.
  virtual bool PaintsOutsideBox() const { return false; }
  // A finished text section without characters or objects: a cell does not keep it.
  virtual bool IsEmptyText() const { return false; }
  // Closing a cell: a block that is not absolutely positioned drops an automatic bottom margin
  // and answers true (the search stops); other sections answer false.
  virtual bool SettleBottomMargin() { return false; }
};

}  // namespace korva
