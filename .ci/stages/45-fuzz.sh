#!/usr/bin/env bash
# The fuzz target of the answer reader (the `fuzz` preset: clang's libFuzzer
# with the address and undefined-behaviour sanitizers) for 60 seconds, from
# the seed corpus tests/fuzz/corpus/. A broken invariant, a sanitizer report,
# an input that runs over 5 seconds (the target itself checks the tighter
# processor-time limit), more than 256 MB of memory or a crash fails the
# stage; the input that did it is left in build-fuzz/findings/. New inputs go
# to build-fuzz/corpus/, so the seeds stay as they are.
set -euo pipefail
cmake --preset fuzz
cmake --build --preset fuzz -j2
mkdir -p build-fuzz/corpus build-fuzz/findings
build-fuzz/tests/fuzz/malha_fuzz_read_inputs -max_total_time=60 -timeout=5 -rss_limit_mb=256 \
  -max_len=2097152 -artifact_prefix=build-fuzz/findings/ -print_final_stats=1 \
  build-fuzz/corpus tests/fuzz/corpus
