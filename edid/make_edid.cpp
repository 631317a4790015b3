#include "edid/make_edid.h"

#include <algorithm>
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
constexpr int64_t kDtdClockStepKhz = 10;
// Readers take a clock below 10 MHz for an unused descriptor.
constexpr int64_t kMinDtdClockKhz = 10000;
// The report reads four descriptors of the CTA-861 block: no more go there.
constexpr int32_t kMaxCtaDescriptors = 4;
constexpr int32_t kMaxModes = kMaxMadeModes;
// CTA-861 takes a Type VII timing of this clock or less, with actives a
// descriptor holds, for one a descriptor could hold, and forbids it.
constexpr int64_t kMaxShortClockKhz = 655360;

// The stand-in: 60 Hz, or for a size too small for that, up to the range limits' highest rate.
constexpr int32_t kStandInRefresh = 60;
constexpr int32_t kMaxStandInRefresh = kMaxRangeRate;
constexpr int32_t kStandInEighths = 8;
// The range limits' lowest rates: 1 Hz and 1 kHz.
constexpr int32_t kMinRangeRate = 1;

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

void Widen(Ranges& r, const CvtTiming& t) {
  const double refresh = TimingRefresh(t);
  const double line_rate = TimingLineRate(t);
  if (refresh < r.min_refresh) r.min_refresh = refresh;
  if (refresh > r.max_refresh) r.max_refresh = refresh;
  if (line_rate < r.min_line_rate) r.min_line_rate = line_rate;
  if (line_rate > r.max_line_rate) r.max_line_rate = line_rate;
  if (t.pixel_clock_khz > r.max_clock_khz) r.max_clock_khz = t.pixel_clock_khz;
}

// The range limits over `r`; false when a field cannot state them.
bool RangeLimitsOf(const Ranges& r, RangeLimits& limits) {
  limits = RangeLimits{};
  limits.min_vertical_hz = static_cast<int32_t>(std::floor(r.min_refresh));
  limits.max_vertical_hz = static_cast<int32_t>(std::ceil(std::fmin(r.max_refresh, kMaxRangeRate + 1)));
  limits.min_horizontal_khz = static_cast<int32_t>(std::floor(r.min_line_rate / 1000.0));
  limits.max_horizontal_khz =
      static_cast<int32_t>(std::ceil(std::fmin(r.max_line_rate / 1000.0, kMaxRangeRate + 1)));
  const int64_t step_khz = kPixelClockStepMhz * 1000;
  const int64_t clock_mhz = (r.max_clock_khz + step_khz - 1) / step_khz * kPixelClockStepMhz;
  limits.max_pixel_clock_mhz = static_cast<int32_t>(std::min<int64_t>(clock_mhz, kMaxRangePixelClockMhz + 1));
  limits.timing_support = kRangeLimitsOnly;
  std::memcpy(limits.timing_data, kNoRangeTimingData, sizeof limits.timing_data);
  return limits.min_vertical_hz >= kMinRangeRate && limits.max_vertical_hz <= kMaxRangeRate &&
         limits.min_horizontal_khz >= kMinRangeRate && limits.max_horizontal_khz <= kMaxRangeRate &&
         limits.max_pixel_clock_mhz <= kMaxRangePixelClockMhz;
}

bool WithinRefresh(const CvtTiming& timing, int32_t refresh) {
  return std::fabs(TimingRefresh(timing) - refresh) <= refresh * kMaxRefreshError;
}

// `clock_hz` to the nearest step of the descriptor, in kilohertz.
int64_t DescriptorClockKhz(int64_t clock_hz) {
  const int64_t step_hz = kDtdClockStepKhz * 1000;
  return (clock_hz + step_hz / 2) / step_hz * kDtdClockStepKhz;
}

