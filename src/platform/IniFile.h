// INI files with Windows semantics: sections and keys compared without regard to case, values
// kept as written (surrounding blanks trimmed), every write goes straight to disk, opening
// creates nothing, and a missing file reads as empty.
#pragma once

#include <string>
#include <vector>

namespace korva {

class TIniFile {
 public:
  explicit TIniFile(std::string fileName);
  const std::string& FileName() const { return FFileName; }

  std::string ReadString(const std::string& section, const std::string& key, const std::string& def) const;
  int ReadInteger(const std::string& section, const std::string& key, int def) const;
  bool ReadBool(const std::string& section, const std::string& key, bool def) const;
  // Creates the file, section and key as needed; false when the file cannot be written.
  bool WriteString(const std::string& section, const std::string& key, const std::string& value);
  bool WriteInteger(const std::string& section, const std::string& key, int value);
  bool SectionExists(const std::string& section) const;
  bool ValueExists(const std::string& section, const std::string& key) const;
  std::vector<std::string> ReadSections() const;
  std::vector<std::string> ReadSection(const std::string& section) const;  // key names
  bool EraseSection(const std::string& section);
  bool DeleteKey(const std::string& section, const std::string& key);

 private:
  std::string FFileName;
};

}  // namespace korva
