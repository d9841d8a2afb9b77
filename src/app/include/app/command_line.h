#pragma once
// What the program answers on the terminal before any window opens: --help and --version,
// each given as the only argument. Every other command line names the address book's
// folder, as the start-up reads it.

#include <optional>

namespace app {

// When the arguments ask for the help text or the version, prints it on standard output
// and returns the exit code; otherwise returns nullopt and the program starts as usual.
// Needs no display: it runs before the QApplication is made.
std::optional<int> answerInformationRequest(int argc, char** argv);

}  // namespace app
