// GIF decoding: blocks, extensions, LZW, interlacing, and the composed strip.
#include <algorithm>
#include "core/CharCase.h"
#include <cstdio>
#include <cstring>

#include "images/Gif.h"
#include "images/ImageStream.h"
#include "images/Limits.h"

namespace korva {

namespace {

const char* const GifMessages[] = {
    "no error",
    "Invalid GIF Signature Code",
    "No Local or Global Color Table for Image",
    "Unknown Graphics Extension Type",
    "Unknown Graphics Operation Code",
    "Invalid Extension Block Size",
    "[special message]",
    "Invalid Extension Block Terminator",
    "Invalid Integer Size",
    "No GIF Terminator Found",
    "Extension Block Out-Of-Order With Image Data",
    "Invalid Image Descriptor Index",
    "Invalid LZW Code Size",
    "Invalid LZW Data Format",
    "LZW Code Overflow",
    "Value Out Of Range",
    "NIL Pointer assigned",
    "Invalid Color Table Size",
    "No Image Description",
    "Invalid Bitmap Image",
    "Invalid Color Table Index",
    "Invalid Interlace Pass",
    "Invalid Bitmap",
    "Too Many Colors In Bitmap",
    "Unexpected end of file",
    "next message",
};

int LastErrorCode = 0;
std::string LastErrorText;

constexpr int LzwTableSize = 4096;

// Where the indexes of one frame go: the clipped buffer, advanced row by row as the frame's
// own width and interlacing say.
struct TIndexSink {
  std::uint8_t* Buffer = nullptr;
  int ClipWidth = 0, ClipHeight = 0;
  int Width = 0, Height = 0;
  bool Interlaced = false;
  int X = 0, Y = 0, Pass = 1;
  std::uint8_t* Row = nullptr;  // row Y of the buffer, or null when Y lies outside it
  std::int64_t Left = 0;        // indexes still wanted

  void Start() {
    X = 0;
    Y = 0;
    Pass = 1;
    Row = ClipHeight > 0 ? Buffer : nullptr;
    Left = std::int64_t(Width) * Height;
  }

  void NextRow() {
    X = 0;
    if (!Interlaced) {
      ++Y;
    } else {
      static const int Step[5] = {0, 8, 8, 4, 2};
      static const int Start[5] = {0, 0, 4, 2, 1};
      Y += Step[Pass];
      while (Y >= Height) {
        Pass = Pass == 4 ? 1 : Pass + 1;
        Y = Start[Pass];
      }
    }
    Row = Y < ClipHeight ? Buffer + std::size_t(Y) * ClipWidth : nullptr;
  }

