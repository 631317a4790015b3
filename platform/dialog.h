// A dialog window for a program that has one (Windows only): controls laid
// out in dialog units and drawn in the system's message font, reached by Tab
// and by their access keys, Enter pressing the default button and Esc asking
// to close; its events handed to plain callbacks on the window's thread. One
// dialog per process.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class ControlKind {
  kLabel,          // a static text; '&' marks the access key of the control after it
  kText,           // a static text that wraps, for status lines
  kEditCombo,      // an editable combo box with a drop-down list
  kCheck,          // a check box
  kRadio,          // a radio button; a group starts at `starts_group`
  kButton,         // a push button
  kDefaultButton,  // the push button Enter presses
  kList,           // a list view of rows and columns, one row selected at a time
  kProgress,       // a marquee progress bar, hidden while idle
};

struct ControlLayout {
  ControlKind kind;
  int32_t id;
  const char* text;  // UTF-8; '&' before the access key
  int16_t x;         // dialog units
  int16_t y;
  int16_t width;
  int16_t height;
  bool starts_group;  // the first of a radio group, or the next Tab stop after a group
};

struct DialogLayout {
  const char* title;
  int16_t width;  // dialog units
  int16_t height;
  const ControlLayout* controls;  // in Tab order
  size_t control_count;
};

// What the window tells its program, always on the window's own thread.
struct DialogEvents {
  void* context;
  void (*shown)(void* context);                  // once, before the first input
  void (*command)(void* context, int32_t id);    // a button or check box pressed, a radio button chosen
  void (*edited)(void* context, int32_t id);     // an edit combo's text changed or another item was picked
  // A row's context menu was asked for: `row` is the row (or -1), x and y
  // are where it opens, in screen pixels.
  void (*list_menu)(void* context, int32_t id, int32_t row, int32_t x, int32_t y);
  void (*display_changed)(void* context);  // Windows says the displays changed
  bool (*may_close)(void* context);        // Esc or the close box: false keeps it open for now
  void (*posted)(void* context, void* message);  // what PostToDialog sent
};

// Shows the dialog and runs it until CloseDialog. False when it cannot be
// shown.
bool RunDialog(const DialogLayout& layout, const DialogEvents& events);

// While it runs, on its thread:
void SetControlText(int32_t id, const std::string& text);
std::string ControlText(int32_t id);
void EnableControl(int32_t id, bool enabled);
void CheckControl(int32_t id, bool checked);
bool IsControlChecked(int32_t id);
void SetComboItems(int32_t id, const std::vector<std::string>& items);
// Columns: title and width in dialog units.
struct ListColumn {
  const char* title;
  int16_t width;
};
void SetListColumns(int32_t id, const std::vector<ListColumn>& columns);
// The rows, each its column texts; the selection stays on the same row number where there is one.
void SetListRows(int32_t id, const std::vector<std::vector<std::string>>& rows);
void ShowMarquee(int32_t id, bool running);
// A menu of `items` at x, y (screen pixels); the index of the one chosen,
// or -1. An item whose text is empty is a separator.
int32_t ShowMenu(const std::vector<std::string>& items, int32_t x, int32_t y);
// A small modal dialog asking for a line of text, `text` its start. True
// when it was given (OK), with `text` the answer.
bool AskText(const std::string& title, const std::string& prompt, std::string* text);
void CloseDialog();

// From any thread: hands `message` to the events' `posted` on the window's
// thread. False when the window is gone (the message is then the caller's).
bool PostToDialog(void* message);
