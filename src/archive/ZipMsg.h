// The component's numbered message texts.
#pragma once

#include <string>

namespace korva {

enum TZipMsgId : int {
  zmNoZipSpecified = 10102,
  zmNoMemory = 10103,
  zmPasswordsDiffer = 10104,
  zmEventException = 10106,
  zmDllAbort = 10118,
  zmDllBusy = 10119,
  zmDllCancelled = 10120,
  zmDllNoMemory = 10121,
  zmDllBadStructure = 10122,
  zmDllHandlerException = 10123,
  zmDllCritical = 10124,
  zmSkipped = 10125,
  zmNoAddPassword = 10150,
  zmNoExtractPassword = 10151,
  zmSeekDirError = 10201,
  zmListUnknownError = 10202,
  zmStructureWarning = 10203,
  zmGarbageWarning = 10204,
  zmFileTooLarge = 10205,
  zmNothingToZip = 10301,
  zmUnzDllFatal = 10501,
  zmUnattendedWarning = 10502,
  zmExtractDirMissing = 10504,
  zmLoadFailed = 10650,
  zmLibTooOld = 10651,
  zmLoaded = 10652,
  zmUnloaded = 10653,
  // Checks of our own on archives that would otherwise be misread (10701..10711 come from the
  // unzip library through its call-backs, see unzlib/UnzLib.h).
  zmDirOutside = 10712,
  zmSpanned = 10713,
  zmDirTooLarge = 10714,
  zmCannotOpen = 11002,
  zmUserCancelled = 11007,
  zmSeekInput = 11008,
  zmReadEOC = 11011,
  zmReadCentral = 11013,
  zmCentralSignature = 11015,
  zmReadCentralName = 11017,
  zmReadComment = 11022,
  zmNotZip = 11036,
  zmFirstDisk = 11037,
  zmNthDisk = 11038,
  zmFirstFile = 11045
};

// Texts without numbers.
inline constexpr const char* ZipReEntryText = "Re-entry";
inline constexpr const char* ZipLoadingDirText = "*Loading Directory";
inline constexpr const char* ZipEocSizeErrorText = "Opening EOC seek/size error ";
inline constexpr const char* ZipMbText = "Mb";
inline constexpr const char* ZipPasswordCaption = "Password";
inline constexpr const char* ZipEnterPasswordText = "Enter Password ";
inline constexpr const char* ZipConfirmPasswordText = "Confirm Password ";
inline constexpr const char* ZipEventExceptionText = "Exception in Event ";

// The table's text for a number; empty when it has none.
std::string ZipMsgText(int id);
bool ZipMsgHasText(int id);
// The text for a number, or the missing-text message naming it.
std::string ZipLoadStr(int id);
// Fills "%s" and "%d" placeholders in order.
std::string ZipFormat(const std::string& pattern, const std::string& s);
std::string ZipFormat(const std::string& pattern, long long d);

}  // namespace korva
