// PNG reading: chunks, CRC, gamma, filters, Adam7, and conversion of rows into the bitmap.
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "images/ImageStream.h"
#include "images/Limits.h"
#include "images/PngBitmap.h"

namespace korva {

const char* const PngInvalidHeader = "Invalid Portable Graphics Network image, it has an invalid file header.";
const char* const PngUnknownCritical =
    "The currently being loaded image contains critical(s) chunk(s) not reconized by the decoder.";
const char* const PngCorruptedData = "Can't read the PNG image, it has corrupted data. ";
const char* const PngNoIHDR = "This PNG image is invalid, the IHDR chunk is either not present or it isn't the first chunk.";
const char* const PngNoData = "The current image being loaded has no data and could not be loaded.";
const char* const PngUnknownColorType = "Could not read the image because it has an unknown color type.";
const char* const PngUnknownInterlace = "The image has an unknown interlace method.";
const char* const PngUnknownFilter = "The image could not be loaded because it uses an unknown set of filter types.";
const char* const PngPaletteMissing = "The current image requeries a palette but it is not avaliable.";
const char* const PngInvalidPalette = "The current image being loaded has an invalid palette!";
const char* const PngNoTransparency =
    "Can not get transparency information because the current image color type is not RGB (value 3)";
const char* const PngChunkClassIndex = "The chunk class index especified is  out of range.";
const char* const PngChunkIndex = "The chunk index especified is out of the range.";
const char* const PngChunkNotInList =
    "The especified chunk is not inside the chunk list containing the method being used. The funcion could not be "
    "completed.";
const char* const PngTooLarge = "The image is too large to be loaded (at most 16384 pixels a side and 64 megapixels).";

std::string PngErrorText(const std::string& message) {
  return "Portable Network Graphics format handler error\r\n\r\n" + message;
}

void PngError(const char* message) { throw EPngError(PngErrorText(message)); }

std::uint32_t PngCrc(std::uint32_t crc, const std::uint8_t* data, std::size_t size) {
  // zlib's crc32 is the same reflected 0xEDB88320 CRC with all-ones start and final complement.
  while (size > 0) {
    uInt n = uInt(std::min<std::size_t>(size, 0x40000000));
    crc = std::uint32_t(crc32(crc, data, n));
    data += n;
    size -= n;
  }
  return crc;
}

namespace {

void ReadExactly(TMemoryStream& stream, void* buffer, std::size_t n) {
  if (stream.Read(buffer, n) != n) throw EReadError("Stream read error");
}

std::uint32_t BigEndian32(const std::uint8_t* p) {
  return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}

void PutBigEndian32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(std::uint8_t(v >> 24));
  out.push_back(std::uint8_t(v >> 16));
  out.push_back(std::uint8_t(v >> 8));
  out.push_back(std::uint8_t(v));
}

constexpr TChunkType MakeType(const char (&s)[5]) { return {s[0], s[1], s[2], s[3]}; }

const std::uint8_t Signature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
constexpr std::uint8_t PaletteNoCollapse = 0x04;

std::int64_t RowBytesFor(int colorType, int depth, std::int64_t width) {
  switch (colorType) {
    case 0:
    case 3:
      return (depth * width + 7) / 8;
    case 2:
      return depth * width * 3 / 8;
    case 4:
      return depth * width / 4;
    case 6:
      return depth * width / 2;
    default:
      PngError(PngUnknownColorType);
  }
}

int FilterDistance(int colorType, int depth) {
  int d = 1;
  switch (colorType) {
    case 0: d = depth / 8; break;
    case 3: d = 1; break;
    case 2: d = 3 * depth / 8; break;
    case 4: d = 2 * depth / 8; break;
    case 6: d = 4 * depth / 8; break;
  }
  return std::max(d, 1);
}

inline int PaethPredictor(int a, int b, int c) {
  // Ties go to left, then above: keep the first of the smallest distances.
  int p = b - c, q = a - c;
  int pa = p < 0 ? -p : p;                // |estimate - left|
  int pb = q < 0 ? -q : q;                // |estimate - above|
  int pc = p + q < 0 ? -(p + q) : p + q;  // |estimate - upper-left|
  // Selected with masks: photographs make the comparisons unpredictable for branches.
  int m1 = -int(pb < pa);
  int pred = (b & m1) | (a & ~m1);
  int best = (pb & m1) | (pa & ~m1);
  int m2 = -int(pc < best);
  return (c & m2) | (pred & ~m2);
}

// Paeth for whole pixels of D bytes: the channels are independent, and left and upper-left stay
// in registers.
template <int D>
void PaethPixels(std::uint8_t* __restrict row, const std::uint8_t* __restrict prev, std::size_t n) {
  int a[D] = {}, c[D] = {};
  std::size_t i = 0;
  for (; i + D <= n; i += D)
    for (int k = 0; k < D; ++k) {
      int b = prev[i + k];
      int x = (row[i + k] + PaethPredictor(a[k], b, c[k])) & 0xFF;
      row[i + k] = std::uint8_t(x);
      a[k] = x;
      c[k] = b;
    }
  for (; i < n; ++i) row[i] = std::uint8_t(row[i] + (i >= D ? PaethPredictor(row[i - D], prev[i], prev[i - D]) : prev[i]));
}

void Unfilter(std::uint8_t* row, const std::uint8_t* prev, std::size_t n, std::size_t d, int filter) {
  switch (filter) {
    case 0:
      break;
    case 1:
      for (std::size_t i = d; i < n; ++i) row[i] = std::uint8_t(row[i] + row[i - d]);
      break;
    case 2:
      for (std::size_t i = 0; i < n; ++i) row[i] = std::uint8_t(row[i] + prev[i]);
      break;
    case 3: {
      std::size_t i = 0;
      for (; i < d && i < n; ++i) row[i] = std::uint8_t(row[i] + (prev[i] >> 1));
      for (; i < n; ++i) row[i] = std::uint8_t(row[i] + ((unsigned(row[i - d]) + prev[i]) >> 1));
      break;
    }
    case 4: {
      switch (d) {
        case 1: PaethPixels<1>(row, prev, n); return;
        case 2: PaethPixels<2>(row, prev, n); return;
        case 3: PaethPixels<3>(row, prev, n); return;
        case 4: PaethPixels<4>(row, prev, n); return;
        case 6: PaethPixels<6>(row, prev, n); return;
        case 8: PaethPixels<8>(row, prev, n); return;
      }
      std::size_t i = 0;
      // Left and upper-left are 0 here, so the predictor is the byte above.
      for (; i < d && i < n; ++i) row[i] = std::uint8_t(row[i] + prev[i]);
      for (; i < n; ++i) row[i] = std::uint8_t(row[i] + PaethPredictor(row[i - d], prev[i], prev[i - d]));
      break;
    }
    default:
      PngError(PngUnknownFilter);
  }
}

// The zlib stream over the joined image data, read in row-sized pieces.
class TInflater {
 public:
  TInflater(const std::uint8_t* data, std::size_t size) {
    std::memset(&FZ, 0, sizeof FZ);
    if (inflateInit(&FZ) != Z_OK) throw EPngError(PngErrorText("zlib: cannot start decompression"));
    FZ.next_in = const_cast<Bytef*>(data);
    FZ.avail_in = uInt(std::min<std::size_t>(size, 0xFFFFFFFFu));
  }
  ~TInflater() { inflateEnd(&FZ); }
  void Read(std::uint8_t* out, std::size_t n) {
    FZ.next_out = out;
    FZ.avail_out = uInt(n);
    while (FZ.avail_out > 0) {
      if (FEnded) throw EPngError(PngErrorText("zlib: the image data ends early"));
      int r = inflate(&FZ, Z_NO_FLUSH);
      if (r == Z_STREAM_END)
        FEnded = true;
      else if (r == Z_BUF_ERROR)
        throw EPngError(PngErrorText("zlib: the image data ends early"));
      else if (r != Z_OK)
        throw EPngError(PngErrorText(std::string("zlib: ") + (FZ.msg ? FZ.msg : "decompression error")));
    }
  }

