// PNG decoder (and a plain encoder): the file as a list of chunk objects, CRC checks, gamma,
// scanline filters and Adam7 interlacing, into a 1, 4, 8 or 24-bit bitmap. Opacity (an alpha
// channel or tRNS) is kept beside the bitmap, as one byte a pixel, for displays that blend.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <typeinfo>
#include <memory>
#include <string>
#include <vector>

#include "images/ImageErrors.h"
#include "platform/Bitmap.h"
#include "platform/Types.h"

namespace korva {

class TMemoryStream;
class TPngBitmap;
class TChunkList;

// The texts of the decoder's errors (raised formatted by PngErrorText).
extern const char* const PngInvalidHeader;
extern const char* const PngUnknownCritical;
extern const char* const PngCorruptedData;
extern const char* const PngNoIHDR;
extern const char* const PngNoData;
extern const char* const PngUnknownColorType;
extern const char* const PngUnknownInterlace;
extern const char* const PngUnknownFilter;
extern const char* const PngPaletteMissing;
extern const char* const PngInvalidPalette;
extern const char* const PngNoTransparency;
extern const char* const PngChunkClassIndex;
extern const char* const PngChunkIndex;
extern const char* const PngChunkNotInList;
extern const char* const PngTooLarge;
// "Portable Network Graphics format handler error\r\n\r\n" + message.
std::string PngErrorText(const std::string& message);
[[noreturn]] void PngError(const char* message);

// CRC-32 of the PNG format over the given bytes, continuing from `crc` (start with 0).
std::uint32_t PngCrc(std::uint32_t crc, const std::uint8_t* data, std::size_t size);

using TChunkType = std::array<char, 4>;

class TChunk {
 public:
  explicit TChunk(TChunkList* owner);
  virtual ~TChunk() = default;
  // Called once per chunk after the whole file has been read.
  virtual void Process() {}
  virtual void CopyChunk(const TChunk& source);
  // Writes length, type, data and CRC.
  virtual void SaveToStream(std::vector<std::uint8_t>& out) const;

  TChunkList* Owner() const { return FOwner; }
  std::vector<std::uint8_t>& Data() { return FData; }
  const std::vector<std::uint8_t>& Data() const { return FData; }
  const TChunkType& ChunkType() const { return FType; }
  void SetChunkType(const TChunkType& t) { FType = t; }
  std::string TypeName() const { return std::string(FType.data(), 4); }

 protected:
  TChunkList* FOwner;
  std::vector<std::uint8_t> FData;
  TChunkType FType{};
};

class TChunkIHDR : public TChunk {
 public:
  explicit TChunkIHDR(TChunkList* owner);
  std::uint32_t Width() const;
  std::uint32_t Height() const;
  int BitDepth() const { return FData.size() >= 13 ? FData[8] : 0; }
  int ColorType() const { return FData.size() >= 13 ? FData[9] : 0; }
  int CompressionMethod() const { return FData.size() >= 13 ? FData[10] : 0; }
  int FilterMethod() const { return FData.size() >= 13 ? FData[11] : 0; }
  int InterlaceMethod() const { return FData.size() >= 13 ? FData[12] : 0; }
  void SetFields(std::uint32_t width, std::uint32_t height, int depth, int colorType, int interlace);
};

class TChunkPLTE : public TChunk {
 public:
  using TChunk::TChunk;
};

class TChunkIDAT : public TChunk {
 public:
  using TChunk::TChunk;
  void Process() override;
};

class TChunkTRNS : public TChunk {
 public:
  using TChunk::TChunk;
};

class TChunkGAMA : public TChunk {
 public:
  explicit TChunkGAMA(TChunkList* owner);
  void Process() override;
  std::uint32_t Gamma() const;
  bool Processed() const { return FProcessed; }
  const std::array<std::uint8_t, 256>& Forward() const { return FForward; }
  const std::array<std::uint8_t, 256>& Inverse() const { return FInverse; }

 private:
  bool FProcessed = false;
  std::array<std::uint8_t, 256> FForward{};
  std::array<std::uint8_t, 256> FInverse{};
};

class TChunkTEXT : public TChunk {
 public:
  explicit TChunkTEXT(TChunkList* owner);
};

class TChunkIEND : public TChunk {
 public:
  using TChunk::TChunk;
};

using TChunkClass = std::unique_ptr<TChunk> (*)(TChunkList*);

// The registry of chunk classes by type, filled once.
class TChunkClasses {
 public:
  static TChunkClasses& Instance();
  int Count() const { return int(FItems.size()); }
  int IndexOfType(const TChunkType& t) const;
  int IndexOfClass(TChunkClass c) const;
  const TChunkType& TypeAt(int i) const;
  TChunkClass ClassAt(int i) const;
  void Add(const TChunkType& t, TChunkClass c) { FItems.push_back({t, c}); }

