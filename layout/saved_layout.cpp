#include "layout/saved_layout.h"

#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "layout/lookup.h"

// The text, one record a line, its fields key=value joined by single spaces:
//
//   velmorin-display layout format 1
//   computer NAME
//   convention virtual|plain
//   path source=ADAPTER/ID source_mode=.. clone_group=.. ... flags=..
//   mode source=ADAPTER/ID size=WxH pixel_format=.. position=X,Y
//   mode target=ADAPTER/ID pixel_rate=.. h_sync=N/D v_sync=N/D ...
//   mode desktop=ADAPTER/ID source_size=X,Y region=L,T,R,B clip=L,T,R,B
//   monitor target=ADAPTER/ID device_path=.. name=.. ... hdr_on=yes|no
//   checksum CRC-32 of everything before this line, 8 hex digits
//
// ADAPTER is an adapter id's high and low parts in hex ("00000000:000003f0").
// Names are kept byte for byte: a space, a control byte, any byte beyond
// ASCII and '%' itself are written as %XX. Paths, modes and monitors keep
// their order, so that mode indices stay valid.

namespace {

constexpr std::string_view kMagic = "velmorin-display layout format ";
constexpr std::string_view kVersion = "1";
constexpr std::string_view kChecksumWord = "checksum ";
constexpr char kHexDigits[] = "0123456789abcdef";

uint32_t Crc32(std::string_view bytes) {
  uint32_t crc = 0xFFFFFFFFu;
  for (const char byte : bytes) {
    crc ^= static_cast<uint8_t>(byte);
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

std::string Hex32(uint32_t value) {
  std::string text(8, '0');
  for (size_t i = 8; i-- > 0; value >>= 4) text[i] = kHexDigits[value & 0xF];
  return text;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsPlain(char c) { return c > ' ' && c < 0x7F && c != '%'; }

std::string Escape(const std::string& text) {
  static constexpr char kUpper[] = "0123456789ABCDEF";
  std::string escaped;
  for (const char c : text) {
    if (IsPlain(c)) {
      escaped += c;
      continue;
    }
    const auto byte = static_cast<uint8_t>(c);
    escaped += '%';
    escaped += kUpper[byte >> 4];
    escaped += kUpper[byte & 0xF];
  }
  return escaped;
}

// ---- Writing

std::string AdapterText(const AdapterId& adapter, uint32_t id) {
  return Hex32(static_cast<uint32_t>(adapter.high)) + ":" + Hex32(adapter.low) + "/" + std::to_string(id);
}

std::string RationalText(const Rational& value) {
  return std::to_string(value.numerator) + "/" + std::to_string(value.denominator);
}

std::string SizeText(uint32_t width, uint32_t height) { return std::to_string(width) + "x" + std::to_string(height); }

std::string PointText(int32_t x, int32_t y) { return std::to_string(x) + "," + std::to_string(y); }

std::string RectText(const PixelRect& rect) {
  return PointText(rect.left, rect.top) + "," + PointText(rect.right, rect.bottom);
}

const char* YesNo(bool value) { return value ? "yes" : "no"; }

std::string PathLine(const DisplayPath& path) {
  return "path source=" + AdapterText(path.source_adapter, path.source_id) +
         " source_mode=" + std::to_string(path.source_mode) + " clone_group=" + std::to_string(path.clone_group) +
         " source_status=" + std::to_string(path.source_status) +
         " target=" + AdapterText(path.target_adapter, path.target_id) +
         " target_mode=" + std::to_string(path.target_mode) + " desktop_mode=" + std::to_string(path.desktop_mode) +
         " technology=" + std::to_string(path.output_technology) + " rotation=" + std::to_string(path.rotation) +
         " scaling=" + std::to_string(path.scaling) + " refresh=" + RationalText(path.refresh) +
         " scanline=" + std::to_string(path.scanline_ordering) + " available=" + YesNo(path.target_available) +
         " target_status=" + std::to_string(path.target_status) + " flags=" + std::to_string(path.flags);
}

std::string ModeLine(const DisplayConfigMode& mode) {
  switch (mode.kind) {
    case ModeKind::kSource:
      return "mode source=" + AdapterText(mode.adapter, mode.id) + " size=" + SizeText(mode.width, mode.height) +
             " pixel_format=" + std::to_string(mode.pixel_format) + " position=" + PointText(mode.x, mode.y);
    case ModeKind::kTarget:
      return "mode target=" + AdapterText(mode.adapter, mode.id) + " pixel_rate=" + std::to_string(mode.pixel_rate) +
             " h_sync=" + RationalText(mode.h_sync) + " v_sync=" + RationalText(mode.v_sync) +
             " active=" + SizeText(mode.active_width, mode.active_height) +
             " total=" + SizeText(mode.total_width, mode.total_height) +
             " standard=" + std::to_string(mode.video_standard) +
             " scanline=" + std::to_string(mode.target_scanline_ordering);
    case ModeKind::kDesktopImage:
      return "mode desktop=" + AdapterText(mode.adapter, mode.id) +
             " source_size=" + PointText(mode.source_size_x, mode.source_size_y) +
             " region=" + RectText(mode.image_region) + " clip=" + RectText(mode.image_clip);
  }
  // A kind Windows may add later: kept as a mode no path can use.
  return "mode unknown=" + AdapterText(mode.adapter, mode.id) +
         " kind=" + std::to_string(static_cast<uint32_t>(mode.kind));
}

std::string MonitorLine(const MonitorTarget& monitor) {
  return "monitor target=" + AdapterText(monitor.adapter, monitor.target_id) +
         " device_path=" + Escape(monitor.device_path) + " name=" + Escape(monitor.monitor_name) +
         " edid_ids=" + YesNo(monitor.edid_ids_valid) + " manufacturer=" + Escape(monitor.manufacturer) +
         " product=" + std::to_string(monitor.product_code) + " hdr_supported=" + YesNo(monitor.hdr_supported) +
         " hdr_on=" + YesNo(monitor.hdr_on);
}

// ---- Reading

bool Unescape(std::string_view text, std::string* out) {
  std::string plain;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      if (!IsPlain(text[i])) return false;
      plain += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return false;
    const int high = HexValue(text[i + 1]);
    const int low = HexValue(text[i + 2]);
    if (high < 0 || low < 0) return false;
    plain += static_cast<char>(high * 16 + low);
    i += 2;
  }
  *out = plain;
  return true;
}

// `text` cut at every `separator`: exactly `count` parts, or false.
bool Split(std::string_view text, char separator, std::string_view* parts, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const size_t end = i + 1 < count ? text.find(separator) : text.size();
    if (end == std::string_view::npos) return false;
    parts[i] = text.substr(0, end);
    text.remove_prefix(i + 1 < count ? end + 1 : end);
  }
  return parts[count - 1].find(separator) == std::string_view::npos;
}

// A decimal number from 0 to `max`, written as this file writes it.
bool ReadUnsigned(std::string_view text, uint64_t max, uint64_t* value) {
  if (text.empty() || (text.size() > 1 && text[0] == '0')) return false;
  uint64_t result = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    const auto digit = static_cast<uint64_t>(c - '0');
    if (result > (max - digit) / 10) return false;
    result = result * 10 + digit;
  }
  *value = result;
  return true;
}

bool ReadU32(std::string_view text, uint32_t* value) {
  uint64_t wide = 0;
  if (!ReadUnsigned(text, UINT32_MAX, &wide)) return false;
  *value = static_cast<uint32_t>(wide);
  return true;
}

bool ReadI32(std::string_view text, int32_t* value) {
  const bool negative = !text.empty() && text[0] == '-';
  if (negative) text.remove_prefix(1);
  uint64_t magnitude = 0;
  if (!ReadUnsigned(text, negative ? uint64_t{1} << 31 : INT32_MAX, &magnitude) || (negative && magnitude == 0)) {
    return false;
  }
  *value = static_cast<int32_t>(negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude));
  return true;
}

