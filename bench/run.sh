#!/bin/bash
# Times quenlith-cli against the peers on one generated corpus, in one run.
#
#   bench/run.sh [--small]
#
# The corpus (seeded, so every run builds the same one) and all outputs go to bench/out/ (or
# $BENCH_OUT), never into the repository. --small takes 200 documents and 2 x 20 MB for a quick
# check; the full run (2,000 documents, 5 x 100 MB) takes a few minutes on two cores.
# Environment: QUENLITH_CLI (use this binary instead of building one), BUILD_DIR (where to build).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(dirname "$here")
py=/usr/bin/python3 # Debian's, which has python3-fitz and python3-pikepdf
out=${BENCH_OUT:-$here/out}
if [[ ${1:-} == --small ]]; then
  documents=200 big=2 bigmb=20
else
  documents=2000 big=5 bigmb=100
fi
corpus=$out/corpus-$documents-$big-$bigmb
rm -rf "$out/scratch"
mkdir -p "$out/scratch"

# A peer that is not installed would "run" in no time and pass for the fastest.
for tool in pdfdetach qpdf /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "bench: $tool is missing: run scripts/install-deps --bench" >&2; exit 1; }
done

cli=${QUENLITH_CLI:-}
if [[ -z $cli ]]; then
  build=${BUILD_DIR:-$out/build}
  cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUENLITH_BUILD_GUI=OFF \
    -DQUENLITH_BUILD_TESTS=OFF >/dev/null
  cmake --build "$build" --target quenlith-cli >/dev/null
  cli=$build/cli/quenlith-cli
fi
floor=$out/qpdf-floor
if [[ ! -x $floor || $here/qpdf-floor.cpp -nt $floor ]]; then
  g++ -O2 -std=c++20 -DPOINTERHOLDER_TRANSITION=4 -o "$floor" "$here/qpdf-floor.cpp" -lqpdf
fi
writefloor=$out/write-floor
if [[ ! -x $writefloor || $here/write-floor.cpp -nt $writefloor ]]; then
  g++ -O2 -std=c++20 -o "$writefloor" "$here/write-floor.cpp"
fi
if [[ ! -f $corpus/.complete ]]; then
  echo "Building the corpus in $corpus ..."
  rm -rf "$corpus"
  "$py" "$here/make-corpus.py" "$corpus" --documents "$documents" --big "$big" --big-mb "$bigmb"
  touch "$corpus/.complete"
fi

declare -A seconds memory cpu failed
# measure ID LABEL COMMAND...: runs COMMAND once, with @OUT@ in its arguments replaced by a new
# empty folder (left in $scratch for a look afterwards), and records the wall-clock
# seconds, the CPU seconds (user + system, children included) and the peak resident memory
# (largest process, /usr/bin/time -v) under ID.
# With REPEAT=N in its environment it runs COMMAND N times, each into a new folder, and keeps the
# fastest: the file-writing runs vary with the state ext4 was left in more than with the program.
measure() {
  local id=$1 label=$2
  shift 2
  local repeat=${REPEAT:-1} run status=0
  unset "seconds[$id]"
  for ((run = 1; run <= repeat; run++)); do
    # A new folder each time: creating thousands of files right after deleting thousands makes
    # ext4 search its inode tables for recently deleted ones, which would tax whoever runs next.
    scratch=$out/scratch/$id
    ((run == 1)) || scratch+=-$run
    mkdir -p "$scratch"
    local args=() arg
    for arg in "$@"; do args+=("${arg//@OUT@/$scratch}"); done
    local start=$EPOCHREALTIME
    /usr/bin/time -v -o "$out/time.txt" "${args[@]}" >/dev/null 2>"$out/stderr.txt" || status=$?
    local end=$EPOCHREALTIME
    local took
    took=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }')
    if [[ -z ${seconds[$id]:-} ]] || awk -v t="$took" -v s="${seconds[$id]}" 'BEGIN { exit !(t < s) }'; then
      seconds[$id]=$took
      memory[$id]=$(awk '/Maximum resident set size/ { printf "%d", $NF / 1024 }' "$out/time.txt")
      cpu[$id]=$(awk '/User time|System time/ { sum += $NF } END { printf "%.2f", sum }' "$out/time.txt")
    fi
  done
  ((repeat == 1)) || label+=" (best of $repeat)"
  local note=""
  ((status == 0)) || { note="  (exit status $status)"; failed[$id]=1; }
  printf '  %-52s %8.2f s %8.2f s %6s MB%s\n' "$label" "${seconds[$id]}" "${cpu[$id]}" "${memory[$id]}" \
    "$note"
}

