#include "maker/maker.h"

#include <cstdio>
#include <cstring>

#include "edid/base_block.h"
#include "edid/display_mode.h"
#include "edid/make_edid.h"
#include "maker/command_line.h"
#include "platform/console.h"
#include "platform/file.h"
#include "platform/path.h"

#ifndef VELMORIN_VERSION
#define VELMORIN_VERSION "0.0.0"
#endif

namespace {

constexpr const char* kProgram = "velmorin-edid";

constexpr const char* kUsage =
    "Usage: velmorin-edid MODE [MODE ...] [-o PATH] [--text] [--hdr[=VALUE]] [--audio]\n"
    "                     [--name NAME] [--size INCHES | --mm WIDTHxHEIGHT] [--force]\n"
    "                     [--attach]\n"
    "\n"
    "Writes an EDID that describes a monitor offering every MODE, the first one\n"
    "preferred. MODE is WIDTHxHEIGHTxREFRESH, as in 2560x1600x165: the name that\n"
    "\"velmorin /d\" reads the mode from.\n"
    "\n"
    "  -o PATH        write to PATH; a folder (or a path ending in a separator,\n"
    "                 made when missing) gets the default name inside it; - is\n"
    "                 standard output. Default: ./FIRST-MODE.bin\n"
    "  --text         write the hexadecimal text form, FIRST-MODE.txt\n"
    "  --hdr          HDR: SMPTE ST 2084 and HLG, BT.2020, 10 bits per colour\n"
    "  --hdr=VALUE    HDR when VALUE is true, 1, yes or on; none when false, 0, no\n"
    "                 or off (any case)\n"
    "  --audio        basic audio: 2-channel LPCM, front speakers\n"
    "  --name NAME    monitor name, 1 to 13 ASCII characters (KovraMonitor)\n"
    "  --size INCHES  screen diagonal in inches (27)\n"
    "  --mm WxH       screen width and height in millimetres\n"
    "  --force        replace an existing file\n"
    "  --attach       send the EDID to the driver as \"velmorin /d\" sends a file\n"
    "                 named by the first mode; written only when -o is given\n"
    "  --help         show this text\n"
    "  --version      show the version\n"
    "\n"
    "Exit status: 0 written, 1 not written, 2 usage error (nothing written).\n"
    "With --attach: 0 the driver answered status 0, 3 it answered another status,\n"
    "4 nothing was sent (no driver answered, the connect failed, the pipe stayed\n"
    "busy), 5 sent but no acceptable reply came within 10 s: the monitor may be\n"
    "attached, so undo it; 1 and 2 as above, nothing sent.\n";

// Empty when written, else what stopped the write.
std::string WriteProblem(const WholeWrite& written, const std::string& path) {
  switch (written.result) {
    case WholeWriteResult::kWritten:
      return std::string();
    case WholeWriteResult::kExists:
      return path + " exists; add --force to replace it";
    case WholeWriteResult::kStreamExists:
      return path + " is a FIFO or device; add --force to write to it";
    case WholeWriteResult::kNoReader:
      return "cannot write " + path + ": nobody reads this FIFO";
    case WholeWriteResult::kStalled:
      return "cannot write " + path + ": nobody read it within 10 s";
    case WholeWriteResult::kReaderGone:
      return "cannot write " + path + ": its reader went away";
    case WholeWriteResult::kDisk:
      return path + " is a block device; velmorin-edid never writes over a disk";
    case WholeWriteResult::kLinkLoop:
      return path + " is a loop of symbolic links";
    case WholeWriteResult::kNotAFile:
      return path + " is not a file, FIFO or character device";
    case WholeWriteResult::kUnseen:
      return "cannot look at " + path + ": " + written.reason;
    case WholeWriteResult::kFailed:
      break;
  }
  return "cannot write " + path + " (is the folder writable?)";
}

std::string ModeText(const DisplayMode& mode) {
  return std::to_string(mode.width) + "x" + std::to_string(mode.height) + "x" + std::to_string(mode.refresh);
}

int Complain(const Console& console, int status, const std::string& message) {
  std::fprintf(console.err, "%s: %s\n", kProgram, message.c_str());
  return status;
}

}  // namespace

std::string DefaultFileName(const char* first_mode_text, bool text) {
  return std::string(first_mode_text) + (text ? ".txt" : ".bin");
}

