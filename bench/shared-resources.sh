#!/bin/bash
# Times `quenlith-cli list` on documents whose pages all share one /Resources of many form
# XObjects (bench/make-shared-resources.py), beside `qpdf --check` as the floor of reading them:
# the listing must grow with the document's size, not with pages x forms.
#   bench/shared-resources.sh ["PAGESxFORMS ..."]   (default "2000x200 20000x4000 30000x20000")
#   Environment: QUENLITH_CLI, BENCH_OUT.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=${BENCH_OUT:-$here/out}/shared-resources
cli=${QUENLITH_CLI:-$(dirname "$here")/build/cli/quenlith-cli}
mkdir -p "$out"
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg), $(nproc) cores"
printf '%-12s %9s %9s %9s\n' shape size-MB list-s qpdf-s
for shape in ${1:-2000x200 20000x4000 30000x20000}; do
  pages=${shape%x*} forms=${shape#*x}
  pdf=$out/shared-$shape.pdf
  [[ -f $pdf ]] || python3 "$here/make-shared-resources.py" "$pdf" "$pages" "$forms"
  start=$(date +%s.%N)
  "$cli" list "$pdf" > "$out/list-$shape.txt"
  list=$(echo "$(date +%s.%N) - $start" | bc)
  grep -q 'af.txt' "$out/list-$shape.txt" || { echo "af.txt not listed for $shape" >&2; exit 1; }
  start=$(date +%s.%N)
  qpdf --check "$pdf" > /dev/null
  check=$(echo "$(date +%s.%N) - $start" | bc)
  printf '%-12s %9.1f %9.2f %9.2f\n' "$shape" "$(echo "$(stat -c %s "$pdf") / 1048576" | bc -l)" "$list" "$check"
done
