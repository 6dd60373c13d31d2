#!/usr/bin/env bash
# The README's test command: build everything, run every test, with no locale
# variables set, as on a minimal system or a container.
set -euo pipefail
env -u LANG -u LC_ALL -u LANGUAGE -u LC_CTYPE -u LC_MESSAGES bash -c \
  'cmake -S . -B build && cmake --build build -j "$(nproc)" && ctest --test-dir build -j "$(nproc)" --output-on-failure'
