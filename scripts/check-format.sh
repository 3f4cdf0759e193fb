#!/usr/bin/env bash
# Fails when a C++ file of src/, tests/ or bench/ differs from what
# clang-format makes of it (the style is .clang-format at the top).
#   check-format.sh [SOURCE_DIR]
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"
mapfile -t files < <(find src tests bench \( -name '*.cpp' -o -name '*.h' \) -print | sort)
clang-format --dry-run -Werror "${files[@]}"