  void Put(std::uint8_t v) {
    if (Row && X < ClipWidth) Row[X] = v;
    if (++X == Width) NextRow();
    --Left;
  }
};

struct TLzwTables {
  std::uint16_t Prefix[LzwTableSize];
  std::uint8_t Suffix[LzwTableSize];
  std::uint8_t First[LzwTableSize];
  std::uint16_t Length[LzwTableSize];
  std::uint8_t Stack[LzwTableSize];
};

// Decodes one frame's LZW data (with 4 bytes of zero padding after `size`) into the sink.
void DecodeLzw(const std::uint8_t* data, std::size_t size, int minCodeSize, TIndexSink& sink) {
  if (minCodeSize + 1 > 12 || minCodeSize < 0) GifError(gifLzwCodeSize);
  auto tables = std::make_unique<TLzwTables>();
  TLzwTables& t = *tables;
  const int clear = 1 << minCodeSize;
  const int endCode = clear + 1;
  for (int c = 0; c < clear; ++c) {
    t.Prefix[c] = 0;
    t.Suffix[c] = std::uint8_t(c);
    t.First[c] = std::uint8_t(c);
    t.Length[c] = 1;
  }
  int width = minCodeSize + 1;
  int limit = 1 << width;
  int next = clear + 2;
  const std::uint64_t totalBits = std::uint64_t(size) * 8;
  std::uint64_t bitPos = 0;

  auto readCode = [&](int& code) -> bool {
    if (bitPos + unsigned(width) > totalBits) return false;
    std::size_t i = std::size_t(bitPos >> 3);
    std::uint32_t v = std::uint32_t(data[i]) | (std::uint32_t(data[i + 1]) << 8) | (std::uint32_t(data[i + 2]) << 16);
    code = int((v >> (bitPos & 7)) & ((1u << width) - 1));
    bitPos += unsigned(width);
    return true;
  };

  // Writes the string of `code` (known to be a valid entry).
  auto output = [&](int code) {
    int len = t.Length[code];
    if (sink.X + len <= sink.Width && len <= sink.Left) {
      if (sink.Row && sink.X + len <= sink.ClipWidth) {
        std::uint8_t* p = sink.Row + sink.X + len - 1;
        while (code >= clear) {
          *p-- = t.Suffix[code];
          code = t.Prefix[code];
        }
        *p = std::uint8_t(code);
        sink.X += len;
        sink.Left -= len;
        if (sink.X == sink.Width) sink.NextRow();
        return;
      }
      if (!sink.Row || sink.X >= sink.ClipWidth) {
        // Outside the screen: nothing is kept.
        sink.X += len;
        sink.Left -= len;
        if (sink.X == sink.Width) sink.NextRow();
        return;
      }
    }
    int n = 0;
    while (code >= clear) {
      t.Stack[n++] = t.Suffix[code];
      code = t.Prefix[code];
    }
    t.Stack[n++] = std::uint8_t(code);
    while (n > 0 && sink.Left > 0) sink.Put(t.Stack[--n]);
  };

  auto addEntry = [&](int prev, std::uint8_t suffix) {
    if (next >= LzwTableSize) return;
    t.Prefix[next] = std::uint16_t(prev);
    t.Suffix[next] = suffix;
    t.First[next] = t.First[prev];
    t.Length[next] = std::uint16_t(t.Length[prev] + 1);
    ++next;
    if (next >= limit && width < 12) {
      ++width;
      limit <<= 1;
    }
  };

  int code = 0;
  int prev = 0;
  // The first code of the data and the first after each clear code start a new table.
  auto restart = [&](bool afterClear) -> bool {
    if (afterClear) {
      width = minCodeSize + 1;
      limit = 1 << width;
      next = endCode + 1;
      do {
        if (!readCode(code)) return false;
      } while (code == clear);
      if (code == endCode) GifError(gifLzwFormat);
    }
    if (code >= next) code = 0;
    output(code);
    prev = code;
    return true;
  };

  if (!readCode(code)) return;
  if (code == endCode) return;
  if (!restart(code == clear)) return;
  while (sink.Left > 0) {
    if (!readCode(code) || code == endCode) return;
    if (code == clear) {
      if (!restart(true)) return;
    } else if (code < next) {
      output(code);
      addEntry(prev, t.First[code]);
      prev = code;
    } else if (code == next) {
      addEntry(prev, t.First[prev]);
      if (code < next) output(code);
      prev = code;
    } else {
      GifError(gifLzwFormat);
    }
  }
}

}  // namespace

const char* GifErrorMessage(int code) {
  if (code < 0 || code > gifNextMessage) return "";
  return GifMessages[code];
}
int GifLastErrorCode() { return LastErrorCode; }
const std::string& GifLastErrorText() { return LastErrorText; }

void GifError(int code, const std::string& special) {
  LastErrorCode = code;
  LastErrorText = "TGif: " + (code == gifSpecial ? special : std::string(GifErrorMessage(code)));
  throw EInvalidGraphicOperation(LastErrorText);
}

const TGifExtension* TGifImageDescriptor::GraphicControl() const {
  for (const TGifExtension& e : Extensions)
    if (e.Label == 0xF9) return &e;
  return nullptr;
}

// Reads the blocks of one file into a TGif.
class TGifReader {
 public:
  TGifReader(TGif& gif, const std::uint8_t* data, std::size_t size) : FGif(gif), FData(data), FSize(size) {}

