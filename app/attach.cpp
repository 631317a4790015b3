#include "app/attach.h"

#include <cstdio>

#include "driver_link/client.h"
#include "edid/display_mode.h"
#include "edid/inspect.h"
#include "edid/load.h"

int32_t AttachEdidFile(const char* path, const Console& console) {
  EdidImage image;
  bool unreadable = false;
  const int32_t length = LoadEdidFile(path, image, console, &unreadable);
  if (length == 0) {
    // The loader's own lines explain a file that was read; say which file was not.
    if (unreadable) std::fprintf(console.err, "Velmorin: could not read %s\n", path);
    return 0;
  }
  DisplayMode mode;
  ModeFromFileName(path, mode);
  TimingTable timings;
  if (InspectEdid(image, timings, console)) return 1;
  SendAttachRequest(image.bytes, length, mode.width, mode.height, mode.refresh, console.out);
  return 1;
}