 private:
  z_stream FZ;
  bool FEnded = false;
};

}  // namespace

// ---- chunks -------------------------------------------------------------------------------

TChunk::TChunk(TChunkList* owner) : FOwner(owner) {}

void TChunk::CopyChunk(const TChunk& source) {
  FData = source.FData;
  FType = source.FType;
}

void TChunk::SaveToStream(std::vector<std::uint8_t>& out) const {
  PutBigEndian32(out, std::uint32_t(FData.size()));
  std::size_t typeAt = out.size();
  out.insert(out.end(), FType.begin(), FType.end());
  out.insert(out.end(), FData.begin(), FData.end());
  PutBigEndian32(out, PngCrc(0, out.data() + typeAt, 4 + FData.size()));
}

TChunkIHDR::TChunkIHDR(TChunkList* owner) : TChunk(owner) {
  FType = MakeType("IHDR");
  FData.assign(13, 0);
}

std::uint32_t TChunkIHDR::Width() const { return FData.size() >= 13 ? BigEndian32(FData.data()) : 0; }
std::uint32_t TChunkIHDR::Height() const { return FData.size() >= 13 ? BigEndian32(FData.data() + 4) : 0; }

void TChunkIHDR::SetFields(std::uint32_t width, std::uint32_t height, int depth, int colorType, int interlace) {
  FData.clear();
  PutBigEndian32(FData, width);
  PutBigEndian32(FData, height);
  FData.push_back(std::uint8_t(depth));
  FData.push_back(std::uint8_t(colorType));
  FData.push_back(0);
  FData.push_back(0);
  FData.push_back(std::uint8_t(interlace));
}

