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
faltam=()
for pacote in clang libclang-rt-14-dev cmake make libgtest-dev; do
    dpkg -s "$pacote" >/dev/null 2>&1 || faltam+=("$pacote")
done
if [ "${#faltam[@]}" -gt 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update
    apt-get install -y --no-install-recommends "${faltam[@]}"
fi

# The sanitizer suite, in its own build folder beside the normal build.
CXX=clang++ cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON \
    -DMALHAS_SANITIZADORES=ON
cmake --build build-asan -j2
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan --output-on-failure -j2

# The fuzz target, run on a scratch copy of the seed corpus so the checked-in
# corpus only changes by hand. A finding is written to build-fuzz/achados/
# and ends the run with a nonzero status.
CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF \
    -DMALHAS_SANITIZADORES=ON -DMALHAS_FUZZ=ON
cmake --build build-fuzz -j2 --target fuzz_leitura fuzz_qualidade
rm -rf build-fuzz/trabalho build-fuzz/achados
mkdir -p build-fuzz/trabalho build-fuzz/achados
status=0
build-fuzz/fuzz/fuzz_leitura -max_total_time="$segundos" -max_len=4096 -seed=1 -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix=build-fuzz/achados/ \
    build-fuzz/trabalho fuzz/corpus fuzz/regressoes >build-fuzz/fuzz.log 2>&1 || status=$?
grep -E '^(Done|stat::number_of_executed_units|stat::new_units_added)' build-fuzz/fuzz.log || true
if [ "$status" -ne 0 ] || [ -n "$(ls -A build-fuzz/achados)" ]; then
    tail -n 60 build-fuzz/fuzz.log
    echo "fuzz_leitura found a fault: the input is in build-fuzz/achados/;" \
        "add it to fuzz/regressoes/ with a test of its own, then fix the reader" >&2
    exit 1
fi

# The same for malhas_qualidade's parsers of the result files, for a third of
# the time: its inputs are longer, so fewer but deeper runs.
rm -rf build-fuzz/trabalho_qualidade build-fuzz/achados_qualidade
mkdir -p build-fuzz/trabalho_qualidade build-fuzz/achados_qualidade
status=0
build-fuzz/fuzz/fuzz_qualidade -max_total_time="$(( (segundos + 2) / 3 ))" -max_len=8192 -seed=1 -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix=build-fuzz/achados_qualidade/ \
    build-fuzz/trabalho_qualidade fuzz/corpus_qualidade >build-fuzz/fuzz_qualidade.log 2>&1 || status=$?
grep -E '^(Done|stat::number_of_executed_units|stat::new_units_added)' build-fuzz/fuzz_qualidade.log || true
if [ "$status" -ne 0 ] || [ -n "$(ls -A build-fuzz/achados_qualidade)" ]; then
    tail -n 60 build-fuzz/fuzz_qualidade.log
    echo "fuzz_qualidade found a fault: the input is in build-fuzz/achados_qualidade/;" \
        "add it to fuzz/corpus_qualidade/ (the suite replays it), then fix the parser" >&2
    exit 1
fi
echo "sanitizer suite and fuzz runs passed"
