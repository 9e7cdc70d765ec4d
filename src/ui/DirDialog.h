// "Choose a Directory": the platform's directory chooser.
#pragma once

#include <string>

class QWidget;

namespace ts {

// Runs the chooser starting at start; returns the chosen directory without a trailing
// separator (the root stays "/"), or an empty string when the user cancelled.
std::string ChooseDirectory(QWidget* parent, const std::string& start);

// The chooser's answer as the program uses it: absolute, without a trailing separator.
std::string ChosenDirectory(const std::string& selected);

}  // namespace ts
