#include "viewer/ViewerPath.h"

#include <QDir>
#include <vector>

#include "platform/System.h"

namespace korva {

namespace {
bool IsSeparator(char c) { return c == '/' || c == '\\' || c == ':'; }
}  // namespace

std::string ExtractFilePath(std::string_view name) {
  for (std::size_t i = name.size(); i > 0; --i)
    if (IsSeparator(name[i - 1])) return std::string(name.substr(0, i));
  return {};
}

std::string ExtractFileExt(std::string_view name) {
  for (std::size_t i = name.size(); i > 0; --i) {
    const char c = name[i - 1];
    if (IsSeparator(c)) break;
    if (c == '.') return std::string(name.substr(i - 1));
  }
  return {};
}

std::string ExpandFileName(std::string_view name) {
  if (name.empty()) return {};
  std::string path = NativePath(name);
  if ((name.size() > 1 && name[1] == ':') || name.substr(0, 2) == "\\\\") return path;
  if (path[0] != '/') path = QDir::currentPath().toStdString() + "/" + path;
  std::vector<std::string> parts;
  std::size_t a = 1;
  while (a <= path.size()) {
    std::size_t b = path.find('/', a);
    if (b == std::string::npos) b = path.size();
    std::string part = path.substr(a, b - a);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(std::move(part));
    }
    a = b + 1;
  }
  std::string out;
  for (const std::string& p : parts) {
    out += '/';
    out += p;
  }
  if (out.empty()) out.push_back('/');
  // A name that ends in a separator keeps it (a folder).
  if (path.back() == '/' && out.back() != '/') out += '/';
  return out;
}

}  // namespace korva
