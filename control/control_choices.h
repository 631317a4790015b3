// What the control window remembers between runs: the last mode, HDR,
// audio and layout, in the user's state folder beside the saved desk.
#pragma once

#include <string>

#include "desk/desk.h"

struct ControlChoices {
  std::string mode;  // WIDTHxHEIGHTxREFRESH
  bool hdr;
  bool audio;
  LayoutWish layout;

  friend bool operator==(const ControlChoices&, const ControlChoices&) = default;
};

// 1920x1080x60, SDR, no audio, extend the desk.
ControlChoices DefaultChoices();

// The file's text: one "key value" line each, after a first line naming it.
std::string FormatChoices(const ControlChoices& choices);

// Reads the text back; false, leaving `choices` as it was, for anything
// but the whole text as FormatChoices writes it with a mode that parses.
bool ParseChoices(const std::string& text, ControlChoices* choices);

// The remembered choices; the defaults when there are none or the file is damaged.
ControlChoices LoadChoices();

// Writes the choices whole or not at all. False when they could not be written.
bool SaveChoices(const ControlChoices& choices);
