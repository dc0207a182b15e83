// The error a section's layout raises when it cannot be laid out: the document reports it in a
// dialog and drops the section.
#pragma once

#include <stdexcept>

namespace korva {

class EProcessError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace korva
