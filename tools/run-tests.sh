#!/usr/bin/env bash
# Sets up, builds and runs every test:
#   1. the release build with every suite (library, platform, engine, terrain, shell);
#   2. the AddressSanitizer + UndefinedBehaviorSanitizer build (-O1) with every suite again;
#   3. the ThreadSanitizer build of the suites labelled "tsan" (threads, engine, input) and of
#      the terrain suite (its leaves are built on every core);
#   4. the libFuzzer targets (clang), each run for VANTRA_FUZZ_SECONDS (30 by default) on a
#      copy of its seed corpus; any finding fails the run and is kept in build/fuzz/findings.
# Stage 1 includes the hostile-bitmap and elevation suites under valgrind's memcheck
# (label "memcheck").
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "$(id -u)" -eq 0 ]; then
  bash tools/install-deps.sh
fi

cmake --preset default
cmake --build --preset default
ctest --preset default

cmake --preset debug
cmake --build --preset debug
ctest --preset debug -j2

cmake --preset tsan
cmake --build --preset tsan --target engine_unit_tests engine_device_tests terrain_tests
# Only terrain_tests is built here, so the terrain label selects that suite alone. llvmpipe
# rasterises on the calling thread: its own threads sync inside the uninstrumented driver.
LP_NUM_THREADS=0 TSAN_OPTIONS="suppressions=$PWD/tools/tsan-suppressions.txt" \
  ctest --preset tsan -L 'tsan|terrain'

cmake --preset fuzz
cmake --build --preset fuzz --target bitmap_file_fuzzer bitmap_file_msan_fuzzer script_fuzzer \
  elevation_model_fuzzer
fuzz_seconds="${VANTRA_FUZZ_SECONDS:-30}"
mkdir -p build/fuzz/findings
fuzzers=(bitmap_file_fuzzer:bitmap bitmap_file_msan_fuzzer:bitmap script_fuzzer:script
  elevation_model_fuzzer:elevation)
for fuzzer in "${fuzzers[@]}"; do
  target="${fuzzer%%:*}"
  corpus="$(mktemp -d)"
  # New inputs go to the scratch corpus; the seeds in the repository stay as they are.
  # Standard error is closed for the target itself (the reader reports every refusal there);
  # libFuzzer and the sanitizers keep their own copy for findings.
  "build/fuzz/bin/$target" -max_total_time="$fuzz_seconds" -timeout=10 -close_fd_mask=2 \
    -print_final_stats=1 -artifact_prefix="build/fuzz/findings/$target-" \
    "$corpus" "fuzz/corpus/${fuzzer##*:}"
  rm -rf "$corpus"
done
# Reached only when every fuzzer ended without a finding (the script stops at the first error).
echo "fuzz: ${#fuzzers[@]} passed, 0 failed"