TChunkGAMA::TChunkGAMA(TChunkList* owner) : TChunk(owner) {
  FType = MakeType("gAMA");
  FData = {0, 0, 0, 1};
}

std::uint32_t TChunkGAMA::Gamma() const { return FData.size() >= 4 ? BigEndian32(FData.data()) : 0; }

void TChunkGAMA::Process() {
  std::uint32_t value = Gamma();
  for (int i = 0; i < 256; ++i) FForward[i] = std::uint8_t(i);
  // A gamma of 0 would make the exponent infinite; such a chunk is ignored.
  if (value != 0) {
    double g = value / 100000.0;
    double exponent = 1.0 / (g * 2.2);
    for (int i = 0; i < 256; ++i) {
      double v = 255.0 * std::pow(i / 255.0, exponent);
      FForward[i] = std::uint8_t(std::clamp(std::lround(v), 0L, 255L));
    }
  }
  for (int i = 0; i < 256; ++i) FInverse[FForward[i]] = std::uint8_t(i);
  FProcessed = true;
}

TChunkTEXT::TChunkTEXT(TChunkList* owner) : TChunk(owner) {
  FType = MakeType("tEXt");
  FData = {0, 0};
}

void TChunkIDAT::Process() {
  if (FOwner && FOwner->Owner()) FOwner->Owner()->DecodeImageData(*this);
}

// ---- registry and list --------------------------------------------------------------------

TChunkClasses::TChunkClasses() {
  Add(MakeType("IEND"), &NewChunk<TChunkIEND>);
  Add(MakeType("IHDR"), &NewChunk<TChunkIHDR>);
  Add(MakeType("gAMA"), &NewChunk<TChunkGAMA>);
  Add(MakeType("IDAT"), &NewChunk<TChunkIDAT>);
  Add(MakeType("PLTE"), &NewChunk<TChunkPLTE>);
  Add(MakeType("tEXt"), &NewChunk<TChunkTEXT>);
  Add(MakeType("tRNS"), &NewChunk<TChunkTRNS>);
  Add(MakeType("tIME"), &NewChunk<TChunk>);
}

TChunkClasses& TChunkClasses::Instance() {
  static TChunkClasses classes;
  return classes;
}

int TChunkClasses::IndexOfType(const TChunkType& t) const {
  for (int i = 0; i < Count(); ++i)
    if (FItems[i].Type == t) return i;
  return -1;
}

