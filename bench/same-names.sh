#!/bin/bash
# Extracts one document with N attachments that all carry the same name, and one with N/10,
# and prints both times and their ratio: about 10 when the clash rule is linear.
#   bench/same-names.sh [N]     Environment: QUENLITH_CLI, BENCH_OUT as for bench/run.sh.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=${BENCH_OUT:-$here/out}/same-names
count=${1:-200000}
cli=${QUENLITH_CLI:-$(dirname "$here")/build/cli/quenlith-cli}
mkdir -p "$out"
declare -A took
for n in $((count / 10)) "$count"; do
  [[ -f $out/same-$n.pdf ]] || python3 "$here/same-names.py" "$out/same-$n.pdf" "$n"
  rm -rf "$out/x-$n"
  start=$EPOCHREALTIME
  "$cli" extract --jobs 1 -o "$out/x-$n" "$out/same-$n.pdf" > /dev/null
  took[$n]=$(echo "$EPOCHREALTIME - $start" | bc)
  files=$(ls "$out/x-$n/same-$n" | wc -l)
  printf '%8d same-named attachments: %6.2f s, %d files\n' "$n" "${took[$n]}" "$files"
  rm -rf "$out/x-$n"
done
printf 'ratio for 10x the attachments: %.1f (10 = linear)\n' \
  "$(echo "${took[$count]} / ${took[$((count / 10))]}" | bc -l)"
