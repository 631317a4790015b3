// The EDID base block: header, checksum, descriptors and the identity patch.
#pragma once

#include <cstdint>
#include <cstdio>

#include "edid/edid_image.h"

// Offsets within the base block.
inline constexpr int32_t kVersionOffset = 18;
inline constexpr int32_t kRevisionOffset = 19;
inline constexpr int32_t kFeatureSupportOffset = 24;
inline constexpr int32_t kDescriptorOffsets[4] = {54, 72, 90, 108};
inline constexpr int32_t kExtensionCountOffset = 126;
inline constexpr int32_t kChecksumOffset = 127;

// What ClassifyDescriptor answers besides a display descriptor's tag.
inline constexpr int kDetailedTimingDescriptor = -2;
inline constexpr int kUnknownDescriptor = -1;
inline constexpr int kMonitorNameTag = 0xFC;
inline constexpr int kRangeLimitsTag = 0xFD;

inline constexpr char kIdentityName[] = "KovraMonitor";

// -2 for a detailed timing, -1 when only byte 2 is set, otherwise the tag.
int ClassifyDescriptor(const uint8_t* descriptor);

// Sum of `size` bytes modulo 256.
uint8_t SumBytes(const uint8_t* bytes, int32_t size);

bool HasEdidHeader(const uint8_t* bytes);

// Renames the first monitor-name descriptor of block 0 and repairs byte 127.
// Leaves the image untouched when block 0 has no such descriptor.
void ApplyIdentityPatch(uint8_t* block0);

// Prints the HorizSync, VertRefresh, dot clock and GTF lines of a 0xFD descriptor.
void PrintRangeLimits(const uint8_t* descriptor, std::FILE* out);

// Prints the power-management line from block 0's feature support byte.
void PrintPowerManagement(const uint8_t* block0, std::FILE* out);
