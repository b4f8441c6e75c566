#!/usr/bin/env bash
# The 32-bit x86 code proven on any x86-64 Linux machine: a Linux i686 build
# (cmake/linux-i686.cmake) of the program and of the unit tests (its own and
# malhas_qualidade's), run natively where the kernel executes 32-bit programs
# (a probe runs one first) and under qemu-i386-static where it does not. Its
# result files of the example, of the comparison cases of .ci/windows.sh and
# of one mesh of each kind of 300 x 200 volumes, each run with 1 and with 2
# threads, must be byte for byte those of the 64-bit Linux build in build/
# (built here when missing).
# This is the arithmetic of the 32-bit Windows build (doubles in SSE2, 64-bit
# integers in 32-bit halves), proven even where Wine's 32-bit loader cannot
# run. Every run has a time limit, so a run that hangs fails the script.
#
# Run from anywhere, as root: bash .ci/i686.sh
# As on a machine that runs no 32-bit programs: MALHAS_CI_SEM_32_BITS=1 bash .ci/i686.sh
set -euo pipefail
cd "$(dirname "$0")/.."
raiz=$PWD
inicio=$SECONDS

# --- Packages and the way the 32-bit programs run ---------------------------
source .ci/comum.sh
simula_sem_32_bits .ci/i686.sh
instala_pacotes g++ cmake make g++-i686-linux-gnu googletest
sonda_32_bits
emulador=
modo="natively"
if [ -n "$sem_32_bits" ]; then
    instala_pacotes qemu-user-static
    emulador=$(command -v qemu-i386-static)
    modo="under $emulador"
fi
trabalho=$(mktemp -d /tmp/malhas-i686.XXXXXX)
termina() {
    local estado=$?
    rm -rf "$trabalho"
    [ "$estado" -eq 0 ] || echo "== i686 build: failed (exit status $estado)"
    repete_avisos
    exit "$estado"
}
trap termina EXIT
# The emulator must run a 32-bit program too before anything is judged by it.
if [ -n "$emulador" ]; then
    programa_32_bits "$trabalho/sonda"
    estado=0
    "$emulador" "$trabalho/sonda" || estado=$?
    [ "$estado" -eq 42 ] || { echo "$emulador does not run a 32-bit program (exit status $estado)" >&2; exit 1; }
fi
echo "== the 32-bit programs run $modo"

# --- The builds -----------------------------------------------------------------
if [ ! -x build/malhas_segmentos ]; then
    cmake --preset testes
    cmake --build --preset testes --target malhas_segmentos
fi
# The tests are listed when ctest runs, through the emulator of this
# configuration: the lists of an earlier one would start them the old way.
cmake --preset i686 -DCMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE=PRE_TEST -DMALHAS_EMULADOR_I686="$emulador" >/dev/null
cmake --build --preset i686 --target malhas_segmentos testes_unidade testes_qualidade_unidade interpretador_falso
find build-i686/tests -name '*_tests.cmake' -delete
# A toolchain that built for the machine's own word size would prove nothing.
[ "$(od -An -tx1 -j4 -N1 build-i686/malhas_segmentos | tr -d ' ')" = 01 ] ||
    { echo "build-i686/malhas_segmentos is not a 32-bit program" >&2; exit 1; }

# --- The unit tests -----------------------------------------------------------
# Two things qemu's user mode (Debian 12's, 7.2) does not do are shown here by
# a program of a few lines each, run under the emulator, and only the tests
# that need what it lacks are left out, to the native builds:
# - posix_spawn of a missing file must fail with ENOENT; qemu runs
#   clone(CLONE_VM | CLONE_VFORK) as a plain fork, so the failed exec cannot
#   reach the parent, which is told 0 and gets a child that ends with 127;
# - 1.0 / 0.0 with the divide-by-zero trap unmasked must end in SIGFPE; qemu
#   sets the SSE flag but never delivers the trap.
# Natively both behave, and so will an emulator that learns them.
excluidos=()
if [ -n "$emulador" ]; then
    # Each ends with status 3 where the emulator lacks what it checks.
    cat >"$trabalho/spawn.c" <<'FIM'
#include <spawn.h>
extern char** environ;
int main(void) {
    char* argv[] = {"x", 0};
    int pid;
    return posix_spawn(&pid, "/no/such/program", 0, 0, argv, environ) == 0 ? 3 : 0;
}
FIM
    cat >"$trabalho/armadilha.c" <<'FIM'
#define _GNU_SOURCE
#include <fenv.h>
int main(void) {
    volatile double zero = 0.0, um = 1.0;
    feenableexcept(FE_DIVBYZERO);
    return um / zero > 0 ? 3 : 4;
}
FIM
    falta=()
    for teste in spawn armadilha; do
        i686-linux-gnu-gcc -O0 -msse2 -mfpmath=sse -static "$trabalho/$teste.c" -o "$trabalho/$teste" -lm
        estado=0
        "$emulador" "$trabalho/$teste" || estado=$?
        if [ "$estado" -eq 3 ]; then
            falta+=("$teste")
            echo "== $teste.c under $emulador: exit status 3, what it checks is missing there"
        else
            echo "== $teste.c under $emulador: exit status $estado, what it checks is there"
        fi
    done
    if [[ " ${falta[*]} " == *" spawn "* ]]; then
        excluidos+=('Comando\.NadaRodaQuandoOInterpretadorNaoPodeSerIniciado')
        aviso_nao_executado "the i686 unit test of a launch that must fail (Comando.NadaRodaQuandoOInterpretadorNaoPodeSerIniciado)" \
            "under $emulador posix_spawn of a missing file reports success (CLONE_VFORK runs as a fork); it runs in the native builds"
    fi
    if [[ " ${falta[*]} " == *" armadilha "* ]]; then
        excluidos+=('ElipticoFalhas\..*' 'VarreduraFalhas\..*' 'LeituraRealDeathTest\..*'
            'FormatoCampoE\.NaoDisparaArmadilhasDePontoFlutuante')
        aviso_nao_executado "the i686 unit tests of the floating-point traps (ElipticoFalhas, VarreduraFalhas, LeituraRealDeathTest, FormatoCampoE.NaoDisparaArmadilhasDePontoFlutuante)" \
            "$emulador never delivers the trap of an unmasked SSE exception, so a trap can neither fire nor be shown not to; they run in the native builds"
    fi
