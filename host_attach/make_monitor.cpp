#include <algorithm>
#include <cmath>
#include <cstdio>

#include "host_attach/host_attach.h"

namespace {

constexpr double kMillimetresPerInch = 25.4;
// The base block gives the screen size in whole centimetres, one byte each.
constexpr int32_t kMaxScreenMm = 2554;
constexpr int32_t kMinScreenMm = 5;
constexpr double kMinDefaultSideMm = 100.0;

const char* ModeProblemText(ModeProblem problem) {
  switch (problem) {
    case ModeProblem::kNoTiming:
      return "has no reduced-blanking timing (its frame is shorter than the vertical blank)";
    case ModeProblem::kTooLarge:
      return "is beyond what a timing descriptor carries (32768 pixels or lines, 16777 MHz)";
    case ModeProblem::kRefreshInexact:
      return "has no reduced-blanking timing within 0.05 % of its refresh rate that a descriptor holds";
    case ModeProblem::kClockTooLow:
      return "has a pixel clock below 10 MHz, which readers take for an unused descriptor, and a refresh "
             "rate above the 256 Hz of a formula timing";
    case ModeProblem::kNone:
      break;
  }
  return "cannot be described";
}

// The screen size from the millimetres, the diagonal or the default one, in
// the first mode's aspect ratio. Empty string or the problem. Worked out in
// double precision and checked before it is narrowed.
std::string ScreenSize(const MonitorOrder& order, int32_t& width_mm, int32_t& height_mm) {
  double width = order.width_mm;
  double height = order.height_mm;
  if (order.width_mm <= 0) {
    const double diagonal = order.diagonal_inches > 0.0 ? order.diagonal_inches : kDefaultDiagonalInches;
    const double w = order.modes[0].width;
    const double h = order.modes[0].height;
    const double across = diagonal * kMillimetresPerInch / std::sqrt(w * w + h * h);
    width = std::round(w * across);
    height = std::round(h * across);
    if (order.diagonal_inches <= 0.0) {
      // Readers doubt a screen under 10 cm a side: the default widens a long,
      // thin one, keeping its shape while the longer side stays within
      // what the base block holds, and clamps both beyond that.
      const double grow = kMinDefaultSideMm / std::min(w * across, h * across);
      if (grow > 1.0) {
        width = std::round(std::min(w * across * grow, static_cast<double>(kMaxScreenMm)));
        height = std::round(std::min(h * across * grow, static_cast<double>(kMaxScreenMm)));
      }
    }
  }
  if (!(width >= kMinScreenMm && height >= kMinScreenMm && width <= kMaxScreenMm && height <= kMaxScreenMm)) {
    char size[96];
    std::snprintf(size, sizeof size, "%.0f x %.0f", width, height);
    return "screen size " + std::string(size) + " mm is out of range (each side 5 to 2554 mm)";
  }
  width_mm = static_cast<int32_t>(width);
  height_mm = static_cast<int32_t>(height);
  return std::string();
}

}  // namespace

std::string MakeMonitorEdid(const MonitorOrder& order, uint8_t (&edid)[kMadeEdidSize], MakeEdidResult& made) {
  for (int32_t i = 0; i < order.mode_count; ++i) {
    DescribedMode described{};
    const ModeProblem problem = DescribeMode(order.modes[i], described);
    if (problem != ModeProblem::kNone) {
      return "mode " + std::string(order.mode_texts[i]) + " " + ModeProblemText(problem);
    }
  }
  EdidRequest request{};
  request.modes = order.modes;
  request.mode_count = order.mode_count;
  request.hdr = order.hdr;
  request.audio = order.audio;
  std::snprintf(request.name, sizeof request.name, "%s", order.name);
  std::string size_problem = ScreenSize(order, request.width_mm, request.height_mm);
  if (!size_problem.empty()) return size_problem;

  made = MakeEdid(request, edid);
  if (made.status == MakeEdidStatus::kTooManyModes) {
    return "too many modes for 256 bytes: the first " + std::to_string(made.mode_index) + " of " +
           std::to_string(order.mode_count) + " fit with these options";
  }
  if (made.status == MakeEdidStatus::kNoStandIn) {
    return "mode " + std::string(order.mode_texts[0]) +
           " cannot come first: no detailed timing descriptor holds it, nor a stand-in of its shape for the base "
           "block (give a larger mode first)";
  }
  if (made.status == MakeEdidStatus::kNoFormLeft) {
    return "mode " + std::string(order.mode_texts[made.mode_index]) +
           " has no form left: the six detailed timing descriptors are taken by the modes before it, a formula "
           "timing carries at most 256 Hz, and CTA-861 allows a Type VII timing only for what no descriptor "
           "could hold (give it before others)";
  }
  if (made.status != MakeEdidStatus::kMade) {
    return "mode " + std::string(order.mode_texts[made.mode_index]) + " cannot be described";
  }
  return std::string();
}

std::string DescribePlacement(const MonitorOrder& order, const MakeEdidResult& made) {
  const auto size_and_rate = [](const DisplayMode& mode) {
    return std::to_string(mode.width) + "x" + std::to_string(mode.height) + " at " + std::to_string(mode.refresh) +
           " Hz";
  };
  std::string text;
  for (int32_t i = 0; i < order.mode_count; ++i) {
    if (i > 0) text += "; ";
    const bool in_descriptor = IsDescriptorForm(made.forms[i]);
    text += size_and_rate(order.modes[i]) + (in_descriptor ? " as a detailed timing" : " as a DisplayID timing");
    if (i == 0 && !in_descriptor) text += " (readers of the base block see " + size_and_rate(made.base_first) + ")";
  }
  return text;
}
