#include "archive/ZipMsg.h"

#include <algorithm>
#include <iterator>

namespace korva {

namespace {

struct TMsgText {
  int Id;
  const char* Text;
};

// Sorted by number.
constexpr TMsgText MsgTable[] = {
    {10102, "Error - no zip file specified!"},
    {10103, "Requested memory not available"},
    {10104, "Error - passwords do NOT match\nPassword ignored"},
    {10106, "Exception in Event handler "},
    {10118, "DLL Error - Aborting"},
    {10119, "DLL Error - Busy"},
    {10120, "DLL Error - User Cancelled"},
    {10121, "DLL Error - Not enough memory"},
    {10122, "DLL Error - Invalid structure"},
    {10123, "DLL Error - Exception in handler "},
    {10124, "critical DLL Error %d"},
    {10125, "Skipped %s %d"},
    {10150, "Error - no add password given"},
    {10151, "Error - no extract password given"},
    {10201, "Seek error reading Zip archive!"},
    {10202, "Unknown error in List() function\n"},
    {10203, "Warning - Error in zip structure!"},
    {10204, "Warning - Garbage at the end of the zipfile!"},
    {10205, "File larger than 4GB"},
    {10301, "Error - no files to zip!"},
    {10501, "Fatal Error in UnzLib.dll: abort exception"},
    {10502, "Warning - Unattended Extract: possible not all files extracted"},
    {10504, "Extract directory '%s' must exist"},
    {10650, "Failed to load %s"},
    {10651, "Unable to load %s - It is old or corrupt"},
    {10652, "Loaded "},
    {10653, "Unloaded "},
    {10701, "Member data lies outside the archive:"},
    {10702, "Local header does not match the central directory:"},
    {10703, "Member is larger than the size limit:"},
    {10704, "Declared size cannot come from the compressed data:"},
    {10705, "Compressed data is damaged:"},
    {10706, "Extracted size does not match the declared size:"},
    {10707, "CRC error:"},
    {10708, "Compression method not supported:"},
    {10709, "Member is encrypted:"},
    {10710, "Archive could not be read:"},
    {10711, "Member not found:"},
    {10712, "The central directory lies outside the archive"},
    {10713, "Archives spread over several disks or files are not supported"},
    {10714, "The central directory is larger than the limit"},
    {11002, "Zip file could not be opened"},
    {11007, "User canceled operation"},
    {11008, "Seek error in input file"},
    {11011, "Error while reading the End Of Central Directory"},
    {11013, "Error while reading a central header"},
    {11015, "A central header signature is wrong"},
    {11017, "Error while reading a central file name"},
    {11022, "Error while reading a file comment"},
    {11036, "This archive is not a valid Zip archive"},
    {11037, "This is the first disk in a backup set,\nplease insert the last disk of this set"},
    {11038, "This is the %dth disk in a backup set,\nplease insert the last disk of this set"},
    {11045, "This is the first file in a backup set,\nplease choose the last file of this set"},
};

const char* Find(int id) {
  auto it = std::lower_bound(std::begin(MsgTable), std::end(MsgTable), id,
                             [](const TMsgText& m, int v) { return m.Id < v; });
  return it != std::end(MsgTable) && it->Id == id ? it->Text : nullptr;
}

std::string Fill(const std::string& pattern, const char* spec, const std::string& value) {
  std::string::size_type p = pattern.find(spec);
  if (p == std::string::npos) return pattern;
  return pattern.substr(0, p) + value + pattern.substr(p + 2);
}

}  // namespace

std::string ZipMsgText(int id) {
  const char* t = Find(id);
  return t ? t : "";
}

bool ZipMsgHasText(int id) { return Find(id) != nullptr; }

std::string ZipLoadStr(int id) {
  if (const char* t = Find(id)) return t;
  return ZipFormat("The message resource is probably not linked to the executable\nMissing String ID is: %d ", id);
}

std::string ZipFormat(const std::string& pattern, const std::string& s) { return Fill(pattern, "%s", s); }

std::string ZipFormat(const std::string& pattern, long long d) { return Fill(pattern, "%d", std::to_string(d)); }

}  // namespace korva
