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

# The sanitizer suite, in its own build folder beside the normal build
# (build-asan/; the test preset sets the sanitizers' options).
cmake --workflow --preset sanitizadores

# The fuzz targets, each on a scratch copy of its seed corpus (see
# fuzz_limitado in .ci/comum.sh).
cmake --preset fuzz
cmake --build --preset fuzz --target fuzz_leitura fuzz_qualidade
fuzz_limitado fuzz_leitura "$segundos" 4096 "" \
    "add it to fuzz/regressoes/ with a test of its own, then fix the reader" fuzz/corpus fuzz/regressoes
# malhas_qualidade's parsers of the result files, for a third of the time:
# their inputs are longer, so fewer but deeper runs.
fuzz_limitado fuzz_qualidade "$(((segundos + 2) / 3))" 8192 _qualidade \
    "add it to fuzz/corpus_qualidade/ (the suite replays it), then fix the parser" fuzz/corpus_qualidade
echo "sanitizer suite and fuzz runs passed"
