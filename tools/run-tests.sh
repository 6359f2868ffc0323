#!/usr/bin/env bash
# Sets up, builds and runs every test:
#   1. the release build with every suite (library, platform, engine, terrain, shell);
#   2. the AddressSanitizer + UndefinedBehaviorSanitizer build of the suites labelled
#      "sanitize" (the math library and the hostile bitmap files);
#   3. the ThreadSanitizer build of the suites labelled "tsan" (threads, engine, input).
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "$(id -u)" -eq 0 ]; then
  bash tools/install-deps.sh
fi

cmake --preset default
cmake --build --preset default
ctest --preset default

cmake --preset debug
cmake --build --preset debug --target vantra_tests platform_bitmap_tests
ctest --preset debug -L sanitize

cmake --preset tsan
cmake --build --preset tsan --target engine_unit_tests engine_device_tests
ctest --preset tsan -L tsan
