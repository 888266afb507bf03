// zvBase64.h - Base64 (standard alphabet, "=" padding, no line breaks).
//
// Both functions append to their output, so several pieces can be collected
// in one string:
//
//     std::string text;
//     zv::base64_encode(reinterpret_cast<const unsigned char*>("Man"), 3, text); // "TWFu"
//     std::string bytes;
//     zv::base64_decode("TWFu", bytes);                                         // "Man"
//
// Decoding never fails: it reads up to the first "=" or the first character
// outside the alphabet and stops there. Every 4 characters read give 3 bytes;
// a final group of 2 or 3 characters gives 1 or 2 bytes; a final lone
// character gives nothing.
#pragma once

#include "zvDefs.h"

#include <string>

namespace zv {

/// Appends the encoding of `length` bytes at `data` to `out` (a null `data`
/// is allowed only with `length` 0; otherwise assertion, then `bool` false).
ZV_API void base64_encode(const unsigned char* data, unsigned int length, std::string& out);

/// Appends the bytes decoded from `text` to `out`, stopping at the first
/// character outside the alphabet (see above).
ZV_API void base64_decode(const std::string& text, std::string& out);

} // namespace zv
