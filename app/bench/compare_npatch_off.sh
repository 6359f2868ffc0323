#!/bin/bash
# Frames without N-patches against the device layer of another revision (main by default):
# builds terrain_bench from that revision into build/peer-REV, then runs its terrain frame
# with level of detail and this build's, alternately, ROUNDS times each. Prints each
# round's ratio (this build / peer) and the median. Run from the repository root after
# building terrain_bench with the default preset.
set -euo pipefail
rev=${1:-main}
rounds=${2:-5}
root=$(pwd)
peer="$root/build/peer-$rev"
if [ ! -x "$peer/build/release/bin/terrain_bench" ]; then
  rm -rf "$peer" && mkdir -p "$peer"
  git archive "$rev" | tar -x -C "$peer"
  (cd "$peer" && cmake --preset default >/dev/null &&
    cmake --build --preset default --target terrain_bench terrain_maps >/dev/null)
fi
frame() {
  "$1" --benchmark_filter=BM_FrameWithLevelOfDetail 2>/dev/null |
    awk '/BM_FrameWithLevelOfDetail/ { print $2 }'
}
ratios=()
for round in $(seq "$rounds"); do
  peerTime=$(frame "$peer/build/release/bin/terrain_bench")
  ownTime=$(frame "$root/build/release/bin/terrain_bench")
  ratio=$(awk -v a="$ownTime" -v b="$peerTime" 'BEGIN { printf "%.3f", a / b }')
  echo "round $round: this build $ownTime ms, $rev $peerTime ms, ratio $ratio"
  ratios+=("$ratio")
done
printf '%s\n' "${ratios[@]}" | sort -n |
  awk '{ r[NR] = $1 } END { printf "median ratio without N-patches (this build / peer): %s (target <= 1.02)\n", r[int((NR + 1) / 2)] }'
