#!/usr/bin/env bash
# Runs each libFuzzer target of the fuzz build on its own corpus, in turn,
# with the libFuzzer options given (a number of runs, or a time):
#   fuzz.sh FUZZ_BUILD_DIR [LIBFUZZER_OPTIONS...]
# board-check's corpus is seeded with the DLL images its test makes and the
# board DLLs of any Windows build beside (the maker-style DLLs, the stand-in,
# the recorder). A finding stops the run with libFuzzer's report and leaves
# its input in the build folder: make it a row of tst_boardcheck.
set -euo pipefail

dir=$1
shift
corpus=$dir/corpus
mkdir -p "$corpus/standin" "$corpus/boardcheck"

BOARDCHECK_FUZZ_SEEDS=$corpus/boardcheck "$dir/tests/tst_boardcheck" >/dev/null
builds=$(dirname "$dir")
for dll in "$builds"/windows-*/tests/deploy/maker/*/*.dll "$builds"/windows-*/bin/*Orvane_boardcontrol_api.dll \
    "$builds"/windows-*/bin/board-trace/*.dll; do
    [ -f "$dll" ] || continue
    cp "$dll" "$corpus/boardcheck/$(sha1sum <"$dll" | cut -c 1-40)"
done
echo "board-check's seeds: $(find "$corpus/boardcheck" -type f | wc -l) DLL images"

cd "$dir"
run() {
    local target=$1 max_len=$2
    shift 2
    echo "=== $target $*"
    "tests/fuzz/$target" -max_len="$max_len" -timeout=10 -print_final_stats=1 "$@" "corpus/${target%_libfuzzer}"
}
run standin_libfuzzer 4096 "$@"
run boardcheck_libfuzzer 131072 "$@"