bool ReadHex32(std::string_view text, uint32_t* value) {
  if (text.size() != 8) return false;
  uint32_t result = 0;
  for (const char c : text) {
    if (c >= 'A' && c <= 'F') return false;  // written in lower case
    const int digit = HexValue(c);
    if (digit < 0) return false;
    result = result << 4 | static_cast<uint32_t>(digit);
  }
  *value = result;
  return true;
}

bool ReadAdapter(std::string_view text, AdapterId* adapter, uint32_t* id) {
  std::string_view parts[2];
  uint32_t high = 0;
  if (text.size() < 17 || text[8] != ':' || !ReadHex32(text.substr(0, 8), &high)) return false;
  if (!Split(text.substr(9), '/', parts, 2) || !ReadHex32(parts[0], &adapter->low) || !ReadU32(parts[1], id))
    return false;
  adapter->high = static_cast<int32_t>(high);
  return true;
}

bool ReadRational(std::string_view text, Rational* value) {
  std::string_view parts[2];
  return Split(text, '/', parts, 2) && ReadU32(parts[0], &value->numerator) && ReadU32(parts[1], &value->denominator);
}

bool ReadSize(std::string_view text, uint32_t* width, uint32_t* height) {
  std::string_view parts[2];
  return Split(text, 'x', parts, 2) && ReadU32(parts[0], width) && ReadU32(parts[1], height);
}

