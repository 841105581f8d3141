#!/usr/bin/env bash
# Makes three short sample clips in the build folder and joins them, trimmed, with trelvane-cli.
set -euo pipefail
build=${1:-build}
echo "The demo join needs trelvane-cli, which is not built yet." >&2
exit 1
