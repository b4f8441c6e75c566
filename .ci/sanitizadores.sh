#!/usr/bin/env bash
# Continuous integration, second half: the whole test suite built with
# AddressSanitizer and UndefinedBehaviorSanitizer, then a bounded run of the
# input readers' fuzz target under the same sanitizers. Fails on any test
# failure, any sanitizer finding and any fuzz finding. Needs clang++ and its
# runtime libraries (libclang-rt-14-dev), which .ci/run installs with clang.
# Usage: .ci/sanitizadores.sh [seconds of fuzzing, default 60]
set -euo pipefail
cd "$(dirname "$0")/.."
segundos=${1:-60}

# The sanitizer and fuzzer runtimes are only a recommendation of clang's
# packages, so a fresh machine installed without recommendations lacks them.
source .ci/comum.sh
instala_pacotes clang libclang-rt-14-dev cmake make libgtest-dev

# The sanitizer suite, in its own build folder beside the normal build.
CXX=clang++ cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON \
    -DMALHAS_SANITIZADORES=ON
cmake --build build-asan -j2
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan --output-on-failure -j2

# The fuzz targets, each on a scratch copy of its seed corpus (see
# fuzz_limitado in .ci/comum.sh).
CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF \
    -DMALHAS_SANITIZADORES=ON -DMALHAS_FUZZ=ON
cmake --build build-fuzz -j2 --target fuzz_leitura fuzz_qualidade
fuzz_limitado fuzz_leitura "$segundos" 4096 "" \
    "add it to fuzz/regressoes/ with a test of its own, then fix the reader" fuzz/corpus fuzz/regressoes
# malhas_qualidade's parsers of the result files, for a third of the time:
# their inputs are longer, so fewer but deeper runs.
fuzz_limitado fuzz_qualidade "$(((segundos + 2) / 3))" 8192 _qualidade \
    "add it to fuzz/corpus_qualidade/ (the suite replays it), then fix the parser" fuzz/corpus_qualidade
echo "sanitizer suite and fuzz runs passed"
