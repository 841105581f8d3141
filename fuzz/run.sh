#!/usr/bin/env bash
# Runs every fuzz target built in the given folder for the given number of seconds each.
set -euo pipefail
build=${1:-build-fuzz}
seconds=${2:-60}
shopt -s nullglob
targets=("$build"/fuzz/fuzz_*)
if [ ${#targets[@]} -eq 0 ]; then
  echo "no fuzz targets built in $build"
  exit 0
fi
for t in "${targets[@]}"; do
  [ -x "$t" ] || continue
  name=$(basename "$t")
  seeds="fuzz/seeds/$name"
  work="$build/fuzz/corpus-$name"
  mkdir -p "$work"
  extra=()
  [ -d "$seeds" ] && extra+=("$seeds")
  # The reader also starts from the real-world samples (read-only: new inputs go to $work).
  corpus="$(dirname "$0")/../../shared/corpus"
  [ "$name" = fuzz_avi_reader ] && [ -d "$corpus" ] && extra+=("$corpus")
  [ -f "$build/fuzz/$name.seeds" ] && while read -r d; do extra+=("$d"); done < "$build/fuzz/$name.seeds"
  echo "== $name: ${seconds}s"
  "$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    "$work" "${extra[@]}" 2>&1 | tail -n 15
done
