#!/usr/bin/env bash
# The reference builds without a warning (so every public declaration is
# documented), the library's sources pass clang-tidy, and every C++ file is
# formatted as .clang-format says. Uses build/native from stage 10.
set -euo pipefail
cmake --build build/native --target docs
scripts/check-style.sh tidy build/native
scripts/check-style.sh format
