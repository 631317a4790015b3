#include "app/attach.h"

#include "driver_link/client.h"
#include "edid/display_mode.h"
#include "edid/inspect.h"
#include "edid/load.h"

int32_t AttachEdidFile(const char* path, const Console& console) {
  EdidImage image;
  const int32_t length = LoadEdidFile(path, image, console);
  if (length == 0) return 0;
  DisplayMode mode;
  ModeFromFileName(path, mode);
  TimingTable timings;
  if (InspectEdid(image, timings, console)) return 1;
  SendAttachRequest(image.bytes, length, mode.width, mode.height, mode.refresh, console.out);
  return 1;
}
