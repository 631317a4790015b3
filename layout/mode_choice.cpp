#include "layout/mode_choice.h"

#include <cmath>

#include "layout/lookup.h"

bool RefreshMatches(const Rational& refresh, double hz) {
  if (!IsSpecified(refresh)) return false;
  const double rate = static_cast<double>(refresh.numerator) / static_cast<double>(refresh.denominator);
  return std::fabs(rate - hz) <= 0.5;
}

int32_t ChooseOfferedMode(const std::vector<OfferedMode>& offered, uint32_t width, uint32_t height, double hz) {
  int32_t chosen = -1;
  double chosen_distance = 0;
  for (size_t i = 0; i < offered.size(); ++i) {
    const OfferedMode& mode = offered[i];
    if (mode.width != width || mode.height != height) continue;
    // F lists a rate from F up to F + 1 Hz: it may stand for one within
    // 0.5 Hz of hz when those two ranges meet.
    const double listed = mode.refresh_hz;
    if (!(listed <= hz + 0.5 && listed + 1 > hz - 0.5)) continue;
    const double distance = std::fabs(listed - hz);
    if (chosen < 0 || distance < chosen_distance) {
      chosen = static_cast<int32_t>(i);
      chosen_distance = distance;
    }
  }
  return chosen;
}
