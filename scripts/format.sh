#!/bin/sh
# Runs clang-format (Debian 12: version 14, .clang-format) over the C++ sources.
#
#   scripts/format.sh           formats the files in place
#   scripts/format.sh --check   changes nothing; lists the files that differ and fails if any do
set -e
cd "$(dirname "$0")/.."
CHECK=0
case "$1" in
"") ;;
--check) CHECK=1 ;;
*) echo "usage: $0 [--check]" >&2; exit 2 ;;
esac
command -v clang-format >/dev/null || { echo "clang-format is missing (scripts/deps.sh installs it)" >&2; exit 2; }

FILES=$(find platform crypto compress jobs app cli shell tests bench fuzz packaging \
    -type f \( -name '*.cpp' -o -name '*.h' \) 2>/dev/null | sort)
if [ "$CHECK" -eq 0 ]; then
    # shellcheck disable=SC2086
    clang-format -i --style=file $FILES
    exit 0
fi
DIFFER=""
for f in $FILES; do
    clang-format --style=file "$f" | cmp -s "$f" - || DIFFER="$DIFFER $f"
done
[ -z "$DIFFER" ] && exit 0
echo "not formatted (run sh scripts/format.sh):" >&2
for f in $DIFFER; do echo "  $f" >&2; done
exit 1