# ratio ID BASE: how many times longer ID took than BASE.
ratio() {
  awk -v a="${seconds[$1]}" -v b="${seconds[$2]}" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'
}

files_in() { find "$1" -type f | wc -l; }

small=$corpus/small
bigdir=$corpus/big
loop='find "$1" -iname "*.pdf" -type f -print0 | while IFS= read -r -d "" f; do'
echo "quenlith-cli: $cli ($(nproc) cores; default --jobs is one per core)"
echo "Corpus: $documents small documents, $big x $bigmb MB attachments"
# Other work on the machine slows every figure alike but not the ratios evenly: say how busy it was.
echo "Load average before the run: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "Columns: wall-clock time, CPU time (user + system), peak memory. On a shared machine the CPU"
echo "time is the steadier figure."

echo
echo "Listing the small documents"
measure cat_small "floor: cat every byte" bash -c 'find "$1" -type f -print0 | xargs -0 cat' _ "$small"
measure list_j1 "quenlith-cli list --jobs 1" "$cli" list --jobs 1 "$small"
measure list "quenlith-cli list" "$cli" list "$small"
measure list_fitz "PyMuPDF script, one process" "$py" "$here/peer-fitz.py" list "$small"
measure list_pikepdf "pikepdf script, one process" "$py" "$here/peer-pikepdf.py" list "$small"
measure list_pdfdetach "pdfdetach -list, shell loop" bash -c "$loop pdfdetach -list \"\$f\"; done" _ "$small"
measure list_qpdf "qpdf --list-attachments, shell loop" bash -c "$loop qpdf --list-attachments \"\$f\"; done" _ "$small"

echo
echo "Extracting the small documents (files written)"
REPEAT=3 measure extract_j1 "quenlith-cli extract --jobs 1" "$cli" extract --jobs 1 -o @OUT@ "$small"
written_ours=$(files_in "$scratch")
# The same folders and files, written by the least program that does it safely.
REPEAT=3 measure write_floor "floor: write the same folders and files" "$writefloor" "$scratch" @OUT@/tree
REPEAT=3 measure extract "quenlith-cli extract" "$cli" extract -o @OUT@ "$small"
REPEAT=3 measure extract_fitz "PyMuPDF script, one process" "$py" "$here/peer-fitz.py" extract "$small" @OUT@
measure extract_pikepdf "pikepdf script, one process" "$py" "$here/peer-pikepdf.py" extract "$small" @OUT@
measure extract_pdfdetach "pdfdetach -saveall, shell loop" bash -c "$loop"' d="$2/$(basename "$f" .pdf)"; mkdir -p "$d"; pdfdetach -saveall -o "$d" "$f"; done' _ "$small" @OUT@
written_pdfdetach=$(files_in "$scratch")
measure extract_qpdf "qpdf --show-attachment per attachment, loop" bash -c "$loop"' d="$2/$(basename "$f" .pdf)"; mkdir -p "$d"; qpdf --list-attachments "$f" | sed -n "s/ -> [0-9]*,[0-9]*\$//p" | while IFS= read -r k; do qpdf --show-attachment="$k" "$f" > "$d/$k"; done; done' _ "$small" @OUT@
written_qpdf=$(files_in "$scratch")
echo "  files written: quenlith-cli $written_ours, pdfdetach $written_pdfdetach, qpdf $written_qpdf (name tree only)"

