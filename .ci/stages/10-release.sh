#!/usr/bin/env bash
# The README's test command: build everything, run every test.
set -euo pipefail
cmake -S . -B build && cmake --build build -j2 && ctest --test-dir build --output-on-failure
