#!/usr/bin/env bash
# Lays out the project's C++ files with clang-format and the .clang-format at the root:
#   scripts/format.sh          rewrites the files in place
#   scripts/format.sh --check  changes nothing; shows what would change and fails if anything would
# Debian 12's clang-format (version 14) is the reference: other versions break some lines differently.
set -euo pipefail
cd "$(dirname "$0")/.."

case "${1:-}" in
"") check=false ;;
--check) check=true ;;
*) echo "usage: $0 [--check]" >&2; exit 2 ;;
esac

# Every C++ file of the tree, tracked or new, but nothing under the build folders.
mapfile -t files < <(find . \( -path './build*' -o -path ./.git -o -path ./.cache \) -prune -o \
    -type f \( -name '*.cpp' -o -name '*.h' \) -print | sed 's|^\./||' | LC_ALL=C sort)

if ! $check; then
    clang-format -i --style=file "${files[@]}"
    exit 0
fi

changed=()
for f in "${files[@]}"; do
    if ! clang-format --style=file "$f" | diff -u --label "$f" --label "$f (formatted)" "$f" -; then
        changed+=("$f")
    fi
done
if [ ${#changed[@]} -ne 0 ]; then
    echo "clang-format would change ${#changed[@]} of ${#files[@]} files: ${changed[*]}" >&2
    echo "run 'make format' to apply" >&2
    exit 1
fi
echo "clang-format: all ${#files[@]} files formatted"