int TChunkClasses::IndexOfClass(TChunkClass c) const {
  for (int i = 0; i < Count(); ++i)
    if (FItems[i].Class == c) return i;
  return -1;
}

const TChunkType& TChunkClasses::TypeAt(int i) const {
  if (i < 0 || i >= Count()) PngError(PngChunkClassIndex);
  return FItems[i].Type;
}

TChunkClass TChunkClasses::ClassAt(int i) const {
  if (i < 0 || i >= Count()) PngError(PngChunkClassIndex);
  return FItems[i].Class;
}

TChunk* TChunkList::Item(int i) const {
  if (i < 0 || i >= Count()) PngError(PngChunkIndex);
  return FItems[i].get();
}

void TChunkList::Move(int from, int to) {
  if (from < 0 || from >= Count() || to < 0 || to >= Count()) PngError(PngChunkIndex);
  std::unique_ptr<TChunk> c = std::move(FItems[from]);
  FItems.erase(FItems.begin() + from);
  FItems.insert(FItems.begin() + to, std::move(c));
}

void TChunkList::Remove(TChunk* chunk) {
  for (auto it = FItems.begin(); it != FItems.end(); ++it)
    if (it->get() == chunk) {
      FItems.erase(it);
      return;
    }
  PngError(PngChunkNotInList);
}

TChunk* TChunkList::Add(std::unique_ptr<TChunk> chunk) {
  FItems.push_back(std::move(chunk));
  return FItems.back().get();
}

TChunk* TChunkList::AddNew(TChunkClass c) { return Add(c(this)); }

// ---- the image ----------------------------------------------------------------------------

TPngBitmap::TPngBitmap() : FChunks(this) { ResetChunks(); }
TPngBitmap::~TPngBitmap() = default;

void TPngBitmap::ResetChunks() {
  FChunks.Clear();
  auto* ihdr = static_cast<TChunkIHDR*>(FChunks.AddNew(&NewChunk<TChunkIHDR>));
  ihdr->SetFields(0, 0, 2, 3, 0);
  FChunks.AddNew(&NewChunk<TChunkIDAT>)->SetChunkType(MakeType("IDAT"));
  FChunks.AddNew(&NewChunk<TChunkIEND>)->SetChunkType(MakeType("IEND"));
}

void TPngBitmap::Assign(const TPngBitmap& source) {
  if (&source == this) return;
  FChunks.Clear();
  TChunkClasses& classes = TChunkClasses::Instance();
  for (int i = 0; i < source.FChunks.Count(); ++i) {
    const TChunk* from = source.FChunks.Item(i);
    int k = classes.IndexOfType(from->ChunkType());
    TChunk* c = k >= 0 ? FChunks.AddNew(classes.ClassAt(k)) : FChunks.AddNew(&NewChunk<TChunk>);
    c->CopyChunk(*from);
  }
  FFilters = source.FFilters;
  FInterlacing = source.FInterlacing;
  FBitmap = source.FBitmap ? source.FBitmap->Clone() : nullptr;
  FTransparent = source.FTransparent;
  FTransparentColor = source.FTransparentColor;
}

void TPngBitmap::LoadFromMemory(const std::uint8_t* data, std::size_t size) {
  TImageStream s(data, size);
  LoadFromStream(s);
}

