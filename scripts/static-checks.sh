#!/usr/bin/env bash
# Fails on an unformatted source file or a clang-tidy finding in the project's
# own code. BUILD_DIR must hold a configured build (compile_commands.json).
#   static-checks.sh BUILD_DIR
set -euo pipefail

build=$1
cd "$(dirname "$0")/.."
for tool in clang-format clang-tidy; do
    command -v "$tool" >/dev/null || { echo "static-checks.sh: $tool not found. $(cat scripts/install-hint.txt)" >&2; exit 1; }
done
[ -f "$build/compile_commands.json" ] || { echo "static-checks.sh: no $build/compile_commands.json; configure first" >&2; exit 1; }

echo "--- clang-format"
mapfile -t sources < <(git ls-files '*.c' '*.cpp' '*.h')
if ! clang-format --dry-run --Werror "${sources[@]}"; then
    echo "FAIL: the files above are not formatted; run: clang-format -i <file>" >&2
    exit 1
fi

echo "--- clang-tidy"
# What this build compiles: the Windows-only units (the binding, its
# benchmark) are checked by the Windows builds' warnings, as errors in CI.
mapfile -t units < <(git ls-files '*.c' '*.cpp' | while read -r unit; do
    grep -qF "\"file\": \"$PWD/$unit\"" "$build/compile_commands.json" && echo "$unit"; done)
echo "checking ${#units[@]} of $(git ls-files '*.c' '*.cpp' | wc -l) units, those this build compiles"
# The build's generated moc sources must exist for the test units to parse.
# clang-tidy exits non-zero when it cannot check a file (a compile error, a
# crash); that fails the check as surely as a finding does.
status=0
printf '%s\n' "${units[@]}" |
    xargs -P "$(nproc 2>/dev/null || echo 2)" -n 1 clang-tidy -p "$build" --quiet \
        --header-filter="^$PWD/(app|ui|board|tests|bench)/" \
        --extra-arg=-Wno-gnu-zero-variadic-macro-arguments >"$build/clang-tidy.raw" 2>&1 || status=$?
grep -v -E '^[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$|^Suppressed [0-9]+ warnings|^Use -header-filter|^$' \
    "$build/clang-tidy.raw" >"$build/clang-tidy.log" || true
if [ "$status" -ne 0 ]; then
    cat "$build/clang-tidy.log"
    echo "FAIL: clang-tidy could not check every file (exit status $status)" >&2
    exit 1
fi
if grep -q -E 'warning:|error:' "$build/clang-tidy.log"; then
    cat "$build/clang-tidy.log"
    echo "FAIL: clang-tidy findings above" >&2
    exit 1
fi
echo "PASS: formatted, and no clang-tidy finding"