bool ReadPoint(std::string_view text, int32_t* x, int32_t* y) {
  std::string_view parts[2];
  return Split(text, ',', parts, 2) && ReadI32(parts[0], x) && ReadI32(parts[1], y);
}

bool ReadRect(std::string_view text, PixelRect* rect) {
  std::string_view parts[4];
  return Split(text, ',', parts, 4) && ReadI32(parts[0], &rect->left) && ReadI32(parts[1], &rect->top) &&
         ReadI32(parts[2], &rect->right) && ReadI32(parts[3], &rect->bottom);
}

bool ReadYesNo(std::string_view text, bool* value) {
  if (text != "yes" && text != "no") return false;
  *value = text == "yes";
  return true;
}

bool ReadU16(std::string_view text, uint16_t* value) {
  uint64_t wide = 0;
  if (!ReadUnsigned(text, UINT16_MAX, &wide)) return false;
  *value = static_cast<uint16_t>(wide);
  return true;
}

// One record line's fields, read in order; `bad` names the first that did not read.
struct Fields {
  std::vector<std::string_view> tokens;
  size_t next;
  std::string bad;
};

Fields SplitFields(std::string_view line) {
  Fields fields{{}, 1, std::string()};
  for (size_t end = line.find(' '); end != std::string_view::npos; end = line.find(' ')) {
    fields.tokens.push_back(line.substr(0, end));
    line.remove_prefix(end + 1);
  }
  fields.tokens.push_back(line);
  return fields;
}

// The value of the next field, which must be `key`.
std::string_view Take(Fields& fields, std::string_view key) {
  if (!fields.bad.empty()) return std::string_view();
  if (fields.next < fields.tokens.size()) {
    const std::string_view token = fields.tokens[fields.next];
    if (token.size() > key.size() && token.substr(0, key.size()) == key && token[key.size()] == '=') {
      ++fields.next;
      return token.substr(key.size() + 1);
    }
  }
  fields.bad = key;
  return std::string_view();
}

template <typename Reader, typename... Out>
void Read(Fields& fields, std::string_view key, Reader reader, Out*... out) {
  const std::string_view value = Take(fields, key);
  if (fields.bad.empty() && !reader(value, out...)) fields.bad = key;
}

void ReadText(Fields& fields, std::string_view key, std::string* out) { Read(fields, key, Unescape, out); }

void ReadPath(Fields& fields, DisplayConfig& layout) {
  DisplayPath path{};
  Read(fields, "source", ReadAdapter, &path.source_adapter, &path.source_id);
  Read(fields, "source_mode", ReadI32, &path.source_mode);
  Read(fields, "clone_group", ReadI32, &path.clone_group);
  Read(fields, "source_status", ReadU32, &path.source_status);
  Read(fields, "target", ReadAdapter, &path.target_adapter, &path.target_id);
  Read(fields, "target_mode", ReadI32, &path.target_mode);
  Read(fields, "desktop_mode", ReadI32, &path.desktop_mode);
  Read(fields, "technology", ReadU32, &path.output_technology);
  Read(fields, "rotation", ReadU32, &path.rotation);
  Read(fields, "scaling", ReadU32, &path.scaling);
  Read(fields, "refresh", ReadRational, &path.refresh);
  Read(fields, "scanline", ReadU32, &path.scanline_ordering);
  Read(fields, "available", ReadYesNo, &path.target_available);
  Read(fields, "target_status", ReadU32, &path.target_status);
  Read(fields, "flags", ReadU32, &path.flags);
  layout.paths.push_back(path);
}

bool ReadPixelRate(std::string_view text, uint64_t* value) { return ReadUnsigned(text, UINT64_MAX, value); }

