// The desktop program: Qt application, main frame and the renderer window.
#pragma once

namespace vantra::shell {

// Runs the desktop program until it quits; returns the exit code.
int RunDesktop(int argc, char** argv);

}  // namespace vantra::shell
