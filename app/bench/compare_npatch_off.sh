#!/bin/bash
# Frames without N-patches against the device layer of another revision (by default the last
# one before the device drew N-patches): builds terrain_bench from that
# revision into build/peer-REV (kept for later runs), then runs its terrain frame with level
# of detail and this build's, alternately, ROUNDS times each. Prints each round's ratios
# (this build / peer), the ratio of the fastest rounds and the medians. The rasteriser's
# threads share the machine, so wall times follow its load; the drawing thread's CPU time,
# which holds the device layer's own work, varies less. Run from the repository root after
# building terrain_bench with the default preset.
set -euo pipefail
rev=${1:-9c2278d}
rounds=${2:-5}
root=$(pwd)
peer="$root/build/peer-$rev"
if [ ! -x "$peer/build/release/bin/terrain_bench" ]; then
  rm -rf "$peer" && mkdir -p "$peer"
  git archive "$rev" | tar -x -C "$peer"
  (cd "$peer" && cmake --preset default >/dev/null &&
    cmake --build --preset default --target terrain_bench terrain_maps >/dev/null)
fi
# Prints the frame's wall time and the calling thread's CPU time, in milliseconds.
frame() {
  "$1" --benchmark_filter=BM_FrameWithLevelOfDetail 2>/dev/null |
    awk '/BM_FrameWithLevelOfDetail/ { print $2, $4 }'
}
median() { sort -n | awk '{ r[NR] = $1 } END { print r[int((NR + 1) / 2)] }'; }
least() { sort -n | head -1; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }
wall=() cpu=() ownWalls=() peerWalls=()
for round in $(seq "$rounds"); do
  read -r peerWall peerCpu < <(frame "$peer/build/release/bin/terrain_bench")
  read -r ownWall ownCpu < <(frame "$root/build/release/bin/terrain_bench")
  wall+=("$(ratio "$ownWall" "$peerWall")")
  cpu+=("$(ratio "$ownCpu" "$peerCpu")")
  ownWalls+=("$ownWall")
  peerWalls+=("$peerWall")
  echo "round $round: this build $ownWall ms ($ownCpu ms CPU), $rev $peerWall ms" \
    "($peerCpu ms CPU); ratios ${wall[-1]} (${cpu[-1]} CPU)"
done
# Load from elsewhere only adds time, so the fastest round of each is the steadiest measure.
fastest=$(ratio "$(printf '%s\n' "${ownWalls[@]}" | least)" "$(printf '%s\n' "${peerWalls[@]}" | least)")
echo "without N-patches, this build / $rev (target <= 1.02): fastest rounds $fastest," \
  "median wall $(printf '%s\n' "${wall[@]}" | median)," \
  "median CPU of the drawing thread $(printf '%s\n' "${cpu[@]}" | median)"
