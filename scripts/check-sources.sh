#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks what the compiler cannot: every source file carries its licence line, and the platform
# implementations depend on no logic or window folder (only on src/platform's interfaces and the
# media contract they implement). Prints each offence and fails when there is one.
set -euo pipefail
cd "$(dirname "$0")/.."
status=0

missing=$(git ls-files '*.cpp' '*.h' '*.h.in' '*CMakeLists.txt' '*.sh' '*.1' .ci/run Makefile |
  while read -r f; do head -n 3 "$f" | grep -q 'SPDX-License-Identifier: GPL-3.0-or-later' || echo "$f"; done)
if [ -n "$missing" ]; then
  echo "no SPDX-License-Identifier line at the top of:"
  echo "$missing"
  status=1
fi

# Folders of logic and windows that src/platform must not include; of media/ only the contract
# of the video-file operations, which the AVI library implements.
upward='(job|join|preview|settings|ui|text|app)/'
offences=$( (git grep -n -E "^#include \"$upward" -- 'src/platform/*' || true
  git grep -n -E '^#include "media/' -- 'src/platform/*' | grep -v '"media/vbvfw.h"' || true))
if [ -n "$offences" ]; then
  echo "src/platform includes logic or windows:"
  echo "$offences"
  status=1
fi
exit $status