  void Read() {
    char sig[6];
    for (char& c : sig) c = char(Byte());
    FGif.FSignature.assign(sig, 6);
    std::string upper = FGif.FSignature;
    for (char& c : upper) c = char(korva::UpCase(static_cast<unsigned char>(c)));
    if (upper != "GIF87A" && upper != "GIF89A") GifError(gifSignature);
    ReadScreen();
    for (;;) {
      std::uint8_t intro = Byte();
      if (intro == 0x00 || intro == 0x3B) break;
      if (intro == 0x2C) {
        ReadImage();
      } else if (intro == 0x21) {
        if (!ReadExtension()) break;
      } else {
        GifError(gifUnknownOpCode);
      }
    }
    if (FGif.FImages.empty()) GifError(gifNoImage);
  }

 private:
  std::uint8_t Byte() {
    if (FPos < FSize) return FData[FPos++];
    return 0;
  }
  int Word() {
    int lo = Byte();
    return lo | (Byte() << 8);
  }
  std::size_t Left() const { return FPos < FSize ? FSize - FPos : 0; }

  // Data sub-blocks up to the zero length; appended to `out` when given.
  void SubBlocks(TGifSubBlocks* blocks, std::vector<std::uint8_t>* out) {
    for (;;) {
      std::size_t len = Byte();
      if (len == 0) return;
      if (Left() < len) GifError(gifUnexpectedEof);
      if (blocks) blocks->emplace_back(FData + FPos, FData + FPos + len);
      if (out) out->insert(out->end(), FData + FPos, FData + FPos + len);
      FPos += len;
    }
  }

  void ReadColorTable(int count) {
    TGifColorTable table;
    table.Count = count;
    for (int i = 0; i < count; ++i) {
      int r = Byte(), g = Byte(), b = Byte();
      table.Colors[i] = RGBColor(r, g, b);
    }
    FGif.FColorTables.push_back(table);
  }

  void ReadScreen() {
    TGifScreenDescriptor& s = FGif.FScreen;
    s.Width = Word();
    s.Height = Word();
    int packed = Byte();
    s.GlobalColorTable = (packed & 0x80) != 0;
    s.ColorResolution = ((packed >> 4) & 7) + 1;
    s.Sorted = (packed & 0x08) != 0;
    s.GlobalColorTableSize = 1 << ((packed & 7) + 1);
    s.BackgroundIndex = Byte();
    s.AspectRatio = Byte();
    if (s.Width > MaxImageSide || s.Height > MaxImageSide) TooLarge();
    if (s.GlobalColorTable) {
      s.GlobalColorTableIndex = int(FGif.FColorTables.size());
      ReadColorTable(s.GlobalColorTableSize);
    }
  }

  [[noreturn]] void TooLarge() {
    GifError(gifSpecial, "image too large (at most " + std::to_string(MaxImageSide) + " pixels a side and " +
                             std::to_string(MaxStripPixels / (1024 * 1024)) + " megapixels for all frames)");
  }

