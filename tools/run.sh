#!/usr/bin/env bash
# Sets up, builds and runs VantraTest. Without a display the program runs headless: it
# renders 600 frames off screen, writes nothing but the statistics to standard output.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "$(id -u)" -eq 0 ]; then
  bash tools/install-deps.sh
fi
cmake --preset default
cmake --build --preset default
cd build/release/bin
exec ./VantraTest "$@"
