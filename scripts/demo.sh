#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes three short sample clips in the build folder and joins them, trimmed, with trelvane-cli.
set -euo pipefail
build=${1:-build}
cli="$build/cli/trelvane-cli"
if [ ! -x "$cli" ]; then
  echo "demo: $cli is not built (run: cmake --build $build --target trelvane-cli)" >&2
  exit 1
fi
if ! command -v ffmpeg >/dev/null; then
  echo "demo: ffmpeg is needed to make the sample clips (scripts/install-deps.sh installs it)" >&2
  exit 1
fi
dir="$build/demo"
mkdir -p "$dir"
tones=(330 440 550)
for i in 1 2 3; do
  clip="$dir/clip$i.avi"
  # Three seconds each: a test picture with a running counter and a tone, MJPEG and 16-bit PCM.
  ffmpeg -hide_banner -loglevel error -nostdin -y \
    -f lavfi -i "testsrc=size=640x360:rate=25:duration=3" \
    -f lavfi -i "sine=frequency=${tones[$((i - 1))]}:sample_rate=48000:duration=3" \
    -c:v mjpeg -q:v 3 -pix_fmt yuvj420p -c:a pcm_s16le -ac 2 "$clip"
done
echo "== The sample clips"
"$cli" info "$dir"/clip1.avi "$dir"/clip2.avi "$dir"/clip3.avi
echo
echo "== Joining clip1, frames 25-49 of clip2 and clip3 up to frame 59"
"$cli" join --overwrite -o "$dir/joined.avi" \
  "$dir/clip1.avi" "$dir/clip2.avi@25-49" "$dir/clip3.avi@-59"
echo
echo "== The joined file"
"$cli" info "$dir/joined.avi"
