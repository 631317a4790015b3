#include "edid/make_edid.h"

#include <cmath>
#include <cstring>

#include "edid/base_block.h"
#include "edid/bits.h"
#include "edid/cea_block.h"
#include "edid/detailed_timing.h"
#include "edid/displayid.h"

namespace {

constexpr uint8_t kHeader[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
// "KVR": three letters of five bits each, big-endian.
constexpr uint8_t kManufacturer[2] = {0x2E, 0xD2};
constexpr uint16_t kProductCode = 0x0001;
constexpr uint8_t kWeek = 1;
constexpr uint8_t kYearSince1990 = 35;
constexpr uint8_t kDigital8Bits = 0xA0;
constexpr uint8_t kDigital10Bits = 0xB0;
constexpr uint8_t kGamma22 = 120;
// sRGB default colour space, preferred timing is native, RGB 4:4:4, no DPMS.
constexpr uint8_t kFeatures = 0x06;
// The sRGB primaries and D65 white point as 10-bit fractions.
constexpr uint8_t kSrgbChromaticity[10] = {0xEE, 0x91, 0xA3, 0x54, 0x4C, 0x99, 0x26, 0x0F, 0x50, 0x54};
// 640x480 at 60 Hz: every CTA-861 sink must offer it.
constexpr uint8_t kEstablished640x480[3] = {0x20, 0x00, 0x00};
constexpr int32_t kEstablishedOffset = 35;
constexpr int32_t kStandardTimingsOffset = 38;

// 640x480 at 60 Hz by the display monitor timing standard, for the range limits.
constexpr double kVgaRefresh = 25175000.0 / (800.0 * 525.0);
constexpr double kVgaLineRate = 25175000.0 / 800.0;
constexpr int64_t kVgaClockKhz = 25175;

// CTA-861 block.
constexpr uint8_t kCtaRevision = 3;
constexpr int32_t kCtaDataEnd = 127;
// The first Type VII or Type X timing, as a video format preference names it.
constexpr uint8_t kFirstTypeSevenReference = 145;
constexpr uint8_t kTypeSevenBlockRevision = 0x02;

constexpr int32_t kTypeSevenBlockSize = 3 + kTypeSevenTimingSize;
// A data block holds at most 31 bytes: the extended tag, the revision and
// four Type X timings.
constexpr int32_t kTypeTenPerBlock = 4;
constexpr uint8_t kTypeTenBlockRevision = 0x00;
constexpr int32_t kPreferenceBlockSize = 3;
constexpr int32_t kCapabilityBlockSize = 3;
constexpr int32_t kHdrBlocksSize = 4 + 4;
constexpr int32_t kAudioBlocksSize = 4 + 4;

// Detailed timing descriptor limits.
constexpr int32_t kMaxDtdActive = 4095;
constexpr int32_t kMaxDtdFrontOrSync = 1023;
constexpr int32_t kMaxDtdVerticalField = 63;
constexpr int64_t kMaxDtdClockKhz = 655350;
// Readers take a clock below 10 MHz for an unused descriptor.
constexpr int64_t kMinDtdClockKhz = 10000;
constexpr int32_t kCompatibilityRefresh = 60;
// Enough slots for any set of modes that fits in the two blocks.
constexpr int32_t kMaxModesPerForm = 24;
constexpr uint8_t kDummyTag = 0x10;
// CTA-861 takes a Type VII timing of this clock or less, with actives a
// descriptor holds, for one a descriptor could hold, and forbids it.
constexpr int64_t kMaxShortClockKhz = 655360;

int32_t HorizontalBlank(const CvtTiming& t) { return t.h_front + t.h_sync + t.h_back; }
int32_t VerticalBlank(const CvtTiming& t) { return t.v_front + t.v_sync + t.v_back; }

bool SameTiming(const CvtTiming& a, const CvtTiming& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

void PutLe16(uint8_t* bytes, uint32_t value) {
  bytes[0] = static_cast<uint8_t>(value);
  bytes[1] = static_cast<uint8_t>(value >> 8);
}

// False when the descriptor refuses a field, which a described mode never has.
bool EncodeTiming(const CvtTiming& t, const EdidRequest& request, uint8_t* descriptor) {
  DetailedTiming record{};
  record.pixel_clock_10khz = static_cast<int32_t>(t.pixel_clock_khz / 10);
  record.horizontal_active = t.h_active;
  record.horizontal_blank = HorizontalBlank(t);
  record.vertical_active = t.v_active;
  record.vertical_blank = VerticalBlank(t);
  record.horizontal_sync_offset = t.h_front;
  record.horizontal_sync_width = t.h_sync;
  record.vertical_sync_offset = t.v_front;
  record.vertical_sync_width = t.v_sync;
  record.image_width_mm = request.width_mm;
  record.image_height_mm = request.height_mm;
  // Reduced blanking: horizontal sync positive, vertical negative.
  record.flags = kTimingDigitalSeparateSync | kTimingHorizontalSyncPositive;
  return EncodeDetailedTiming(record, descriptor);
}

void EncodeDummyDescriptor(uint8_t* descriptor) {
  std::memset(descriptor, 0, kDescriptorSize);
  descriptor[3] = kDummyTag;
}

// The extremes every timing of the EDID lies within.
struct Ranges {
  double min_refresh;
  double max_refresh;
  double min_line_rate;
  double max_line_rate;
  int64_t max_clock_khz;
};

void Widen(Ranges& r, double refresh, double line_rate, int64_t clock_khz) {
  if (refresh < r.min_refresh) r.min_refresh = refresh;
  if (refresh > r.max_refresh) r.max_refresh = refresh;
  if (line_rate < r.min_line_rate) r.min_line_rate = line_rate;
  if (line_rate > r.max_line_rate) r.max_line_rate = line_rate;
  if (clock_khz > r.max_clock_khz) r.max_clock_khz = clock_khz;
}

bool EncodeRanges(const Ranges& r, uint8_t* descriptor) {
  RangeLimits limits{};
  limits.min_vertical_hz = static_cast<int32_t>(std::floor(r.min_refresh));
  limits.max_vertical_hz = static_cast<int32_t>(std::ceil(r.max_refresh));
  limits.min_horizontal_khz = static_cast<int32_t>(std::floor(r.min_line_rate / 1000.0));
  limits.max_horizontal_khz = static_cast<int32_t>(std::ceil(r.max_line_rate / 1000.0));
  const int64_t step_khz = kPixelClockStepMhz * 1000;
  const int64_t clock_mhz = (r.max_clock_khz + step_khz - 1) / step_khz * kPixelClockStepMhz;
  // The descriptor stops at 2550 MHz; faster modes stay beyond what it can say.
  limits.max_pixel_clock_mhz = static_cast<int32_t>(clock_mhz < kMaxRangePixelClockMhz ? clock_mhz
                                                                                        : kMaxRangePixelClockMhz);
  limits.timing_support = kRangeLimitsOnly;
  std::memcpy(limits.timing_data, kNoRangeTimingData, sizeof limits.timing_data);
  return EncodeRangeLimits(limits, descriptor);
}

uint8_t Checksum(const uint8_t* block) {
  uint32_t sum = 0;
  for (int32_t i = 0; i < 127; ++i) sum += block[i];
  return static_cast<uint8_t>((256 - sum % 256) % 256);
}

// For a first mode that no detailed timing descriptor holds: the same size
// (halved until it fits) at the highest rate up to 60 Hz that a descriptor
// holds, so that readers of the base block alone still get a native-shaped
// mode. The first mode itself stays the preferred one of the CTA-861 block.
bool CompatibilityTiming(const DisplayMode& mode, CvtTiming& timing) {
  auto fits = [&timing](const DisplayMode& candidate) {
    DescribedMode described{};
    if (DescribeMode(candidate, described) != ModeProblem::kNone || described.form != TimingForm::kDetailed) {
      return false;
    }
    timing = described.timing;
    return true;
  };
  for (int32_t divisor = 1; mode.width / divisor > 0 && mode.height / divisor > 0; divisor *= 2) {
    const int32_t width = mode.width / divisor;
    const int32_t height = mode.height / divisor;
    // Down from the asked rate (at most 60 Hz), then up, for small sizes
    // whose clock would otherwise stay below the descriptor's 10 MHz.
    const int32_t top = mode.refresh < kCompatibilityRefresh ? mode.refresh : kCompatibilityRefresh;
    for (int32_t refresh = top; refresh >= 1; --refresh) {
      if (fits(DisplayMode{width, height, refresh})) return true;
    }
    for (int32_t refresh = top + 1; refresh <= kMaxRangeRefreshHz; ++refresh) {
      if (fits(DisplayMode{width, height, refresh})) return true;
    }
  }
  return false;
}

// Where each mode goes.
struct Layout {
  CvtTiming first_detailed;  // base block slot 1
  bool first_is_compat;      // slot 1 is the compatibility timing
  TimingForm first_form;     // how the first mode is carried
  bool has_second;           // base block slot 2
  CvtTiming second_detailed;
  const DescribedMode* cta_detailed[kMaxModesPerForm];
  int32_t cta_detailed_count;
  const DescribedMode* type_seven[kMaxModesPerForm];
  int32_t type_seven_count;
  const DescribedMode* type_ten[kMaxModesPerForm];
  int32_t type_ten_count;
  int32_t cta_bytes;
};

int32_t TypeTenBytes(int32_t count) {
  const int32_t blocks = (count + kTypeTenPerBlock - 1) / kTypeTenPerBlock;
  return blocks * 3 + count * kTypeTenTimingSize;
}

// Places the first `count` modes; false when they do not fit in the two blocks.
bool PlaceModes(const EdidRequest& request, const DescribedMode* modes, int32_t count, Layout& layout) {
  layout = Layout{};
  layout.first_form = modes[0].form;
  if (modes[0].form == TimingForm::kDetailed) {
    layout.first_detailed = modes[0].timing;
  } else if (!CompatibilityTiming(modes[0].mode, layout.first_detailed)) {
    return false;
  } else {
    layout.first_is_compat = true;
  }
  for (int32_t i = layout.first_is_compat ? 0 : 1; i < count; ++i) {
    const DescribedMode& m = modes[i];
    if (i > 0 && layout.first_is_compat && m.form == TimingForm::kDetailed &&
        SameTiming(m.timing, layout.first_detailed)) {
      continue;  // already there as the compatibility timing
    }
    if (m.form == TimingForm::kDetailed && !layout.has_second) {
      layout.has_second = true;
      layout.second_detailed = m.timing;
      continue;
    }
    const DescribedMode** list = m.form == TimingForm::kDetailed  ? layout.cta_detailed
                                 : m.form == TimingForm::kTypeSeven ? layout.type_seven
                                                                    : layout.type_ten;
    int32_t& used = m.form == TimingForm::kDetailed    ? layout.cta_detailed_count
                    : m.form == TimingForm::kTypeSeven ? layout.type_seven_count
                                                       : layout.type_ten_count;
    if (used == kMaxModesPerForm) return false;
    list[used++] = &m;
  }
  layout.cta_bytes = kCapabilityBlockSize + (request.hdr ? kHdrBlocksSize : 0) +
                     (request.audio ? kAudioBlocksSize : 0) + (layout.first_is_compat ? kPreferenceBlockSize : 0) +
                     layout.type_seven_count * kTypeSevenBlockSize + TypeTenBytes(layout.type_ten_count) +
                     layout.cta_detailed_count * kDescriptorSize;
  return layout.cta_bytes <= kCtaDataEnd - kCtaDataBlockCollectionOffset;
}

bool WriteBaseBlock(const EdidRequest& request, const Layout& layout, const Ranges& ranges, uint8_t* b) {
  std::memcpy(b, kHeader, sizeof kHeader);
  std::memcpy(b + 8, kManufacturer, 2);
  PutLe16(b + 10, kProductCode);
  const uint32_t serial = RequestSerial(request);
  PutLe16(b + 12, serial & 0xFFFF);
  PutLe16(b + 14, serial >> 16);
  b[16] = kWeek;
  b[17] = kYearSince1990;
  b[18] = 1;
  b[19] = 4;
  b[20] = request.hdr ? kDigital10Bits : kDigital8Bits;
  b[21] = static_cast<uint8_t>((request.width_mm + 5) / 10);
  b[22] = static_cast<uint8_t>((request.height_mm + 5) / 10);
  b[23] = kGamma22;
  b[24] = kFeatures;
  std::memcpy(b + 25, kSrgbChromaticity, sizeof kSrgbChromaticity);
  std::memcpy(b + kEstablishedOffset, kEstablished640x480, 3);
  std::memset(b + kStandardTimingsOffset, 0x01, 16);
  bool encoded = EncodeTiming(layout.first_detailed, request, b + kDescriptorOffsets[0]);
  if (layout.has_second) {
    encoded = EncodeTiming(layout.second_detailed, request, b + kDescriptorOffsets[1]) && encoded;
  } else {
    EncodeDummyDescriptor(b + kDescriptorOffsets[1]);
  }
  encoded = EncodeRanges(ranges, b + kDescriptorOffsets[2]) && encoded;
  encoded = EncodeMonitorName(request.name, b + kDescriptorOffsets[3]) && encoded;
  b[kExtensionCountOffset] = 1;
  b[kChecksumOffset] = Checksum(b);
  return encoded;
}

// Writes a data block header for `payload` bytes to follow (the extended tag
// byte not counted); a header the block cannot have leaves `p` as it was,
// and the block's length check then fails.
uint8_t* PutHeader(uint8_t* p, uint8_t tag, int32_t extended_tag, int32_t payload) {
  CtaDataBlock block{};
  block.tag = tag;
  block.extended_tag = extended_tag;
  block.payload_length = payload;
  return p + EncodeCtaDataBlockHeader(block, p);
}

uint8_t* PutExtendedHeader(uint8_t* p, uint8_t extended_tag, int32_t payload) {
  return PutHeader(p, kCtaExtendedBlock, extended_tag, payload);
}

uint8_t* PutTypeSeven(uint8_t* p, const DescribedMode& m) {
  p = PutExtendedHeader(p, kCtaDisplayIdTypeViiTiming, 1 + kTypeSevenTimingSize);
  *p++ = kTypeSevenBlockRevision;
  // Inside a CTA-861 block the preferred flag means "YCbCr 4:2:0 only"; the
  // video format preference marks the preferred timing instead.
  EncodeTypeSevenTiming(m.timing, false, p);
  return p + kTypeSevenTimingSize;
}

uint8_t* PutTypeTen(uint8_t* p, const DescribedMode* const* modes, int32_t count) {
  for (int32_t start = 0; start < count; start += kTypeTenPerBlock) {
    const int32_t n = count - start < kTypeTenPerBlock ? count - start : kTypeTenPerBlock;
    p = PutExtendedHeader(p, kCtaDisplayIdTypeXTiming, 1 + n * kTypeTenTimingSize);
    *p++ = kTypeTenBlockRevision;
    for (int32_t i = start; i < start + n; ++i) {
      EncodeTypeTenTiming(modes[i]->mode.width, modes[i]->mode.height, modes[i]->mode.refresh, p);
      p += kTypeTenTimingSize;
    }
  }
  return p;
}

bool WriteCtaBlock(const EdidRequest& request, const Layout& layout, uint8_t* b) {
  std::memset(b, 0, kEdidBlockSize);
  b[0] = kCtaExtensionTag;
  b[kCtaRevisionOffset] = kCtaRevision;
  SetBit(b[kCtaSupportFlagsOffset], kCtaUnderscanBit, true);
  SetBit(b[kCtaSupportFlagsOffset], kCtaBasicAudioBit, request.audio);
  uint8_t* p = b + kCtaDataBlockCollectionOffset;
  if (layout.first_is_compat) {
    // The preferred format is the first Type VII or Type X timing, which
    // comes first below: the first mode.
    p = PutExtendedHeader(p, kCtaVideoFormatPreference, 1);
    *p++ = kFirstTypeSevenReference;
  }
  const bool ten_first = layout.first_is_compat && layout.first_form == TimingForm::kTypeTen;
  if (ten_first) p = PutTypeTen(p, layout.type_ten, layout.type_ten_count);
  for (int32_t i = 0; i < layout.type_seven_count; ++i) p = PutTypeSeven(p, *layout.type_seven[i]);
  if (!ten_first) p = PutTypeTen(p, layout.type_ten, layout.type_ten_count);
  p = PutExtendedHeader(p, kCtaVideoCapability, 1);
  *p++ = 0x4A;  // RGB quantization selectable; IT and CE always underscanned
  if (request.hdr) {
    p = PutExtendedHeader(p, kCtaColorimetry, 2);
    *p++ = 0x80;  // BT.2020 RGB
    *p++ = 0x00;
    p = PutExtendedHeader(p, kCtaHdrStaticMetadata, 2);
    *p++ = 0x0D;  // traditional SDR gamma, SMPTE ST 2084, HLG
    *p++ = 0x01;  // static metadata type 1
  }
  if (request.audio) {
    p = PutHeader(p, kCtaAudioBlock, -1, 3);
    *p++ = 0x09;  // LPCM, 2 channels
    *p++ = 0x07;  // 32, 44.1 and 48 kHz
    *p++ = 0x07;  // 16, 20 and 24 bits
    p = PutHeader(p, kCtaSpeakerAllocationBlock, -1, 3);
    *p++ = 0x01;  // front left and right
    *p++ = 0x00;
    *p++ = 0x00;
  }
  b[kCtaDetailedTimingStartOffset] = static_cast<uint8_t>(p - b);
  bool encoded = true;
  for (int32_t i = 0; i < layout.cta_detailed_count; ++i) {
    encoded = EncodeTiming(layout.cta_detailed[i]->timing, request, p) && encoded;
    p += kDescriptorSize;
  }
  b[kChecksumOffset] = Checksum(b);
  return encoded && p - b <= kCtaDataEnd;
}

Ranges RangesOf(const Layout& layout) {
  Ranges r{kVgaRefresh, kVgaRefresh, kVgaLineRate, kVgaLineRate, kVgaClockKhz};
  auto add = [&r](const CvtTiming& t) { Widen(r, TimingRefresh(t), TimingLineRate(t), t.pixel_clock_khz); };
  add(layout.first_detailed);
  if (layout.has_second) add(layout.second_detailed);
  for (int32_t i = 0; i < layout.cta_detailed_count; ++i) add(layout.cta_detailed[i]->timing);
  for (int32_t i = 0; i < layout.type_seven_count; ++i) add(layout.type_seven[i]->timing);
  for (int32_t i = 0; i < layout.type_ten_count; ++i) add(layout.type_ten[i]->timing);
  return r;
}

bool WithinRefresh(const CvtTiming& timing, int32_t refresh) {
  return std::fabs(TimingRefresh(timing) - refresh) <= refresh * kMaxRefreshError;
}

// What the range limits descriptor cannot state about `timing`, or kNone.
ModeProblem RangeProblem(const CvtTiming& timing) {
  if (std::ceil(TimingRefresh(timing)) > kMaxRangeRefreshHz) return ModeProblem::kRefreshTooHigh;
  const double line_rate = TimingLineRate(timing);
  if (line_rate < 1000.0 || std::ceil(line_rate / 1000.0) > kMaxRangeLineRateKhz) {
    return ModeProblem::kLineRateOutOfRange;
  }
  return ModeProblem::kNone;
}

ModeProblem Settle(DescribedMode& described, const CvtTiming& timing, TimingForm form, int32_t version) {
  described.timing = timing;
  described.form = form;
  described.reduced_blanking = version;
  // Version 2 cuts its clock to 1 kHz: at a few megahertz that misses too.
  if (!WithinRefresh(timing, described.mode.refresh)) return ModeProblem::kRefreshInexact;
  return RangeProblem(timing);
}

}  // namespace

ModeProblem DescribeMode(const DisplayMode& mode, DescribedMode& described) {
  described = DescribedMode{};
  described.mode = mode;
  CvtTiming v2{};
  if (!ComputeCvtTiming(mode.width, mode.height, mode.refresh, v2)) return ModeProblem::kNoTiming;
  if (FitsDetailedTiming(v2)) return Settle(described, v2, TimingForm::kDetailed, 2);
  if (v2.h_active > kMaxDtdActive || v2.v_active > kMaxDtdActive || v2.pixel_clock_khz > kMaxShortClockKhz) {
    if (!FitsTypeSevenTiming(v2)) return ModeProblem::kTooLarge;
    return Settle(described, v2, TimingForm::kTypeSeven, 2);
  }
  CvtTiming v1{};
  if (ComputeCvtTimingV1(mode.width, mode.height, mode.refresh, v1) && FitsDetailedTiming(v1) &&
      WithinRefresh(v1, mode.refresh)) {
    return Settle(described, v1, TimingForm::kDetailed, 1);
  }
  if (FitsTypeTenTiming(mode.width, mode.height, mode.refresh)) {
    return Settle(described, v2, TimingForm::kTypeTen, 2);
  }
  return v2.pixel_clock_khz < kMinDtdClockKhz ? ModeProblem::kClockTooLow : ModeProblem::kRefreshInexact;
}

bool FitsDetailedTiming(const CvtTiming& t) {
  return t.pixel_clock_khz % 10 == 0 && t.pixel_clock_khz >= kMinDtdClockKhz &&
         t.pixel_clock_khz <= kMaxDtdClockKhz && t.h_active <= kMaxDtdActive && t.v_active <= kMaxDtdActive &&
         HorizontalBlank(t) <= kMaxDtdActive && VerticalBlank(t) <= kMaxDtdActive &&
         t.h_front <= kMaxDtdFrontOrSync && t.h_sync <= kMaxDtdFrontOrSync && t.v_front <= kMaxDtdVerticalField &&
         t.v_sync <= kMaxDtdVerticalField;
}

uint32_t RequestSerial(const EdidRequest& request) {
  // FNV-1a over the numbers and text that shape the EDID.
  uint32_t hash = 2166136261u;
  auto mix = [&hash](uint32_t value) {
    for (int i = 0; i < 4; ++i) {
      hash ^= (value >> (8 * i)) & 0xFF;
      hash *= 16777619u;
    }
  };
  for (int32_t i = 0; i < request.mode_count; ++i) {
    mix(static_cast<uint32_t>(request.modes[i].width));
    mix(static_cast<uint32_t>(request.modes[i].height));
    mix(static_cast<uint32_t>(request.modes[i].refresh));
  }
  mix((request.hdr ? 1u : 0u) | (request.audio ? 2u : 0u));
  for (const char* c = request.name; *c != '\0'; ++c) mix(static_cast<uint8_t>(*c));
  mix(static_cast<uint32_t>(request.width_mm));
  mix(static_cast<uint32_t>(request.height_mm));
  return hash;
}

MakeEdidResult MakeEdid(const EdidRequest& request, uint8_t (&edid)[kMadeEdidSize]) {
  std::memset(edid, 0, sizeof edid);
  if (request.mode_count < 1) return {MakeEdidStatus::kTooManyModes, 0};
  // More modes than this never fit: the smallest form takes 6 bytes.
  if (request.mode_count > kMaxModesPerForm) return {MakeEdidStatus::kTooManyModes, kMaxModesPerForm};
  DescribedMode described[kMaxModesPerForm];
  for (int32_t i = 0; i < request.mode_count; ++i) {
    if (DescribeMode(request.modes[i], described[i]) != ModeProblem::kNone) {
      return {MakeEdidStatus::kModeNotDescribable, i};
    }
  }
  Layout layout;
  if (!PlaceModes(request, described, request.mode_count, layout)) {
    int32_t fit = 0;
    while (fit + 1 < request.mode_count && PlaceModes(request, described, fit + 1, layout)) ++fit;
    return {MakeEdidStatus::kTooManyModes, fit};
  }
  const Ranges ranges = RangesOf(layout);
  if (!WriteBaseBlock(request, layout, ranges, edid) || !WriteCtaBlock(request, layout, edid + kEdidBlockSize)) {
    std::memset(edid, 0, sizeof edid);
    return {MakeEdidStatus::kModeNotDescribable, 0};
  }
  return {MakeEdidStatus::kMade, request.mode_count};
}
