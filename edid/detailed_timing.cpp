#include "edid/detailed_timing.h"

#include "edid/bits.h"

int32_t RoundedRefresh(int64_t pixel_clock_hz, int32_t horizontal_total, int32_t vertical_total) {
  if (horizontal_total == 0 || vertical_total == 0) return 0;
  const double clock = static_cast<double>(static_cast<float>(pixel_clock_hz));
  const double quotient =
      clock / (static_cast<double>(horizontal_total) * static_cast<double>(vertical_total));
  // The 0.4 lifts 59.94, 29.97 and 23.976 Hz to 60, 30 and 24.
  return static_cast<int32_t>(static_cast<double>(static_cast<float>(quotient)) + 0.4);
}

TimingRecord DecodeDetailedTiming(const uint8_t* descriptor, std::FILE* out) {
  const int32_t clock_hz = static_cast<int32_t>(GetLe16(descriptor)) * 10000;
  const int32_t active_width = descriptor[2] + 256 * static_cast<int32_t>(GetBits(descriptor[4], 7, 4));
  const int32_t horizontal_blank = descriptor[3] + 256 * static_cast<int32_t>(GetBits(descriptor[4], 3, 0));
  const int32_t active_height = descriptor[5] + 256 * static_cast<int32_t>(GetBits(descriptor[7], 7, 4));
  const int32_t vertical_blank = descriptor[6] + 256 * static_cast<int32_t>(GetBits(descriptor[7], 3, 0));
  const int32_t horizontal_total = active_width + horizontal_blank;
  const int32_t vertical_total = active_height + vertical_blank;

  // The printed frequencies use the exact clock; a zero total prints as infinite.
  const double clock = clock_hz;
  const double vfreq = clock / static_cast<double>(horizontal_total * vertical_total);
  const double hfreq = clock / static_cast<double>(horizontal_total * 1000);
  std::fprintf(out, "\tMode \t\"%dx%d\"", active_width, active_height);
  std::fprintf(out, "\t# vfreq %3.3fHz, hfreq %6.3fkHz\n", vfreq, hfreq);
  std::fprintf(out, "\t\tDotClock\t%f\n", clock / 1000000.0);

  return TimingRecord{active_width, active_height,
                      RoundedRefresh(clock_hz, horizontal_total, vertical_total)};
}
