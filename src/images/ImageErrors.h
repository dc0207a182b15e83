// Exceptions raised by the image decoders. The loaders catch them and yield no image.
#pragma once

#include <stdexcept>
#include <string>

namespace korva {

// The picture framework's "invalid graphic" error.
class EInvalidGraphic : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The picture framework's "invalid graphic operation" error.
class EInvalidGraphicOperation : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Errors of the bitmap reader and writer of the colour reduction.
class GIFException : public EInvalidGraphic {
 public:
  using EInvalidGraphic::EInvalidGraphic;
};

class EPngError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The image cannot be held within the limits of Limits.h.
class EImageTooLarge : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace korva
