#pragma once

#include <optional>
#include <ostream>

// The options the program answers without opening a window: --version and --help (also -v and
// -h). Returns the exit status when the arguments asked for one of them, or when an argument is
// neither one of them nor an option of Qt's own (-platform, -style, ...): then a line on err says
// so and the status is 2. Nothing when the program should start its window.
std::optional<int> answerCommandLine(int argc, const char* const* argv, std::ostream& out,
                                     std::ostream& err);