  // Returns false when loading should stop here as if the terminator had been read.
  bool ReadExtension() {
    std::uint8_t label = Byte();
    TGifExtension e;
    e.Label = label;
    switch (label) {
      case 0xF9: {
        e.BlockSize = Byte();
        if (e.BlockSize != 4) GifError(gifExtensionSize);
        int packed = Byte();
        e.Disposal = std::uint8_t((packed >> 2) & 7);
        e.UserInput = (packed & 2) != 0;
        e.TransparentFlag = (packed & 1) != 0;
        e.Delay = std::uint16_t(Word());
        e.TransparentIndex = Byte();
        if (Byte() != 0) GifError(gifExtensionTerminator);
        break;
      }
      case 0xFE:
        try {
          SubBlocks(&e.Data, nullptr);
        } catch (const EInvalidGraphicOperation&) {
          if (!FGif.FImages.empty()) return false;
          throw;
        }
        break;
      case 0x01:
        e.BlockSize = Byte();
        if (e.BlockSize != 12) GifError(gifExtensionSize);
        e.GridLeft = std::uint16_t(Word());
        e.GridTop = std::uint16_t(Word());
        e.GridWidth = std::uint16_t(Word());
        e.GridHeight = std::uint16_t(Word());
        e.CellWidth = Byte();
        e.CellHeight = Byte();
        e.ForegroundIndex = Byte();
        e.BackgroundIndex = Byte();
        SubBlocks(&e.Data, nullptr);
        break;
      case 0xFF:
        e.BlockSize = Byte();
        if (e.BlockSize != 11) GifError(gifExtensionSize);
        for (char& c : e.Identifier) c = char(Byte());
        for (std::uint8_t& c : e.Authentication) c = Byte();
        SubBlocks(&e.Data, nullptr);
        if (std::memcmp(e.Identifier.data(), "NETSCAPE", 8) == 0 && !e.Data.empty() && e.Data[0].size() == 3)
          FGif.FRepeatCount = e.Data[0][1] | (e.Data[0][2] << 8);
        break;
      default: {
        char text[40];
        std::snprintf(text, sizeof text, "unknown extension: %04X", unsigned(label));
        GifError(gifSpecial, text);
      }
    }
    FPending.push_back(std::move(e));
    return true;
  }

  void ReadImage() {
    TGifScreenDescriptor& s = FGif.FScreen;
    if (int(FGif.FImages.size()) >= MaxGifFrames) TooLarge();
    FGif.FImages.emplace_back();
    TGifImageDescriptor& d = FGif.FImages.back();
    d.Index = int(FGif.FImages.size()) - 1;
    d.Extensions = std::move(FPending);
    FPending.clear();
    d.Left = Word();
    d.Top = Word();
    d.Width = Word();
    d.Height = Word();
    int packed = Byte();
    d.LocalColorTable = (packed & 0x80) != 0;
    d.Interlaced = (packed & 0x40) != 0;
    d.Sorted = (packed & 0x20) != 0;
    d.ColorTableSize = 1 << ((packed & 7) + 1);
    if (d.LocalColorTable) {
      d.ColorTableIndex = int(FGif.FColorTables.size());
      ReadColorTable(d.ColorTableSize);
    } else if (s.GlobalColorTableIndex >= 0) {
      d.ColorTableIndex = s.GlobalColorTableIndex;
    } else {
      GifError(gifNoColorTable);
    }
    d.LzwMinCodeSize = Byte();

    // A file without a logical screen size shows its first frame's area.
    if (d.Index == 0 && (s.Width == 0 || s.Height == 0)) {
      s.Width = std::min(d.Left + d.Width, MaxImageSide + 1);
      s.Height = std::min(d.Top + d.Height, MaxImageSide + 1);
      if (s.Width > MaxImageSide || s.Height > MaxImageSide) TooLarge();
    }
    TSize strip = TGif::StripSize(s.Width, s.Height, int(FGif.FImages.size()));
    if (std::int64_t(strip.cx) * strip.cy > MaxStripPixels) TooLarge();

    FLzw.clear();
    SubBlocks(nullptr, &FLzw);
    std::size_t lzwSize = FLzw.size();
    FLzw.insert(FLzw.end(), 4, 0);

    d.ClipWidth = std::max(0, std::min(d.Width, s.Width - d.Left));
    d.ClipHeight = std::max(0, std::min(d.Height, s.Height - d.Top));
    d.Indexes.assign(std::size_t(d.ClipWidth) * d.ClipHeight, 0);
    if (d.Width == 0 || d.Height == 0) return;
    TIndexSink sink;
    sink.Buffer = d.Indexes.data();
    sink.ClipWidth = d.ClipWidth;
    sink.ClipHeight = d.ClipHeight;
    sink.Width = d.Width;
    sink.Height = d.Height;
    sink.Interlaced = d.Interlaced;
    sink.Start();
    DecodeLzw(FLzw.data(), lzwSize, d.LzwMinCodeSize, sink);
  }

