// Small helpers for reading EDID bit fields and little-endian words.
#pragma once

#include <cstdint>

#include "bytes/little_endian.h"

// Bits hi..lo of `byte`, shifted down to bit 0.
constexpr uint32_t GetBits(uint8_t byte, int hi, int lo) {
  return (static_cast<uint32_t>(byte) >> lo) & ((1u << (hi - lo + 1)) - 1u);
}

constexpr bool GetBit(uint8_t byte, int bit) { return GetBits(byte, bit, bit) != 0; }

// True when `value` fits an unsigned field of `width` bits (negative never does).
constexpr bool FitsBits(int64_t value, int width) { return value >= 0 && value < (int64_t{1} << width); }

// Stores `value` in bits hi..lo of `byte`, keeping the other bits. A value
// wider than the field is refused: false, and `byte` is left as it was.
constexpr bool SetBits(uint8_t& byte, int hi, int lo, int64_t value) {
  if (!FitsBits(value, hi - lo + 1)) return false;
  const uint32_t mask = ((1u << (hi - lo + 1)) - 1u) << lo;
  byte = static_cast<uint8_t>((byte & ~mask) | (static_cast<uint32_t>(value) << lo));
  return true;
}

constexpr void SetBit(uint8_t& byte, int bit, bool value) { SetBits(byte, bit, bit, value ? 1 : 0); }