// Form 3: `v2` with the longest front porch, 1 to 63 lines, whose clock
// (rounded to the descriptor's step) stays within 655.35 MHz. False when
// even one line is too many.
bool FitFrontPorch(const CvtTiming& v2, int32_t refresh, CvtTiming& fitted) {
  fitted = v2;
  for (int32_t front = kMaxDtdVerticalField; front >= 1; --front) {
    fitted.v_front = front;
    const int64_t clock_hz = static_cast<int64_t>(refresh) * HorizontalTotal(fitted) * VerticalTotal(fitted);
    fitted.pixel_clock_khz = DescriptorClockKhz(clock_hz);
    if (fitted.pixel_clock_khz <= kMaxDtdClockKhz) return true;
  }
  return false;
}

ModeProblem Settle(DescribedMode& described, const CvtTiming& timing, TimingForm form) {
  described.timing = timing;
  described.form = form;
  // Version 2 cuts its clock to 1 kHz: at a few megahertz that misses too.
  return WithinRefresh(timing, described.mode.refresh) ? ModeProblem::kNone : ModeProblem::kRefreshInexact;
}

// True when CTA-861 takes `v2` as a Type VII timing: no descriptor could hold it.
bool NeedsTypeSeven(const CvtTiming& v2) {
  return v2.h_active > kMaxDtdActive || v2.v_active > kMaxDtdActive || v2.pixel_clock_khz > kMaxShortClockKhz;
}

// A mode whose descriptor has no room left takes the next form that can
// carry it: a Type X timing where one can, else a Type VII timing.
bool MoveOutOfDescriptors(DescribedMode& m) {
  CvtTiming v2{};
  if (!ComputeCvtTiming(m.mode.width, m.mode.height, m.mode.refresh, v2)) return false;
  if (FitsTypeTenTiming(m.mode.width, m.mode.height, m.mode.refresh)) {
    return Settle(m, v2, TimingForm::kTypeTen) == ModeProblem::kNone;
  }
  return NeedsTypeSeven(v2) && FitsTypeSevenTiming(v2) && Settle(m, v2, TimingForm::kTypeSeven) == ModeProblem::kNone;
}

// Where each mode goes.
struct Layout {
  CvtTiming base_timings[kMaxBaseBlockTimings];  // the first: the first mode or its stand-in
  int32_t base_timing_count;
  CtaBlockContent cta;
  Ranges ranges;  // over every timing placed, and 640x480 at 60 Hz
  TimingForm forms[kMaxModes];  // how each mode placed is carried
  int32_t no_form_left;  // the mode no form was left for, or -1
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

enum class Placement { kPlaced, kNoStandIn, kNoRoom, kNoFormLeft };

// Places the first `count` modes.
Placement PlaceModes(const EdidRequest& request, const DescribedMode* described, int32_t count, Layout& layout) {
  layout = Layout{};
  layout.no_form_left = -1;
  layout.cta = CtaBlockOf(request);
  layout.ranges = Ranges{kVgaRefresh, kVgaRefresh, kVgaLineRate, kVgaLineRate, kVgaClockKhz};
  layout.base_timing_count = 1;
  bool first_is_stand_in = false;
  layout.forms[0] = described[0].form;
  if (IsDescriptorForm(described[0].form)) {
    layout.base_timings[0] = described[0].timing;
  } else if (!StandInTiming(described[0].mode, layout.base_timings[0])) {
    return Placement::kNoStandIn;
  } else {
    first_is_stand_in = true;
    // The preferred format is the first Type VII or Type X timing, which
    // comes first in the block: the first mode.
    layout.cta.preferred_reference = kFirstTypeSevenReference;
    layout.cta.type_ten_first = described[0].form == TimingForm::kTypeTen;
  }
  Widen(layout.ranges, layout.base_timings[0]);
  CtaBlockContent& cta = layout.cta;
  for (int32_t i = first_is_stand_in ? 0 : 1; i < count; ++i) {
    DescribedMode m = described[i];
    layout.forms[i] = m.form;
    if (IsDescriptorForm(m.form)) {
      if (i > 0 && first_is_stand_in && m.timing == layout.base_timings[0]) continue;  // already there
      if (layout.base_timing_count < kMaxBaseBlockTimings) {
        layout.base_timings[layout.base_timing_count++] = m.timing;
        Widen(layout.ranges, m.timing);
        continue;
      }
      if (cta.detailed_count < kMaxCtaDescriptors) {
        cta.detailed[cta.detailed_count++] = DetailedTimingOf(m.timing, request);
        Widen(layout.ranges, m.timing);
        continue;
      }
      if (!MoveOutOfDescriptors(m)) {
        layout.no_form_left = i;
        return Placement::kNoFormLeft;
      }
      layout.forms[i] = m.form;
    }
    if (m.form == TimingForm::kTypeSeven && cta.type_seven_count < kMaxCtaTypeSevenTimings) {
      cta.type_seven[cta.type_seven_count++] = m.timing;
    } else if (m.form == TimingForm::kTypeTen && cta.type_ten_count < kMaxCtaTypeTenTimings) {
      cta.type_ten[cta.type_ten_count++] = m.mode;
    } else {
      return Placement::kNoRoom;
    }
    Widen(layout.ranges, m.timing);
  }
  return CtaContentSize(cta) <= kMaxCtaContentSize ? Placement::kPlaced : Placement::kNoRoom;
}

BaseBlockContent BaseBlockOf(const EdidRequest& request, const Layout& layout) {
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
  // EDID 1.4 needs no range limits without continuous frequency (feature
  // bit 0, never set here): a timing beyond what they can state leaves them out.
  base.has_ranges = RangeLimitsOf(layout.ranges, base.ranges);
  std::memcpy(base.name, request.name, sizeof base.name);
  base.extension_count = 1;
  return base;
}

}  // namespace

