#include <nlohmann/json.hpp>

#include <cstdint>
#include <limits>
#include <string>

#include "desk_model/desk_json.h"
#include "desk_model/desk_model.h"

namespace {

using Json = nlohmann::json;

// Reads members without exceptions: a missing member keeps its default, one
// of the wrong kind is a problem named by its key.
struct Reader {
  std::string problem;

  void Fail(const std::string& key, const char* want) {
    if (problem.empty()) problem = "\"" + key + "\" must be " + want;
  }

  bool Bool(const Json& object, const char* key, bool fallback) {
    if (!object.contains(key)) return fallback;
    if (!object[key].is_boolean()) return Fail(key, "true or false"), fallback;
    return object[key].get<bool>();
  }

  int64_t Int(const Json& object, const char* key, int64_t fallback, int64_t low, int64_t high) {
    if (!object.contains(key)) return fallback;
    const Json& value = object[key];
    if (!value.is_number_integer()) return Fail(key, "a whole number"), fallback;
    const int64_t number = value.is_number_unsigned() && value.get<uint64_t>() > uint64_t{INT64_MAX}
                               ? INT64_MAX
                               : value.get<int64_t>();
    if (number < low || number > high) {
      Fail(key, ("from " + std::to_string(low) + " to " + std::to_string(high)).c_str());
      return fallback;
    }
    return number;
  }

  std::string Text(const Json& object, const char* key, const std::string& fallback) {
    if (!object.contains(key) || object[key].is_null()) return fallback;
    if (!object[key].is_string()) return Fail(key, "a string"), fallback;
    return object[key].get<std::string>();
  }

  ModelMode Mode(const Json& object, const char* key) {
    ModelMode mode{};
    const std::string text = Text(object, key, "");
    if (!text.empty() && !ParseModelMode(text, &mode)) Fail(key, "WIDTHxHEIGHTxREFRESH");
    return mode;
  }

  // One of `words`, as its index; `fallback` when missing.
  template <size_t N>
  int Choice(const Json& object, const char* key, const char* const (&words)[N], int fallback) {
    const std::string text = Text(object, key, words[fallback]);
    for (size_t i = 0; i < N; ++i) {
      if (text == words[i]) return static_cast<int>(i);
    }
    std::string list;
    for (size_t i = 0; i < N; ++i) list += std::string(i == 0 ? "" : i + 1 == N ? " or " : ", ") + words[i];
    Fail(key, list.c_str());
    return fallback;
  }
};

constexpr const char* kAccess[] = {"allowed", "denied"};
constexpr const char* kArrival[] = {"extend", "inactive", "never"};
constexpr const char* kSwitch[] = {"works", "ignored"};
constexpr const char* kApply[] = {"works", "refused", "ignored"};

constexpr int64_t kCoordinate = 1 << 20;

ModelPlacement ReadPlacement(Reader& read, const Json& item) {
  ModelPlacement place{};
  place.path = read.Text(item, "path", "");
  place.active = read.Bool(item, "active", false);
  place.mode = read.Mode(item, "mode");
  place.x = static_cast<int32_t>(read.Int(item, "x", 0, -kCoordinate, kCoordinate));
  place.y = static_cast<int32_t>(read.Int(item, "y", 0, -kCoordinate, kCoordinate));
  if (place.active && place.mode.width == 0) read.Fail("mode", "given for an active display");
  return place;
}

ModelMonitor ReadMonitor(Reader& read, const Json& item) {
  ModelMonitor m{};
  m.path = read.Text(item, "path", "");
  if (m.path.empty()) read.Fail("path", "a monitor's device path");
  m.name = read.Text(item, "name", "");
  m.ours = read.Bool(item, "ours", false);
  if (item.contains("modes") && item["modes"].is_array()) {
    for (const Json& mode : item["modes"]) {
      ModelMode parsed{};
      if (!mode.is_string() || !ParseModelMode(mode.get<std::string>(), &parsed)) {
        read.Fail("modes", "WIDTHxHEIGHTxREFRESH texts");
      }
      m.modes.push_back(parsed);
    }
  } else if (item.contains("modes")) {
    read.Fail("modes", "a list");
  }
  if (m.modes.empty()) read.Fail("modes", "at least one mode");
  m.active = read.Bool(item, "active", false);
  m.mode = read.Mode(item, "mode");
  if (m.active && m.mode.width == 0) read.Fail("mode", "given for an active display");
  m.x = static_cast<int32_t>(read.Int(item, "x", 0, -kCoordinate, kCoordinate));
  m.y = static_cast<int32_t>(read.Int(item, "y", 0, -kCoordinate, kCoordinate));
  m.hdr_capable = read.Bool(item, "hdr_capable", false);
  m.hdr = read.Bool(item, "hdr", false);
  m.target = static_cast<uint32_t>(read.Int(item, "target", UINT32_MAX, 0, 0xFFFF));
  m.source = static_cast<int32_t>(read.Int(item, "source", kNoModelSource, 0, 0xFFFF));
  m.arrives_at_ms = read.Int(item, "arrives_at_ms", 0, 0, INT64_MAX);
  return m;
}

Json WriteMode(const ModelMode& mode) { return mode.width == 0 ? Json(nullptr) : Json(FormatModelMode(mode)); }

}  // namespace

