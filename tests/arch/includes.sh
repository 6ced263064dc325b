#!/usr/bin/env bash
# The modules of src/ include one way only, down the floors below; SDL is
# included by the platform layer alone. Names every include that breaks it.
#   math                    the bottom floor
#   show                    what the whole show shares (host table, clock, flags, room)
#   physics, image          math and show
#   render                  physics, image and below
#   landscape, offscreen    render and below
#   app                     everything, the platform layer included
#   platform                show and math only: it fills in the host table
set -euo pipefail
src=${1:-$(dirname "$0")/../../src}
declare -A floor=([math]=0 [show]=1 [physics]=2 [image]=2 [render]=3 [landscape]=4 [offscreen]=4 [app]=5)
bad=0
while IFS= read -r file; do
  rel=${file#"$src"/}
  module=${rel%%/*}
  while IFS= read -r line; do
    target=$(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([a-z_]*\)\/.*".*/\1/p' <<<"$line")
    header=$(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]\([^>"]*\)[>"].*/\1/p' <<<"$line")
    if [[ "$header" == SDL* ]] && [ "$module" != platform ]; then
      echo "$rel includes $header: only src/platform may include SDL"; bad=1
    fi
    [ -n "$target" ] && [ "$target" != "$module" ] || continue
    if [ "$module" = platform ]; then
      [[ "$target" == show || "$target" == math ]] || { echo "$rel includes $header: the platform layer may include only show and math"; bad=1; }
    elif [ "$target" = platform ]; then
      [ "$module" = app ] || { echo "$rel includes $header: only app may include the platform layer"; bad=1; }
    elif [ -z "${floor[$target]+x}" ] || [ -z "${floor[$module]+x}" ]; then
      echo "$rel includes $header: $module or $target is no known module"; bad=1
    elif [ "${floor[$target]}" -ge "${floor[$module]}" ]; then
      echo "$rel includes $header: $module may not include $target (not a lower floor)"; bad=1
    fi
  done < <(grep -E '^[[:space:]]*#[[:space:]]*include' "$file" || true)
done < <(find "$src" -name '*.cpp' -o -name '*.h' | sort)
[ "$bad" = 0 ] && echo "includes: every module includes only the floors below it"
exit "$bad"
