#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
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
  log="$build/fuzz/$name.log"
  # Inputs are capped at 128 KiB: the multi-megabyte corpus files still seed their headers and
  # first chunks, and the fuzzer keeps a useful speed.
  if ! "$t" -max_total_time="$seconds" -max_len=131072 -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 "$work" "${extra[@]}" >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "fuzz target $name failed; the input is saved in the current folder" >&2
    exit 1
  fi
  tail -n 12 "$log"
done
