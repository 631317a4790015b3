#include "survey/list.h"

#include <string>
#include <vector>

#include "edid/inspect.h"
#include "edid/load.h"
#include "survey/walk.h"

int32_t ListEdidFile(const char* path, const Console& console) {
  EdidImage image;
  if (LoadEdidFile(path, image, console) == 0) return 0;
  TimingTable timings;
  if (InspectEdid(image, timings, console)) return 1;
  for (int32_t i = 0; i < timings.count; ++i) {
    const TimingRecord& record = timings.records[i];
    std::fprintf(console.out, "path %s: DTD %d: %d %d %d\n", path, i, record.width, record.height,
                 record.refresh);
  }
  return 1;
}

void ListFolder(const char* folder, const Console& console) {
  std::vector<FolderEntry> entries;
  uint32_t counter = 0;
  if (!WalkFolder(folder, entries, counter)) {
    std::fprintf(console.err, "Velmorin: could not read folder %s\n", folder);
    return;
  }
  for (const FolderEntry& entry : entries) ListEdidFile(entry.name.c_str(), console);
}
