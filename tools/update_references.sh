#!/bin/sh
# Rewrites the capture reference pictures in tests/reference from the
# current build: run it on purpose, after a change to the timeline, the
# effects or the generated content that is meant to alter the pictures.
# Usage: tools/update_references.sh [build directory, default ./build]
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
cmake --build "$build" --target ninefold_capture capture_reference_test data
cd "$build"
CAPTURE_UPDATE_REFERENCES=1 "$root/tests/xrun.sh" "$build/tests/capture/capture_reference_test" \
    --gtest_filter='Sections/*'
"$root/tests/xrun.sh" "$build/tests/capture/capture_reference_test"
echo "references in $root/tests/reference:"
ls -l "$root/tests/reference"
