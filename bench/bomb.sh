#!/bin/bash
# A 10 GiB decompression bomb (about 10 MB on disk): extraction must stop it at the size limit,
# with peak memory under 64 MB and no file left in the output folder.
#   bench/bomb.sh [GIGABYTES]     Environment: QUENLITH_CLI, BENCH_OUT.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=${BENCH_OUT:-$here/out}/bomb
gigabytes=${1:-10}
cli=${QUENLITH_CLI:-$(dirname "$here")/build/cli/quenlith-cli}
mkdir -p "$out"
[[ -f $out/bomb-$gigabytes.pdf ]] || python3 "$here/make-bomb.py" "$out/bomb-$gigabytes.pdf" "$gigabytes"
echo "document: $(du -h "$out/bomb-$gigabytes.pdf" | cut -f1), decoding to $gigabytes GiB"
rm -rf "$out/x"
status=0
/usr/bin/time -f '%e %M' -o "$out/time.txt" "$cli" extract -o "$out/x" "$out/bomb-$gigabytes.pdf" \
  > "$out/log.txt" 2>&1 || status=$?
read -r wall rss < <(tail -n 1 "$out/time.txt")
left=$(find "$out/x" -type f | wc -l)
echo "exit status $status in $wall s, peak RSS $((rss / 1024)) MB, files left: $left"
grep -m1 -i "stopped\|limit" "$out/log.txt" || true
rm -rf "$out/x"