void ReadMode(Fields& fields, DisplayConfig& layout) {
  DisplayConfigMode mode{};
  const std::string_view first = fields.tokens.size() > 1 ? fields.tokens[1] : std::string_view();
  if (first.substr(0, 7) == "source=") {
    mode.kind = ModeKind::kSource;
    Read(fields, "source", ReadAdapter, &mode.adapter, &mode.id);
    Read(fields, "size", ReadSize, &mode.width, &mode.height);
    Read(fields, "pixel_format", ReadU32, &mode.pixel_format);
    Read(fields, "position", ReadPoint, &mode.x, &mode.y);
  } else if (first.substr(0, 7) == "target=") {
    mode.kind = ModeKind::kTarget;
    Read(fields, "target", ReadAdapter, &mode.adapter, &mode.id);
    Read(fields, "pixel_rate", ReadPixelRate, &mode.pixel_rate);
    Read(fields, "h_sync", ReadRational, &mode.h_sync);
    Read(fields, "v_sync", ReadRational, &mode.v_sync);
    Read(fields, "active", ReadSize, &mode.active_width, &mode.active_height);
    Read(fields, "total", ReadSize, &mode.total_width, &mode.total_height);
    Read(fields, "standard", ReadU32, &mode.video_standard);
    Read(fields, "scanline", ReadU32, &mode.target_scanline_ordering);
  } else if (first.substr(0, 8) == "unknown=") {
    uint32_t kind = 0;
    Read(fields, "unknown", ReadAdapter, &mode.adapter, &mode.id);
    Read(fields, "kind", ReadU32, &kind);
    mode.kind = static_cast<ModeKind>(kind);
  } else {
    mode.kind = ModeKind::kDesktopImage;
    Read(fields, "desktop", ReadAdapter, &mode.adapter, &mode.id);
    Read(fields, "source_size", ReadPoint, &mode.source_size_x, &mode.source_size_y);
    Read(fields, "region", ReadRect, &mode.image_region);
    Read(fields, "clip", ReadRect, &mode.image_clip);
  }
  layout.modes.push_back(mode);
}

void ReadMonitor(Fields& fields, DisplayConfig& layout) {
  MonitorTarget monitor{};
  Read(fields, "target", ReadAdapter, &monitor.adapter, &monitor.target_id);
  ReadText(fields, "device_path", &monitor.device_path);
  ReadText(fields, "name", &monitor.monitor_name);
  Read(fields, "edid_ids", ReadYesNo, &monitor.edid_ids_valid);
  ReadText(fields, "manufacturer", &monitor.manufacturer);
  Read(fields, "product", ReadU16, &monitor.product_code);
  Read(fields, "hdr_supported", ReadYesNo, &monitor.hdr_supported);
  Read(fields, "hdr_on", ReadYesNo, &monitor.hdr_on);
  layout.monitors.push_back(monitor);
}

// A checksum line at the start of `text`, its line break included.
bool ReadChecksumLine(std::string_view text, uint32_t* checksum) {
  const size_t length = kChecksumWord.size() + 8;
  return text.size() > length && text.substr(0, kChecksumWord.size()) == kChecksumWord && text[length] == '\n' &&
         ReadHex32(text.substr(kChecksumWord.size(), 8), checksum);
}

std::string Damaged(size_t line, const std::string& what) {
  return "is damaged (line " + std::to_string(line) + " " + what + ")";
}

// Every mode index of a path names a mode of its kind, so that nothing
// built on the layout reads past its modes or takes one mode for another.
std::string CheckModeIndices(const DisplayConfig& layout, const std::vector<size_t>& path_lines) {
  const auto valid = [&](int32_t index, ModeKind kind) {
    return index == kNoModeIndex || (index >= 0 && static_cast<size_t>(index) < layout.modes.size() &&
                                     layout.modes[static_cast<size_t>(index)].kind == kind);
  };
  for (size_t i = 0; i < layout.paths.size(); ++i) {
    const DisplayPath& path = layout.paths[i];
    const char* wrong = !valid(path.source_mode, ModeKind::kSource)          ? "source_mode"
                        : !valid(path.target_mode, ModeKind::kTarget)        ? "target_mode"
                        : !valid(path.desktop_mode, ModeKind::kDesktopImage) ? "desktop_mode"
                                                                             : nullptr;
    if (wrong != nullptr) return Damaged(path_lines[i], std::string("has a ") + wrong + " that is no mode of its kind");
  }
  return std::string();
}

}  // namespace

