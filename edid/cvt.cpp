#include "edid/cvt.h"

#include <cmath>

namespace {

// Reduced blanking v2 constants: a fixed horizontal blank of 80 pixels,
// at least 460 microseconds of vertical blank.
constexpr int32_t kHorizontalBlank = 80;
constexpr int32_t kHorizontalSync = 32;
constexpr int32_t kHorizontalFront = 8;
constexpr int32_t kVerticalSync = 8;
constexpr int32_t kMinVerticalBack = 6;
constexpr int32_t kMinVerticalFront = 1;
constexpr double kMinVerticalBlankUs = 460.0;
constexpr double kClockStepMhz = 0.001;

// Blank lines enough for the minimum vertical blank, judged from the frame
// time left after it, and never fewer than `min_blank`. False when the
// frame is no longer than the blank itself or the total would overflow.
bool MinimumBlankLines(int32_t height, int32_t refresh, int32_t min_blank, int64_t& blank_lines) {
  const double frame_us = 1000000.0 / refresh;
  if (frame_us <= kMinVerticalBlankUs) return false;
  const double line_us = (frame_us - kMinVerticalBlankUs) / height;
  blank_lines = static_cast<int64_t>(std::floor(kMinVerticalBlankUs / line_us)) + 1;
  if (blank_lines < min_blank) blank_lines = min_blank;
  return blank_lines <= 0x7fffffff - static_cast<int64_t>(height);
}

// The exact clock of `timing` at `refresh`, in megahertz.
double ClockMhz(const CvtTiming& timing, int32_t refresh) {
  return static_cast<double>(refresh) * VerticalTotal(timing) * HorizontalTotal(timing) / 1000000.0;
}

}  // namespace

bool ComputeCvtTiming(int32_t width, int32_t height, int32_t refresh, CvtTiming& timing) {
  if (width <= 0 || height <= 0 || refresh <= 0) return false;
  int64_t blank_lines = 0;
  if (!MinimumBlankLines(height, refresh, kMinVerticalFront + kVerticalSync + kMinVerticalBack, blank_lines)) {
    return false;
  }
  timing.h_active = width;
  timing.h_front = kHorizontalFront;
  timing.h_sync = kHorizontalSync;
  timing.h_back = kHorizontalBlank - kHorizontalFront - kHorizontalSync;
  timing.v_active = height;
  timing.v_sync = kVerticalSync;
  timing.v_back = kMinVerticalBack;
  timing.v_front = static_cast<int32_t>(blank_lines) - kVerticalSync - kMinVerticalBack;
  // The clock in megahertz, cut down to the 1 kHz step in double precision,
  // as the reference calculation does: an exact product such as 429.590 MHz
  // can land one step below, and the timing must match it to the kilohertz.
  timing.pixel_clock_khz = static_cast<int64_t>(std::floor(ClockMhz(timing, refresh) / kClockStepMhz));
  return timing.pixel_clock_khz > 0;
}

bool ComputeCvtTimingV1(int32_t width, int32_t height, int32_t refresh, CvtTiming& timing) {
  // Widths off the 8-pixel cell grid are left to version 2.
  if (width <= 0 || height <= 0 || refresh <= 0 || width % 8 != 0) return false;
  // The sync width tells the aspect ratio, judged with whole-number division.
  const int64_t lines = height;
  int32_t sync = 10;
  if (lines * 4 / 3 == width) {
    sync = 4;
  } else if (lines * 16 / 9 == width) {
    sync = 5;
  } else if (lines * 16 / 10 == width) {
    sync = 6;
  } else if ((lines % 4 == 0 && lines * 5 / 4 == width) || lines * 15 / 9 == width) {
    sync = 7;
  }
  constexpr int32_t kFront = 3;
  constexpr int32_t kMinBackV1 = 7;
  int64_t blank_lines = 0;
  if (!MinimumBlankLines(height, refresh, kFront + sync + kMinBackV1, blank_lines)) return false;
  timing.h_active = width;
  timing.h_front = 48;
  timing.h_sync = 32;
  timing.h_back = 80;
  timing.v_active = height;
  timing.v_front = kFront;
  timing.v_sync = sync;
  timing.v_back = static_cast<int32_t>(blank_lines) - kFront - sync;
  timing.pixel_clock_khz = static_cast<int64_t>(std::floor(ClockMhz(timing, refresh) / 0.25)) * 250;
  return timing.pixel_clock_khz > 0;
}

int32_t HorizontalTotal(const CvtTiming& timing) {
  return timing.h_active + timing.h_front + timing.h_sync + timing.h_back;
}

int32_t VerticalTotal(const CvtTiming& timing) {
  return timing.v_active + timing.v_front + timing.v_sync + timing.v_back;
}

int32_t HorizontalBlank(const CvtTiming& timing) { return timing.h_front + timing.h_sync + timing.h_back; }

int32_t VerticalBlank(const CvtTiming& timing) { return timing.v_front + timing.v_sync + timing.v_back; }

double TimingRefresh(const CvtTiming& timing) {
  return TimingLineRate(timing) / VerticalTotal(timing);
}

double TimingLineRate(const CvtTiming& timing) {
  return static_cast<double>(timing.pixel_clock_khz) * 1000.0 / HorizontalTotal(timing);
}
