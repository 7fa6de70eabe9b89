#!/bin/bash
# Lists and extracts 1,000, 10,000 and 100,000 generated documents and prints, per step, the
# wall time, the CPU time, the peak memory and the ratio of each time to the step before it
# (at most 11 for ten times the documents means linear); "floor" writes the extraction's folders
# and files with nothing else done, which shows how much of the growth is the file system's. Each step runs REPEAT times (default 3),
# each into a new output folder, and the fastest run counts: the same run on this machine varies
# by a third from one time to the next; memory and stalls are the worst of all runs.
#   bench/scale.sh [MAX]       (default 100000)   Environment: QUENLITH_CLI, BENCH_OUT, REPEAT.
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
repeat=${REPEAT:-3}
# The file system's own share: the same folders and files written with nothing else done
# (bench/write-floor.cpp), from the output of the first extraction.
floor=$out/write-floor
if [[ ! -x $floor || $here/write-floor.cpp -nt $floor ]]; then
  g++ -O2 -std=c++20 -o "$floor" "$here/write-floor.cpp"
fi
printf '%-8s %9s %9s %9s %9s %7s %9s\n' step docs wall-s cpu-s rss-MB ratio stall-ms
previous_list="" previous_extract="" previous_floor="" previous_add="" previous_run=""
# keep PREFIX WALL CPU RSS [STALL]: keeps the fastest of the repeats of a step (and that run's CPU
# time), the largest peak memory and the longest stall of all of them.
keep() {
  local prefix=$1 wall=$2 cpu=$3 rss=$4 stall=${5:-0}
  local w=${prefix}_wall c=${prefix}_cpu r=${prefix}_rss s=${prefix}_stall
  if [[ -z ${!w:-} ]] || (($(echo "$wall < ${!w}" | bc))); then
    printf -v "$w" '%s' "$wall"
    printf -v "$c" '%s' "$cpu"
  fi
  [[ -n ${!r:-} ]] && (($(echo "$rss <= ${!r}" | bc))) || printf -v "$r" '%s' "$rss"
  [[ -n ${!s:-} ]] && ((stall <= ${!s})) || printf -v "$s" '%s' "$stall"
}

# report STEP N PREFIX PREVIOUS-VARIABLE [STALL-COLUMN]
report() {
  local step=$1 n=$2 prefix=$3 prev_var=$4 show_stall=${5:-}
  local w=${prefix}_wall c=${prefix}_cpu r=${prefix}_rss s=${prefix}_stall
  local ratio=-
  [[ -n ${!prev_var} ]] && ratio=$(printf '%.1f' "$(echo "${!w} / ${!prev_var}" | bc -l)")
  printf '%-8s %9d %9.2f %9.2f %9.1f %7s %9s\n' "$step" "$n" "${!w}" "${!c}" \
    "$(echo "${!r} / 1024" | bc -l)" "$ratio" "${show_stall:+${!s}}"
  printf -v "$prev_var" '%s' "${!w}"
}

for n in 1000 10000 100000; do
  ((n <= max)) || break
  corpus=$out/corpus-$n
  if [[ ! -f $corpus/.complete ]]; then
    rm -rf "$corpus"
    python3 "$here/make-scale-corpus.py" "$corpus" "$n"
    touch "$corpus/.complete"
  fi
  unset list_wall list_rss list_stall extract_wall extract_rss extract_stall
  unset floor_wall floor_rss floor_stall
  unset add_wall add_rss add_stall run_wall run_rss run_stall
  for ((r = 1; r <= repeat; r++)); do
    for step in list extract; do
      # A new output folder each time: creating many files right after deleting many makes ext4
      # search for the freed inodes, which would tax the next step.
      args=(list "$corpus")
      [[ $step == extract ]] && args=(extract -o "$out/x-$n-$r" "$corpus")
      /usr/bin/time -f '%e %U %S %M' -o "$out/time.txt" "$cli" "${args[@]}" > /dev/null || true
      read -r wall user sys rss < "$out/time.txt"
      keep "$step" "$wall" "$(echo "$user + $sys" | bc)" "$rss"
    done
    /usr/bin/time -f '%e %U %S %M' -o "$out/time.txt" "$floor" "$out/x-$n-1" "$out/x-floor-$n-$r" \
      > /dev/null || true
    read -r wall user sys rss < "$out/time.txt"
    keep floor "$wall" "$(echo "$user + $sys" | bc)" "$rss"
    if [[ -n $gui ]]; then
      mkdir -p "$out/x-gui-$n-$r"
      QT_QPA_PLATFORM=offscreen /usr/bin/time -f '%M' -o "$out/time.txt" "$gui" "$corpus" \
        "$out/x-gui-$n-$r" > "$out/gui.txt" 2> /dev/null || true
      rss=$(cat "$out/time.txt")
      for step in add run; do
        pattern='folder add:'
        [[ $step == run ]] && pattern='extraction:'
        read -r wall cpu stall < <(sed -n "s/^$pattern .* in \([0-9.]*\) s (cpu \([0-9.]*\) s), max event-loop stall: \([0-9]*\) ms.*/\1 \2 \3/p" "$out/gui.txt")
        keep "$step" "$wall" "$cpu" "$rss" "$stall"
      done
    fi
  done
  report list "$n" list previous_list
  report extract "$n" extract previous_extract
  report floor "$n" floor previous_floor
  if [[ -n $gui ]]; then
    report gui-add "$n" add previous_add stall
    report gui-run "$n" run previous_run stall
  fi
done
rm -rf "$out"/x-*
