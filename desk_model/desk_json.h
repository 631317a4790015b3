// The model's file: JSON, as tests and outside checks write it.
#pragma once

#include <string>

#include "desk_model/desk_model.h"

// Reads the model from `text`; empty string, or what is wrong with it. A
// member left out takes its default ("allowed", "extend", "works", no
// monitors); target and source ids left out are given the lowest free.
std::string ParseDeskModel(const std::string& text, DeskModel* model);

// The model as JSON, every member written.
std::string FormatDeskModel(const DeskModel& model);
