// VESA coordinated video timings with reduced blanking: the timing a
// virtual monitor offers for a width, height and refresh rate.
#pragma once

#include <cstdint>

// One progressive timing. Sync polarities are fixed by the formula:
// horizontal positive, vertical negative.
struct CvtTiming {
  int32_t h_active;
  int32_t h_front;
  int32_t h_sync;
  int32_t h_back;
  int32_t v_active;
  int32_t v_front;
  int32_t v_sync;
  int32_t v_back;
  int64_t pixel_clock_khz;

  bool operator==(const CvtTiming&) const = default;
};

// Computes the reduced-blanking v2 timing of `width` x `height` at `refresh`
// hertz. False when the formula has no answer (a size or rate of zero or
// less, or a frame too short for the minimum vertical blanking).
bool ComputeCvtTiming(int32_t width, int32_t height, int32_t refresh, CvtTiming& timing);

// The reduced-blanking v1 timing: 160 blank pixels, a 3-line front porch
// and a sync width that tells the aspect ratio; its clock is cut to 0.25 MHz.
bool ComputeCvtTimingV1(int32_t width, int32_t height, int32_t refresh, CvtTiming& timing);

int32_t HorizontalTotal(const CvtTiming& timing);
int32_t VerticalTotal(const CvtTiming& timing);
// Front porch, sync and back porch together.
int32_t HorizontalBlank(const CvtTiming& timing);
int32_t VerticalBlank(const CvtTiming& timing);

// The refresh rate the timing really gives, in hertz.
double TimingRefresh(const CvtTiming& timing);

// The line rate in hertz.
double TimingLineRate(const CvtTiming& timing);
