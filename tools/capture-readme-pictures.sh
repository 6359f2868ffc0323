#!/usr/bin/env bash
# Renders the README's pictures with the built program, headless: each docs/<name>.script
# is played in a scratch directory holding the built terrain maps, and its screen capture
# becomes docs/<name>.png. Run after building the default preset.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bin="$root/build/release/bin"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
cp "$bin"/heightMap.bmp "$bin"/textureMap.bmp "$bin"/detailMap.bmp "$scratch"
for name in landscape start-view; do
  (cd "$scratch" && "$bin/VantraTest" --headless --script "$root/docs/$name.script" >/dev/null)
  convert "$scratch/screen-capture.bmp" "$root/docs/$name.png"
  rm "$scratch/screen-capture.bmp"
done
# The elevation model's picture: the synthetic tile that tools/make-demo-elevation writes.
"$root/tools/make-demo-elevation" "$scratch"
(cd "$scratch" && "$bin/VantraTest" --headless --terrain N46E007.hgt \
  --script "$root/docs/your-terrain.script" >/dev/null 2>&1)
convert "$scratch/screen-capture.bmp" "$root/docs/your-terrain.png"