 private:
  TChunkClasses();
  struct TItem {
    TChunkType Type;
    TChunkClass Class;
  };
  std::vector<TItem> FItems;
};

template <class T>
std::unique_ptr<TChunk> NewChunk(TChunkList* owner) {
  return std::make_unique<T>(owner);
}

class TChunkList {
 public:
  explicit TChunkList(TPngBitmap* owner) : FOwner(owner) {}
  TPngBitmap* Owner() const { return FOwner; }
  int Count() const { return int(FItems.size()); }
  TChunk* Item(int i) const;
  void Move(int from, int to);
  void Remove(TChunk* chunk);
  TChunk* Add(std::unique_ptr<TChunk> chunk);
  TChunk* AddNew(TChunkClass c);
  template <class T>
  int IndexOfClass() const {
    for (int i = 0; i < Count(); ++i)
      if (const TChunk& item = *FItems[i]; typeid(item) == typeid(T)) return i;
    return -1;
  }
  template <class T>
  T* FirstOf() const {
    int i = IndexOfClass<T>();
    return i < 0 ? nullptr : static_cast<T*>(FItems[i].get());
  }
  void Clear() { FItems.clear(); }

 private:
  TPngBitmap* FOwner;
  std::vector<std::unique_ptr<TChunk>> FItems;
};

class TPngBitmap {
 public:
  TPngBitmap();
  ~TPngBitmap();
  TPngBitmap(const TPngBitmap&) = delete;
  TPngBitmap& operator=(const TPngBitmap&) = delete;
  // Copies every chunk, the filter set, the interlacing flag and the bitmap.
  void Assign(const TPngBitmap& source);

  // Reads from the stream's current position. Raises EPngError (or EReadError) on bad data.
  void LoadFromStream(TMemoryStream& stream);
  void LoadFromMemory(const std::uint8_t* data, std::size_t size);
  // Writes the bitmap as a PNG (24-bit colour, or palette for bitmaps of 8 bits or fewer).
  void SaveToStream(std::vector<std::uint8_t>& out) const;

  // The decoded picture (null before a successful load).
  TBitmap* Bitmap() const { return FBitmap.get(); }
  std::unique_ptr<TBitmap> TakeBitmap() { return std::move(FBitmap); }
  void SetBitmap(std::unique_ptr<TBitmap> b) { FBitmap = std::move(b); }
  // Opacity of every pixel (rows top-down, width x height bytes, 0 = transparent, not
  // premultiplied) from the alpha channel of grey + alpha and RGBA images, the tRNS alphas of
  // palette images, or the tRNS key of grey and RGB images (compared on the samples as stored,
  // 16 bits included). Empty when the image has no such data or every pixel is opaque.
  const std::vector<std::uint8_t>& Alpha() const { return FAlpha; }
  // RGB images with a tRNS chunk: one colour is transparent.
  bool Transparent() const { return FTransparent; }
  TColor TransparentColor() const { return FTransparentColor; }
  // Only for RGB images; raises the transparency message otherwise.
  TColor ChunkTransparentColor() const;

  TChunkList& Chunks() { return FChunks; }
  const TChunkList& Chunks() const { return FChunks; }
  int Filters() const { return FFilters; }
  void SetFilters(int f) { FFilters = f | 1; }
  bool Interlacing() const { return FInterlacing; }
  void SetInterlacing(bool v) { FInterlacing = v; }

  // Progress of the image data: percentage and the rectangle just finished.
  std::function<void(int percent, const TRect& r)> OnProgress;

 private:
  friend class TChunkIDAT;
  void DecodeImageData(const TChunkIDAT& idat);
  void ResetChunks();

  std::unique_ptr<TBitmap> FMask;
  TChunkList FChunks;
  int FFilters = 27;
  bool FInterlacing = false;
  std::unique_ptr<TBitmap> FBitmap;
  bool FTransparent = false;
  TColor FTransparentColor = 0;
  std::vector<std::uint8_t> FAlpha;
};

// Writes a bitmap as a PNG file (used by the tools and the tests).
std::vector<std::uint8_t> EncodePng(const TBitmap& bitmap);

}  // namespace korva
