#!/usr/bin/env bash
# The Windows builds: cross-compiles the program and the test suite for
# 32-bit and 64-bit Windows with MinGW-w64, runs the suite on both under Wine,
# and checks that the result files of the example case and of a set of
# elliptic cases, on each kernel of the smoothing, are byte for byte those of
# the Linux build in build/ (built here when missing).
# Each word size runs through Wine's loader for it, called by its own path
# (see carregador_wine in .ci/comum.sh), so the 64-bit half never depends on
# the 32-bit loader. The 32-bit programs are always built; their suite and
# their result files are reported as not run, with the reason, on a machine
# whose kernel executes no 32-bit programs (a probe runs one first) or when
# the package archive cannot provide wine32:i386. Any other failure fails.
# The 32-bit arithmetic is proven on every machine by .ci/i686.sh.
#
# Run from anywhere, as root, as: bash .ci/windows.sh
# To check the ways round on a machine whose archive is sound and whose
# kernel executes 32-bit programs:
#   MALHAS_CI_FALHA_I386=1 MALHAS_CI_ESPERA=1 bash .ci/windows.sh
#   MALHAS_CI_SEM_32_BITS=1 bash .ci/windows.sh
set -euo pipefail
cd "$(dirname "$0")/.."
raiz=$PWD
inicio=$SECONDS

# --- Packages ---------------------------------------------------------------
source .ci/comum.sh
simula_sem_32_bits .ci/windows.sh
instala_pacotes g++ cmake make libgtest-dev googletest g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64
# Wine runs 32-bit programs through its 32-bit loader and the i386
# libraries of wine32, which are of no use where the kernel cannot run them.
# Without them the 32-bit programs are still built, but none of them is run.
sonda_32_bits
por_que_nao_32=$sem_32_bits
if [ -z "$por_que_nao_32" ]; then
    instala_wine32
    por_que_nao_32=$wine32_ausente
fi
windows_rodam=(build-win32 build-win64)
if [ -n "$por_que_nao_32" ]; then
    windows_rodam=(build-win64)
    aviso_nao_executado "the 32-bit Windows suite under Wine and the 32-bit result comparison" \
        "$por_que_nao_32; the 32-bit cross-build is still built, the 64-bit suite and comparison still run"
fi
echo "== packages ready after $((SECONDS - inicio)) s"

# --- A throwaway Wine prefix and its server ---------------------------------
trabalho=$raiz/build-windows
mkdir -p "$trabalho"
registro=$trabalho/wine.log
: >"$registro"
prefixo=$(mktemp -d /tmp/malhas-wine.XXXXXX)

termina() {
    local estado=$?
    para_wine
    rm -rf "$prefixo"
    if [ "$estado" -ne 0 ]; then
        echo "== failed (exit status $estado); Wine's own messages are in $registro"
    fi
    repete_avisos
    exit "$estado"
}
trap termina EXIT
prepara_wine "$prefixo" "$registro"
echo "== Wine prefix ready after $((SECONDS - inicio)) s"

# --- The Linux program the Windows results are compared with ---------------
if [ ! -x build/malhas_segmentos ]; then
    cmake --preset testes
    cmake --build --preset testes --target malhas_segmentos
fi

# --- The two Windows builds and their suites ---------------------------------
# The test discovery starts each test program under Wine during the build;
# a build whose programs Wine cannot run leaves the discovery to ctest, which
# is not run on it.
for preset in win32 win64; do
    pasta=build-$preset
    descoberta=POST_BUILD
    [[ " ${windows_rodam[*]} " == *" $pasta "* ]] || descoberta=PRE_TEST
    # A tree built on a day without the Wine for it has test programs that
    # are up to date but were never run to list their tests; the build would
    # not run them now, and ctest would fail each as "not built". They are
    # linked again, which runs them.
    if [ "$descoberta" = POST_BUILD ] &&
        grep -qx 'CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE:[A-Z]*=PRE_TEST' "$pasta/CMakeCache.txt" 2>/dev/null; then
        find "$pasta/tests" -name 'testes_*.exe' -delete
    fi
    bits=32
    [ "$pasta" = build-win64 ] && bits=64
    cmake --preset "$preset" \
        -DCMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE="$descoberta" -DMALHAS_WINE_CARREGADOR="$(carregador_wine $bits)"
    timeout 1800 cmake --build --preset "$preset"
