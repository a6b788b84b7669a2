#!/usr/bin/env bash
# Runs clang-tidy with the checked-in .clang-tidy (the bugprone and
# performance checks) over every source of the tree: the program, the
# utilities, the tests and the benchmark, as compile_commands.json lists them,
# two files at a time on a machine of two cores.
# Prints each finding and exits 1 when there is one.
#
#   scripts/tidy.sh [BUILD_DIR]
#
# BUILD_DIR is a configured build of the tree (CI passes build/, which the
# test command made); without it, build-tidy/ is configured (not built: no
# source of the tree is generated, so clang-tidy needs only the database).
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$top"

build="${1:-}"
if [ -z "$build" ]; then
    build="$top/build-tidy"
    cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
if [ ! -f "$build/compile_commands.json" ]; then
    echo "tidy: $build/compile_commands.json is missing; configure the build first" >&2
    exit 1
fi

runner=""
for candidate in run-clang-tidy run-clang-tidy-14; do
    if command -v "$candidate" >/dev/null 2>&1; then
        runner="$candidate"
        break
    fi
done
if [ -z "$runner" ]; then
    echo "tidy: run-clang-tidy is missing (Debian package clang-tidy)" >&2
    exit 1
fi

# Only the tree's own sources: those of its folders, never a file of a build
# folder inside the tree (the database names every file by its full path).
folders='app|bench|core|engine|jobs|platform|restore|rkbak|schedule|tests|tools|ui'
escaped_top="$(printf '%s' "$top" | sed 's/[][\\.^$*+?(){}|]/\\&/g')"
own_sources="^$escaped_top/($folders)/"

# The database holds GCC's command lines: clang does not know some of GCC's
# warning options, and the build's -Werror must not turn clang's own
# warnings (which GCC's build already answers for) into findings.
output="$(mktemp)"
trap 'rm -f "$output" "$output.raw"' EXIT
status=0
"$runner" -quiet -j "$(nproc 2>/dev/null || echo 2)" -p "$build" \
    -extra-arg=-Wno-unknown-warning-option -extra-arg=-Wno-error "$own_sources" \
    >"$output.raw" 2>&1 || status=$?
# run-clang-tidy always asks for colours; the log is read as plain text.
sed 's/\x1b\[[0-9;]*m//g' "$output.raw" >"$output"

# Only the findings and their context; run-clang-tidy also echoes each
# command and clang-tidy counts the warnings it left out.
grep -v -e '^clang-tidy' -e 'warnings\? generated\.$' -e '^Suppressed [0-9]* warnings' \
    -e '^Use -header-filter=' -e '^Enabling compiler diagnostic' "$output" || true
if [ "$status" -ne 0 ] || grep -q -e ': error: ' -e ': warning: ' "$output"; then
    echo "tidy: clang-tidy found the faults above" >&2
    exit 1
fi
echo "tidy: clean"
