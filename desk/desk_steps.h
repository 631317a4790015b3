// The steps the desk commands share: the lock around a command, the desk
// saved before a change, and the outcome lines.
#pragma once

#include <string>

#include "desk/session.h"

// Takes the per-user lock for a command, or gives the outcome that ends it
// with 4 when another command holds it for the whole wait; `nothing` ends
// that line ("nothing sent", "nothing changed").
bool TakeCommandLockFor(Session& session, const char* nothing, CommandLock* lock, DeskOutcome* refused);

// Runs `body(session)` holding the lock.
template <typename Body>
DeskOutcome WithLock(Session& session, const char* nothing, Body&& body) {
  CommandLock lock{};
  DeskOutcome outcome{};
  if (!TakeCommandLockFor(session, nothing, &lock, &outcome)) return outcome;
  outcome = body(session);
  ReleaseCommandLock(lock);
  return outcome;
}

// Reads the configuration a command starts from, waiting out refused
// access within the command's wait. -1 when read, else the status of
// `outcome`, whose line ends with `nothing`.
int ReadToStart(Session& session, DisplayConfig* config, const char* nothing, DeskOutcome* outcome);

// Saves the desk before a change, as the user's: a desk saved by an earlier
// command is kept while a display of ours is there for it (`attach`: a
// saved desk with none of ours left is stale and set aside); one that
// cannot be read is set aside with a warning. `saved_now` tells whether
// this command wrote the file. Empty, or the line of the failure.
std::string SaveBeforeChange(Session& session, const DisplayConfig& config, bool attach, bool* saved_now);

// Where there is no Windows display configuration, the options that need
// one are refused with 7 before anything is sent; true with `outcome` then.
bool RefuseWithoutDisplays(Session& session, const char* verb, const char* nothing, DeskOutcome* outcome);

// 7 for a command that needs Windows' display configuration on a system without it.
DeskOutcome NeedsDisplayConfig(Session& session, const char* verb);

DeskOutcome Failure(Session& session, int status, const std::string& line);
DeskOutcome Success(Session& session, const std::string& line);
