#!/bin/bash
# Lists and extracts N paths that do not exist (--files-from) and prints each command's peak
# resident memory, which should not grow with N: the inputs, their folder names and the failures
# wait in temporary files.
#   bench/failed-list.sh [N]     Environment: QUENLITH_CLI, BENCH_OUT as for bench/run.sh.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=${BENCH_OUT:-$here/out}/failed-list
count=${1:-1000000}
cli=${QUENLITH_CLI:-$(dirname "$here")/build/cli/quenlith-cli}
mkdir -p "$out"
seq -f "$out/missing/document-%.0f.pdf" 1 "$count" > "$out/list.txt"
for command in list extract; do
  rm -rf "$out/x"
  args=(--files-from "$out/list.txt")
  [[ $command == extract ]] && args+=(-o "$out/x")
  /usr/bin/time -f '%M %e' -o "$out/time.txt" "$cli" "$command" "${args[@]}" > /dev/null || true
  read -r kib seconds < <(tail -n 1 "$out/time.txt")
  printf '%-8s %d missing documents: peak %d MiB, %s s\n' "$command" "$count" $((kib / 1024)) "$seconds"
done
rm -rf "$out/x" "$out/list.txt"
