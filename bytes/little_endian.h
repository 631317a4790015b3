// Little-endian words in byte buffers: the EDID's multi-byte fields and the
// driver messages are both laid out this way. Header-only and free of any
// other project header, so that edid/ and driver_link/ can share it without
// either including the other.
#pragma once

#include <cstdint>

constexpr uint32_t GetLe16(const uint8_t* bytes) {
  return static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8);
}

constexpr uint32_t GetLe24(const uint8_t* bytes) {
  return GetLe16(bytes) | (static_cast<uint32_t>(bytes[2]) << 16);
}

constexpr uint32_t GetLe32(const uint8_t* bytes) {
  return GetLe24(bytes) | (static_cast<uint32_t>(bytes[3]) << 24);
}

// The Put functions keep the low 16, 24 or 32 bits of `value`.
constexpr void PutLe16(uint8_t* bytes, uint32_t value) {
  bytes[0] = static_cast<uint8_t>(value);
  bytes[1] = static_cast<uint8_t>(value >> 8);
}

constexpr void PutLe24(uint8_t* bytes, uint32_t value) {
  PutLe16(bytes, value);
  bytes[2] = static_cast<uint8_t>(value >> 16);
}

constexpr void PutLe32(uint8_t* bytes, uint32_t value) {
  PutLe24(bytes, value);
  bytes[3] = static_cast<uint8_t>(value >> 24);
}