std::string ParseDeskModel(const std::string& text, DeskModel* model) {
  const Json root = Json::parse(text, nullptr, false);
  if (root.is_discarded() || !root.is_object()) return "it is not a JSON object";
  Reader read;
  DeskModel parsed{};
  parsed.adapter = static_cast<uint32_t>(read.Int(root, "adapter", 1, 0, UINT32_MAX));
  parsed.access_denied = read.Choice(root, "access", kAccess, 0) == 1;
  parsed.read_failures = static_cast<int32_t>(read.Int(root, "read_failures", 0, 0, 1000000));
  parsed.arrival = static_cast<ModelArrival>(read.Choice(root, "arrival", kArrival, 0));
  parsed.arrival_ms = static_cast<int32_t>(read.Int(root, "arrival_ms", 0, 0, 3600000));
  parsed.our_hdr = read.Bool(root, "our_hdr", true);
  parsed.hdr_switch_works = read.Choice(root, "hdr_switch", kSwitch, 0) == 0;
  parsed.apply = static_cast<ModelApply>(read.Choice(root, "apply", kApply, 0));
  if (root.contains("monitors")) {
    if (!root["monitors"].is_array()) return "\"monitors\" must be a list";
    for (const Json& item : root["monitors"]) {
      if (!item.is_object()) return "each monitor must be an object";
      parsed.monitors.push_back(ReadMonitor(read, item));
    }
  }
  if (root.contains("remembered")) {
    if (!root["remembered"].is_array()) return "\"remembered\" must be a list";
    for (const Json& item : root["remembered"]) {
      if (!item.is_object() || !item.contains("set") || !item["set"].is_array() || !item.contains("layout") ||
          !item["layout"].is_array()) {
        return "each remembered layout must have a \"set\" and a \"layout\" list";
      }
      RememberedLayout remembered;
      for (const Json& path : item["set"]) {
        if (!path.is_string()) return "a remembered set lists device paths";
        remembered.set.push_back(path.get<std::string>());
      }
      for (const Json& place : item["layout"]) {
        if (!place.is_object()) return "a remembered layout lists objects";
        remembered.layout.push_back(ReadPlacement(read, place));
      }
      parsed.remembered.push_back(remembered);
    }
  }
  if (!read.problem.empty()) return read.problem;
  SettleIds(&parsed);
  *model = std::move(parsed);
  return std::string();
}

std::string FormatDeskModel(const DeskModel& model) {
  Json root = Json::object();
  root["adapter"] = model.adapter;
  root["access"] = kAccess[model.access_denied ? 1 : 0];
  root["read_failures"] = model.read_failures;
  root["arrival"] = kArrival[static_cast<int>(model.arrival)];
  root["arrival_ms"] = model.arrival_ms;
  root["our_hdr"] = model.our_hdr;
  root["hdr_switch"] = kSwitch[model.hdr_switch_works ? 0 : 1];
  root["apply"] = kApply[static_cast<int>(model.apply)];
  Json monitors = Json::array();
  for (const ModelMonitor& m : model.monitors) {
    Json modes = Json::array();
    for (const ModelMode& mode : m.modes) modes.push_back(FormatModelMode(mode));
    Json item = {{"path", m.path},       {"name", m.name},   {"ours", m.ours},
                 {"modes", modes},       {"active", m.active}, {"mode", WriteMode(m.active ? m.mode : ModelMode{})},
                 {"x", m.x},             {"y", m.y},         {"hdr_capable", m.hdr_capable},
                 {"hdr", m.hdr},         {"target", m.target}};
    if (m.source != kNoModelSource) item["source"] = m.source;
    if (m.arrives_at_ms != 0) item["arrives_at_ms"] = m.arrives_at_ms;
    monitors.push_back(item);
  }
  root["monitors"] = monitors;
  Json remembered = Json::array();
  for (const RememberedLayout& r : model.remembered) {
    Json layout = Json::array();
    for (const ModelPlacement& p : r.layout) {
      layout.push_back({{"path", p.path}, {"active", p.active}, {"mode", WriteMode(p.mode)}, {"x", p.x}, {"y", p.y}});
    }
    remembered.push_back({{"set", r.set}, {"layout", layout}});
  }
  root["remembered"] = remembered;
  return root.dump(2) + "\n";
}
