#include "maker/command_line.h"

#include <cstdlib>
#include <cstdio>
#include <cstring>

#include "edid/base_block.h"
#include "host_attach/host_arguments.h"

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string Quoted(const char* text) { return std::string("\"") + text + "\""; }

// A decimal number such as 27 or 31.5, nothing after it.
bool ParseDecimal(const char* text, double& value) {
  if (!IsDigit(*text)) return false;
  int32_t dots = 0;
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p == '.') {
      if (++dots > 1 || !IsDigit(p[1])) return false;
    } else if (!IsDigit(*p)) {
      return false;
    }
  }
  value = std::strtod(text, nullptr);
  return true;
}

}  // namespace

std::string ParseMakerCommandLine(int argc, char** argv, MakerCommand& command) {
  command = MakerCommand{};
  std::snprintf(command.name, sizeof command.name, "%s", kIdentityName);
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    const bool has_value = i + 1 < argc;
    if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
      command.help = true;
    } else if (std::strcmp(arg, "--version") == 0) {
      command.version = true;
    } else if (std::strcmp(arg, "--text") == 0) {
      command.text = true;
    } else if (std::strcmp(arg, "--force") == 0) {
      command.force = true;
    } else if (std::strcmp(arg, "--hdr") == 0) {
      command.hdr = true;
    } else if (std::strncmp(arg, "--hdr=", 6) == 0) {
      if (!ParseSwitchValue(arg + 6, command.hdr)) return SwitchValueProblem("--hdr", arg + 6);
    } else if (std::strcmp(arg, "--attach") == 0) {
      command.attach = true;
    } else if (std::strcmp(arg, "--audio") == 0) {
      command.audio = true;
    } else if (std::strcmp(arg, "-o") == 0 || std::strcmp(arg, "--output") == 0) {
      if (!has_value || argv[i + 1][0] == '\0') return std::string(arg) + " needs a file or folder";
      if (command.output != nullptr) return std::string(arg) + " is given twice";
      command.output = argv[++i];
    } else if (std::strcmp(arg, "--name") == 0) {
      if (!has_value) return "--name needs a monitor name";
      const char* name = argv[++i];
      const size_t length = std::strlen(name);
      if (length == 0 || length > static_cast<size_t>(kMaxMonitorNameLength)) {
        return "--name " + Quoted(name) + " must be 1 to 13 characters";
      }
      for (const char* c = name; *c != '\0'; ++c) {
        if (*c < 0x20 || *c > 0x7E) return "--name " + Quoted(name) + " may hold printable ASCII characters only";
      }
      // Spaces pad the name's descriptor: an end space reads as padding.
      if (name[0] == ' ' || name[length - 1] == ' ') {
        return "--name " + Quoted(name) + " may not begin or end with a space";
      }
      std::snprintf(command.name, sizeof command.name, "%s", name);
      command.name_given = true;
    } else if (std::strcmp(arg, "--size") == 0) {
      if (!has_value) return "--size needs a diagonal in inches, such as 27";
      const char* value = argv[++i];
      if (!ParseDecimal(value, command.diagonal_inches) || command.diagonal_inches <= 0.0) {
        return "--size " + Quoted(value) + " is not a diagonal in inches, such as 27 or 31.5";
      }
    } else if (std::strcmp(arg, "--mm") == 0) {
      if (!has_value) return "--mm needs WIDTHxHEIGHT in millimetres, such as 597x336";
      const char* value = argv[++i];
      const char* p = value;
      if (!ScanModeNumber(p, command.width_mm) || *p++ != 'x' || !ScanModeNumber(p, command.height_mm) ||
          *p != '\0' || command.width_mm == 0 || command.height_mm == 0) {
        return "--mm " + Quoted(value) + " is not WIDTHxHEIGHT in millimetres, such as 597x336";
      }
    } else if (arg[0] == '-' && !IsDigit(arg[1])) {
      return "unknown option " + Quoted(arg) + " (see --help)";
    } else {
      DisplayMode mode{};
      std::string problem = ParseModeText(arg, mode);
      if (!problem.empty()) return problem;
      for (int32_t m = 0; m < command.mode_count; ++m) {
        if (std::strcmp(command.mode_texts[m], arg) == 0) return "mode " + Quoted(arg) + " is given twice";
      }
      if (command.mode_count == kMaxMakerModes) {
        return "too many modes: at most " + std::to_string(kMaxMakerModes) + " are read";
      }
      command.mode_texts[command.mode_count] = arg;
      command.modes[command.mode_count++] = mode;
    }
  }
  if (command.help || command.version) return std::string();
  if (command.diagonal_inches > 0.0 && command.width_mm > 0) return "--size and --mm cannot be given together";
  if (command.mode_count == 0) return "no MODE given, such as 2560x1600x165 (see --help)";
  if (command.attach && command.output != nullptr && std::strcmp(command.output, "-") == 0) {
    return "-o - cannot be given with --attach: the driver's status line would mix into the EDID on standard "
           "output";
  }
  if (command.attach && command.name_given) {
    return "--name cannot be given with --attach: every monitor is attached as " + std::string(kIdentityName) +
           ", as \"velmorin /d\" names it";
  }
  return std::string();
}
