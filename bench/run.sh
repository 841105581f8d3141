#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs every benchmark built in the given folder.
set -euo pipefail
build=${1:-build}
shopt -s nullglob
for b in "$build"/bench/bench_*; do
  [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  "$b"
done
bash "$(dirname "$0")/join_bench.sh" "$build"
bash "$(dirname "$0")/trim_bench.sh" "$build"
