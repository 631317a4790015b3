#include "control/control_window.h"

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "control/control_choices.h"
#include "control/control_words.h"
#include "desk/desk.h"
#include "driver_link/messages.h"
#include "host_attach/host_arguments.h"
#include "platform/dialog.h"
#include "platform/pipe.h"

namespace {

// The controls, in Tab order; the probe the tests use knows these ids.
enum ControlId : int32_t {
  kModeLabel = kControlFirstId,
  kMode,
  kHdr,
  kAudio,
  kLayoutLabel,
  kExtend,
  kPrimary,
  kOnly,
  kAttach,
  kRemove,
  kRestore,
  kDisplaysLabel,
  kDisplays,
  kShowAll,
  kProgress,
  kDriver,
  kStatus,
};
static_assert(kStatus == kControlStatusId && kDriver == kControlDriverId && kDisplays == kControlDisplaysId);

// In dialog units, so that the window reads the same at any scaling.
constexpr ControlLayout kControls[] = {
    {ControlKind::kLabel, kModeLabel, "&Mode:", 7, 9, 30, 8, false},
    {ControlKind::kEditCombo, kMode, "", 40, 7, 100, 140, false},
    {ControlKind::kCheck, kHdr, "&HDR", 152, 8, 40, 10, false},
    {ControlKind::kCheck, kAudio, "A&udio", 196, 8, 45, 10, false},
    {ControlKind::kLabel, kLayoutLabel, "Layout:", 7, 27, 30, 8, false},
    {ControlKind::kRadio, kExtend, "&Extend", 40, 26, 48, 10, true},
    {ControlKind::kRadio, kPrimary, "&Primary", 92, 26, 50, 10, false},
    {ControlKind::kRadio, kOnly, "&Only this display", 146, 26, 90, 10, false},
    {ControlKind::kDefaultButton, kAttach, "&Attach", 7, 44, 60, 14, true},
    {ControlKind::kButton, kRemove, "&Remove", 71, 44, 60, 14, false},
    {ControlKind::kButton, kRestore, "Re&store desk", 135, 44, 66, 14, false},
    {ControlKind::kLabel, kDisplaysLabel, "&Displays:", 7, 67, 60, 8, false},
    {ControlKind::kList, kDisplays, "", 7, 78, 316, 96, false},
    {ControlKind::kCheck, kShowAll, "Show al&l displays", 233, 66, 90, 10, false},
    {ControlKind::kProgress, kProgress, "", 7, 179, 316, 7, false},
    {ControlKind::kText, kDriver, "", 7, 190, 316, 17, false},
    {ControlKind::kText, kStatus, "", 7, 209, 316, 34, false},
};
constexpr DialogLayout kWindow = {"Velmorin", 330, 248, kControls, sizeof kControls / sizeof kControls[0]};
constexpr ListColumn kColumns[] = {{"Display", 56}, {"Monitor", 66}, {"Mode", 70}, {"Position", 44}, {"Primary", 38},
                                   {"HDR", 28}};

constexpr const char* kMenuItems[] = {"Make primary", "Only this display", "Set mode..."};

// What the worker hands the window's thread.
struct Message {
  bool done;              // else a wait's progress
  std::string waiting;    // what it waits for
  int32_t seconds_left;
  DeskOutcome outcome;
};

// The window's state: touched on its own thread only, but for the worker
// the thread itself.
struct Window {
  ControlChoices choices;
  bool busy;
  bool closing;
  bool driver_present;
  std::vector<DisplayRecord> shown;  // the list's rows
  std::thread worker;
};

Window window_state;

void Post(std::unique_ptr<Message> message) {
  if (PostToDialog(message.get())) message.release();
}

void Waiting(void* /*context*/, const std::string& what, int32_t seconds_left) {
  Post(std::make_unique<Message>(Message{false, what, seconds_left, {}}));
}

const DeskWatcher kWatcher = {Waiting, nullptr};

// The buttons that start a command: off while one runs, and Attach and
// Remove off without a driver.
void EnableCommands(Window& w) {
  EnableControl(kAttach, !w.busy && w.driver_present);
  EnableControl(kRemove, !w.busy && w.driver_present);
  EnableControl(kRestore, !w.busy);
}

void Refresh(Window& w) {
  w.driver_present = PipeExists(kDriverPipeName);
  SetControlText(kDriver, DriverWords(w.driver_present, PipeEndpoint(kDriverPipeName)));
  EnableCommands(w);
  std::vector<DisplayRecord> records;
  const DeskOutcome listed = ListDesk(&records);
  w.shown.clear();
  std::vector<std::vector<std::string>> rows;
  for (const DisplayRecord& r : records) {
    if (!IsControlChecked(kShowAll) && !IsOurs(r)) continue;
    w.shown.push_back(r);
    rows.push_back(RowWords(r));
  }
  SetListRows(kDisplays, rows);
  if (listed.status != kExitSuccess && !w.busy) SetControlText(kStatus, OutcomeWords(listed));
}

ControlChoices ChoicesShown() {
  ControlChoices c{};
  c.mode = ControlText(kMode);
  c.hdr = IsControlChecked(kHdr);
  c.audio = IsControlChecked(kAudio);
  c.layout = IsControlChecked(kOnly) ? LayoutWish::kOnly : IsControlChecked(kPrimary) ? LayoutWish::kPrimary
                                                                                      : LayoutWish::kKeep;
  return c;
}

// The order a command runs with; its texts live in `texts`, which outlives the command.
struct OrderTexts {
  std::string mode;
  std::string display;
};

void Start(Window& w, DeskOutcome (*command)(const DeskOrder&, const DeskWatcher*), const DeskOrder& order,
           std::unique_ptr<OrderTexts> texts) {
  w.busy = true;
  EnableCommands(w);
  ShowMarquee(kProgress, true);
  SetControlText(kStatus, "Working...");
  w.worker = std::thread([command, order, kept = std::move(texts)] {
    DeskOutcome outcome = command(order, &kWatcher);
    Post(std::make_unique<Message>(Message{true, std::string(), 0, std::move(outcome)}));
  });
}

// As velmorin-display's options: HDR ticked is --hdr, not ticked no option at all.
DeskOrder OrderFrom(const ControlChoices& c) {
  DeskOrder order{};
  order.wait_seconds = kDefaultWaitSeconds;
  order.hdr_given = c.hdr;
  order.hdr = c.hdr;
  order.audio = c.audio;
  order.layout = c.layout;
  return order;
}

void Attach(Window& w) {
  auto texts = std::make_unique<OrderTexts>();
  texts->mode = ControlText(kMode);
  DeskOrder order = OrderFrom(ChoicesShown());
  order.mode_text = texts->mode.c_str();
  // Refused before anything is sent, in the words velmorin-display uses.
  std::string problem = ParseModeText(order.mode_text, order.mode);
  if (problem.empty()) problem = AttachModeProblem(order);
  if (!problem.empty()) {
    SetControlText(kStatus, problem);
    return;
  }
  w.choices = ChoicesShown();
  SaveChoices(w.choices);
  Start(w, AttachDisplay, order, std::move(texts));
}

void Use(Window& w, const DisplayRecord& record, LayoutWish layout, const std::string& mode) {
  auto texts = std::make_unique<OrderTexts>();
  texts->display = record.device_path.empty() ? record.gdi_name : record.device_path;
  texts->mode = mode;
  DeskOrder order{};
  order.wait_seconds = kDefaultWaitSeconds;
  order.layout = layout;
  order.display = texts->display.c_str();
  if (!mode.empty()) {
    const std::string problem = ParseModeText(mode.c_str(), order.mode);
    if (!problem.empty()) {
      SetControlText(kStatus, problem);
      return;
    }
    order.mode_text = texts->mode.c_str();
  }
  Start(w, UseDisplay, order, std::move(texts));
}

void Finished(Window& w, const DeskOutcome& outcome) {
  if (w.worker.joinable()) w.worker.join();
  w.busy = false;
  ShowMarquee(kProgress, false);
  Refresh(w);
  SetControlText(kStatus, OutcomeWords(outcome));
  if (w.closing) CloseDialog();
}

void Shown(void* /*context*/) {
  Window& w = window_state;
  SetComboItems(kMode, CommonModes());
  SetListColumns(kDisplays, std::vector<ListColumn>(std::begin(kColumns), std::end(kColumns)));
  w.choices = LoadChoices();
  SetControlText(kMode, w.choices.mode);
  CheckControl(kHdr, w.choices.hdr);
  CheckControl(kAudio, w.choices.audio);
  CheckControl(kExtend, w.choices.layout == LayoutWish::kKeep);
  CheckControl(kPrimary, w.choices.layout == LayoutWish::kPrimary);
  CheckControl(kOnly, w.choices.layout == LayoutWish::kOnly);
  ShowMarquee(kProgress, false);
  Refresh(w);
  SetControlText(kStatus, "Ready.");
}

void Command(void* /*context*/, int32_t id) {
  Window& w = window_state;
  if (w.busy) return;
  DeskOrder plain{};
  plain.wait_seconds = kDefaultWaitSeconds;
  switch (id) {
    case kAttach:
      Attach(w);
      return;
    case kRemove:
      Start(w, DetachDisplay, plain, nullptr);
      return;
    case kRestore:
      Start(w, RestoreDesk, plain, nullptr);
      return;
    case kShowAll:
      Refresh(w);
      return;
    default:
      return;
  }
}

void ListMenu(void* /*context*/, int32_t /*id*/, int32_t row, int32_t x, int32_t y) {
  Window& w = window_state;
  if (w.busy || row < 0 || static_cast<size_t>(row) >= w.shown.size()) return;
  const DisplayRecord record = w.shown[static_cast<size_t>(row)];
  switch (ShowMenu(std::vector<std::string>(std::begin(kMenuItems), std::end(kMenuItems)), x, y)) {
    case 0:
      Use(w, record, LayoutWish::kPrimary, std::string());
      return;
    case 1:
      Use(w, record, LayoutWish::kOnly, std::string());
      return;
    case 2: {
      std::string mode = record.active ? ModeTextOf(record) : ControlText(kMode);
      if (AskText("Set mode", "Mode for " + RowWords(record)[0] + " (WIDTHxHEIGHTxREFRESH):", &mode)) {
        Use(w, record, LayoutWish::kKeep, mode);
      }
      return;
    }
    default:
      return;
  }
}

void DisplayChanged(void* /*context*/) { Refresh(window_state); }

// Closing never leaves a change half done: during a command the window
// stays until the command (which is bounded) has ended.
bool MayClose(void* /*context*/) {
  Window& w = window_state;
  if (w.busy) {
    w.closing = true;
    SetControlText(kStatus, "Closing once the command has ended...");
    return false;
  }
  SaveChoices(ChoicesShown());
  return true;
}

void Posted(void* /*context*/, void* raw) {
  const std::unique_ptr<Message> message(static_cast<Message*>(raw));
  Window& w = window_state;
  if (message->done) {
    Finished(w, message->outcome);
  } else if (w.busy && !w.closing) {
    SetControlText(kStatus, WaitingWords(message->waiting, message->seconds_left));
  }
}

}  // namespace

int RunControlWindow() {
  const DialogEvents events = {nullptr, Shown, Command, nullptr, ListMenu, DisplayChanged, MayClose, Posted};
  const bool ran = RunDialog(kWindow, events);
  if (window_state.worker.joinable()) window_state.worker.join();
  return ran ? 0 : 1;
}
