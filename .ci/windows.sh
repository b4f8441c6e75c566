#!/usr/bin/env bash
# The Windows builds: cross-compiles the program and the test suite for
# 32-bit and 64-bit Windows with MinGW-w64, runs the suite on both under Wine,
# and checks that the result files of the example case and of a set of
# elliptic cases, on each kernel of the smoothing, are byte for byte those of
# the Linux build in build/ (built here when missing).
# When the package archive cannot provide wine32:i386 (see .ci/comum.sh), the
# 32-bit programs are still built, but their suite and their result files are
# reported as not run and the 64-bit half goes on; any other failure fails.
#
# Run from anywhere as: bash .ci/windows.sh
# To check that way round on a machine whose archive is sound:
#   MALHAS_CI_FALHA_I386=1 MALHAS_CI_ESPERA=1 bash .ci/windows.sh
set -euo pipefail
cd "$(dirname "$0")/.."
raiz=$PWD
inicio=$SECONDS

# --- Packages ---------------------------------------------------------------
source .ci/comum.sh
instala_pacotes g++ cmake make libgtest-dev googletest g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64
# Wine runs 32-bit programs through the i386 libraries of wine32. Without it
# the 32-bit programs are still built, but none of them is run.
instala_wine32
windows_rodam=(build-win32 build-win64)
if [ -n "$wine32_ausente" ]; then
    windows_rodam=(build-win64)
    aviso_nao_executado "the 32-bit Windows suite under Wine and the 32-bit result comparison" \
        "$wine32_ausente; the 32-bit cross-build is still built, the 64-bit suite and comparison still run"
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
    cmake -S . -B build -DBUILD_TESTING=ON
    cmake --build build -j2 --target malhas_segmentos
fi

# --- The two Windows builds and their suites ---------------------------------
# The test discovery starts each test program under Wine during the build;
# a build whose programs Wine cannot run leaves the discovery to ctest, which
# is not run on it.
for alvo in win32:mingw-i686 win64:mingw-x86_64; do
    pasta=build-${alvo%%:*}
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
    cmake -S . -B "$pasta" --toolchain "cmake/${alvo#*:}.cmake" -DBUILD_TESTING=ON \
        -DCMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE="$descoberta"
    timeout 1800 cmake --build "$pasta" -j2
done
for pasta in "${windows_rodam[@]}"; do
    echo "== test suite of $pasta under Wine"
    timeout 1800 ctest --test-dir "$pasta" --output-on-failure -j2 --timeout 300
done

# --- Result files: Linux and the Windows builds byte for byte ---------------
# The editor and viewer commands go to the suite's stand-in interpreter.
comspec_wine "$raiz/build-win64/tests/interpretador_falso.exe"

comparacao=$trabalho/casos
rm -rf "$comparacao"
mkdir -p "$comparacao"

# name, volumes along ksi and eta, mesh kind, then the seven parameters
casos=(
    "algebrica 9 5 1 0 0 0 0 0 0 0"
    "par 6 4 2 3 5 0.001 1.0 1.0 1 1"
    "impar 7 3 2 2 4 0.001 1.0 1.0 1 1"
    "desigual 20 10 2 10 20 0.001 1.0 2.0 1 1"
    "negativo 9 6 2 7 3 0.001 -0.5 1.5 1 1"
    "fontes 12 8 2 5 15 0.001 0.7 1.3 2 2"
    "fino 40 16 2 25 40 0.001 1.0 1.0 1 1"
)

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
        *) (cd "$pasta" && MALHAS_NUCLEO=$nucleo timeout 120 wine "$raiz/$build/malhas_segmentos.exe") </dev/null \
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
    for caso in "${casos[@]}"; do
        read -r nome nk ne tipo ns ni r dk de tp tq <<<"$caso"
        pasta="$comparacao/$build/$nome"
        mkdir -p "$pasta"
        printf '%s\r\n' "$nome" "$nk" "$ne" "$tipo" >"$pasta/entradas.txt"
        printf '%s\r\n' "$ns" "$ni" "$r" "$dk" "$de" "$tp" "$tq" >"$pasta/entrada_eq_elipticas.txt"
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
compara perfil_l perfil_l.txt malha.txt perfil_l_vert.txt
for caso in "${casos[@]}"; do
    read -r nome _ <<<"$caso"
    compara "$nome" "$nome.txt" malha.txt "${nome}_vert.txt"
done
echo "== result files: $comparados Windows files compared with Linux, $diferencas differing"
[ "$diferencas" -eq 0 ]

echo "== Windows builds done in $((SECONDS - inicio)) s"
