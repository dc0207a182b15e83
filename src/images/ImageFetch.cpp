#include "images/ImageFetch.h"
#include "core/CharCase.h"

#include <cctype>
#include <vector>

#include "images/AnimatedGif.h"
#include "images/DisplayState.h"
#include "images/ImageStream.h"
#include "images/Limits.h"

namespace korva {

namespace {

// A GIF of one frame becomes a plain bitmap with its own mask (or a corner mask if wanted).
TImageGraphic FromGif(std::unique_ptr<TAnimatedGif> gif, bool single, TransparencyMode& mode, TBitmapPtr& mask) {
  TImageGraphic out;
  if (!gif) return out;
  if (!single) {
    out.Gif = std::move(gif);
    return out;
  }
  out.Bitmap = gif->FrameBitmap(1);
  if (!out.Bitmap) return out;
  if (gif->HasMask()) {
    mask = gif->FrameMask(1);
    mode = trGifMask;
  } else if (mode == trCornerPixel) {
    mask = MakeImageMask(*out.Bitmap, false, 0);
  }
  return out;
}

std::string ExtensionOf(const std::string& name) {
  std::size_t dot = name.find_last_of('.');
  std::size_t sep = name.find_last_of("/\\:");
  if (dot == std::string::npos || (sep != std::string::npos && sep > dot)) return {};
  return name.substr(dot, 10);
}

bool IsGzip(const std::uint8_t* data, std::size_t size) { return size >= 2 && data[0] == 0x1F && data[1] == 0x8B; }

}  // namespace

TImageGraphic LoadImageFile(const std::string& fileName, TransparencyMode& mode, TBitmapPtr& mask) {
  mask.reset();
  std::string ext = ExtensionOf(fileName);
  for (char& c : ext) c = char(korva::LowCase(static_cast<unsigned char>(c)));
  TImageGraphic out;
  if (ext != ".gif") {
    std::vector<std::uint8_t> data;
    if (!ReadWholeFile(fileName, data, MaxImageStreamBytes)) {
      SetLastImageError("cannot read " + fileName);
      return out;
    }
    const bool svgName = ext == ".svg" || ext == ".svgz";
    if ((svgName && (IsGzip(data.data(), data.size()) || SniffSvg(data.data(), data.size()))) ||
        (data.size() >= 5 && SniffImageKind(data.data()) == ikUnknown && SniffSvg(data.data(), data.size()))) {
      out = LoadSvgData(data.data(), data.size(), mode, mask);
      return out;
    }
    TImageStream stream(data.data(), data.size());
    out.Bitmap = LoadImageFromStream(&stream, mode, mask);
    return out;
  }
  bool single = false;
  std::unique_ptr<TAnimatedGif> gif = TAnimatedGif::FromGifFile(fileName, &single);
  return FromGif(std::move(gif), single, mode, mask);
}

TImageGraphic LoadImageData(TMemoryStream& stream, TransparencyMode& mode, TBitmapPtr& mask) {
  mask.reset();
  TImageGraphic out;
  if (stream.Size() >= 5) {
    ImageKind kind = SniffImageKind(stream.Memory());
    if (kind == ikGif87 || kind == ikGif89) {
      bool single = false;
      std::unique_ptr<TAnimatedGif> gif = TAnimatedGif::FromGifStream(stream, &single);
      out = FromGif(std::move(gif), single, mode, mask);
      if (out) return out;
    } else if (kind == ikUnknown &&
               (SniffSvg(stream.Memory(), stream.Size()) || IsGzip(stream.Memory(), stream.Size()))) {
      return LoadSvgData(stream.Memory(), stream.Size(), mode, mask);
    }
  }
  out.Bitmap = LoadImageFromStream(&stream, mode, mask);
  return out;
}

TFetchResult FetchImage(TStringBitmapList& cache, TImageHost* host, const std::string& sourceName,
                        TransparencyMode& mode) {
  return FetchImage(cache, host, sourceName, ImageFileFor(host, sourceName), mode);
}

std::string ImageFileFor(TImageHost* host, const std::string& sourceName) {
  const bool requests = host && (host->HasBitmapRequest() || host->HasImageRequest());
  return requests ? host->ExpandImageName(sourceName) : sourceName;
}

TFetchResult FetchImage(TStringBitmapList& cache, TImageHost* host, const std::string& sourceName,
                        const std::string& fileName, TransparencyMode& mode) {
  TFetchResult r;
  if (sourceName.empty()) return r;
  std::string key = ImageCacheKey(fileName);
  int index;
  if (cache.Find(key, index)) {
    r.Image = cache.TakeImage(index);
    r.FromCache = true;
    TBitmapItem* item = cache.Item(index);
    if (r.Image.Bitmap && item) {
      if (item->Transparency == trGifMask || item->Transparency == trKeyColor) {
        mode = item->Transparency;
      } else if (mode == trCornerPixel && !r.Image.Bitmap->HasAlpha() && !r.Image.Vector) {
        if (!item->MaskBitmap) item->MaskBitmap = MakeImageMask(*r.Image.Bitmap, false, 0);
        if (item->MaskBitmap) item->Transparency = trCornerPixel;
      }
      r.Mask = item->MaskBitmap;
    }
    return r;
  }

  const bool bitmapEvent = host && host->HasBitmapRequest();
  const bool imageEvent = host && host->HasImageRequest();
  if (!bitmapEvent && !imageEvent) {
    r.Image = LoadImageFile(fileName, mode, r.Mask);
  } else {
    if (bitmapEvent) {
      TBitmapPtr bmp;
      TColor color = NoTransparentColor;
      host->BitmapRequest(sourceName, bmp, color);
      if (bmp) {
        r.Image.Bitmap = bmp;
        if (color != NoTransparentColor) {
          r.Mask = MakeImageMask(*bmp, true, color);
          mode = trGifMask;
        } else if (mode == trCornerPixel) {
          r.Mask = MakeImageMask(*bmp, false, 0);
        }
      }
    }
    if (imageEvent) {
      TMemoryStream* stream = nullptr;
      host->ImageRequest(sourceName, stream);
      if (stream == PendingImageStream()) {
        r.Pending = true;
      } else if (stream && (!stream->Memory() || stream->Size() == 0)) {
        // An empty answer leaves the result as it is.
      } else {
        r.Image = {};
        r.Mask.reset();
        if (!stream)
          r.Image = LoadImageFile(fileName, mode, r.Mask);
        else
          r.Image = LoadImageData(*stream, mode, r.Mask);
      }
    }
  }

  if (r.Image) {
    auto item = std::make_unique<TBitmapItem>(r.Image, r.Mask, r.Mask ? mode : trNone);
    cache.AddEntry(key, std::move(item));
  }
  return r;
}

}  // namespace korva
