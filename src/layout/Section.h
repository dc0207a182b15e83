// A text section: one run of inline content (the characters of a paragraph up to a line break,
// with inline objects and font changes), broken into lines for a width, drawn, hit-tested,
// searched and copied.
//
// Objects in the text stand for one placeholder character each: 4 an image or panel, 2 a form
// control; 8 is a line break. Every character has a break flag, 'y' where a line may break at
// it and 'n' inside NOBR or preformatted text.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/CompactVector.h"
#include "core/SlotArena.h"
#include "core/Symbols.h"
#include "core/TokenObj.h"
#include "layout/FontObj.h"
#include "layout/InlineList.h"
#include "layout/LineStore.h"
#include "layout/SectionBase.h"
#include "layout/SectionText.h"
#include "layout/SourceIndex.h"
#include "layout/TextObject.h"
#include "style/Properties.h"

namespace korva {

class TAttributeList;
class TCellBasic;
class ThtmlForm;

enum : char16_t { ccControl = 2, ccObject = 4, ccLineBreak = 8 };

// A laid-out line: what the section keeps of it (TLineSlot), with what follows from its place
// among the others. Floats placed below a line are not counted in its height: they are drawn by
// their own box.
struct LineRec : TLineSlot {
  int Ln = 0;          // character count
  int SpaceAfter = 0;
  int Index = -1;      // in its section's lines, once kept
  int Height() const { return LineHt + SpaceBefore + SpaceAfter; }
  int DrawY() const { return Top + SpaceBefore; }  // top of the text
};

class TSection;
// A section's lines, read as LineRec values.
class TLineList {
 public:
  explicit TLineList(const TSection& section) : FSection(section) {}
  std::size_t size() const;
  bool empty() const { return size() == 0; }
  LineRec operator[](std::size_t i) const;

 private:
  const TSection& FSection;
};

// Whether a line may break at each character of a section: one bit per character, set where it
// may not (inside NOBR or preformatted text). Nothing is held while every character may break,
// which is most text; characters past the stored bits may break.
class TBreakFlags {
 public:
  bool CanBreak(int i) const {
    const std::uint32_t w = std::uint32_t(i) >> 6;
    return i < 0 || w >= FBits.size() || !((FBits[w] >> (std::uint32_t(i) & 63)) & 1);
  }
  void Set(int i, bool canBreak);
  // The same flag for characters [from, from + n).
  void SetRange(int from, int n, bool canBreak);
  // Forgets the flags of characters at and after `n`.
  void Truncate(int n);
  // Whether none of characters [0, n) may break.
  bool NoneBreaks(int n) const;
  // Frees what no flag needs.
  void ShrinkToFit();
  std::size_t CapacityBytes() const { return FBits.capacity() * sizeof(std::uint64_t); }
  // 'y' (may break) or 'n' for each of `n` characters, for reports and tests.
  std::string Text(int n) const;

 private:
  void Grow(std::uint32_t words);
  TCompactVector<std::uint64_t> FBits;
};

// Case folding of the scripts whose case pairs sit at fixed distances (Latin-1, Greek, Cyrillic);
// other characters stay as they are. Searching without regard to case compares folded text.
char16_t ToLower16(char16_t c);

// The marker backgrounds of search matches (0x00BBGGRR): yellow, and orange for the current one.
constexpr TColor MatchColor = 0x0000FFFFu;
constexpr TColor CurrentMatchColor = 0x003296FFu;

class TSection : public TSectionBase {
 public:
  // A section for the element whose property set is `props`; `link` (may be null or empty) is
  // the link being read. `firstInBlock` gives it the block's first-line indent.
  TSection(TSectionList* document, const TUrlTarget* link, const TProperties& props, bool firstInBlock,
           const TAttributeList* attributes);
  TSection(TSectionList* document, const TSection& source);
  ~TSection() override;