bool IsDescriptorForm(TimingForm form) {
  return form == TimingForm::kReducedV2 || form == TimingForm::kReducedV1 || form == TimingForm::kFittedV2;
}

ModeProblem DescribeMode(const DisplayMode& mode, DescribedMode& described) {
  described = DescribedMode{};
  described.mode = mode;
  CvtTiming v2{};
  if (!ComputeCvtTiming(mode.width, mode.height, mode.refresh, v2)) return ModeProblem::kNoTiming;
  if (v2.h_active <= kMaxDtdActive && v2.v_active <= kMaxDtdActive) {
    CvtTiming rounded = v2;
    rounded.pixel_clock_khz = DescriptorClockKhz(v2.pixel_clock_khz * 1000);
    if (FitsDetailedTiming(rounded) && WithinRefresh(rounded, mode.refresh)) {
      return Settle(described, rounded, TimingForm::kReducedV2);
    }
    CvtTiming v1{};
    if (ComputeCvtTimingV1(mode.width, mode.height, mode.refresh, v1) && FitsDetailedTiming(v1) &&
        WithinRefresh(v1, mode.refresh)) {
      return Settle(described, v1, TimingForm::kReducedV1);
    }
    CvtTiming fitted{};
    if (FitFrontPorch(v2, mode.refresh, fitted) && FitsDetailedTiming(fitted) &&
        WithinRefresh(fitted, mode.refresh)) {
      return Settle(described, fitted, TimingForm::kFittedV2);
    }
  }
  if (NeedsTypeSeven(v2)) {
    if (!FitsTypeSevenTiming(v2)) return ModeProblem::kTooLarge;
    return Settle(described, v2, TimingForm::kTypeSeven);
  }
  if (FitsTypeTenTiming(mode.width, mode.height, mode.refresh)) {
    return Settle(described, v2, TimingForm::kTypeTen);
  }
  return v2.pixel_clock_khz < kMinDtdClockKhz ? ModeProblem::kClockTooLow : ModeProblem::kRefreshInexact;
}

bool FitsDetailedTiming(const CvtTiming& t) {
  return t.pixel_clock_khz % kDtdClockStepKhz == 0 && t.pixel_clock_khz >= kMinDtdClockKhz &&
         t.pixel_clock_khz <= kMaxDtdClockKhz && t.h_active <= kMaxDtdActive && t.v_active <= kMaxDtdActive &&
         HorizontalBlank(t) <= kMaxDtdActive && VerticalBlank(t) <= kMaxDtdActive &&
         t.h_front <= kMaxDtdFrontOrSync && t.h_sync <= kMaxDtdFrontOrSync && t.v_front <= kMaxDtdVerticalField &&
         t.v_sync <= kMaxDtdVerticalField;
}

