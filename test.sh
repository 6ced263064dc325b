#!/usr/bin/env bash
# Installs what is missing (the test tools too), builds, and runs every test.
set -euo pipefail
cd "$(dirname "$0")"
bash tools/deps.sh test
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBAUBLES_REQUIRE_TESTS=ON >/dev/null
cmake --build build -j"$(nproc)"
cd build
ctest --output-on-failure -j"$(nproc)" --timeout 900 "$@"
