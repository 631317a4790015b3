// Matching a mode asked for in whole hertz with what Windows offers and runs.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/display_config.h"

// True when `refresh` is specified and lies within 0.5 Hz of `hz`: the
// maker's 2560x1440 at 144 Hz runs at 143.973 Hz.
bool RefreshMatches(const Rational& refresh, double hz);

// The offered mode of `width` x `height` whose whole-hertz rate stands for
// a rate within 0.5 Hz of `hz`. Windows lists a rate cut to whole hertz
// (143.973 Hz as 143), so a listed rate F stands for F to F + 1 Hz; the
// closest such F wins. -1 when none does.
int32_t ChooseOfferedMode(const std::vector<OfferedMode>& offered, uint32_t width, uint32_t height, double hz);