void TPngBitmap::LoadFromStream(TMemoryStream& stream) {
  FChunks.Clear();
  FAlpha.clear();
  FBitmap.reset();
  FTransparent = false;
  FTransparentColor = 0;
  std::uint8_t sig[8];
  if (stream.Read(sig, 8) != 8 || std::memcmp(sig, Signature, 8) != 0) PngError(PngInvalidHeader);

  TChunkClasses& classes = TChunkClasses::Instance();
  TChunkIDAT* firstIdat = nullptr;
  for (;;) {
    if (stream.Position() >= stream.Size()) break;
    std::uint8_t head[8];
    ReadExactly(stream, head, 8);
    std::uint32_t length = BigEndian32(head);
    TChunkType type = {char(head[4]), char(head[5]), char(head[6]), char(head[7])};
    int k = classes.IndexOfType(type);
    if (k < 0 && (head[4] & 0x20) == 0) PngError(PngUnknownCritical);
    // The length is checked against what the stream still holds before anything is allocated.
    if (length > MaxPngChunkBytes || std::int64_t(length) > stream.Size() - stream.Position())
      throw EReadError("Stream read error");
    std::unique_ptr<TChunk> chunk = k >= 0 ? classes.ClassAt(k)(&FChunks) : std::make_unique<TChunk>(&FChunks);
    chunk->SetChunkType(type);
    std::vector<std::uint8_t>& body = chunk->Data();
    body.resize(length);
    ReadExactly(stream, body.data(), length);
    std::uint8_t crcBytes[4];
    ReadExactly(stream, crcBytes, 4);
    std::uint32_t crc = PngCrc(0, head + 4, 4);
    crc = PngCrc(crc, body.data(), body.size());
    if (crc != BigEndian32(crcBytes)) PngError(PngCorruptedData);
    bool isEnd = dynamic_cast<TChunkIEND*>(chunk.get()) != nullptr;
    if (auto* idat = dynamic_cast<TChunkIDAT*>(chunk.get())) {
      if (firstIdat) {
        firstIdat->Data().insert(firstIdat->Data().end(), body.begin(), body.end());
        continue;
      }
      firstIdat = idat;
    }
    FChunks.Add(std::move(chunk));
    if (isEnd) break;
  }
  if (FChunks.Count() == 0 || !dynamic_cast<const TChunkIHDR*>(FChunks.Item(0))) PngError(PngNoIHDR);
  if (FChunks.Item(0)->Data().size() != 13) PngError(PngNoIHDR);
  if (!firstIdat) PngError(PngNoData);
  for (int i = 0; i < FChunks.Count(); ++i) FChunks.Item(i)->Process();
  if (!FBitmap) PngError(PngNoData);

  const auto* ihdr = static_cast<const TChunkIHDR*>(FChunks.Item(0));
  if (const TChunkTRNS* trns = FChunks.FirstOf<TChunkTRNS>(); trns && ihdr->ColorType() == 2) {
    // The three samples are 16-bit values; at depth 8 the colour is in their low bytes, at
    // depth 16 the high bytes are what the bitmap keeps.
    const std::vector<std::uint8_t>& d = trns->Data();
    if (d.size() >= 6) {
      int off = ihdr->BitDepth() == 16 ? 0 : 1;
      int r = d[off], g = d[2 + off], b = d[4 + off];
      const TChunkGAMA* gama = FChunks.FirstOf<TChunkGAMA>();
      if (gama && gama->Processed()) {
        r = gama->Forward()[r];
        g = gama->Forward()[g];
        b = gama->Forward()[b];
      }
      FTransparentColor = RGBColor(r, g, b);
      FTransparent = true;
    }
  }
}

TColor TPngBitmap::ChunkTransparentColor() const {
  const TChunkIHDR* ihdr = FChunks.FirstOf<TChunkIHDR>();
  if (!ihdr || ihdr->ColorType() != 2) PngError(PngNoTransparency);
  return FTransparentColor;
}

