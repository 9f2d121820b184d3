#!/usr/bin/env bash
# Fails, naming the files, when any C++ source or header of the project differs from what
# clang-format makes of it with the project's .clang-format. `--fix` formats them in place.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h' | grep -v '/corpus/')
if [ "${1:-}" = "--fix" ]; then
  clang-format -i "${files[@]}"
  exit 0
fi
unformatted=()
for file in "${files[@]}"; do
  if ! clang-format --dry-run --Werror "$file" >/dev/null 2>&1; then
    unformatted+=("$file")
  fi
done
if [ "${#unformatted[@]}" -gt 0 ]; then
  echo "These files are not formatted as .clang-format says (run scripts/check-format.sh --fix):" >&2
  printf '  %s\n' "${unformatted[@]}" >&2
  exit 1
fi
echo "format: ${#files[@]} files as .clang-format says"
