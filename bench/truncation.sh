#!/bin/sh
# Documents cut short: each corpus document cut at 50, 75, 90 and 97 % of its length, the
# attachments that come back byte-exact for PyMuPDF and for ours, and our files with other bytes.
#   bench/truncation.sh [BUILD]        ours: BUILD/quenlith-bench-recover (QUENLITH_BUILD_BENCH=ON)
#   OURS=cli bench/truncation.sh [BUILD]   ours: BUILD/cli/quenlith-cli extract --unlisted
# The corpus: $QUENLITH_CORPUS_DIR, default ../shared/corpus beside the repository.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
corpus=${QUENLITH_CORPUS_DIR:-$here/../../shared/corpus}
if [ "${OURS:-}" = cli ]; then
    wrapper=$(mktemp)
    trap 'rm -f "$wrapper"' EXIT
    printf '#!/bin/sh\nexec "%s" extract --unlisted -o "$1" "$2"\n' "$build/cli/quenlith-cli" >"$wrapper"
    chmod +x "$wrapper"
    set -- "$wrapper"
else
    set -- "$build/quenlith-bench-recover"
fi
exec /usr/bin/python3 "$here/truncation.py" "$corpus" "$@"
