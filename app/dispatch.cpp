#include "app/dispatch.h"

#include <cstring>

#include "app/attach.h"
#include "driver_link/client.h"
#include "survey/list.h"

namespace {

void PrintUsage(std::FILE* out) {
  std::fputs("Velmorin : \n", out);
  std::fputs("Usage: \n", out);
  std::fputs("    Velmorin /d edid_file : \n", out);
  std::fputs("    Velmorin /c i  : Remove display \"i\", if it's attached by this app, from the desktop.\n", out);
}

bool Contains(const char* text, const char* part) { return std::strstr(text, part) != nullptr; }

}  // namespace

int RunCommandLine(int argc, const char* const* argv, const Console& console) {
  if (argc < 2) {
    PrintUsage(console.out);
    return 0;
  }
  const char* command = argv[1];
  const bool is_remove = Contains(command, "/c");
  const bool is_attach = !is_remove && Contains(command, "/d");
  const bool is_list = !is_remove && !is_attach && Contains(command, "/l");
  if (!is_remove && !is_attach && !is_list) {
    std::fprintf(console.out, "Unknown command : %s\n", command);
    std::fflush(console.out);
    return 0;
  }
  // Every command needs its argument; without one, show how to give it.
  if (argc < 3) {
    PrintUsage(console.out);
    return 0;
  }
  const char* argument = argv[2];
  if (is_remove) {
    std::fprintf(console.out, "Remove Monitor%s...\n", argument);
    SendRemoveRequest(console.out);
  } else if (is_attach) {
    AttachEdidFile(argument, console);
  } else {
    ListFolder(argument, console);
  }
  return 0;
}