fi
filtro=()
if [ "${#excluidos[@]}" -gt 0 ]; then
    filtro=(-E "^($(IFS='|'; echo "${excluidos[*]}"))\$")
fi
inicio_testes=$SECONDS
timeout 1800 ctest --preset i686 -L unidade "${filtro[@]}" |
    tee "$trabalho/ctest.log"
testes=$(sed -n 's/.*tests passed, 0 tests failed out of \([0-9]*\).*/\1/p' "$trabalho/ctest.log")
tempo_testes=$((SECONDS - inicio_testes))

# --- Result files: the i686 build and build/ byte for byte --------------------
# Besides the comparison cases, one mesh of each kind large enough for both
# threads to share the sweeps and the formatting of the result files.
casos=("${casos_comparacao[@]}"
    "grande_algebrica 300 200 1 0 0 0 0 0 0 0"
    "grande_eliptica 300 200 2 10 20 0.001 1.0 2.0 2 2")

# roda FOLDER THREADS COMMAND...: one run in FOLDER, with THREADS threads
# (empty: the machine's count), status and streams kept there; a run that
# does not end in 300 s is stopped and fails, so a hang cannot pass or stall.
roda() {
    local pasta=$1 linhas=$2 estado=0
    shift 2
    local -a ambiente=(COMSPEC=/bin/true)
    [ -z "$linhas" ] || ambiente+=(MALHAS_LINHAS_EXECUCAO="$linhas")
    (cd "$pasta" && env "${ambiente[@]}" timeout 300 "$@") </dev/null >"$pasta/saida" 2>"$pasta/erro" || estado=$?
    echo "$estado" >"$pasta/estado"
}

prepara() {  # FOLDER CASE: the case's input files in FOLDER
    if [ "$2" = perfil_l ]; then
        mkdir -p "$1"
        cp examples/perfil_l/entradas.txt examples/perfil_l/entrada_eq_elipticas.txt "$1/"
    else
        prepara_caso "$1" "$2"
    fi
}

programa_32=("$raiz/build-i686/malhas_segmentos")
[ -z "$emulador" ] || programa_32=("$emulador" "${programa_32[@]}")
diferencas=0
comparados=0
bytes=0
tempo_32=0
for caso in perfil_l "${casos[@]}"; do
    nome=${caso%% *}
    prepara "$trabalho/build/$nome" "$caso"
    roda "$trabalho/build/$nome" "" "$raiz/build/malhas_segmentos"
    for linhas in 1 2; do
        pasta=$trabalho/i686-$linhas/$nome
        prepara "$pasta" "$caso"
        antes=${EPOCHREALTIME/[.,]/}
        roda "$pasta" "$linhas" "${programa_32[@]}"
        tempo_32=$((tempo_32 + ${EPOCHREALTIME/[.,]/} - antes))
    done
done

# Every run must have ended normally, with nothing on its error stream.
for pasta in "$trabalho"/*/*/; do
    if [ "$(cat "$pasta/estado")" != 0 ] || [ -s "$pasta/erro" ]; then
        echo "run in $pasta ended with status $(cat "$pasta/estado") (124: stopped after 300 s):"
        cat "$pasta/erro"
        diferencas=$((diferencas + 1))
    fi
done
for caso in perfil_l "${casos[@]}"; do
    nome=${caso%% *}
    for arquivo in $(resultados_caso "$nome"); do
        for linhas in 1 2; do
            comparados=$((comparados + 1))
            referencia=$trabalho/build/$nome/$arquivo
            [ ! -f "$referencia" ] || bytes=$((bytes + $(stat -c %s "$referencia")))
            cmp "$referencia" "$trabalho/i686-$linhas/$nome/$arquivo" || diferencas=$((diferencas + 1))
        done
    done
done
tempo_32=$((tempo_32 / 1000000)).$((tempo_32 / 100000 % 10))
echo "== result files: $comparados i686 files ($bytes bytes) compared with build/'s, $diferencas differing;" \
    "the i686 runs took $tempo_32 s $modo"
[ "$diferencas" -eq 0 ]

linha="ran $modo: the i686 unit tests ($testes tests, $tempo_testes s), $((${#casos[@]} + 1)) cases with 1 and 2"
linha+=" threads ($comparados result files, $bytes bytes, the same as build/'s; the runs took $tempo_32 s)"
if [ "${#excluidos[@]}" -gt 0 ]; then
    todos=$(ctest --test-dir build-i686 -N -L unidade | sed -n 's/^Total Tests: //p')
    linha+="; NOT RUN under the emulator: $((todos - testes)) unit tests that need what it lacks (${falta[*]})"
fi
resumo "$linha"
echo "== i686 build done in $((SECONDS - inicio)) s"
