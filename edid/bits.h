// Small helpers for reading EDID bit fields and little-endian words.
#pragma once

#include <cstdint>

#include "bytes/little_endian.h"

// Bits hi..lo of `byte`, shifted down to bit 0.
constexpr uint32_t GetBits(uint8_t byte, int hi, int lo) {
  return (static_cast<uint32_t>(byte) >> lo) & ((1u << (hi - lo + 1)) - 1u);
}

constexpr bool GetBit(uint8_t byte, int bit) { return GetBits(byte, bit, bit) != 0; }
