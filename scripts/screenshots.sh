#!/usr/bin/env bash
# Saves pictures of the window in its main states (launcher, headers at both sizes, comparison,
# video) to a folder, for a person to look at: scripts/screenshots.sh [FOLDER] (default: shots/).
# Uses the Debug build folder of `make test`.
set -euo pipefail
cd "$(dirname "$0")/.."
folder=$(realpath -m "${1:-shots}")
mkdir -p "$folder"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build --target kivora_screenshots
KIVORA_SHOT_DIR="$folder" QT_QPA_PLATFORM=offscreen ./build/scripts/screenshots/kivora_screenshots "${@:2}"
echo "Screenshots in $folder"
