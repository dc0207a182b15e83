// Code pages: conversion between byte strings in a Windows code page and 16-bit text.
// Supported: 1250-1258, 874, 932, 936, 949, 950, 1361, 437, 850, 866, 65001 (UTF-8), and the
// pages of web encodings: 28591-28606 (ISO-8859-n; 38598 ISO-8859-8 logical), 20866 KOI8-R,
// 21866 KOI8-U, 10000 and 10007 (Mac Roman, Mac Cyrillic), 20932/51932 EUC-JP, 50220-50222
// ISO-2022-JP, 54936 GB18030, 51949 EUC-KR, 1200/1201 UTF-16LE/BE.
// CP_ACP (0) means 1252 and CP_OEMCP (1) the OEM page 437.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace korva {

enum : unsigned { CP_ACP = 0, CP_OEMCP = 1, CP_UTF8 = 65001 };

bool IsCodePageSupported(unsigned codePage);
// MultiByteToWideChar: bytes that do not form a character of the page become U+FFFD one byte
// at a time (a double-byte page's lone lead byte at the end included). Characters above
// U+FFFF become surrogate pairs. An unsupported page converts as 1252.
std::u16string MultiByteToWide(unsigned codePage, std::string_view bytes);
// WideCharToMultiByte: characters with no mapping become `defaultChar`.
std::string WideToMultiByte(unsigned codePage, std::u16string_view text, char defaultChar = '?');

// CharNextExA: the byte after the character starting at p (never beyond end). For double-byte
// pages a lead byte followed by any byte is one character; for UTF-8 a whole valid sequence.
const char* CharNextEx(unsigned codePage, const char* p, const char* end);
bool IsDBCSLeadByteEx(unsigned codePage, unsigned char b);
// Whether the page uses more than one byte for some characters.
bool IsMultiByteCodePage(unsigned codePage);
// Whether the page is one of the lead-byte/trail-byte pages (932, 936, 949, 950, 1361), whose
// bytes below 0x80 are plain ASCII.
bool IsDoubleByteCodePage(unsigned codePage);
// The valid UTF-8 sequence at p (shortest form, no surrogates, at most U+10FFFF): its length
// with its code point in cp, or 0 when the bytes there do not form one.
int DecodeUtf8(const unsigned char* p, const unsigned char* end, char32_t& cp);
// Appends the UTF-8 form of a code point (at most U+10FFFF, not a surrogate).
void AppendUtf8(std::string& out, char32_t cp);

// OemToCharA / CharToOemA between the OEM page (437) and the ANSI page (1252).
std::string OemToAnsi(std::string_view s);
std::string AnsiToOem(std::string_view s);

}  // namespace korva
