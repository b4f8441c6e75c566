#!/usr/bin/env bash
# The Windows builds: cross-compiles the program and the test suite for
# 32-bit and 64-bit Windows with MinGW-w64, runs the suite on both under Wine,
# and checks that the result files of the example case and of a set of
# elliptic cases are byte for byte those of the Linux build in build/ (built
# here when missing).
#
# Run from anywhere as: bash .ci/windows.sh
set -euo pipefail
cd "$(dirname "$0")/.."
raiz=$PWD
inicio=$SECONDS

# --- Packages ---------------------------------------------------------------
# Wine runs 32-bit programs through the i386 libraries of wine32.
export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
    precisa_update=1
fi
faltam=()
for pacote in g++ cmake make libgtest-dev googletest g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64 \
    wine32:i386; do
    dpkg -s "$pacote" >/dev/null 2>&1 || faltam+=("$pacote")
done
if [ "${#faltam[@]}" -gt 0 ] || [ -n "${precisa_update:-}" ]; then
    apt-get update -q
fi
if [ "${#faltam[@]}" -gt 0 ]; then
    apt-get install -y -q --no-install-recommends "${faltam[@]}"
fi
echo "== packages ready after $((SECONDS - inicio)) s"

# --- A throwaway Wine prefix and its server ---------------------------------
# No display: no Wine program may open a window. No Mono or Gecko either:
# without them wineboot does not offer to install them.
unset DISPLAY WAYLAND_DISPLAY
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
WINEPREFIX=$(mktemp -d /tmp/malhas-wine.XXXXXX)
export WINEPREFIX
trabalho=$raiz/build-windows
mkdir -p "$trabalho"
registro=$trabalho/wine.log
: >"$registro"

para_servidor() {
    local estado=$?
    timeout 60 wineserver -k >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX"
    if [ "$estado" -ne 0 ]; then
        echo "== failed (exit status $estado); Wine's own messages are in $registro"
    fi
    exit "$estado"
}
trap para_servidor EXIT

# A persistent server started first: otherwise every Wine process starts one
# that outlives it, along with Wine's background services, and those hold
# the output pipes of ctest (and of this script's caller) open, so the run
# stalls. Its own output goes to the log for the same reason.
wineserver -p </dev/null >>"$registro" 2>&1
timeout 300 wine wineboot -i </dev/null >>"$registro" 2>&1
echo "== Wine prefix ready after $((SECONDS - inicio)) s"

# --- The Linux program the Windows results are compared with ---------------
if [ ! -x build/malhas_segmentos ]; then
    cmake -S . -B build -DBUILD_TESTING=ON
    cmake --build build -j2 --target malhas_segmentos
fi

# --- The two Windows builds and their suites ---------------------------------
# The test discovery starts each test program under Wine during the build.
for alvo in win32:mingw-i686 win64:mingw-x86_64; do
    pasta=build-${alvo%%:*}
    cmake -S . -B "$pasta" --toolchain "cmake/${alvo#*:}.cmake" -DBUILD_TESTING=ON
    timeout 1800 cmake --build "$pasta" -j2
done
for pasta in build-win32 build-win64; do
    echo "== test suite of $pasta under Wine"
    timeout 1800 ctest --test-dir "$pasta" --output-on-failure -j2 --timeout 300
done

# --- Result files: Linux and both Windows builds byte for byte --------------
# The editor and viewer commands go to the suite's stand-in interpreter,
# which only exits: Wine ignores a COMSPEC set from Linux, but takes it from
# the user's environment in the prefix's registry.
falso='Z:'$(echo "$raiz/build-win64/tests/interpretador_falso.exe" | tr / '\\')
timeout 60 wine reg add 'HKCU\Environment' /v COMSPEC /d "$falso" /f </dev/null >>"$registro" 2>&1

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

# roda BUILD CASE_FOLDER: one run of that build's program in the folder.
roda() {
    local build=$1 pasta=$2 estado=0
    case $build in
        build) (cd "$pasta" && COMSPEC=/bin/true timeout 120 "$raiz/build/malhas_segmentos") \
            >"$pasta/saida" 2>"$pasta/erro" || estado=$? ;;
        *) (cd "$pasta" && timeout 120 wine "$raiz/$build/malhas_segmentos.exe") </dev/null \
            >"$pasta/saida" 2>"$pasta/erro" || estado=$? ;;
    esac
    echo "$estado" >"$pasta/estado"
}

diferencas=0
comparados=0
compara() {
    local nome=$1
    shift
    for build in build-win32 build-win64; do
        for arquivo in "$@"; do
            comparados=$((comparados + 1))
            if ! cmp "$comparacao/build/$nome/$arquivo" "$comparacao/$build/$nome/$arquivo"; then
                diferencas=$((diferencas + 1))
            fi
        done
    done
}

for build in build build-win32 build-win64; do
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