std::string OutputPath(const char* output, const char* first_mode_text, bool text) {
  std::string name = DefaultFileName(first_mode_text, text);
  if (output == nullptr) return name;
  if (EndsWithSeparator(output) || IsFolder(output)) return JoinPath(output, name);
  return output;
}

std::string FormatHexText(const uint8_t* bytes, int32_t size) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (int32_t i = 0; i < size; ++i) {
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 0x0F];
    text += (i % 16 == 15 || i + 1 == size) ? "\r\n" : " ";
  }
  // A size that is a multiple of 128 would be read as raw bytes.
  if (!text.empty() && text.size() % kEdidBlockSize == 0) text += "\r\n";
  return text;
}

int RunMaker(int argc, char** argv, const Console& console) {
  MakerCommand command;
  const std::string usage_problem = ParseMakerCommandLine(argc, argv, command);
  if (!usage_problem.empty()) return Complain(console, kExitUsage, usage_problem);
  if (command.help) {
    std::fputs(kUsage, console.out);
    return kExitSuccess;
  }
  if (command.version) {
    std::fprintf(console.out, "%s %s\n", kProgram, VELMORIN_VERSION);
    return kExitSuccess;
  }

  MonitorOrder order{};
  order.modes = command.modes;
  order.mode_texts = command.mode_texts;
  order.mode_count = command.mode_count;
  order.hdr = command.hdr;
  order.audio = command.audio;
  order.name = command.name;
  order.diagonal_inches = command.diagonal_inches;
  order.width_mm = command.width_mm;
  order.height_mm = command.height_mm;
  uint8_t edid[kMadeEdidSize];
  MakeEdidResult made{};
  const std::string make_problem = MakeMonitorEdid(order, edid, made);
  if (!make_problem.empty()) return Complain(console, kExitUsage, make_problem);

  // --attach alone writes nothing and touches no file.
  if (command.attach && command.output == nullptr) return SendMonitorEdid(edid, command.modes[0], command.mode_texts[0], kProgram, console);
  std::string text;
  const uint8_t* bytes = edid;
  size_t size = sizeof edid;
  if (command.text) {
    text = FormatHexText(edid, kMadeEdidSize);
    bytes = reinterpret_cast<const uint8_t*>(text.data());
    size = text.size();
  }
  // "-" is standard output: the EDID alone there, every message on standard error.
  if (command.output != nullptr && std::strcmp(command.output, "-") == 0) {
    // A closed standard output was given a stand-in that swallows the EDID.
    if (StandardOutputWasClosed()) {
      return Complain(console, kExitFailure, "cannot write to standard output: it is closed");
    }
    if (WriteBinary(console.out, bytes, size)) return kExitSuccess;
    return Complain(console, kExitFailure, "cannot write to standard output");
  }
  if (command.output != nullptr && EndsWithSeparator(command.output) && !MakeFolders(command.output)) {
    return Complain(console, kExitFailure, "cannot make the folder " + std::string(command.output));
  }
  const std::string path = OutputPath(command.output, command.mode_texts[0], command.text);
  if (IsFolder(path.c_str())) return Complain(console, kExitFailure, path + " is a folder");
  const WholeWrite written = WriteWholeFile(path.c_str(), bytes, size, command.force);
  // Asked only after a failure: a device such as \\.\NUL has no folder to ask about.
  const std::string folder = FolderOf(path);
  if (written.result == WholeWriteResult::kFailed && !IsFolder(folder.c_str())) {
    return Complain(console, kExitFailure, "no such folder: " + folder);
  }
  const std::string write_problem = WriteProblem(written, path);
  if (!write_problem.empty()) return Complain(console, kExitFailure, write_problem);

  // The attach command takes the mode from the file name alone.
  DisplayMode named{};
  ModeFromFileName(path.c_str(), named);
  const DisplayMode& first = command.modes[0];
  if (named.width != first.width || named.height != first.height || named.refresh != first.refresh) {
    std::fprintf(console.err, "%s: note: \"velmorin /d\" reads the mode %s from this name, not %s\n", kProgram,
                 ModeText(named).c_str(), command.mode_texts[0]);
  }
  if (command.attach) return SendMonitorEdid(edid, command.modes[0], command.mode_texts[0], kProgram, console);
  std::fprintf(console.out, "wrote %s: %s\n", path.c_str(), DescribePlacement(order, made).c_str());
  return kExitSuccess;
}
