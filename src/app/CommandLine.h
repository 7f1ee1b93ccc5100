#pragma once

#include <optional>
#include <ostream>

// The options the program answers without opening a window: --version and --help (also -v and
// -h). Returns the exit status when the arguments asked for one of them, and nothing when the
// program should start its window. Any other argument is left to Qt.
std::optional<int> answerCommandLine(int argc, const char* const* argv, std::ostream& out);
