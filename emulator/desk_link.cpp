#include "emulator/desk_link.h"

#include <algorithm>
#include <vector>

#include "desk_model/model_file.h"
#include "desk_model/desk_model.h"
#include "edid/detailed_timing.h"

namespace {

constexpr int32_t kBlockSize = 128;
constexpr int32_t kBaseDescriptorsStart = 54;
constexpr int32_t kBaseDescriptorsEnd = 126;
constexpr int32_t kCtaTag = 0x02;
constexpr int32_t kCtaChecksumOffset = 127;

void AddTiming(const uint8_t* descriptor, std::vector<ModelMode>* modes) {
  if (descriptor[0] == 0 && descriptor[1] == 0) return;  // a display descriptor, not a timing
  const TimingRecord timing = SummarizeDetailedTiming(DecodeDetailedTiming(descriptor));
  if (timing.width <= 0 || timing.height <= 0 || timing.refresh <= 0) return;
  const ModelMode mode{static_cast<uint32_t>(timing.width), static_cast<uint32_t>(timing.height),
                       static_cast<uint32_t>(timing.refresh)};
  if (std::find(modes->begin(), modes->end(), mode) == modes->end()) modes->push_back(mode);
}

// The mode asked first, then the detailed timings of the base block and of a
// CTA-861 block, as Windows would offer them.
std::vector<ModelMode> ModesOf(const DriverRequest& request) {
  std::vector<ModelMode> modes;
  if (request.width > 0 && request.height > 0 && request.refresh > 0) {
    modes.push_back(ModelMode{static_cast<uint32_t>(request.width), static_cast<uint32_t>(request.height),
                              static_cast<uint32_t>(request.refresh)});
  }
  const int32_t size = std::clamp(request.payload_size, 0, kMaxPayloadSize);
  const uint8_t* edid = request.payload;
  for (int32_t at = kBaseDescriptorsStart; at + kDescriptorSize <= kBaseDescriptorsEnd && at + kDescriptorSize <= size;
       at += kDescriptorSize) {
    AddTiming(edid + at, &modes);
  }
  if (size >= 2 * kBlockSize && edid[kBlockSize] == kCtaTag) {
    const int32_t first = edid[kBlockSize + 2];
    for (int32_t at = kBlockSize + std::max(first, 4); first != 0 && at + kDescriptorSize <= kBlockSize + kCtaChecksumOffset;
         at += kDescriptorSize) {
      AddTiming(edid + at, &modes);
    }
  }
  return modes;
}

}  // namespace

bool DeskLinkSupported() { return true; }

std::string ConnectOurDisplay(const std::string& desk_file, const DriverRequest& request) {
  const std::vector<ModelMode> modes = ModesOf(request);
  return UpdateDeskModel(desk_file, [&](DeskModel* model) { AttachOurMonitor(model, modes, ModelClockMs()); });
}

std::string DisconnectOurDisplay(const std::string& desk_file) {
  return UpdateDeskModel(desk_file, [](DeskModel* model) { DetachNewestOfOurs(model); });
}
