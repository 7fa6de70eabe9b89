#!/usr/bin/env bash
# Writes one 200 MB (or MEGABYTES) Flate-compressed attachment with write() and reports the
# peak memory (maximum resident set size) next to the qpdf command's for the same document.
#   bench/big-attachment.sh [MEGABYTES]
# The document and the output go to bench/out/ (or $BENCH_OUT), never into the repository.
set -euo pipefail
megabytes=${1:-200}
here=$(cd "$(dirname "$0")" && pwd)
repo=$(dirname "$here")
out=${BENCH_OUT:-$here/out}
build=${BUILD_DIR:-$out/build-big-attachment}
mkdir -p "$out"

cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUENLITH_BUILD_GUI=OFF \
  -DQUENLITH_BUILD_TESTS=OFF -DQUENLITH_BUILD_BENCH=ON > /dev/null
cmake --build "$build" --target quenlith-bench-write > /dev/null
tool=$build/quenlith-bench-write

document=$out/big-attachment-$megabytes.pdf
[[ -f $document ]] || "$tool" generate "$document" "$megabytes"
echo "document: $(du -h "$document" | cut -f1) holding a $megabytes MiB attachment"

peak() { sed -n 's/.*Maximum resident set size (kbytes): //p' "$1"; }
/usr/bin/time -v -o "$out/time-quenlith.txt" "$tool" write "$document" "$out/big.txt"
echo "quenlith: peak RSS $(peak "$out/time-quenlith.txt") KiB, output $(stat -c %s "$out/big.txt") bytes"
if command -v qpdf > /dev/null; then
  /usr/bin/time -v -o "$out/time-qpdf.txt" qpdf --show-attachment=big.txt "$document" > "$out/big-qpdf.txt"
  echo "qpdf --show-attachment: peak RSS $(peak "$out/time-qpdf.txt") KiB"
  cmp -s "$out/big.txt" "$out/big-qpdf.txt" && echo "bytes identical to qpdf's"
  rm -f "$out/big-qpdf.txt"
fi
rm -f "$out/big.txt"