done
testes_rodados=()
for pasta in "${windows_rodam[@]}"; do
    echo "== test suite of $pasta under Wine"
    timeout 1800 ctest --preset "${pasta#build-}" | tee "$trabalho/ctest.log"
    testes_rodados+=("$(sed -n 's/.*tests passed, 0 tests failed out of \([0-9]*\).*/\1/p' "$trabalho/ctest.log") tests of $pasta")
done

# --- Result files: Linux and the Windows builds byte for byte ---------------
# The editor and viewer commands go to the suite's stand-in interpreter.
comspec_wine "$raiz/build-win64/tests/interpretador_falso.exe"

comparacao=$trabalho/casos
rm -rf "$comparacao"
mkdir -p "$comparacao"

# Each Windows build runs every case on each kernel of the smoothing
# (MALHAS_NUCLEO; one the processor does not run gives way to the widest it
# does): all must give the bytes of the Linux build.
comparadas=()
for build in "${windows_rodam[@]}"; do
    for nucleo in generico sse2 avx2 avx512; do
        comparadas+=("$build@$nucleo")
    done
done

# roda BUILD[@KERNEL] CASE_FOLDER: one run of that build's program in the folder.
roda() {
    local build=${1%@*} nucleo=${1#*@} pasta=$2 estado=0
    case $1 in
        build) (cd "$pasta" && COMSPEC=/bin/true timeout 120 "$raiz/build/malhas_segmentos") \
            >"$pasta/saida" 2>"$pasta/erro" || estado=$? ;;
        *) (cd "$pasta" && MALHAS_NUCLEO=$nucleo timeout 120 "$(carregador_para "$raiz/$build/malhas_segmentos.exe")" \
            "$raiz/$build/malhas_segmentos.exe") </dev/null \
            >"$pasta/saida" 2>"$pasta/erro" || estado=$? ;;
    esac
    echo "$estado" >"$pasta/estado"
}

diferencas=0
comparados=0
compara() {
    local nome=$1
    shift
    for build in "${comparadas[@]}"; do
        for arquivo in "$@"; do
            comparados=$((comparados + 1))
            if ! cmp "$comparacao/build/$nome/$arquivo" "$comparacao/$build/$nome/$arquivo"; then
                diferencas=$((diferencas + 1))
            fi
        done
    done
}

for build in build "${comparadas[@]}"; do
    pasta="$comparacao/$build/perfil_l"
    mkdir -p "$pasta"
    cp examples/perfil_l/entradas.txt examples/perfil_l/entrada_eq_elipticas.txt "$pasta/"
    roda "$build" "$pasta"
    for caso in "${casos_comparacao[@]}"; do
        pasta="$comparacao/$build/${caso%% *}"
        prepara_caso "$pasta" "$caso"
        roda "$build" "$pasta"
    done
done

# Every run must have ended normally, with nothing on its error stream.
for pasta in "$comparacao"/*/*/; do
    if [ "$(cat "$pasta/estado")" != 0 ] || [ -s "$pasta/erro" ]; then
        echo "run in $pasta ended with status $(cat "$pasta/estado"):"
        cat "$pasta/erro"
        diferencas=$((diferencas + 1))
    fi
done
for caso in "perfil_l" "${casos_comparacao[@]}"; do
    nome=${caso%% *}
    # shellcheck disable=SC2046 # three names without blanks
    compara "$nome" $(resultados_caso "$nome")
done
echo "== result files: $comparados Windows files compared with Linux, $diferencas differing"
[ "$diferencas" -eq 0 ]

linha="ran: both cross-builds; under Wine: $(IFS=,; echo "${testes_rodados[*]}" | sed 's/,/, /g'), $comparados result files"
linha+=" of $((${#casos_comparacao[@]} + 1)) cases the same as Linux's"
if [ -n "$por_que_nao_32" ]; then
    linha+="; NOT RUN: the 32-bit suite and comparison under Wine ($por_que_nao_32)"
fi
resumo "$linha"

echo "== Windows builds done in $((SECONDS - inicio)) s"
