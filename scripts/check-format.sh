#!/usr/bin/env bash
# Checks every C++ file of src/, tests/, bench/ and fuzz/ against .clang-format and
# fails on any difference, naming file and line. Fix with: clang-format -i FILE.
# The formatting is that of clang-format 14 (Debian 12's); others may differ.
set -euo pipefail
cd "$(dirname "$0")/.."
clang_format=${CLANG_FORMAT:-clang-format}
mapfile -d '' files < <(find src tests bench fuzz -type f \( -name '*.cpp' -o -name '*.h' \) \
  -print0 | sort -z)
"$clang_format" --dry-run -Werror "${files[@]}"
echo "clang-format: ${#files[@]} files formatted"
