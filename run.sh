#!/usr/bin/env bash
# Installs what is missing, builds, and plays the show. Extra arguments go to the program.
set -euo pipefail
cd "$(dirname "$0")"
bash tools/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"
mkdir -p build/data
cd build/data
exec ../baubles "$@"
