#include "desk/desk_steps.h"

#include "desk/desk_text.h"
#include "desk/saved_desk.h"
#include "platform/user_state.h"

DeskOutcome Failure(Session& session, int status, const std::string& line) {
  return DeskOutcome{status, session.warnings, line, true};
}

DeskOutcome Success(Session& session, const std::string& line) {
  return DeskOutcome{kExitSuccess, session.warnings, line, false};
}

bool TakeCommandLockFor(Session& session, const char* nothing, CommandLock* lock, DeskOutcome* refused) {
  switch (TakeLock(session, lock)) {
    case LockTaken::kBusy:
      *refused = Failure(session, kExitNotSent, std::string(kAnotherCommand) + "; " + nothing);
      return false;
    case LockTaken::kFailed:
      *refused = Failure(session, kExitNotSent,
                         "cannot take velmorin-display's lock in " + DisplayStateFolder() + "; " + nothing);
      return false;
    case LockTaken::kTaken:
      break;
  }
  return true;
}

int ReadToStart(Session& session, DisplayConfig* config, const char* nothing, DeskOutcome* outcome) {
  const DisplayCallResult read =
      ReadPatiently(session, config, session.deadline, true, "Windows to allow access to the display configuration");
  switch (read.status) {
    case DisplayCallStatus::kDone:
      return -1;
    case DisplayCallStatus::kAccessDenied:
      *outcome = Failure(session, kExitNotSent, ReadProblem(read) + "; " + nothing);
      break;
    case DisplayCallStatus::kNotSupported:
    case DisplayCallStatus::kNoDisplayConfig:
      *outcome = Failure(session, kExitNoDisplayConfig, ReadProblem(read) + "; " + nothing);
      break;
    case DisplayCallStatus::kChanging:
    case DisplayCallStatus::kFailed:
      *outcome = Failure(session, kExitFailure, ReadProblem(read) + "; " + nothing);
      break;
  }
  return outcome->status;
}

std::string SaveBeforeChange(Session& session, const DisplayConfig& config, bool attach, bool* saved_now) {
  *saved_now = false;
  DisplayConfig saved{};
  std::string problem;
  const std::string path = SavedDeskPath();
  switch (ReadSavedDesk(&saved, &problem)) {
    case DeskRead::kNone:
      break;
    case DeskRead::kUnreadable: {
      const std::string aside = SetSavedDeskAside();
      if (aside.empty()) {
        session.warnings.push_back("the saved layout " + path + " cannot be read back (" + problem +
                                   ") nor set aside; it is left as it is, and this desk is not saved");
        return std::string();
      }
      session.warnings.push_back("the saved layout " + path + " cannot be read back (" + problem +
                                 "); it was set aside as " + aside);
      break;
    }
    case DeskRead::kRead:
      // Kept while a display of ours is there for a detach to undo; with
      // none left it is a crash's or a failed restore's, and today's desk
      // is the user's. Where it cannot be moved it is simply replaced.
      if (!attach || CountOurs(ListDisplays(config)) > 0) return std::string();
      SetSavedDeskAside();
      break;
  }
  switch (SaveDesk(config)) {
    case DeskSave::kSaved:
      *saved_now = true;
      return std::string();
    case DeskSave::kOursOnly:
      return std::string();
    case DeskSave::kFailed:
      break;
  }
  return "cannot save the layout to " + (path.empty() ? std::string("a state folder (none can be found)") : path);
}

bool RefuseWithoutDisplays(Session& session, const char* verb, const char* nothing, DeskOutcome* outcome) {
  const DeskOrder& order = *session.order;
  const char* option = order.wait_given                     ? "--wait"
                       : order.layout == LayoutWish::kPrimary ? "--primary"
                       : order.layout == LayoutWish::kOnly    ? "--only"
                                                              : nullptr;
  if (option == nullptr) return false;
  *outcome = Failure(session, kExitNoDisplayConfig,
                     std::string(verb) + " " + option +
                         " needs Windows' display configuration, which this system does not have; " + nothing);
  return true;
}

DeskOutcome NeedsDisplayConfig(Session& session, const char* verb) {
  return Failure(session, kExitNoDisplayConfig,
                 std::string(verb) + " needs Windows' display configuration, which this system does not have");
}
