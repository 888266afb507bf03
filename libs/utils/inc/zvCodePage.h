// zvCodePage.h - conversions between wide text and Windows code pages.
//
// The ANSI code page is the system's on Windows. Elsewhere it is a process-wide
// setting: ZV_ANSI_CODEPAGE (read once, on first use), else 1252. Pages 1252
// and 65001 (UTF-8) are built in there; other pages go through the system's
// converter (iconv, under the names "CP<n>" or "WINDOWS-<n>").
//
//     std::string bytes;
//     zv::toCodePage(L"caf\u00e9", 1252, bytes);   // "caf\xE9"
//
// Characters a page cannot hold become its default character '?'. Bytes that
// form no character become '?' as well, except in UTF-8, where each ill-formed
// sequence becomes U+FFFD as on Windows. On Windows the system decides both
// (including its best-fit replacements).
#pragma once

#include "zvDefs.h"

#include <string>

namespace zv {

/// The ANSI code page of the process.
ZV_API unsigned int ansiCodePage();

/// Appends `text` converted to `codePage` to `out`. False (nothing appended)
/// when the page is unknown to the system.
ZV_API bool toCodePage(const std::wstring& text, unsigned int codePage, std::string& out);

/// Appends `bytes`, read in `codePage`, to `out` as wide text. False (nothing
/// appended) when the page is unknown to the system.
ZV_API bool fromCodePage(const std::string& bytes, unsigned int codePage, std::wstring& out);

} // namespace zv
