// The model's file, shared by the processes that stand in for Windows and
// the driver: each holds it locked while it reads and changes it.
#pragma once

#include <cstdint>
#include <string>

#include "desk_model/desk_model.h"

// Milliseconds of the system clock, which both sides share: arrivals are
// due at such a time.
int64_t ModelClockMs();

// Calls `change` with the model of the file `path`, brought to the present
// (arrivals that are due have come), and writes it back when that changed
// anything. The file is locked throughout. Empty string, or what went
// wrong (it cannot be opened, locked, read or written, or it is no model).
template <typename Change>
std::string UpdateDeskModel(const std::string& path, Change&& change);

// The same with a plain function, for the template above.
std::string UpdateDeskModelWith(const std::string& path, void (*change)(DeskModel*, void*), void* context);

template <typename Change>
std::string UpdateDeskModel(const std::string& path, Change&& change) {
  return UpdateDeskModelWith(
      path, [](DeskModel* model, void* context) { (*static_cast<Change*>(context))(model); },
      static_cast<void*>(&change));
}
