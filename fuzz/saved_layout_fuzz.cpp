// Fuzzes the saved layout's reader on any text: the first byte's bit 0 seals
// the rest with a valid checksum line, so that the records behind it are
// reached. A text it refuses leaves the layout as it was; a text it reads
// writes back to one that reads to the same layout; the decisions taken over
// a saved layout (a re-pack, a restore, a comparison) end on all of them.
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "layout/arrange.h"
#include "layout/display_list.h"
#include "layout/restore.h"
#include "layout/saved_layout.h"

namespace {

// CRC-32 as zlib computes it, from its table: the reference for the sealing.
uint32_t Crc32(const std::string& text) {
  static const auto table = [] {
    struct Table {
      uint32_t entries[256];
    } t{};
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t.entries[n] = c;
    }
    return t;
  }();
  uint32_t crc = 0xFFFFFFFFu;
  for (const char byte : text) crc = table.entries[(crc ^ static_cast<uint8_t>(byte)) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  if ((data[0] & 1) != 0) {
    char line[32];
    std::snprintf(line, sizeof line, "checksum %08x\n", static_cast<unsigned>(Crc32(text)));
    text += line;
  }

  DisplayConfig layout{};
  layout.sources.push_back(DisplaySource{{1, 2}, 3, "as it was"});
  const DisplayConfig before = layout;
  if (!ParseSavedLayout(text, "fuzz", &layout).empty()) {
    FUZZ_EXPECT(layout == before);
    return 0;
  }
  const std::string again = FormatSavedLayout(layout, "fuzz");
  DisplayConfig reread{};
  FUZZ_EXPECT(ParseSavedLayout(again, "FUZZ", &reread).empty());
  FUZZ_EXPECT(reread == layout);
  FUZZ_EXPECT(FormatSavedLayout(reread, "fuzz") == again);

  DisplayConfig packed = layout;
  RepackPositions(packed);
  const RestorePlan plan = PlanRestore(layout, packed);
  (void)CompareLayouts(plan.layout, packed);
  (void)ListDisplays(layout);
  return 0;
}
