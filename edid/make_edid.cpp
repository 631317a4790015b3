#include "edid/make_edid.h"

#include <cmath>
#include <cstring>

#include "edid/base_block.h"
#include "edid/cea_block.h"
#include "edid/detailed_timing.h"
#include "edid/displayid.h"

namespace {

// "KVR": three letters of five bits each, big-endian.
constexpr uint8_t kManufacturer[kManufacturerIdSize] = {0x2E, 0xD2};
constexpr uint16_t kProductCode = 0x0001;
constexpr uint8_t kWeek = 1;
constexpr uint8_t kYearSince1990 = 35;
constexpr uint8_t kDigital8Bits = 0xA0;
constexpr uint8_t kDigital10Bits = 0xB0;
constexpr uint8_t kGamma22 = 120;
// sRGB default colour space, preferred timing is native, RGB 4:4:4, no DPMS.
constexpr uint8_t kFeatures = 0x06;
// The sRGB primaries and D65 white point as 10-bit fractions.
constexpr uint8_t kSrgbChromaticity[kChromaticitySize] = {0xEE, 0x91, 0xA3, 0x54, 0x4C, 0x99, 0x26, 0x0F, 0x50, 0x54};
// 640x480 at 60 Hz: every CTA-861 sink must offer it.
constexpr uint8_t kEstablished640x480[kEstablishedTimingsSize] = {0x20, 0x00, 0x00};

// 640x480 at 60 Hz by the display monitor timing standard, for the range limits.
constexpr double kVgaRefresh = 25175000.0 / (800.0 * 525.0);
constexpr double kVgaLineRate = 25175000.0 / 800.0;
constexpr int64_t kVgaClockKhz = 25175;

// The CTA-861 block. The first Type VII or Type X timing, as a video format preference names it.
constexpr uint8_t kFirstTypeSevenReference = 145;
constexpr uint8_t kVideoCapability = 0x4A;  // RGB quantization selectable; IT and CE always underscanned
constexpr uint8_t kBt2020Rgb = 0x80;
constexpr uint8_t kHdrEotfs = 0x0D;  // traditional SDR gamma, SMPTE ST 2084, HLG
constexpr uint8_t kStaticMetadataType1 = 0x01;
constexpr ShortAudioDescriptor kStereoLpcm = {kAudioFormatLpcm, 2, 0x07, 0x07};  // 32-48 kHz, 16-24 bits
constexpr uint8_t kFrontLeftRight = 0x01;

// Detailed timing descriptor limits.
constexpr int32_t kMaxDtdActive = 4095;
constexpr int32_t kMaxDtdFrontOrSync = 1023;
constexpr int32_t kMaxDtdVerticalField = 63;
constexpr int64_t kMaxDtdClockKhz = 655350;
// Readers take a clock below 10 MHz for an unused descriptor.
constexpr int64_t kMinDtdClockKhz = 10000;
constexpr int32_t kCompatibilityRefresh = 60;
// More modes than this never fit in the two blocks: the smallest form takes 6 bytes.
constexpr int32_t kMaxModes = 24;
// CTA-861 takes a Type VII timing of this clock or less, with actives a
// descriptor holds, for one a descriptor could hold, and forbids it.
constexpr int64_t kMaxShortClockKhz = 655360;

// The descriptor's record of `t`, showing the request's image size.
DetailedTiming DetailedTimingOf(const CvtTiming& t, const EdidRequest& request) {
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
  return record;
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

RangeLimits RangeLimitsOf(const Ranges& r) {
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
  return limits;
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
  CvtTiming base_timings[kMaxBaseBlockTimings];  // the first: the first mode or its compatibility timing
  int32_t base_timing_count;
  CtaBlockContent cta;
};

// The CTA-861 block before any timing is placed in it.
CtaBlockContent CtaBlockOf(const EdidRequest& request) {
  CtaBlockContent cta{};
  cta.underscan = true;
  cta.basic_audio = request.audio;
  cta.video_capability = kVideoCapability;
  if (request.hdr) {
    cta.colorimetry = kBt2020Rgb;
    cta.hdr_eotfs = kHdrEotfs;
    cta.hdr_metadata_types = kStaticMetadataType1;
  }
  if (request.audio) {
    cta.audio = kStereoLpcm;
    cta.speakers = kFrontLeftRight;
  }
  return cta;
}

// Places the first `count` modes; false when they do not fit in the two blocks.
bool PlaceModes(const EdidRequest& request, const DescribedMode* modes, int32_t count, Layout& layout) {
  layout = Layout{};
  layout.cta = CtaBlockOf(request);
  layout.base_timing_count = 1;
  bool first_is_compat = false;
  if (modes[0].form == TimingForm::kDetailed) {
    layout.base_timings[0] = modes[0].timing;
  } else if (!CompatibilityTiming(modes[0].mode, layout.base_timings[0])) {
    return false;
  } else {
    first_is_compat = true;
    // The preferred format is the first Type VII or Type X timing, which
    // comes first in the block: the first mode.
    layout.cta.preferred_reference = kFirstTypeSevenReference;
    layout.cta.type_ten_first = modes[0].form == TimingForm::kTypeTen;
  }
  CtaBlockContent& cta = layout.cta;
  for (int32_t i = first_is_compat ? 0 : 1; i < count; ++i) {
    const DescribedMode& m = modes[i];
    if (m.form == TimingForm::kDetailed) {
      if (i > 0 && first_is_compat && m.timing == layout.base_timings[0]) continue;  // already there
      if (layout.base_timing_count < kMaxBaseBlockTimings) {
        layout.base_timings[layout.base_timing_count++] = m.timing;
      } else if (cta.detailed_count < kMaxCtaDetailedTimings) {
        cta.detailed[cta.detailed_count++] = DetailedTimingOf(m.timing, request);
      } else {
        return false;
      }
    } else if (m.form == TimingForm::kTypeSeven && cta.type_seven_count < kMaxCtaTypeSevenTimings) {
      cta.type_seven[cta.type_seven_count++] = m.timing;
    } else if (m.form == TimingForm::kTypeTen && cta.type_ten_count < kMaxCtaTypeTenTimings) {
      cta.type_ten[cta.type_ten_count++] = m.mode;
    } else {
      return false;
    }
  }
  return CtaContentSize(cta) <= kMaxCtaContentSize;
}

BaseBlockContent BaseBlockOf(const EdidRequest& request, const Layout& layout, const Ranges& ranges) {
  BaseBlockContent base{};
  std::memcpy(base.manufacturer, kManufacturer, sizeof kManufacturer);
  base.product_code = kProductCode;
  base.serial = RequestSerial(request);
  base.week = kWeek;
  base.year_since_1990 = kYearSince1990;
  base.video_input = request.hdr ? kDigital10Bits : kDigital8Bits;
  base.width_mm = request.width_mm;
  base.height_mm = request.height_mm;
  base.gamma = kGamma22;
  base.features = kFeatures;
  std::memcpy(base.chromaticity, kSrgbChromaticity, sizeof kSrgbChromaticity);
  std::memcpy(base.established, kEstablished640x480, sizeof kEstablished640x480);
  for (int32_t i = 0; i < layout.base_timing_count; ++i) {
    base.timings[i] = DetailedTimingOf(layout.base_timings[i], request);
  }
  base.timing_count = layout.base_timing_count;
  base.ranges = RangeLimitsOf(ranges);
  std::memcpy(base.name, request.name, sizeof base.name);
  base.extension_count = 1;
  return base;
}

// Every placed timing lies among the first `count` modes, or is the
// compatibility timing in the first slot.
Ranges RangesOf(const Layout& layout, const DescribedMode* modes, int32_t count) {
  Ranges r{kVgaRefresh, kVgaRefresh, kVgaLineRate, kVgaLineRate, kVgaClockKhz};
  auto add = [&r](const CvtTiming& t) { Widen(r, TimingRefresh(t), TimingLineRate(t), t.pixel_clock_khz); };
  add(layout.base_timings[0]);
  for (int32_t i = 0; i < count; ++i) add(modes[i].timing);
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
  if (request.mode_count > kMaxModes) return {MakeEdidStatus::kTooManyModes, kMaxModes};
  DescribedMode described[kMaxModes];
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
  const Ranges ranges = RangesOf(layout, described, request.mode_count);
  if (!EncodeBaseBlock(BaseBlockOf(request, layout, ranges), edid) ||
      !EncodeCtaBlock(layout.cta, edid + kEdidBlockSize)) {
    std::memset(edid, 0, sizeof edid);
    return {MakeEdidStatus::kModeNotDescribable, 0};
  }
  return {MakeEdidStatus::kMade, request.mode_count};
}
