#!/bin/bash
# Lists and extracts 1,000, 10,000 and 100,000 generated documents and prints, per step, the
# wall time, the CPU time, the peak memory and the ratio of each time to the step before it
# (at most 11 for ten times the documents means linear).
#   bench/scale.sh [MAX]       (default 100000)   Environment: QUENLITH_CLI, BENCH_OUT.
# With QUENLITH_GUI_BENCH set to a built quenlith-gui-bench (bench/gui-stall.sh builds one), the
# window's folder add and extraction run are timed too, with their longest event-loop stall; the
# peak memory of the window is that of the whole session (the rows and the finished run).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=${BENCH_OUT:-$here/out}/scale
max=${1:-100000}
cli=${QUENLITH_CLI:-$(dirname "$here")/build/cli/quenlith-cli}
mkdir -p "$out"
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg), $(nproc) cores"
gui=${QUENLITH_GUI_BENCH:-}
printf '%-8s %9s %9s %9s %9s %7s %9s\n' step docs wall-s cpu-s rss-MB ratio stall-ms
previous_list="" previous_extract="" previous_add="" previous_run=""
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
  if [[ -n $gui ]]; then
    rm -rf "$out/x-gui-$n" && mkdir -p "$out/x-gui-$n"
    QT_QPA_PLATFORM=offscreen /usr/bin/time -f '%M' -o "$out/time.txt" "$gui" "$corpus" "$out/x-gui-$n" \
      > "$out/gui.txt" 2> /dev/null || true
    rss=$(cat "$out/time.txt")
    for step in add run; do
      pattern='folder add:'
      [[ $step == run ]] && pattern='extraction:'
      read -r wall cpu stall < <(sed -n "s/^$pattern .* in \([0-9.]*\) s (cpu \([0-9.]*\) s), max event-loop stall: \([0-9]*\) ms.*/\1 \2 \3/p" "$out/gui.txt")
      prev_var=previous_$step
      ratio=-
      [[ -n ${!prev_var} ]] && ratio=$(printf '%.1f' "$(echo "$wall / ${!prev_var}" | bc -l)")
      printf '%-8s %9d %9.2f %9.2f %9.1f %7s %9s\n' "gui-$step" "$n" "$wall" "$cpu" "$(echo "$rss / 1024" | bc -l)" "$ratio" "$stall"
      printf -v "$prev_var" '%s' "$wall"
    done
  fi
done
rm -rf "$out"/x-*
