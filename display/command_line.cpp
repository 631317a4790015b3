#include "display/command_line.h"

#include <cstring>

#include "host_attach/host_arguments.h"

namespace {

constexpr int32_t kMaxWaitSeconds = 3600;

const struct {
  const char* word;
  DisplayVerb verb;
} kVerbs[] = {{"list", DisplayVerb::kList},
              {"attach", DisplayVerb::kAttach},
              {"use", DisplayVerb::kUse},
              {"detach", DisplayVerb::kDetach},
              {"restore", DisplayVerb::kRestore}};

bool Is(const char* arg, const char* option) { return std::strcmp(arg, option) == 0; }

std::string Quoted(const char* text) { return std::string("\"") + text + "\""; }

// Which options each command takes.
bool Takes(DisplayVerb verb, const char* option) {
  const bool attach = verb == DisplayVerb::kAttach;
  const bool use = verb == DisplayVerb::kUse;
  if (Is(option, "--json")) return verb == DisplayVerb::kList;
  if (Is(option, "--all")) return verb == DisplayVerb::kList || verb == DisplayVerb::kDetach;
  if (Is(option, "--audio") || Is(option, "--keep")) return attach;
  if (Is(option, "--hdr") || Is(option, "--primary") || Is(option, "--only")) return attach || use;
  if (Is(option, "--wait")) return verb != DisplayVerb::kList;
  return false;
}

std::string VerbName(DisplayVerb verb) {
  for (const auto& v : kVerbs) {
    if (v.verb == verb) return v.word;
  }
  return "";
}

}  // namespace

std::string ParseDisplayCommandLine(int argc, char** argv, DisplayCommand& command) {
  command = DisplayCommand{};
  DeskOrder& order = command.order;
  order.wait_seconds = kDefaultWaitSeconds;
  int32_t positional = 0;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (Is(arg, "--help") || Is(arg, "-h")) {
      command.help = true;
      continue;
    }
    if (Is(arg, "--version")) {
      command.version = true;
      continue;
    }
    if (command.verb == DisplayVerb::kNone) {
      for (const auto& v : kVerbs) {
        if (Is(arg, v.word)) command.verb = v.verb;
      }
      if (command.verb == DisplayVerb::kNone) {
        return "unknown command " + Quoted(arg) + ": list, attach, use, detach or restore (see --help)";
      }
      continue;
    }
    const std::string verb = VerbName(command.verb);
    const char* option = arg;
    std::string name = arg;
    const char* equals = std::strchr(arg, '=');
    if (arg[0] == '-' && equals != nullptr) name.assign(arg, static_cast<size_t>(equals - arg));
    if (arg[0] == '-') {
      if (!Takes(command.verb, name.c_str())) return verb + " does not take " + Quoted(option) + " (see --help)";
      if (name == "--hdr") {
        order.hdr_given = true;
        order.hdr = true;
        if (equals != nullptr && !ParseSwitchValue(equals + 1, order.hdr)) {
          return SwitchValueProblem("--hdr", equals + 1);
        }
      } else if (equals != nullptr) {
        return verb + " does not take " + Quoted(option) + " (see --help)";
      } else if (name == "--all") {
        command.all = true;
        order.all = true;
      } else if (name == "--json") {
        command.json = true;
      } else if (name == "--audio") {
        order.audio = true;
      } else if (name == "--keep") {
        order.keep = true;
      } else if (name == "--primary" || name == "--only") {
        const LayoutWish wish = name == "--primary" ? LayoutWish::kPrimary : LayoutWish::kOnly;
        if (order.layout != LayoutWish::kKeep && order.layout != wish) {
          return "--primary and --only cannot be given together";
        }
        order.layout = wish;
      } else if (name == "--wait") {
        const char* value = i + 1 < argc ? argv[++i] : "";
        const char* p = value;
        int32_t seconds = 0;
        const bool zero = Is(value, "0");
        if (!zero && (!ScanModeNumber(p, seconds) || *p != '\0' || seconds > kMaxWaitSeconds)) {
          return "--wait needs a whole number of seconds from 0 to " + std::to_string(kMaxWaitSeconds) +
                 ", not " + Quoted(value);
        }
        order.wait_given = true;
        order.wait_seconds = zero ? 0 : seconds;
      }
      continue;
    }
    ++positional;
    const bool takes_display = command.verb == DisplayVerb::kUse && positional == 1;
    const bool takes_mode = (command.verb == DisplayVerb::kAttach && positional == 1) ||
                            (command.verb == DisplayVerb::kUse && positional == 2);
    if (takes_display) {
      order.display = arg;
    } else if (takes_mode) {
      std::string problem = ParseModeText(arg, order.mode);
      if (!problem.empty()) return problem;
      order.mode_text = arg;
    } else {
      return verb + " does not take " + Quoted(arg) + " (see --help)";
    }
  }
  if (command.help || command.version) return std::string();
  if (command.verb == DisplayVerb::kNone) return "no command given: list, attach, use, detach or restore (see --help)";
  if (command.verb == DisplayVerb::kAttach && order.mode_text == nullptr) {
    return "attach needs a MODE, such as 2560x1440x120";
  }
  if (command.verb == DisplayVerb::kUse && order.display == nullptr) {
    return "use needs a DISPLAY: \\\\.\\DISPLAY7, 7, or a monitor's device path (see velmorin-display list --all)";
  }
  return std::string();
}