  // ---- content ----
  virtual void AddTokenObj(const TokenObj& token);
  virtual void AddChar(char16_t ch, int sourcePos);
  // A new font run at the current end from a property set (the last run's font is replaced
  // when nothing was added since it started); the run keeps the current link.
  void ChangeFont(const TProperties& props);
  // Link start (a link run with `link`) or link end (a plain run).
  void HRef(bool start, const TUrlTarget& link, const TProperties& props);
  // An image, panel (placeholder 4) or form control (placeholder 2) at the current end.
  TTextObject* AddObject(std::unique_ptr<TTextObject> object, char16_t placeholder, int sourcePos);
  // An image or panel (made for the current end: its text index is the current length).
  TFloatingObj* AddImage(std::unique_ptr<TFloatingObj> image, int sourcePos);
  // The form control of an INPUT, SELECT or TEXTAREA at the current end (placeholder 2; a file
  // input adds its browse button after it, an image input an image instead, a hidden one
  // nothing). It joins `form`, which is made when there is none.
  TFormControlObj* AddFormControl(TSymbol which, const TAttributeList& attributes, const TProperties& props,
                                  ThtmlForm*& form, TCellBasic* cell, int sourcePos);
  virtual void Finish();
  // Takes the section's link runs out of the document's link list and the section out of the
  // id list (a section dropped before it is placed).
  void RemoveFromDocumentLists();
  // ---- content, read ----
  // The characters, with a placeholder for each object (a copy: the section keeps them compactly).
  std::u16string Text() const { return BuffS.String(); }
  int TextLength() const { return BuffS.Size(); }
  // Replaces one character in place (a disclosure marker that changes with its box's state).
  void SetCharAt(int index, char16_t ch) {
    if (index < 0 || index >= BuffS.Size()) return;
    BuffS.Set(index, ch);
    FMinWidthCache = 0;  // measure again
  }
  // Whether the text holds nothing but spaces (or nothing).
  bool OnlySpaces() const;
  // 'y' where a line may break at a character, 'n' where not, for the text and its end.
  std::string BreakFlags() const;
  bool CanBreakAt(int index) const {
    // Preformatted text breaks nowhere but at its end, and needs no flags to say so.
    if (FPreFormated || FNoBreakAll) return index < 0 || index >= BuffS.Size();
    return !FRare || FRare->Brk.CanBreak(index);
  }
  const TFontList& Fonts() const { return FFonts; }
  TLineList Lines() const { return TLineList(*this); }
  int LineCount() const { return FLines.Count(); }
  // Line i (0 <= i < LineCount()) with its character count and space below.
  LineRec Line(int i) const;
  const TSourceIndex& SourceIndex() const { return SIndexList; }
  int Justify() const { return FJustify; }
  bool Finished() const { return FFinished; }
  // The document-wide number given at Finish to a section holding characters; 0 otherwise.
  int SectionNumber() const { return FSectionNumber; }
  // The box of the line part from character index `index` to the end of its run (document
  // coordinates, as last laid out); false when the index is on no line.
  bool RunBox(int index, TRect& box) const;
  // The inline borders crossing line `line`, once it has been drawn; null when none.
  const std::vector<BorderRec>* LineBorders(int line) const;
  // Bytes held per character (text, flags, positions, runs, lines), for memory reports.
  std::size_t MemoryBytes() const;

  // ---- the operations ----
  std::unique_ptr<TSectionBase> CloneForPrint(TSectionList* document) const override;
  void AppendSelectedText(std::u16string& text) override;
  int LayoutSection(TCanvas& canvas, int x, int y, int xRef, int yRef, int availWidth, int availHeight,
                    int blockHeight, IndentManager& indents, int& maxWidth, int& cursor) override;
  int Draw(TCanvas& canvas, const TRect& clip, IndentManager& indents, int x, int xRef, int yRef) override;
  bool HotSpotAt(TCanvas& canvas, int x, int y, THotSpot& spot) override;
  bool ObjectAt(int x, int y, TFloatingObj*& object, int& ix, int& iy) override;
  int CaretFromPoint(TCanvas& canvas, int x, int y, int& xr, int& yr, int& caretHeight, bool& inText) override;
  int SearchForward(int from, const std::u16string& text, bool matchCase) override;
  int SearchBackward(int from, const std::u16string& text, bool matchCase) override;
  void FindAll(const std::u16string& text, bool matchCase, std::vector<std::pair<int, int>>& out) override;
  int SourcePosOf(int docPos) override;
  int DocPosOf(int sourcePos, bool previous) override;
  bool PointFromCaret(TCanvas& canvas, int cursor, int& x, int& y) override;
  bool CharAt(int pos, char16_t& ch, TCharObject& object) override;
  void MeasureMinMax(TCanvas& canvas, int& minWidth, int& maxWidth) override;
  bool LineYAt(int docPos, int& y) override;
  const char* DumpKind() const override { return "text"; }
  void Dump(TDumpWriter& out, int depth) const override;
  bool IsEmptyText() const override { return FFinished && BuffS.Empty(); }
  int CharCount() const override { return BuffS.Size(); }
  int PaintBottom() const override;

