#include "layout/SectionBase.h"

#include "layout/IndentManager.h"
#include "layout/LayoutDump.h"
#include "layout/SectionList.h"

namespace korva {

TSectionBase::TSectionBase(TSectionList* document, const TSectionBase& source)
    : FDocument(document), FBoxHeight(source.FBoxHeight) {}

std::unique_ptr<TSectionBase> TSectionBase::CloneForPrint(TSectionList* document) const {
  return std::make_unique<TSectionBase>(document, *this);
}

void TSectionBase::AppendSelectedText(std::u16string&) {}

int TSectionBase::LayoutSection(TCanvas&, int, int y, int, int, int, int, int, IndentManager& indents, int& maxWidth,
                                int& cursor) {
  FFirstChar = cursor;
  maxWidth = indents.Width;
  FDocY = y;
  return FBoxHeight;
}

int TSectionBase::Draw(TCanvas&, const TRect&, IndentManager&, int, int, int) { return FDocY + FBoxHeight; }
bool TSectionBase::HotSpotAt(TCanvas&, int, int, THotSpot&) { return false; }
bool TSectionBase::ObjectAt(int, int, TFloatingObj*&, int&, int&) { return false; }
int TSectionBase::CaretFromPoint(TCanvas&, int, int, int&, int&, int&, bool&) { return -1; }
int TSectionBase::SearchForward(int, const std::u16string&, bool) { return -1; }
int TSectionBase::SearchBackward(int, const std::u16string&, bool) { return -1; }
void TSectionBase::FindAll(const std::u16string&, bool, std::vector<std::pair<int, int>>&) {}
int TSectionBase::SourcePosOf(int) { return -1; }
int TSectionBase::DocPosOf(int, bool) { return -1; }
bool TSectionBase::PointFromCaret(TCanvas&, int, int&, int&) { return false; }
bool TSectionBase::CharAt(int, char16_t&, TCharObject&) { return false; }

void TSectionBase::MeasureMinMax(TCanvas&, int& minWidth, int& maxWidth) { minWidth = maxWidth = 0; }

void TSectionBase::CollectSections() { FDocument->FPositionList.push_back(this); }

void TSectionBase::Dump(TDumpWriter& out, int depth) const {
  out.Line(depth) << DumpKind();
  std::string tag = DumpTag();
  if (!tag.empty()) out << " " << tag;
  out.Box(0, FDocY, 0, FBoxHeight);
}

}  // namespace korva
