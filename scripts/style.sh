#!/usr/bin/env bash
# The style checks. clang-format (the checked-in .clang-format) over every C++ file: a second or two.
# clang-tidy's naming check (.clang-tidy, docs/DESIGN.md "Names") over the program's sources that a change
# touches: the files changed since HEAD's first parent (a submission's merge), or every source with ALL=1;
# about 5 s a file on one core. Needs build/compile_commands.json (./test.sh or scripts/build.sh first).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh" packages.txt packages-test.txt
cd "$top"
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror
echo "== clang-format: every file formatted"

if [ "${ALL:-0}" = 1 ] || ! git rev-parse -q --verify HEAD^1 > /dev/null; then
  changed=$(git ls-files 'src/*.cpp' 'src/*.h')
else
  changed=$(git diff --name-only --diff-filter=d HEAD^1 -- 'src/*.cpp' 'src/*.h')
fi
# A header is checked through the source of the same name (one without a source: with ALL=1).
sources=()
for file in $changed; do
  case $file in
    *.cpp) sources+=("$file") ;;
    *.h) if [ -f "${file%.h}.cpp" ]; then sources+=("${file%.h}.cpp"); fi ;;
  esac
done
mapfile -t sources < <(printf '%s\n' "${sources[@]}" | grep -v '^src/main.cpp$' | sort -u | sed '/^$/d')
if [ "${#sources[@]}" -eq 0 ]; then
  echo "== clang-tidy: no source changed"
  exit 0
fi
db=$(mktemp -d)
trap 'rm -rf "$db"' EXIT
printf '%s\n' "${sources[@]}" | xargs -P "$(nproc)" -n 4 clang-tidy -p "$top/build" --quiet 2> "$db/stderr" ||
  { grep -v 'warnings generated' "$db/stderr" || true; exit 1; }
echo "== clang-tidy: ${#sources[@]} sources named as the rule says"
