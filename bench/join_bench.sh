#!/usr/bin/env bash
# Joining three ~120 MB MJPEG clips with trelvane-cli, measured in the same run against cat of
# the same files and against ffmpeg's concat demuxer with stream copy. Prints the best of a few
# runs of each, the ratios, and the peak memory of each tool.
set -euo pipefail
build=${1:-build}
cli="$build/cli/trelvane-cli"
runs=${JOIN_BENCH_RUNS:-3}
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

# measure NAME COMMAND...: best wall time (s) and largest peak RSS (KiB) over the runs.
measure() {
  local name=$1; shift
  local best="" peak=0
  for _ in $(seq "$runs"); do
    rm -f "$dir/out.avi"
    /usr/bin/time -f "%e %M" -o "$dir/time.txt" "$@" > /dev/null 2>&1
    read -r t m < "$dir/time.txt"
    if [ -z "$best" ] || awk "BEGIN{exit !($t < $best)}"; then best=$t; fi
    [ "$m" -gt "$peak" ] && peak=$m
  done
  echo "$name $best $peak"
}

cat_line=$(measure cat sh -c "cat '$dir/a.avi' '$dir/b.avi' '$dir/c.avi' > '$dir/out.avi'")
join_line=$(measure trelvane-cli "$cli" join --quiet --overwrite -o "$dir/out.avi" \
  "$dir/a.avi" "$dir/b.avi" "$dir/c.avi")
ffmpeg_line=$(measure ffmpeg ffmpeg -hide_banner -loglevel error -nostdin -y -f concat -safe 0 \
  -i "$dir/list.txt" -c copy "$dir/out.avi")
rm -f "$dir/out.avi" "$dir/time.txt"

echo "Joining 3 MJPEG 1280x720 clips, $((total / 1048576)) MB in total; best of $runs runs"
printf "%-14s %10s %10s %12s\n" tool seconds "x cat" "peak MiB"
cat_time=$(echo "$cat_line" | cut -d' ' -f2)
for line in "$cat_line" "$join_line" "$ffmpeg_line"; do
  read -r name t m <<< "$line"
  awk -v n="$name" -v t="$t" -v c="$cat_time" -v m="$m" \
    'BEGIN { printf "%-14s %10.2f %10.2f %12.1f\n", n, t, (c > 0 ? t / c : 0), m / 1024 }'
done
