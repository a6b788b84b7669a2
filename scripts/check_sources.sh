#!/usr/bin/env bash
# Checks that keep the sources as the project keeps them: every C++ source
# formatted by the checked-in .clang-format, and every layer including only
# what lies below it. Prints each fault and exits 1 when there is one.
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

# What each layer may include of the project, by folder; none of them may
# include Qt. The picker's form lives in engine/picker and is left out of
# engine's rule.
declare -A allowed=(
    [platform]="platform"
    [core]="core platform"
    [engine]="engine core platform"
    [schedule]="schedule core platform"
    [tools/common]="tools/common core platform"
    [tools/rkzip]="tools/rkzip tools/common core platform"
    [tools/rkunzip]="tools/rkunzip tools/common core platform"
)
for layer in "${!allowed[@]}"; do
    depth=()
    # engine's rule covers its own files, not its subfolders (the picker).
    if [ "$layer" = engine ]; then
        depth=(-maxdepth 1)
    fi
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
        if grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*<(Q|qt)' "$file" >/dev/null; then
            echo "check_sources: $file includes Qt, which layer $layer must not" >&2
            failed=1
        fi
    done < <(find "$layer" "${depth[@]}" -type f \( -name '*.cpp' -o -name '*.h' \) -print0)
done

exit "$failed"