 protected:
  // Width of [a, b) as drawn: text by its fonts, objects in the line by their boxes and
  // spaces, floating objects nothing.
  int MeasureRange(int a, int b) const;
  // Width of [a, b) with a line's justification applied.
  int MeasureInLine(const LineRec& line, int a, int b) const;
  // The font's width of characters [pos, pos + n), and its fit of them into maxWidth (the
  // count in `count`, the width returned), as TPlatformFont::TextWidth and FitText give them.
  std::int64_t TextWidthOf(const TPlatformFont& font, int pos, int n) const;
  int FitTextOf(const TPlatformFont& font, int pos, int n, int maxWidth, int extra, int& count) const;
  // What fitting lines needs across one layout pass and no longer.
  struct TFitScratch {
    std::vector<int> PendingFloats;  // floats met inside the line being fitted
    // Where the nearest line break at or after an index lies.
    int NextBreakFrom = -1, NextBreak = 0;
  };
  // Count of characters from `start` that fit into `width` (see LayoutSection).
  int FitLine(TFitScratch& scratch, int start, int width, int y, IndentManager& indents, bool& placedFloat);
  void FinishLine(LineRec& line, int x, int left, int right, bool lastLine);
  void PlaceFloat(TTextObject& obj, int y, IndentManager& indents);
  TTextObject* ObjectAtIndex(int index) const;
  // Index of the first object at or after a character index.
  int FirstObjectFrom(int index) const;
  int LineOfIndex(int index) const;
  int LineAtY(int y) const;
  int MaxCharWidthAll() const;
  // Deletes the characters not kept, shifting font runs and objects.
  void Compact(const std::vector<char>& keep);
  // Records the source positions of n characters added at `index`.
  void AppendSource(int index, const std::int32_t* positions, int n);
  void StartRun(const TProperties& props, const TUrlTarget* link, bool setLink);
  void DrawLine(TCanvas& canvas, LineRec& line, int dx, int dy);
  // Keeps a line just laid out, after the others.
  void KeepLine(const LineRec& line);
  // Backgrounds and borders of the inline elements crossing a line, under its text.
  void DrawInlineBorders(TCanvas& canvas, LineRec& line, int dx, int dy);
  // Tells the viewer how far formatting has come (once per layout pass for every 50th section).
  void ReportProgress();
  // Drops the document's remembered caret fit when it is this section's.
  void ForgetCaretFit();
  int EndOfText(const LineRec& line) const;
  // The width the last layout reported, as the layout dump shows it.
  virtual int ReportedWidth() const { return FLayoutWidth; }

  // What few sections have, held apart from the rest: break flags of NOBR text, objects in the
  // text and a first-line indent.
  struct TRare {
    TBreakFlags Brk;
    TTextObjectList Objects;
    int FirstLineIndent = 0;
    std::uint8_t FirstLinePercent = 0;  // first-line indent in percent, 0 to 90
    // The inline borders crossing lines, by line index, for the lines drawn since layout (null
    // until a line has some).
    std::unique_ptr<std::vector<std::pair<int, std::vector<BorderRec>>>> LineBorders;
    int WideSectionLeft = 0;  // the section's left edge, when its offset does not fit the section
  };
  using TRareArena = TSlotArena<TRare, 1u << 16>;
  static TRareArena& Rares();
  // The rare record by its number in the arena: four bytes in the section.
  class TRareRef {
   public:
    TRareRef() = default;
    TRareRef(const TRareRef&) = delete;
    TRareRef& operator=(const TRareRef&) = delete;
    ~TRareRef() { reset(); }
    explicit operator bool() const { return FNumber != 0; }
    TRare* operator->() const { return Rares().Get(FNumber); }
    TRare& operator*() const { return *Rares().Get(FNumber); }
    void Make() {
      if (!FNumber) FNumber = Rares().New();
    }
    void reset() noexcept {
      Rares().Delete(FNumber);
      FNumber = 0;
    }