std::string FormatSavedLayout(const DisplayConfig& layout, const std::string& computer) {
  std::string text = std::string(kMagic) + std::string(kVersion) + "\n";
  text += "computer " + Escape(computer) + "\n";
  text += std::string("convention ") + (layout.virtual_mode_aware ? "virtual" : "plain") + "\n";
  for (const DisplayPath& path : layout.paths) text += PathLine(path) + "\n";
  for (const DisplayConfigMode& mode : layout.modes) text += ModeLine(mode) + "\n";
  for (const MonitorTarget& monitor : layout.monitors) text += MonitorLine(monitor) + "\n";
  text += std::string(kChecksumWord) + Hex32(Crc32(text)) + "\n";
  return text;
}

std::string ParseSavedLayout(const std::string& text, const std::string& computer, DisplayConfig* layout) {
  static const std::string kTruncated = "is truncated (it does not end in its checksum)";
  if (text.empty()) return "is empty";
  const size_t first_end = text.find('\n');
  std::string_view first = std::string_view(text).substr(0, first_end);
  if (!first.empty() && first.back() == '\r') first.remove_suffix(1);
  if (first_end == std::string::npos && kMagic.substr(0, first.size()) == first) return kTruncated;
  if (first.substr(0, kMagic.size()) != kMagic) return "is not a layout saved by velmorin-display";
  const std::string_view version = first.substr(kMagic.size());
  uint64_t number = 0;
  if (!ReadUnsigned(version, 999999, &number)) return "is not a layout saved by velmorin-display";
  if (first_end == std::string::npos) return kTruncated;
  if (version != kVersion) {
    return "is in format " + std::string(version) + "; this velmorin-display reads format " + std::string(kVersion);
  }

  // This format never writes a carriage return: an editor changed the line ends.
  if (text.find('\r') != std::string::npos) return "is damaged (its line ends were changed to CR LF)";

  // The last line: the checksum of everything before it. A whole checksum
  // line with more after it is damage; a file that stops short of one was cut.
  const size_t last_break = text.size() >= 2 ? text.rfind('\n', text.size() - 2) : std::string::npos;
  const size_t checksum_start = last_break == std::string::npos ? 0 : last_break + 1;
  uint32_t stored = 0;
  if (text.back() != '\n' || !ReadChecksumLine(std::string_view(text).substr(checksum_start), &stored)) {
    const size_t earlier = text.rfind("\n" + std::string(kChecksumWord));
    return earlier != std::string::npos && ReadChecksumLine(std::string_view(text).substr(earlier + 1), &stored)
               ? "is damaged (text follows its checksum)"
               : kTruncated;
  }
  const std::string_view body = std::string_view(text).substr(0, checksum_start);
  if (Crc32(body) != stored) return "is damaged (its checksum does not match)";

  std::vector<std::string_view> lines;
  for (size_t start = 0; start < body.size();) {
    const size_t end = body.find('\n', start);
    lines.push_back(body.substr(start, end - start));
    start = end + 1;
  }
  std::string saved_on;
  if (lines.size() < 3 || lines[1].substr(0, 9) != "computer " || !Unescape(lines[1].substr(9), &saved_on)) {
    return Damaged(2, "is not the computer's name");
  }
  if (!SameName(saved_on, computer)) {
    return "was saved on " + std::string(lines[1].substr(9)) + ", not on this computer (" + Escape(computer) + ")";
  }
  DisplayConfig read{};
  if (lines[2] != "convention virtual" && lines[2] != "convention plain")
    return Damaged(3, "is not the mode convention");
  read.virtual_mode_aware = lines[2] == "convention virtual";

  std::vector<size_t> path_lines;
  for (size_t i = 3; i < lines.size(); ++i) {
    Fields fields = SplitFields(lines[i]);
    const std::string_view word = fields.tokens[0];
    if (word == "path") {
      ReadPath(fields, read);
      path_lines.push_back(i + 1);
    } else if (word == "mode") {
      ReadMode(fields, read);
    } else if (word == "monitor") {
      ReadMonitor(fields, read);
    } else {
      return Damaged(i + 1, "is not a record of this format");
    }
    if (!fields.bad.empty()) return Damaged(i + 1, "has no readable " + fields.bad);
    if (fields.next != fields.tokens.size()) return Damaged(i + 1, "has more fields than its record");
  }
  std::string problem = CheckModeIndices(read, path_lines);
  if (!problem.empty()) return problem;
  *layout = std::move(read);
  return std::string();
}
