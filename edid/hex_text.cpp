#include "edid/hex_text.h"

namespace {

// Taken as a signed 8-bit value: bytes from 0x80 up count as below '9'.
int NibbleValue(char character) {
  // NOLINTNEXTLINE(bugprone-signed-char-misuse,cert-str34-c): the text form counts every character as a signed 8-bit value.
  const int c = static_cast<signed char>(character);
  return c <= '9' ? c - 0x30 : (c & 0xDF) - 0x37;
}

}  // namespace

bool IsHexTextWhiteSpace(int character) {
  return character == ' ' || (character >= '\t' && character <= '\r');
}

uint8_t ConvertHexPair(char high, char low) {
  return static_cast<uint8_t>((16 * NibbleValue(high) + NibbleValue(low)) & 0xFF);
}

void ConvertHexText(const char* kept, int32_t byte_count, uint8_t* bytes) {
  for (int32_t k = 0; k < byte_count; ++k) bytes[k] = ConvertHexPair(kept[2 * k], kept[2 * k + 1]);
}