  TGif& FGif;
  const std::uint8_t* FData;
  std::size_t FSize;
  std::size_t FPos = 0;
  std::vector<TGifExtension> FPending;
  std::vector<std::uint8_t> FLzw;
};

TGif::TGif() { Clear(); }
TGif::~TGif() = default;

void TGif::Clear() {
  FSignature = "------";
  FScreen = TGifScreenDescriptor();
  FImages.clear();
  FColorTables.clear();
  FRepeatCount = -1;
}

void TGif::ReadGif(const TMemoryStream& stream) { ReadGif(stream.Memory(), stream.Size()); }

void TGif::ReadGif(const std::uint8_t* data, std::size_t size) {
  Clear();
  LastErrorCode = 0;
  LastErrorText.clear();
  if (!data) size = 0;
  TGifReader reader(*this, data, size);
  reader.Read();
}

void TGif::CheckIndex(int i) const {
  if (i < 0 || i >= int(FImages.size())) GifError(gifOutOfRange);
}

const TGifImageDescriptor& TGif::Image(int i) const {
  CheckIndex(i);
  return FImages[i];
}

bool TGif::IsTransparent() const {
  for (const TGifImageDescriptor& d : FImages)
    if (const TGifExtension* e = d.GraphicControl(); e && e->TransparentFlag) return true;
  return false;
}

int TGif::FrameLeft(int i) const { return Image(i).Left; }
int TGif::FrameTop(int i) const { return Image(i).Top; }
int TGif::FrameSizeX(int i) const { return Image(i).Width; }
int TGif::FrameSizeY(int i) const { return Image(i).Height; }

int TGif::FrameDelay(int i) const {
  const TGifExtension* e = Image(i).GraphicControl();
  return e && e->Delay > 0 ? e->Delay : 1;
}

int TGif::FrameDisposal(int i) const {
  const TGifExtension* e = Image(i).GraphicControl();
  return e ? e->Disposal % 4 : 0;
}

int TGif::FrameTransparentIndex(int i) const {
  const TGifExtension* e = Image(i).GraphicControl();
  return e && e->TransparentFlag ? e->TransparentIndex : -1;
}

TSize TGif::StripSize(int slotWidth, int slotHeight, int slotCount) {
  if (slotCount <= 0) return {0, 0};
  int perRow = slotWidth > 0 ? std::max(1, MaxStripSide / slotWidth) : slotCount;
  int cols = std::min(slotCount, perRow);
  int rows = (slotCount + perRow - 1) / perRow;
  return {cols * slotWidth, int(std::min<std::int64_t>(std::int64_t(rows) * slotHeight, 0x7FFFFFFF))};
}

TRect TGif::StripSlotRect(int slotWidth, int slotHeight, int slotCount, int k) {
  int perRow = slotWidth > 0 ? std::max(1, MaxStripSide / slotWidth) : std::max(1, slotCount);
  int col = k % perRow, row = k / perRow;
  return Bounds(col * slotWidth, row * slotHeight, slotWidth, slotHeight);
}

std::unique_ptr<TBitmap> TGif::BuildStrip(std::unique_ptr<TBitmap>* maskOut) const {
  if (maskOut) maskOut->reset();
  const int sw = FScreen.Width, sh = FScreen.Height, count = ImageCount();
  if (count == 0) GifError(gifNoImage);
  // Nothing to show: a screen without area, even after taking the first frame's.
  if (sw <= 0 || sh <= 0) GifError(gifInvalidBitmapImage);
  TSize size = StripSize(sw, sh, count);
  if (std::int64_t(size.cx) * size.cy > MaxStripPixels || size.cy > MaxStripSide) GifError(gifInvalidBitmap);
  std::unique_ptr<TBitmap> strip = TBitmap::Create(size.cx, size.cy, 24);
  if (!strip) GifError(gifInvalidBitmap);
  const bool transparent = IsTransparent();
  std::unique_ptr<TBitmap> mask;
  if (transparent) {
    mask = TBitmap::Create(size.cx, size.cy, 1);
    if (!mask) GifError(gifInvalidBitmap);
  }

  // The picture as composed so far, one screen in size; each frame draws on it and the result
  // is copied into the frame's slot.
  std::vector<std::uint8_t> canvas(std::size_t(sw) * sh * 3, 0);
  std::vector<std::uint8_t> maskCanvas(transparent ? std::size_t(sw) * sh : 0, 255);
  std::uint8_t bgr[256 * 3];

  for (int k = 0; k < count; ++k) {
    const TGifImageDescriptor& d = FImages[k];
    const TGifColorTable& table = FColorTables[d.ColorTableIndex];
    for (int i = 0; i < 256; ++i) {
      TColor c = table.Colors[i];
      bgr[i * 3] = std::uint8_t(GetBValue(c));
      bgr[i * 3 + 1] = std::uint8_t(GetGValue(c));
      bgr[i * 3 + 2] = std::uint8_t(GetRValue(c));
    }
    const int ti = FrameTransparentIndex(k);
    for (int y = 0; y < d.ClipHeight; ++y) {
      const std::uint8_t* src = d.Indexes.data() + std::size_t(y) * d.ClipWidth;
      std::size_t at = std::size_t(d.Top + y) * sw + d.Left;
      std::uint8_t* dst = canvas.data() + at * 3;
      if (ti < 0) {
        for (int x = 0; x < d.ClipWidth; ++x, dst += 3) {
          const std::uint8_t* c = bgr + src[x] * 3;
          dst[0] = c[0];
          dst[1] = c[1];
          dst[2] = c[2];
        }
        if (transparent) std::memset(maskCanvas.data() + at, 0, std::size_t(d.ClipWidth));
      } else {
        std::uint8_t* m = transparent ? maskCanvas.data() + at : nullptr;
        for (int x = 0; x < d.ClipWidth; ++x, dst += 3) {
          if (src[x] != ti) {
            const std::uint8_t* c = bgr + src[x] * 3;
            dst[0] = c[0];
            dst[1] = c[1];
            dst[2] = c[2];
            if (m) m[x] = 0;
          } else if (k == 0) {
            dst[0] = dst[1] = dst[2] = 0;
            if (m) m[x] = 255;
          }
        }
      }
    }

    TRect slot = StripSlotRect(sw, sh, count, k);
    for (int y = 0; y < sh; ++y)
      std::memcpy(strip->ScanLine(slot.Top + y) + std::size_t(slot.Left) * 3, canvas.data() + std::size_t(y) * sw * 3,
                  std::size_t(sw) * 3);
    if (mask) {
      for (int y = 0; y < sh; ++y) {
        std::uint8_t* row = mask->ScanLine(slot.Top + y);
        const std::uint8_t* m = maskCanvas.data() + std::size_t(y) * sw;
        for (int x = 0; x < sw; ++x)
          if (m[x]) {
            int bx = slot.Left + x;
            row[bx >> 3] |= std::uint8_t(0x80 >> (bx & 7));
          }
      }
      int disposal = FrameDisposal(k);
      if (disposal == 2 || disposal == 3) {
        for (int y = 0; y < d.ClipHeight; ++y)
          std::memset(maskCanvas.data() + std::size_t(d.Top + y) * sw + d.Left, 255, std::size_t(d.ClipWidth));
      }
    }
  }
  if (maskOut) *maskOut = std::move(mask);
  return strip;
}

}  // namespace korva