void TPngBitmap::DecodeImageData(const TChunkIDAT& idat) {
  const auto* ihdr = FChunks.FirstOf<TChunkIHDR>();
  if (!ihdr) PngError(PngNoIHDR);
  const int colorType = ihdr->ColorType();
  const int depth = ihdr->BitDepth();
  const std::uint32_t w32 = ihdr->Width(), h32 = ihdr->Height();
  if (colorType != 0 && colorType != 2 && colorType != 3 && colorType != 4 && colorType != 6)
    PngError(PngUnknownColorType);
  if (w32 == 0 || h32 == 0) PngError(PngNoData);
  if (w32 > std::uint32_t(MaxImageSide) || h32 > std::uint32_t(MaxImageSide) ||
      std::int64_t(w32) * h32 > MaxImagePixels)
    PngError(PngTooLarge);
  const int width = int(w32), height = int(h32);
  const std::int64_t rowBytes = RowBytesFor(colorType, depth, width);
  const std::size_t dist = std::size_t(FilterDistance(colorType, depth));

  const TChunkGAMA* gama = FChunks.FirstOf<TChunkGAMA>();
  const std::uint8_t* gamma = gama && gama->Processed() ? gama->Forward().data() : nullptr;

  // Pixel format and palette.
  int bpp = 8;
  if (colorType == 2 || colorType == 6)
    bpp = 24;
  else if (depth == 1)
    bpp = 1;
  else if (depth == 2 || depth == 4)
    bpp = 4;
  std::vector<TPaletteEntry> palette;
  if (colorType == 0 || colorType == 4) {
    if (depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16) {
      int n = depth == 16 ? 256 : 1 << depth;
      for (int k = 0; k < n; ++k) {
        int v = (k * 255 + (n - 1) / 2) / (n - 1);
        if (gamma) v = gamma[v];
        palette.push_back({std::uint8_t(v), std::uint8_t(v), std::uint8_t(v), PaletteNoCollapse});
      }
    }
  } else if (colorType == 3) {
    const TChunkPLTE* plte = FChunks.FirstOf<TChunkPLTE>();
    if (!plte) PngError(PngPaletteMissing);
    const std::vector<std::uint8_t>& d = plte->Data();
    if (d.size() % 3 != 0 || d.size() > 256 * 3) PngError(PngInvalidPalette);
    for (std::size_t i = 0; i + 2 < d.size(); i += 3) {
      std::uint8_t r = d[i], g = d[i + 1], b = d[i + 2];
      if (gamma) r = gamma[r], g = gamma[g], b = gamma[b];
      palette.push_back({r, g, b, PaletteNoCollapse});
    }
  }
  if (depth == 2 && !palette.empty() && palette.size() < 16) {
    palette.resize(4);
    for (int k = 4; k < 16; ++k) palette.push_back(palette[k % 4]);
  }
  std::unique_ptr<TBitmap> bmp = TBitmap::Create(width, height, bpp);
  if (!bmp) PngError(PngTooLarge);
  if (bpp <= 8) {
    std::vector<TColor> table(std::size_t(1) << bpp, clBlack);
    for (std::size_t i = 0; i < palette.size() && i < table.size(); ++i)
      table[i] = RGBColor(palette[i].R, palette[i].G, palette[i].B);
    bmp->SetColorTable(std::move(table));
    if (!palette.empty()) bmp->SetPalette(std::make_shared<TPalette>(palette));
  }

  // Which conversion applies; other combinations leave the rows empty.
  enum { cvNone, cvCopy, cvTwoBit, cvHigh16, cvRGB8, cvRGB16, cvRGBA8, cvRGBA16, cvGA8, cvGA16 } conv = cvNone;
  if ((colorType == 0 || colorType == 3) && (depth == 1 || depth == 4 || depth == 8))
    conv = cvCopy;
  else if ((colorType == 0 || colorType == 3) && depth == 2)
    conv = cvTwoBit;
  else if (colorType == 0 && depth == 16)
    conv = cvHigh16;
  else if (colorType == 2 && depth == 8)
    conv = cvRGB8;
  else if (colorType == 2 && depth == 16)
    conv = cvRGB16;
  else if (colorType == 6 && depth == 8)
    conv = cvRGBA8;
  else if (colorType == 6 && depth == 16)
    conv = cvRGBA16;
  else if (colorType == 4 && depth == 8)
    conv = cvGA8;
  else if (colorType == 4 && depth == 16)
    conv = cvGA16;

  // Places the pixels of one unfiltered row at columns start, start + step, ... of scanline y.
  auto convert = [&](const std::uint8_t* src, int count, int y, int start, int step) {
    std::uint8_t* dst = bmp->ScanLine(y);
    switch (conv) {
      case cvNone:
        return;
      case cvCopy:
        if (step == 1) {
          std::memcpy(dst, src, std::size_t(rowBytes));
        } else if (depth == 8) {
          for (int k = 0; k < count; ++k) dst[start + k * step] = src[k];
        } else {
          const int perByte = 8 / depth, mask = (1 << depth) - 1;
          for (int k = 0; k < count; ++k) {
            int v = (src[k / perByte] >> ((perByte - 1 - k % perByte) * depth)) & mask;
            int x = start + k * step;
            int shift = (perByte - 1 - x % perByte) * depth;
            std::uint8_t& b = dst[x / perByte];
            b = std::uint8_t((b & ~(mask << shift)) | (v << shift));
          }
        }
        return;
      case cvTwoBit:
        for (int k = 0; k < count; ++k) {
          int v = (src[k >> 2] >> ((3 - (k & 3)) * 2)) & 3;
          int x = start + k * step;
          std::uint8_t& b = dst[x >> 1];
          if (x & 1)
            b = std::uint8_t((b & 0xF0) | (v * 5));
          else
            b = std::uint8_t((b & 0x0F) | ((v * 5) << 4));
        }
        return;
      case cvHigh16:
        for (int k = 0; k < count; ++k) dst[start + k * step] = src[k * 2];
        return;
      case cvGA8:
        for (int k = 0; k < count; ++k) dst[start + k * step] = src[k * 2];
        return;
      case cvGA16:
        for (int k = 0; k < count; ++k) dst[start + k * step] = src[k * 4];
        return;
      default:
        break;
    }
    // Colour rows: red, green, blue (high bytes at depth 16) into blue, green, red.
    const int stride = conv == cvRGB8 ? 3 : conv == cvRGBA8 ? 4 : conv == cvRGB16 ? 6 : 8;
    const int chan = depth == 16 ? 2 : 1;
    std::uint8_t* p = dst + std::size_t(start) * 3;
    const std::size_t dstep = std::size_t(step) * 3;
    if (gamma) {
      for (int k = 0; k < count; ++k, src += stride, p += dstep) {
        p[0] = gamma[src[2 * chan]];
        p[1] = gamma[src[chan]];
        p[2] = gamma[src[0]];
      }
    } else {
      for (int k = 0; k < count; ++k, src += stride, p += dstep) {
        p[0] = src[2 * chan];
        p[1] = src[chan];
        p[2] = src[0];
      }
    }
  };

  // Opacity: an alpha channel, or tRNS (palette alphas, or the key sample(s) of grey and RGB).
  enum { alNone, alChannel, alPalette, alGreyKey, alRgbKey } alphaFrom = alNone;
  std::array<std::uint8_t, 256> paletteAlpha;
  paletteAlpha.fill(255);
  unsigned keyGrey = 0, keyR = 0, keyG = 0, keyB = 0;
  if (colorType == 4 || colorType == 6) {
    if (depth == 8 || depth == 16) alphaFrom = alChannel;
  } else if (const TChunkTRNS* trns = FChunks.FirstOf<TChunkTRNS>()) {
    const std::vector<std::uint8_t>& t = trns->Data();
    if (colorType == 3 && !t.empty() && (depth == 1 || depth == 2 || depth == 4 || depth == 8)) {
      std::copy_n(t.begin(), std::min<std::size_t>(t.size(), 256), paletteAlpha.begin());
      alphaFrom = alPalette;
    } else if (colorType == 0 && t.size() >= 2 && (depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16)) {
      keyGrey = (unsigned(t[0]) << 8) | t[1];
      alphaFrom = alGreyKey;
    } else if (colorType == 2 && t.size() >= 6 && (depth == 8 || depth == 16)) {
      keyR = (unsigned(t[0]) << 8) | t[1];
      keyG = (unsigned(t[2]) << 8) | t[3];
      keyB = (unsigned(t[4]) << 8) | t[5];
      alphaFrom = alRgbKey;
    }
  }
  std::vector<std::uint8_t> alpha;
  if (alphaFrom != alNone) alpha.assign(std::size_t(width) * std::size_t(height), 255);
  auto sampleAt = [&](const std::uint8_t* src, int k) -> unsigned {
    if (depth == 16) return (unsigned(src[2 * k]) << 8) | src[2 * k + 1];
    if (depth == 8) return src[k];
    const int perByte = 8 / depth;
    return (src[k / perByte] >> ((perByte - 1 - k % perByte) * depth)) & ((1u << depth) - 1);
  };
  auto alphaRow = [&](const std::uint8_t* src, int count, int y, int start, int step) {
    std::uint8_t* a = alpha.data() + std::size_t(y) * std::size_t(width) + start;
    switch (alphaFrom) {
      case alChannel: {
        // The alpha sample's first byte: the high byte at depth 16.
        const int stride = (colorType == 6 ? 4 : 2) * (depth / 8), at = (colorType == 6 ? 3 : 1) * (depth / 8);
        for (int k = 0; k < count; ++k) a[std::size_t(k) * step] = src[std::size_t(k) * stride + at];
        break;
      }
      case alPalette:
        for (int k = 0; k < count; ++k) a[std::size_t(k) * step] = paletteAlpha[sampleAt(src, k) & 0xFF];
        break;
      case alGreyKey:
        for (int k = 0; k < count; ++k)
          if (sampleAt(src, k) == keyGrey) a[std::size_t(k) * step] = 0;
        break;
      case alRgbKey:
        for (int k = 0; k < count; ++k)
          if (sampleAt(src, 3 * k) == keyR && sampleAt(src, 3 * k + 1) == keyG && sampleAt(src, 3 * k + 2) == keyB)
            a[std::size_t(k) * step] = 0;
        break;
      case alNone:
        break;
    }
  };

  TInflater inflater(idat.Data().data(), idat.Data().size());
  std::vector<std::uint8_t> bufA(std::size_t(rowBytes) + 1), bufB(std::size_t(rowBytes) + 1);
  const int interlace = ihdr->InterlaceMethod();
  if (interlace == 0) {
    std::uint8_t* cur = bufA.data();
    std::uint8_t* prev = bufB.data();
    std::memset(prev, 0, bufB.size());
    for (int y = 0; y < height; ++y) {
      inflater.Read(cur, std::size_t(rowBytes) + 1);
      Unfilter(cur + 1, prev + 1, std::size_t(rowBytes), dist, cur[0]);
      convert(cur + 1, width, y, 0, 1);
      if (alphaFrom != alNone) alphaRow(cur + 1, width, y, 0, 1);
      std::swap(cur, prev);
      if (OnProgress) OnProgress(int(std::int64_t(y) * 100 / height), Rect(0, y, width, y + 1));
    }
  } else if (interlace == 1) {
    static const int StartCol[7] = {0, 4, 0, 2, 0, 1, 0};
    static const int ColStep[7] = {8, 8, 4, 4, 2, 2, 1};
    static const int StartRow[7] = {0, 0, 4, 0, 2, 0, 1};
    static const int RowStep[7] = {8, 8, 8, 4, 4, 2, 2};
    for (int pass = 0; pass < 7; ++pass) {
      int pw = (width + ColStep[pass] - StartCol[pass] - 1) / ColStep[pass];
      int ph = (height + RowStep[pass] - StartRow[pass] - 1) / RowStep[pass];
      if (pw <= 0 || ph <= 0) continue;
      std::size_t pb = std::size_t(RowBytesFor(colorType, depth, pw));
      std::uint8_t* cur = bufA.data();
      std::uint8_t* prev = bufB.data();
      std::memset(prev, 0, pb + 1);
      for (int r = 0; r < ph; ++r) {
        inflater.Read(cur, pb + 1);
        Unfilter(cur + 1, prev + 1, pb, dist, cur[0]);
        convert(cur + 1, pw, StartRow[pass] + r * RowStep[pass], StartCol[pass], ColStep[pass]);
        if (alphaFrom != alNone) alphaRow(cur + 1, pw, StartRow[pass] + r * RowStep[pass], StartCol[pass], ColStep[pass]);
        std::swap(cur, prev);
      }
      if (OnProgress) OnProgress(100 * pass / 6, Rect(0, 0, width, height));
    }
  } else {
    PngError(PngUnknownInterlace);
  }
  FBitmap = std::move(bmp);
  // Opaque after all: nothing to blend.
  if (std::all_of(alpha.begin(), alpha.end(), [](std::uint8_t v) { return v == 255; })) alpha.clear();
  FAlpha = std::move(alpha);
}

}  // namespace korva
