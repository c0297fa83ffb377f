// Text encodings. The program's own text is UTF-8; on-disk names come as
// UTF-16 (NTFS, FAT long names, the scan-log index) or as OEM code-page
// bytes (FAT short names).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace mendwell {

// UTF-16 code units to UTF-8. Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

// Little-endian UTF-16 bytes (count code units, stops at a NUL unit when
// stopAtNul) to UTF-8.
std::string Utf16LeBytesToUtf8(const uint8_t* bytes, size_t units, bool stopAtNul = true);

// UTF-8 to UTF-16; invalid sequences become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);

// Bytes of an OEM code page (437) to UTF-8: ASCII stays, 0x80..0xFF map to
// their code-page characters.
std::string OemToUtf8(std::string_view bytes);

// Cuts UTF-8 text to at most maxBytes bytes without splitting a character.
std::string CutUtf8(std::string_view text, size_t maxBytes);

// ASCII lower case; other bytes unchanged.
std::string AsciiLower(std::string_view text);

// Case-insensitive (ASCII) comparison: <0, 0, >0 like strcmp.
int CompareNoCase(std::string_view a, std::string_view b);

}  // namespace mendwell
