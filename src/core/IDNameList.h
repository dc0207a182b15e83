// Named places in a document: ids and anchor names to objects that know their vertical
// position.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "core/SmallObjectPool.h"

namespace korva {

// Something that can be the target of a named anchor. These are the page's sections and the
// objects in its text, made by the thousand, so they come from the small-object pool.
class TIDObject : public TPooled {
 public:
  virtual ~TIDObject() = default;
  // Vertical position in the formatted document.
  virtual int DocumentY() = 0;
};

// What a named character position needs of its document: the y of the line holding a source
// position. The document root implements it.
class TLineLocator {
 public:
  virtual ~TLineLocator() = default;
  // False when no line holds the position.
  virtual bool FindLineY(int sourcePos, int& y) = 0;
};

// A character position in a document; its y is that of the line that holds it, or 0.
class TChPosObj : public TIDObject {
 public:
  TChPosObj(TLineLocator* document, int charPos) : FDocument(document), FChPos(charPos) {}
  int DocumentY() override;
  int ChPos() const { return FChPos; }
  TLineLocator* Document() const { return FDocument; }

 private:
  TLineLocator* FDocument;
  int FChPos;
};

// Sorted, case-insensitive names to objects. Character positions added through AddChPosObject
// belong to the list; other objects belong to their owners.
class TIDNameList {
 public:
  explicit TIDNameList(TLineLocator* document = nullptr) : FDocument(document) {}
  TIDNameList(const TIDNameList&) = delete;
  TIDNameList& operator=(const TIDNameList&) = delete;

  TLineLocator* Document() const { return FDocument; }
  void SetDocument(TLineLocator* document) { FDocument = document; }

  // Adds (or replaces) a name; an object replaced that the list owned is freed.
  void AddObject(std::string_view name, TIDObject* object);
  TChPosObj* AddChPosObject(std::string_view name, int charPos);
  TIDObject* Find(std::string_view name) const;
  bool Contains(std::string_view name) const { return Find(name) != nullptr; }
  // Removes every name that leads to the object (a section discarded before it was placed).
  void RemoveObject(const TIDObject* object);
  void Remove(std::string_view name);
  void Clear() { FNames.clear(); }
  int Count() const { return static_cast<int>(FNames.size()); }

  template <class F>
  void ForEach(F f) const {
    for (const auto& [name, entry] : FNames) f(name, entry.Object);
  }

 private:
  struct TLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
  };
  struct TEntry {
    TIDObject* Object = nullptr;
    std::unique_ptr<TIDObject> Owned;
  };
  TLineLocator* FDocument;
  std::map<std::string, TEntry, TLess> FNames;
};

}  // namespace korva
