#include "display/display_text.h"

#include <gtest/gtest.h>

TEST(DisplayText, ListsEachFieldOrADashAndEscapesJson) {
  DisplayRecord ours{};
  ours.gdi_name = "\\\\.\\DISPLAY7";
  ours.monitor_name = "KovraMonitor";
  ours.manufacturer = "KVR";
  ours.edid_ids_valid = true;
  ours.product_code = 1;
  ours.device_path = "\\\\?\\DISPLAY#KVR0001#1&2\"x";
  ours.active = true;
  ours.x = 2560;
  ours.width = 2560;
  ours.height = 1440;
  ours.refresh = Rational{119998, 1000};
  ours.hdr_supported = true;
  DisplayRecord off{};
  off.device_path = "p";
  EXPECT_EQ(FormatDisplayLine(ours),
            "\\\\.\\DISPLAY7\tKovraMonitor\t2560x1440x119.998\t2560,0\t-\thdr-off\t\\\\?\\DISPLAY#KVR0001#1&2\"x");
  EXPECT_EQ(FormatDisplayLine(off), "-\t-\t-\t-\t-\tno-hdr\tp");
  EXPECT_EQ(FormatDisplayJson({}), "[]\n");
  EXPECT_EQ(FormatDisplayJson({ours, off}),
            "[\n"
            "  {\"name\": \"\\\\\\\\.\\\\DISPLAY7\", \"monitor\": \"KovraMonitor\", \"manufacturer\": \"KVR\", "
            "\"product_code\": 1, \"device_path\": \"\\\\\\\\?\\\\DISPLAY#KVR0001#1&2\\\"x\", \"active\": true, "
            "\"primary\": false, \"x\": 2560, \"y\": 0, \"width\": 2560, \"height\": 1440, \"refresh\": 119.998, "
            "\"hdr_supported\": true, \"hdr_on\": false},\n"
            "  {\"name\": null, \"monitor\": null, \"manufacturer\": null, \"product_code\": null, \"device_path\": "
            "\"p\", \"active\": false, \"primary\": false, \"x\": null, \"y\": null, \"width\": null, \"height\": null, "
            "\"refresh\": null, \"hdr_supported\": false, \"hdr_on\": false}\n"
            "]\n");
}
