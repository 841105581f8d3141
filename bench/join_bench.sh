#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Joining three ~120 MB MJPEG clips with trelvane-cli, measured in the same run against cat of
# the same files and against ffmpeg's concat demuxer with stream copy. Prints the best of a few
# runs of each, the ratios, and the peak memory of each tool.
set -euo pipefail
build=${1:-build}
cli="$build/cli/trelvane-cli"
runs=${JOIN_BENCH_RUNS:-5}
[ -x "$cli" ] || { echo "join_bench: $cli is not built" >&2; exit 1; }
dir="$build/bench-data/join"
mkdir -p "$dir"

# One clip of about 120 MB (noise keeps the 720p frames large), copied twice more.
if [ ! -s "$dir/c.avi" ]; then
  ffmpeg -hide_banner -loglevel error -nostdin -y \
    -f lavfi -i "testsrc=size=1280x720:rate=25:duration=11" \
    -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=11" \
    -vf "noise=alls=30:allf=t" -c:v mjpeg -q:v 3 -pix_fmt yuvj420p \
    -c:a pcm_s16le -ac 2 "$dir/a.avi"
  cp "$dir/a.avi" "$dir/b.avi"
  cp "$dir/a.avi" "$dir/c.avi"
fi
printf "file '%s'\n" "$(realpath "$dir/a.avi")" "$(realpath "$dir/b.avi")" \
  "$(realpath "$dir/c.avi")" > "$dir/list.txt"
total=$(( $(stat -c %s "$dir/a.avi") * 3 ))

# run_once COMMAND...: prints the wall time (s, to the microsecond: time(1) rounds to 10 ms, a
# tenth of a run) and the peak RSS (KiB) of one run.
run_once() {
  local start t m
  rm -f "$dir/out.avi"
  sync  # the previous run's write-back must not fall into this one
  start=$EPOCHREALTIME
  /usr/bin/time -f "%M" -o "$dir/time.txt" "$@" > /dev/null 2>&1
  t=$(awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.4f", b - a }')
  read -r m < "$dir/time.txt"
  echo "$t $m"
}

# The tools take turns within each round, so that a busy moment of the machine falls on all of
# them alike; each keeps its best time and its largest peak.
declare -A best peak
# trelvane-cli flushes the joined file to the disk before it replaces an old one (a power cut must
# not leave an empty file where the user's was); "cat+fsync" is cat with the same promise.
tools=(cat cat+fsync trelvane-cli ffmpeg)
for _ in $(seq "$runs"); do
  for name in "${tools[@]}"; do
    case $name in
      cat) line=$(run_once sh -c "cat '$dir/a.avi' '$dir/b.avi' '$dir/c.avi' > '$dir/out.avi'") ;;
      cat+fsync) line=$(run_once sh -c \
        "cat '$dir/a.avi' '$dir/b.avi' '$dir/c.avi' > '$dir/out.avi' && sync '$dir/out.avi'") ;;
      trelvane-cli) line=$(run_once "$cli" join --quiet --overwrite -o "$dir/out.avi" \
        "$dir/a.avi" "$dir/b.avi" "$dir/c.avi") ;;
      ffmpeg) line=$(run_once ffmpeg -hide_banner -loglevel error -nostdin -y -f concat \
        -safe 0 -i "$dir/list.txt" -c copy "$dir/out.avi") ;;
    esac
    read -r t m <<< "$line"
    if [ -z "${best[$name]:-}" ] || awk "BEGIN{exit !($t < ${best[$name]})}"; then
      best[$name]=$t
    fi
    if [ "$m" -gt "${peak[$name]:-0}" ]; then peak[$name]=$m; fi
  done
done
rm -f "$dir/out.avi" "$dir/time.txt"

echo "Joining 3 MJPEG 1280x720 clips, $((total / 1048576)) MB in total; best of $runs runs"
printf "%-14s %10s %10s %12s %12s\n" tool seconds "x cat" "x cat+fsync" "peak MiB"
for name in "${tools[@]}"; do
  awk -v n="$name" -v t="${best[$name]}" -v c="${best[cat]}" -v d="${best[cat+fsync]}" \
    -v m="${peak[$name]}" 'BEGIN { printf "%-14s %10.3f %10.2f %12.2f %12.1f\n", n, t,
      (c > 0 ? t / c : 0), (d > 0 ? t / d : 0), m / 1024 }'
done