   private:
    std::uint32_t FNumber = 0;
  };
  // Justification of a line: the spaces that share the room left and that room; false when
  // the line is not justified.
  bool Justification(const LineRec& line, int& spaces, int& extra) const;
  std::vector<BorderRec>* MutableLineBorders(int line) {
    return const_cast<std::vector<BorderRec>*>(std::as_const(*this).LineBorders(line));
  }
  TRare& Rare();
  const TTextObjectList& Objects() const { return FRare ? FRare->Objects : NoObjects; }
  void SetBreak(int i, bool canBreak);
  void SetBreakRange(int from, int n, bool canBreak);
  // Turns "no character may break" back into a flag for each character, before one changes.
  void KeepBreakFlags();
  // Whether no character of the text may break, by the flags.
  bool BreakNowhere() const;
  static const TTextObjectList NoObjects;

  // Ordered so that the fields fill the object without holes (the first ones sit in the room at
  // the end of the base): a section takes 88 bytes.
  // The line height from the style in pixels (negative: normal), cut to MaxLineHeight.
  std::int16_t FLineHeight = -1;
  // The section's left edge at the last layout, from the layout x (floats on the left move it);
  // SectionLeftInRare: too far for 16 bits, kept in the rare record.
  std::int16_t FSectionLeftOffset = 0;
  static constexpr std::int16_t SectionLeftInRare = INT16_MIN;
  int SectionLeft() const {
    return FSectionLeftOffset == SectionLeftInRare ? FRare->WideSectionLeft : FLayoutX + FSectionLeftOffset;
  }
  void SetSectionLeft(int left);
  TSectionText BuffS;
  TSourceIndex SIndexList;
  TLineStore FLines;
  TFontList FFonts;
  TRareRef FRare;
  // The minimum and maximum widths as last measured, when both fit 16 bits (wider text is
  // measured each time); a minimum of 0 means none.
  std::uint16_t FMinWidthCache = 0, FMaxWidthCache = 0;
  void CacheWidths(int minWidth, int maxWidth) {
    const bool fits = minWidth >= 1 && minWidth <= UINT16_MAX && maxWidth >= 0 && maxWidth <= UINT16_MAX;
    FMinWidthCache = fits ? std::uint16_t(minWidth) : 0;
    FMaxWidthCache = fits ? std::uint16_t(maxWidth) : 0;
  }
  int FLayoutX = 0;        // left x of the last layout
  int FLayoutWidth = 0;    // reported width of the last layout (see ReportedWidth)
  // Number of the section among the document's sections with text, for progress reports; it
  // stops at the largest value its bits hold.
  static constexpr unsigned MaxSectionNumber = (1u << 23) - 1;
  unsigned FSectionNumber : 23 = 0;

 public:
  // Set by the builder while a NOBR element is open.
  bool FNoBreak : 1 = false;

 protected:
  unsigned FJustify : 3 = 1;    // 1 left, 2 center, 3 right, 4 justify
  unsigned FClearAttr : 2 = 0;  // 1 left, 2 right, 3 both
  bool FFinished : 1 = false;
  bool FPreFormated : 1 = false;
  // No character may break (a section all in NOBR, as a NOWRAP cell's): the flags are not held.
  bool FNoBreakAll : 1 = false;
  friend class TPreFormated;
};

inline std::size_t TLineList::size() const { return std::size_t(FSection.LineCount()); }
inline LineRec TLineList::operator[](std::size_t i) const { return FSection.Line(int(i)); }

}  // namespace korva
