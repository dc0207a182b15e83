#include "platform/IniFile.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include "platform/System.h"

namespace korva {

namespace {

bool SameText(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x -= 32;
    if (y >= 'a' && y <= 'z') y -= 32;
    if (x != y) return false;
  }
  return true;
}

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return {};
  size_t e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

// One line of the file as read: a section header, a key=value pair or anything else (kept as is).
struct TLine {
  enum Kind { Other, Section, Pair } Kind = Other;
  std::string Text;   // the original line
  std::string Name;   // section or key name, trimmed
  std::string Value;  // trimmed value
};

std::vector<TLine> ReadLines(const std::string& fileName) {
  std::vector<TLine> lines;
  std::ifstream in(NativePath(fileName), std::ios::binary);
  if (!in) return lines;
  std::string raw;
  while (std::getline(in, raw)) {
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    TLine line;
    line.Text = raw;
    std::string t = Trim(raw);
    if (!t.empty() && t.front() == '[') {
      size_t close = t.find(']');
      line.Kind = TLine::Section;
      line.Name = Trim(t.substr(1, close == std::string::npos ? std::string::npos : close - 1));
    } else if (!t.empty() && t.front() != ';') {
      size_t eq = t.find('=');
      if (eq != std::string::npos) {
        line.Kind = TLine::Pair;
        line.Name = Trim(t.substr(0, eq));
        line.Value = Trim(t.substr(eq + 1));
        // A value in matching quotes reads without them.
        if (line.Value.size() >= 2 && (line.Value.front() == '"' || line.Value.front() == '\'') &&
            line.Value.back() == line.Value.front())
          line.Value = line.Value.substr(1, line.Value.size() - 2);
      }
    }
    lines.push_back(std::move(line));
  }
  return lines;
}

bool WriteLines(const std::string& fileName, const std::vector<TLine>& lines) {
  std::string tmp = NativePath(fileName) + ".tmp";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    for (const TLine& l : lines) out << l.Text << "\r\n";
    out.flush();
    if (!out) return false;
  }
  // Replace in one step so a failed write never leaves half a file behind.
  return std::rename(tmp.c_str(), NativePath(fileName).c_str()) == 0;
}

// Index range [first, last) of the lines of a section (after its header); first = -1 when absent.
std::pair<int, int> FindSection(const std::vector<TLine>& lines, const std::string& section) {
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].Kind == TLine::Section && SameText(lines[i].Name, section)) {
      size_t j = i + 1;
      while (j < lines.size() && lines[j].Kind != TLine::Section) ++j;
      return {int(i + 1), int(j)};
    }
  }
  return {-1, -1};
}

int FindKey(const std::vector<TLine>& lines, std::pair<int, int> range, const std::string& key) {
  for (int i = range.first; i >= 0 && i < range.second; ++i)
    if (lines[i].Kind == TLine::Pair && SameText(lines[i].Name, key)) return i;
  return -1;
}

}  // namespace

TIniFile::TIniFile(std::string fileName) : FFileName(std::move(fileName)) {}

std::string TIniFile::ReadString(const std::string& section, const std::string& key, const std::string& def) const {
  auto lines = ReadLines(FFileName);
  int k = FindKey(lines, FindSection(lines, section), key);
  return k < 0 ? def : lines[k].Value;
}

int TIniFile::ReadInteger(const std::string& section, const std::string& key, int def) const {
  std::string s = ReadString(section, key, "");
  if (s.empty()) return def;
  try {
    size_t used = 0;
    long long v;
    if (s.size() > 1 && (s[0] == '$'))
      v = std::stoll(s.substr(1), &used, 16), ++used;
    else if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X'))
      v = std::stoll(s.substr(2), &used, 16), used += 2;
    else
      v = std::stoll(s, &used, 10);
    if (used != s.size() || v < -2147483648LL || v > 2147483647LL) return def;
    return int(v);
  } catch (...) {
    return def;
  }
}

bool TIniFile::ReadBool(const std::string& section, const std::string& key, bool def) const {
  return ReadInteger(section, key, def ? 1 : 0) != 0;
}

bool TIniFile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
  auto lines = ReadLines(FFileName);
  auto range = FindSection(lines, section);
  TLine pair;
  pair.Kind = TLine::Pair;
  pair.Name = key;
  pair.Value = value;
  pair.Text = key + "=" + value;
  if (range.first < 0) {
    if (!lines.empty() && !Trim(lines.back().Text).empty()) lines.push_back(TLine{});
    TLine header;
    header.Kind = TLine::Section;
    header.Name = section;
    header.Text = "[" + section + "]";
    lines.push_back(header);
    lines.push_back(pair);
  } else {
    int k = FindKey(lines, range, key);
    if (k >= 0) {
      pair.Text = lines[k].Name + "=" + value;
      lines[k] = pair;
    } else {
      // After the last non-blank line of the section.
      int at = range.second;
      while (at > range.first && Trim(lines[at - 1].Text).empty()) --at;
      lines.insert(lines.begin() + at, pair);
    }
  }
  return WriteLines(FFileName, lines);
}

bool TIniFile::WriteInteger(const std::string& section, const std::string& key, int value) {
  return WriteString(section, key, std::to_string(value));
}

bool TIniFile::SectionExists(const std::string& section) const {
  return FindSection(ReadLines(FFileName), section).first >= 0;
}

bool TIniFile::ValueExists(const std::string& section, const std::string& key) const {
  auto lines = ReadLines(FFileName);
  return FindKey(lines, FindSection(lines, section), key) >= 0;
}

std::vector<std::string> TIniFile::ReadSections() const {
  std::vector<std::string> names;
  for (const TLine& l : ReadLines(FFileName))
    if (l.Kind == TLine::Section) names.push_back(l.Name);
  return names;
}

std::vector<std::string> TIniFile::ReadSection(const std::string& section) const {
  std::vector<std::string> keys;
  auto lines = ReadLines(FFileName);
  auto range = FindSection(lines, section);
  for (int i = range.first; i >= 0 && i < range.second; ++i)
    if (lines[i].Kind == TLine::Pair) keys.push_back(lines[i].Name);
  return keys;
}

bool TIniFile::EraseSection(const std::string& section) {
  auto lines = ReadLines(FFileName);
  auto range = FindSection(lines, section);
  if (range.first < 0) return true;
  lines.erase(lines.begin() + (range.first - 1), lines.begin() + range.second);
  return WriteLines(FFileName, lines);
}

bool TIniFile::DeleteKey(const std::string& section, const std::string& key) {
  auto lines = ReadLines(FFileName);
  int k = FindKey(lines, FindSection(lines, section), key);
  if (k < 0) return true;
  lines.erase(lines.begin() + k);
  return WriteLines(FFileName, lines);
}

}  // namespace korva
