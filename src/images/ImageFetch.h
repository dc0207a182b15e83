// Fetching a document's image: the cache first, then the host's request events, then files.
#pragma once

#include <string>

#include "images/BitmapCache.h"
#include "images/ImageLoader.h"

namespace korva {

class TMemoryStream;

// The colour the bitmap request starts with; a host that changes it names the transparent colour.
constexpr TColor NoTransparentColor = 0xFFFFFFFFu;

// What the document's viewer offers to the image fetch: its two image request events (when the
// host assigned them) and its expansion of image names into file names.
class TImageHost {
 public:
  virtual ~TImageHost() = default;
  virtual bool HasBitmapRequest() const { return false; }
  virtual bool HasImageRequest() const { return false; }
  // OnBitmapRequest: the host may hand over a ready bitmap (it then belongs to the cache) and
  // may set color to its transparent colour.
  virtual void BitmapRequest(const std::string& source, TBitmapPtr& bitmap, TColor& color) {
    (void)source, (void)bitmap, (void)color;
  }
  // OnImageRequest: the host may set stream to encoded bytes it keeps owning, to
  // PendingImageStream(), or leave it null.
  virtual void ImageRequest(const std::string& source, TMemoryStream*& stream) { (void)source, (void)stream; }
  // The viewer's expansion of an image name into a file name.
  virtual std::string ExpandImageName(const std::string& source) { return source; }
};

struct TFetchResult {
  TImageGraphic Image;
  TBitmapPtr Mask;
  bool Pending = false;
  bool FromCache = false;
};

// The document's FetchImage: mode comes in as the caller's wish (trCornerPixel for TRANSP, else
// trNone) and goes out as the mode the mask was made under.
TFetchResult FetchImage(TStringBitmapList& cache, TImageHost* host, const std::string& sourceName,
                        TransparencyMode& mode);
// The file a source names: the host's expansion of it when the host answers image requests
// (they see the source as written), else the source itself, which the caller has resolved.
std::string ImageFileFor(TImageHost* host, const std::string& sourceName);
// The same fetch, with the file the source resolves to: it keys the cache and is what is loaded when
// the host hands over nothing; the host's requests still get the source as written.
TFetchResult FetchImage(TStringBitmapList& cache, TImageHost* host, const std::string& sourceName,
                        const std::string& fileName, TransparencyMode& mode);

// Loads an image file: a ".gif" file (any letter case) through the GIF decoder, anything else
// through LoadImageFromFile. A single-frame GIF comes back as a bitmap with its mask.
TImageGraphic LoadImageFile(const std::string& fileName, TransparencyMode& mode, TBitmapPtr& mask);
// Decodes encoded bytes the way a host's stream is decoded (GIF or the other formats).
TImageGraphic LoadImageData(TMemoryStream& stream, TransparencyMode& mode, TBitmapPtr& mask);

}  // namespace korva
