// The images and panels of one text section, in text order, with the hit tests and position
// queries line breaking and drawing use.
#pragma once

#include "core/FreeList.h"
#include "layout/FloatingObj.h"

namespace korva {

class TImageObj;
class TMapItem;

// CharsToNextObject's answer when no object follows.
constexpr int NoObjectAhead = 99999999;

// An image under a point.
struct TImageHit {
  TImageObj* Image = nullptr;
  TMapItem* Map = nullptr;  // the client-side map the image uses, when it is in the document
  bool ServerSideMap = false;
  int X = 0, Y = 0;  // the point relative to the picture's top-left corner
};

class TImageObjList : public TFreeList<TFloatingObj> {
 public:
  // The first image (panels skipped) whose picture, as last drawn, holds the point (document
  // coordinates); with its map when it names one.
  bool ImageAtPoint(int x, int y, TImageHit& hit) const;
  // The same without looking up the map.
  TImageObj* ObjectAtPoint(int x, int y, int& rx, int& ry) const;
  // The object whose placeholder is at a character index; null when none.
  TFloatingObj* ObjectAtIndex(int index) const;
  // Height with the vertical spaces, and the alignment, of the object at an index; -1 when none.
  int GetHeightAt(int index, TAlignCode& align) const;
  // Box width, alignment and side spaces of the object at an index; -1 when none.
  int GetWidthAt(int index, TAlignCode& align, int& spaceLeft, int& spaceRight) const;
  // How many characters ahead of index the next object (at index or later) lies; NoObjectAhead
  // when none.
  int CharsToNextObject(int index) const;
  // A character at index was deleted: every later object moves back by one.
  void CloseGap(int index);
  // A copy of every object for another document.
  void CopyFrom(const TImageObjList& source, TSectionList* document);

 private:
  // The first object at or after a character index (objects are in text order).
  int FirstAtOrAfter(int index) const;
};

}  // namespace korva
