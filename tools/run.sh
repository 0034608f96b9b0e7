#!/usr/bin/env bash
# Installs what is missing, builds Vellumark and starts the desktop program.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
bash "$top/tools/packages.sh"
cmake -S "$top" -B "$top/build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELLUMARK_TESTS=OFF > /dev/null
cmake --build "$top/build" -j"$(nproc)"
exec "$top/build/app/vellumark" "$@"
