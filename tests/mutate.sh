#!/bin/sh
# Shows whether the tests catch a fault: puts one sed edit into a product file, builds and runs
# the given test executables, and puts the file back (git checkout) whatever happens.
#   tests/mutate.sh FILE 'SED-EXPRESSION' [TARGET...]    (default: quenlith_cli_tests)
# Prints the tests that failed, or NOT CAUGHT (exit status 1). Build folder: $BUILD, else build.
set -u
file=$1
expression=$2
shift 2
[ $# -gt 0 ] || set -- quenlith_cli_tests
build=${BUILD:-build}
trap 'git checkout -- "$file"' EXIT INT TERM
sed -i "$expression" "$file"
if git diff --quiet -- "$file"; then
    echo "the edit changes nothing in $file"
    exit 2
fi
cmake --build "$build" --target "$@" >/dev/null || { echo "the mutation does not build"; exit 2; }
for target in "$@"; do
    failed=$(find "$build/tests" -type f -name "$target" -exec {} \; 2>&1 | grep '^\[  FAILED  \] .*)$')
    if [ -n "$failed" ]; then
        echo "caught by $target:"
        printf "%s\n" "$failed" | sed "s/ (.*//; s/, where GetParam.*//" | sort -u
        exit 0
    fi
done
echo "NOT CAUGHT"
exit 1
