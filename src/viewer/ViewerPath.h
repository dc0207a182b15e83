// File names as the viewer handles them: written the Windows way by pages ("\" separators),
// turned into full native paths where the viewer keeps or opens them.
#pragma once

#include <string>
#include <string_view>

namespace korva {

// The folder part of a name, with its trailing separator ("/", "\" or ":"); empty when none.
std::string ExtractFilePath(std::string_view name);
// The extension with its dot, from the last "." after the last separator; empty when none.
std::string ExtractFileExt(std::string_view name);
// A full native path: "\" becomes "/", a relative name is taken from the current folder, and
// "." and ".." segments and doubled separators are folded. A name with a drive letter or a
// network prefix is only given native separators.
std::string ExpandFileName(std::string_view name);

}  // namespace korva
