#!/bin/sh
# The 18-panel horseshoe end to end: one buckling surface per mode, panel and ply total, the
# structure that names them, and the certified lightest blended design (text report on
# standard output, JSON document in OUT.json, picture beside it). With --odd, odd totals blend
# too, each with a mid-plane ply.
set -eu
usage="usage: run.sh [--odd] BUILD_DIR OUT.json [kelm_blend options, e.g. --time-limit=600]"
odd=
if [ "${1:-}" = --odd ]; then odd=--odd; shift; fi
build=${1:?$usage}
out=${2:?$usage}
shift 2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 "$here/horseshoe_surfaces.py" $odd "$here/horseshoe.json" "$work" 12 48 >/dev/null
status=0
"$build/kelm_blend" "$work/structure.json" --json="$out" --svg="${out%.json}.svg" "$@" || status=$?
exit $status