bool StandInTiming(const DisplayMode& mode, CvtTiming& timing) {
  auto held = [&timing](int32_t width, int32_t height, int32_t refresh) {
    DescribedMode described{};
    if (DescribeMode(DisplayMode{width, height, refresh}, described) != ModeProblem::kNone ||
        !IsDescriptorForm(described.form)) {
      return false;
    }
    timing = described.timing;
    return true;
  };
  // Eighths first, then halving: 8/8 ... 1/8, 1/16, 1/32 ...
  int64_t numerator = kStandInEighths;
  int64_t denominator = kStandInEighths;
  while (true) {
    // Rounded to the nearest pixel.
    const int32_t width = static_cast<int32_t>((2 * mode.width * numerator + denominator) / (2 * denominator));
    const int32_t height = static_cast<int32_t>((2 * mode.height * numerator + denominator) / (2 * denominator));
    if (width < 1 || height < 1) return false;
    if (held(width, height, kStandInRefresh)) return true;
    CvtTiming v2{};
    if (ComputeCvtTiming(width, height, kStandInRefresh, v2) && v2.pixel_clock_khz < kMinDtdClockKhz) {
      for (int32_t refresh = kStandInRefresh + 1; refresh <= kMaxStandInRefresh; ++refresh) {
        if (held(width, height, refresh)) return true;
      }
    }
    if (numerator > 1) {
      --numerator;
    } else {
      denominator *= 2;
    }
  }
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
  MakeEdidResult result{};
  if (request.mode_count < 1 || request.mode_count > kMaxModes) {
    result.status = MakeEdidStatus::kTooManyModes;
    result.mode_index = request.mode_count < 1 ? 0 : kMaxModes;
    return result;
  }
  DescribedMode described[kMaxModes];
  for (int32_t i = 0; i < request.mode_count; ++i) {
    if (DescribeMode(request.modes[i], described[i]) != ModeProblem::kNone) {
      result.status = MakeEdidStatus::kModeNotDescribable;
      result.mode_index = i;
      return result;
    }
  }
  Layout layout;
  const Placement placed = PlaceModes(request, described, request.mode_count, layout);
  if (placed == Placement::kNoStandIn) {
    result.status = MakeEdidStatus::kNoStandIn;
    return result;
  }
  if (placed == Placement::kNoFormLeft) {
    result.status = MakeEdidStatus::kNoFormLeft;
    result.mode_index = layout.no_form_left;
    return result;
  }
  if (placed == Placement::kNoRoom) {
    int32_t fit = 0;
    while (fit + 1 < request.mode_count && PlaceModes(request, described, fit + 1, layout) == Placement::kPlaced) {
      ++fit;
    }
    result.status = MakeEdidStatus::kTooManyModes;
    result.mode_index = fit;
    return result;
  }
  if (!EncodeBaseBlock(BaseBlockOf(request, layout), edid) || !EncodeCtaBlock(layout.cta, edid + kEdidBlockSize)) {
    std::memset(edid, 0, sizeof edid);
    result.status = MakeEdidStatus::kModeNotDescribable;
    return result;
  }
  result.status = MakeEdidStatus::kMade;
  result.mode_index = request.mode_count;
  std::copy(layout.forms, layout.forms + request.mode_count, result.forms);
  // A descriptor's refresh lies within 0.05 % of the whole number asked for.
  const CvtTiming& first = layout.base_timings[0];
  const double frame = static_cast<double>(HorizontalTotal(first)) * VerticalTotal(first);
  result.base_first = DisplayMode{first.h_active, first.v_active,
                                  static_cast<int32_t>(std::lround(first.pixel_clock_khz * 1000.0 / frame))};
  return result;
}
