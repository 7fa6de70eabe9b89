#!/bin/bash
# Lists and extracts 1,000, 10,000 and 100,000 generated documents and prints, per step, the
# wall time, the CPU time, the peak memory and the ratio of each time to the step before it
# (at most 11 for ten times the documents means linear).
#   bench/scale.sh [MAX]       (default 100000)   Environment: QUENLITH_CLI, BENCH_OUT.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=${BENCH_OUT:-$here/out}/scale
max=${1:-100000}
cli=${QUENLITH_CLI:-$(dirname "$here")/build/cli/quenlith-cli}
mkdir -p "$out"
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg), $(nproc) cores"
printf '%-8s %9s %9s %9s %9s %7s\n' step docs wall-s cpu-s rss-MB ratio
previous_list="" previous_extract=""
for n in 1000 10000 100000; do
  ((n <= max)) || break
  corpus=$out/corpus-$n
  if [[ ! -f $corpus/.complete ]]; then
    rm -rf "$corpus"
    python3 "$here/make-scale-corpus.py" "$corpus" "$n"
    touch "$corpus/.complete"
  fi
  for step in list extract; do
    # A new output folder each time: creating many files right after deleting many makes ext4
    # search for the freed inodes, which would tax the next step.
    args=(list "$corpus")
    [[ $step == extract ]] && args=(extract -o "$out/x-$n" "$corpus")
    /usr/bin/time -f '%e %U %S %M' -o "$out/time.txt" "$cli" "${args[@]}" > /dev/null || true
    read -r wall user sys rss < "$out/time.txt"
    cpu=$(echo "$user + $sys" | bc)
    prev_var=previous_$step
    ratio=-
    [[ -n ${!prev_var} ]] && ratio=$(printf '%.1f' "$(echo "$wall / ${!prev_var}" | bc -l)")
    printf '%-8s %9d %9.2f %9.2f %9.1f %7s\n' "$step" "$n" "$wall" "$cpu" "$(echo "$rss / 1024" | bc -l)" "$ratio"
    printf -v "$prev_var" '%s' "$wall"
  done
done
rm -rf "$out"/x-*
