// The hexadecimal text form of an EDID: two digits per byte, white space ignored.
#pragma once

#include <cstddef>
#include <cstdint>

// Enough kept characters for a full 1024-byte image.
inline constexpr int32_t kMaxKeptHexCharacters = 2048;

// The six characters the text form ignores.
bool IsHexTextWhiteSpace(int character);

// Converts a pair of kept characters into one byte. Any character converts:
// the digits 0-9, A-F and a-f mean what they say, others give what the
// nibble formula makes of them.
uint8_t ConvertHexPair(char high, char low);

// Converts `byte_count` bytes from 2 * byte_count kept characters.
void ConvertHexText(const char* kept, int32_t byte_count, uint8_t* bytes);
