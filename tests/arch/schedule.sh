#!/usr/bin/env bash
# Every time of the show's schedule is written once, in src/show/schedule.h:
# the scenes, the cameras and the track's sections all read it from there.
# Names every other place in src/ or the asset generator that writes one of
# its absolute times (in milliseconds, or as fractional seconds).
set -euo pipefail
root=${1:-$(dirname "$0")/../..}
schedule=$root/src/show/schedule.h
# The absolute times: every literal of 10 s or more outside the finale's
# own table and the times counted from the finale's start. The valley's
# camera cuts are left out too: the greetings count their own seconds from
# the valley's start, and share numbers with them.
times=$(sed -e '/kFinaleCameras\[\] = {/,/^};/d' -e '/kCameraEnds\[\] = {/,/^};/d' \
            -e '/From the finale.s start/,$d' "$schedule" |
        grep -oE '\b[0-9]{5,}\b' | sort -un)
[ -n "$times" ] || { echo "no times found in $schedule"; exit 1; }
bad=0
for ms in $times; do
  patterns=("\\b$ms\\b")
  # 97740 is also written 97.74 (seconds); whole seconds are too common to look for.
  (( ms % 1000 )) && patterns+=("\\b$((ms / 1000))\\.$(printf '%03d' $((ms % 1000)) | sed 's/0*$//')\\b")
  for p in "${patterns[@]}"; do
    if hits=$(grep -rnE "$p" "$root/src" "$root/tools/assets" --include='*.cpp' --include='*.h' |
              grep -v "^$schedule:"); then
      echo "$hits" | sed "s|^$root/||; s|\$|   <- a schedule time outside the schedule|"
      bad=1
    fi
  done
done
[ "$bad" = 0 ] && echo "schedule: its $(wc -w <<<"$times") times are written in the schedule only"
exit "$bad"
