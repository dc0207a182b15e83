// The link that surrounds the text being read; font runs keep a copy.
#pragma once

#include <cstdint>
#include <string>

namespace korva {

class TUrlTarget {
 public:
  // Sets URL and target and takes the next link sequence number.
  void Assign(std::string url, std::string target);
  // Copies all four fields.
  void Copy(const TUrlTarget& other) { *this = other; }
  void Clear();

  const std::string& Url() const { return FUrl; }
  const std::string& Target() const { return FTarget; }
  int ID() const { return FID; }
  std::int32_t TabIndex() const { return FTabIndex; }
  void SetTabIndex(std::int32_t value) { FTabIndex = value; }

 private:
  std::string FUrl, FTarget;
  int FID = 0;
  std::int32_t FTabIndex = 0;
};

}  // namespace korva
