#!/usr/bin/env bash
# Checks that keep the sources as the project keeps them: every C++ source
# formatted by the checked-in .clang-format, and every folder of the program
# including only itself and what lies below it. Prints each fault and exits 1 when there is one.
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$top"

failed=0

# The sources: every .cpp and .h outside the build folders.
mapfile -d '' sources < <(find . \( -path './build*' -o -path './.git' \) -prune -o \
    -type f \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z)

if ! clang-format --dry-run --Werror "${sources[@]}"; then
    echo "check_sources: the files above are not formatted; run clang-format -i on them" >&2
    failed=1
fi

# What each folder may include of the project: itself and the folders below
# it, from the bottom up
#   platform < core < engine < schedule < ui < app, restore < jobs < rkbak
# where restore is four folders (restore/run, the plain run of a restore;
# restore/picker, the file picker form; restore/point_in_time, the "Restore
# Files" window; restore, the extract dialog and the windowless
# consolidation) and app and restore stand side by side (neither
# includes the other). The utilities under tools/ stand on platform and core
# only. Each rule covers the files of its own folder, not its subfolders,
# which have rules of their own; a folder of sources without a rule is a
# fault too, so a new folder is placed in the order before it is used.
declare -A allowed=(
    [platform]="platform"
    [core]="core platform"
    [engine]="engine core platform"
    [schedule]="schedule engine core platform"
    [ui]="ui schedule engine core platform"
    [app]="app ui schedule engine core platform"
    [restore/run]="restore/run engine core platform"
    [restore/picker]="restore/picker ui schedule engine core platform"
    [restore/point_in_time]="restore/point_in_time restore/run ui schedule engine core platform"
    [restore]="restore restore/picker restore/run ui schedule engine core platform"
    [jobs]="jobs app restore restore/point_in_time restore/picker restore/run ui schedule engine core platform"
    [rkbak]="rkbak jobs app restore restore/point_in_time restore/picker restore/run ui schedule engine core platform"
    [tools/common]="tools/common core platform"
    [tools/rkzip]="tools/rkzip tools/common core platform"
    [tools/rkunzip]="tools/rkunzip tools/common core platform"
)
# The folders whose code needs no window: they never include Qt.
plain=(platform core engine schedule restore/run tools/common tools/rkzip tools/rkunzip)

# Every folder of the program holding sources has a rule (tests/ and bench/
# build on every layer and are not layers).
while IFS= read -r -d '' folder; do
    folder="${folder#./}"
    if [ -z "${allowed[$folder]+set}" ]; then
        echo "check_sources: $folder holds sources but has no place among the layers" >&2
        failed=1
    fi
done < <(find . \( -path './build*' -o -path './.git' -o -path './tests' -o -path './bench' \) -prune \
    -o -type f \( -name '*.cpp' -o -name '*.h' \) -printf '%h\0' | sort -zu)

for layer in "${!allowed[@]}"; do
    is_plain=0
    for folder in "${plain[@]}"; do
        if [ "$folder" = "$layer" ]; then
            is_plain=1
        fi
    done
    while IFS= read -r -d '' file; do
        while IFS= read -r line; do
            included="${line#*\"}"
            included="${included%%\"*}"
            folder="${included%/*}"
            ok=0
            for permitted in ${allowed[$layer]}; do
                if [ "$folder" = "$permitted" ]; then
                    ok=1
                fi
            done
            if [ "$ok" -eq 0 ]; then
                echo "check_sources: $file includes \"$included\", above its layer $layer" >&2
                failed=1
            fi
        done < <(grep -E '^[[:space:]]*#[[:space:]]*include[[:space:]]+"' "$file" || true)
        if [ "$is_plain" -eq 1 ] &&
            grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*<(Q|qt)' "$file" >/dev/null; then
            echo "check_sources: $file includes Qt, which layer $layer must not" >&2
            failed=1
        fi
    done < <(find "$layer" -maxdepth 1 -type f \( -name '*.cpp' -o -name '*.h' \) -print0)
done

exit "$failed"
