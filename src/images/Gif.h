// GIF87a / GIF89a decoder: frames, colour tables, extensions, and the composed strip.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "images/ImageErrors.h"
#include "platform/Bitmap.h"
#include "platform/Types.h"

namespace korva {

class TMemoryStream;

// Error codes of the decoder (index into GifErrorMessage).
enum TGifError : int {
  gifNoError = 0, gifSignature = 1, gifNoColorTable = 2, gifUnknownExtension = 3, gifUnknownOpCode = 4,
  gifExtensionSize = 5, gifSpecial = 6, gifExtensionTerminator = 7, gifIntegerSize = 8, gifNoTerminator = 9,
  gifExtensionOrder = 10, gifDescriptorIndex = 11, gifLzwCodeSize = 12, gifLzwFormat = 13, gifLzwOverflow = 14,
  gifOutOfRange = 15, gifNilPointer = 16, gifColorTableSize = 17, gifNoImage = 18, gifInvalidBitmapImage = 19,
  gifColorTableIndex = 20, gifInterlacePass = 21, gifInvalidBitmap = 22, gifTooManyColors = 23,
  gifUnexpectedEof = 24, gifNextMessage = 25
};

const char* GifErrorMessage(int code);
// The last error of any TGif load (diagnostics only): code and the formatted text.
int GifLastErrorCode();
const std::string& GifLastErrorText();

using TGifSubBlocks = std::vector<std::vector<std::uint8_t>>;

struct TGifExtension {
  std::uint8_t Label = 0;
  std::uint8_t BlockSize = 0;
  // Graphic control (0xF9).
  std::uint8_t Disposal = 0;
  bool UserInput = false;
  bool TransparentFlag = false;
  std::uint16_t Delay = 0;
  std::uint8_t TransparentIndex = 0;
  // Plain text (0x01).
  std::uint16_t GridLeft = 0, GridTop = 0, GridWidth = 0, GridHeight = 0;
  std::uint8_t CellWidth = 0, CellHeight = 0, ForegroundIndex = 0, BackgroundIndex = 0;
  // Application (0xFF).
  std::array<char, 8> Identifier{};
  std::array<std::uint8_t, 3> Authentication{};
  // Comment, plain text and application data.
  TGifSubBlocks Data;
};

struct TGifScreenDescriptor {
  int Width = 0, Height = 0;
  bool GlobalColorTable = false;
  int ColorResolution = 0;
  bool Sorted = false;
  int GlobalColorTableSize = 0;
  int BackgroundIndex = 0;
  int AspectRatio = 0;
  int GlobalColorTableIndex = -1;
};

struct TGifColorTable {
  int Count = 0;
  std::array<TColor, 256> Colors{};  // unused entries are black
};

struct TGifImageDescriptor {
  int Index = 0;
  int Left = 0, Top = 0, Width = 0, Height = 0;
  bool LocalColorTable = false, Interlaced = false, Sorted = false;
  int ColorTableSize = 0;
  int ColorTableIndex = -1;
  int LzwMinCodeSize = 0;
  std::vector<TGifExtension> Extensions;
  // Colour indexes of the part of the frame inside the logical screen (frames are clipped to
  // it): ClipWidth x ClipHeight bytes, row by row from the frame's top-left corner.
  int ClipWidth = 0, ClipHeight = 0;
  std::vector<std::uint8_t> Indexes;
  const TGifExtension* GraphicControl() const;
};

class TGif {
 public:
  TGif();
  ~TGif();
  TGif(const TGif&) = delete;
  TGif& operator=(const TGif&) = delete;

  // Decodes the whole stream from its start. Raises EInvalidGraphicOperation ("TGif: ...").
  void ReadGif(const TMemoryStream& stream);
  void ReadGif(const std::uint8_t* data, std::size_t size);

  int ImageCount() const { return int(FImages.size()); }
  int ScreenWidth() const { return FScreen.Width; }
  int ScreenHeight() const { return FScreen.Height; }
  const std::string& Signature() const { return FSignature; }
  const TGifScreenDescriptor& Screen() const { return FScreen; }
  bool IsTransparent() const;
  int FrameLeft(int i) const;
  int FrameTop(int i) const;
  int FrameSizeX(int i) const;
  int FrameSizeY(int i) const;
  int FrameDelay(int i) const;
  int FrameDisposal(int i) const;
  int FrameTransparentIndex(int i) const;
  int RepeatCount() const { return FRepeatCount; }
  const TGifImageDescriptor& Image(int i) const;
  const TGifColorTable& ColorTable(int i) const { return FColorTables.at(i); }

  // Where slot k (from 0) lies in the strip. Slots run left to right; a strip that would be
  // wider than MaxStripSide continues in further rows of slots.
  static TRect StripSlotRect(int slotWidth, int slotHeight, int slotCount, int k);
  static TSize StripSize(int slotWidth, int slotHeight, int slotCount);

  // The composed 24-bit strip of all frames and, when IsTransparent, its monochrome mask
  // (white = transparent).
  std::unique_ptr<TBitmap> BuildStrip(std::unique_ptr<TBitmap>* mask) const;

 private:
  friend class TGifReader;
  void Clear();
  void CheckIndex(int i) const;

  std::string FSignature;
  TGifScreenDescriptor FScreen;
  std::vector<TGifImageDescriptor> FImages;
  std::vector<TGifColorTable> FColorTables;
  int FRepeatCount = -1;
};

[[noreturn]] void GifError(int code, const std::string& special = std::string());

}  // namespace korva