echo
echo "Writing the $big big attachments ($bigmb MB each)"
measure cat_big "floor: cat every byte" bash -c 'cat "$@"' _ "$bigdir"/*.pdf
measure zlib_big "floor: zlib inflate alone (to nowhere)" "$py" "$here/zlib-floor.py" "$corpus"/big-raw/*.zz
measure floor_big "floor: minimal libqpdf program" "$floor" @OUT@ "$bigdir"/*.pdf
measure floor_md5_big "floor: minimal libqpdf program + MD5" "$floor" --md5 @OUT@ "$bigdir"/*.pdf
measure big_j1 "quenlith-cli extract --jobs 1" "$cli" extract --jobs 1 -o @OUT@ "$bigdir"
measure big "quenlith-cli extract" "$cli" extract -o @OUT@ "$bigdir"
measure big_pdfdetach "pdfdetach -saveall, shell loop" bash -c "$loop"' d="$2/$(basename "$f" .pdf)"; mkdir -p "$d"; pdfdetach -saveall -o "$d" "$f"; done' _ "$bigdir" @OUT@
measure big_qpdf "qpdf --show-attachment, shell loop" bash -c "$loop"' d="$2/$(basename "$f" .pdf)"; mkdir -p "$d"; qpdf --list-attachments "$f" | sed -n "s/ -> [0-9]*,[0-9]*\$//p" | while IFS= read -r k; do qpdf --show-attachment="$k" "$f" > "$d/$k"; done; done' _ "$bigdir" @OUT@
measure big_fitz "PyMuPDF script, one process" "$py" "$here/peer-fitz.py" extract "$bigdir" @OUT@
measure big_pikepdf "pikepdf script, one process" "$py" "$here/peer-pikepdf.py" extract "$bigdir" @OUT@
rm -rf "$out/scratch"

echo
echo "Load average after the run: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "Ratios: time of each figure / time of quenlith-cli (default jobs); above 1 means we are faster"
for id in cat_small list_j1 list_fitz list_pikepdf list_pdfdetach list_qpdf; do
  printf '  list     %-18s %8s\n' "$id" "$(ratio "$id" list)"
done
for id in write_floor extract_j1 extract_fitz extract_pikepdf extract_pdfdetach extract_qpdf; do
  printf '  extract  %-18s %8s\n' "$id" "$(ratio "$id" extract)"
done
for id in cat_big zlib_big floor_big floor_md5_big big_j1 big_pdfdetach big_qpdf big_fitz big_pikepdf; do
  printf '  big      %-18s %8s\n' "$id" "$(ratio "$id" big)"
done

echo
echo "Targets"
verdict() { if awk "BEGIN { exit !($1) }"; then echo met; else echo MISSED; fi; }
echo "  list no slower than the PyMuPDF script:  ${seconds[list]} s vs ${seconds[list_fitz]} s: $(verdict "${seconds[list]} <= ${seconds[list_fitz]}")"
echo "  extract >= 20x faster than the pdfdetach loop: $(ratio extract_pdfdetach extract)x: $(verdict "$(ratio extract_pdfdetach extract) >= 20")"
mbps() { awk -v s="${seconds[$1]}" -v n="$big" -v m="$bigmb" 'BEGIN { printf "%.0f", n * m / s }'; }
echo "  (the big attachments declare /Params /CheckSum, which quenlith-cli verifies: compare with the"
echo "   floor + MD5 too: $(mbps floor_md5_big) MB/s)"
echo "  big attachments at >= 90% of the libqpdf floor (--jobs 1, one at a time like the floor):" \
  "$(mbps big_j1) MB/s vs $(mbps floor_big) MB/s = $(awk -v a="${seconds[floor_big]}" -v b="${seconds[big_j1]}" 'BEGIN { printf "%.0f", 100 * a / b }')%:" \
  "$(verdict "${seconds[floor_big]} >= 0.9 * ${seconds[big_j1]}")"
echo "  peak memory for the big attachments < 64 MB: --jobs 1 ${memory[big_j1]} MB, default ${memory[big]} MB:" \
  "$(verdict "${memory[big]} < 64 && ${memory[big_j1]} < 64")"

# The fastest peer of each kind of work that did its work, and how far ahead of it we are.
fastest() {
  local best=$1 id
  for id in "$@"; do
    [[ -n ${failed[$id]:-} ]] && continue
    [[ -n ${failed[$best]:-} ]] && { best=$id; continue; }
    awk -v a="${seconds[$id]}" -v b="${seconds[$best]}" 'BEGIN { exit !(a < b) }' && best=$id
  done
  echo "$best"
}
peer_list=$(fastest list_fitz list_pikepdf list_pdfdetach list_qpdf)
peer_extract=$(fastest extract_fitz extract_pikepdf extract_pdfdetach extract_qpdf)
peer_big=$(fastest big_fitz big_pikepdf big_pdfdetach big_qpdf)
echo "  list >= 2.5x the fastest peer ($peer_list): $(ratio "$peer_list" list)x: $(verdict "$(ratio "$peer_list" list) >= 2.5")"
echo "  extract >= 2x the fastest peer ($peer_extract): $(ratio "$peer_extract" extract)x: $(verdict "$(ratio "$peer_extract" extract) >= 2")"
echo "  extract within 1.5x of the file-writing floor: $(ratio extract write_floor)x: $(verdict "$(ratio extract write_floor) <= 1.5")"
# The floor writes on one thread and reads no document; --jobs 1 also parses 2,000 of them.
echo "  (--jobs 1 against the one-thread floor: $(ratio extract_j1 write_floor)x)"
echo "  big attachments >= 1.5x the fastest peer ($peer_big): $(ratio "$peer_big" big)x: $(verdict "$(ratio "$peer_big" big) >= 1.5")"

echo
echo "Headline: quenlith-cli against the fastest peer, $(date -u +%Y-%m-%d), $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')"
printf '  %-44s %8s %8s %7s\n' "work" "ours" "peer" "ratio"
printf '  %-44s %7ss %7ss %6sx\n' "list 2,000 small documents ($peer_list)" "${seconds[list]}" "${seconds[$peer_list]}" "$(ratio "$peer_list" list)"
printf '  %-44s %7ss %7ss %6sx\n' "extract them, 5,040 files ($peer_extract)" "${seconds[extract]}" "${seconds[$peer_extract]}" "$(ratio "$peer_extract" extract)"
printf '  %-44s %7ss %7ss %6sx\n' "write 5 x 100 MB attachments ($peer_big)" "${seconds[big]}" "${seconds[$peer_big]}" "$(ratio "$peer_big" big)"

# The times side by side, as a picture (gnuplot, when it is there).
if command -v gnuplot > /dev/null; then
  data=$out/times.dat
  {
    echo "work quenlith-cli PyMuPDF pikepdf qpdf-loop pdfdetach-loop"
    echo "list ${seconds[list]} ${seconds[list_fitz]} ${seconds[list_pikepdf]} ${seconds[list_qpdf]} ${seconds[list_pdfdetach]}"
    echo "extract ${seconds[extract]} ${seconds[extract_fitz]} ${seconds[extract_pikepdf]} ${seconds[extract_qpdf]} ${seconds[extract_pdfdetach]}"
    echo "big ${seconds[big]} ${seconds[big_fitz]} ${seconds[big_pikepdf]} ${seconds[big_qpdf]} ${seconds[big_pdfdetach]}"
  } > "$data"
  gnuplot -e "data='$data'; picture='$out/bench.png'" "$here/plot.gp" && echo "Plot: $out/bench.png"
fi
