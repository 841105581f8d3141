#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Trimming a long clip: joining its last 1% must cost about what joining its first 1% costs, as
# frames before a segment are not read. Both measured in the same run as the processor time (user
# + system) summed over several runs, which a busy machine disturbs far less than wall time and
# the clock's 10 ms steps blur less than a single run; last / first should stay at or below 1.5.
set -euo pipefail
build=${1:-build}
cli="$build/cli/trelvane-cli"
runs=${TRIM_BENCH_RUNS:-10}
[ -x "$cli" ] || { echo "trim_bench: $cli is not built" >&2; exit 1; }
dir="$build/bench-data/trim"
mkdir -p "$dir"

# 100,000 small frames with 8 kHz audio: the index is long, the frames are cheap.
frames=100000
if [ ! -s "$dir/long.avi" ]; then
  ffmpeg -hide_banner -loglevel error -nostdin -y \
    -f lavfi -i "color=c=gray:size=16x16:rate=100" \
    -f lavfi -i "sine=frequency=440:sample_rate=8000" -t $((frames / 100)) \
    -c:v rawvideo -pix_fmt gray -c:a pcm_u8 "$dir/long.avi"
fi
slice=$((frames / 100))

cpu() {
  local total=0
  for _ in $(seq "$runs"); do
    rm -f "$dir/out.avi"
    /usr/bin/time -f "%U %S" -o "$dir/time.txt" "$cli" join --quiet -o "$dir/out.avi" "$@" \
      > /dev/null 2>&1
    local t
    total=$(awk -v s="$total" '{ printf "%.2f", s + $1 + $2 }' "$dir/time.txt")
  done
  echo "$total"
}

first=$(cpu "$dir/long.avi@0-$((slice - 1))")
last=$(cpu "$dir/long.avi@$((frames - slice))-$((frames - 1))")
rm -f "$dir/out.avi" "$dir/time.txt"
echo "Trimming $slice of $frames frames; processor time of $runs runs each"
awk -v f="$first" -v l="$last" 'BEGIN {
  printf "first 1%%  %8.2f s\nlast 1%%   %8.2f s\n", f, l
  printf "last / first %6.2f (at most 1.5)\n", (f > 0 ? l / f : 0) }'
