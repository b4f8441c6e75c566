#!/usr/bin/env bash
# Whole runs of one or more builds of the program on big cases, side by side:
# the runs of every build and setting alternate, so that a noisy machine
# weighs on all of them alike. Reports the median wall time and the peak
# memory (resident set) of each, and the ratio of each median to that of the
# first build given (the build before a change, say).
#   (a) mesh kind 1, 1000 x 1000 volumes (about 380 MB of result files)
#   (b) mesh kind 2, 400 x 200, niter 20, niter_solver 50, dksi = deta = 1
#   (c) mesh kind 2, 2000 x 1000, niter 2, niter_solver 10
#   (w) mesh kind 1, 1000 x 700: the case of the Windows builds
# Each Linux build runs (a) to (c) with one thread (MALHAS_LINHAS_EXECUCAO=1),
# with all cores, and confined to one core (taskset -c 0), then (w). Windows
# builds (a PROGRAM ending in .exe) run (w) under Wine, when Wine is
# installed, with one thread and with all cores, in a throwaway Wine prefix
# whose COMSPEC is the suite's stand-in interpreter (found next to one of the
# Windows builds, in tests/), so that only the program itself is measured.
#
# Usage: bench/run.sh [-n RUNS] [-c CASES] [-d FOLDER] PROGRAM...
#   defaults: 5 runs, cases "a b c w", a temporary folder under $TMPDIR (or
#   /tmp), PROGRAM build/malhas_segmentos. The result files of every build
#   are checked to be the same (their checksum is printed).
# The viewers of the Linux builds are replaced by /bin/true through COMSPEC.
set -euo pipefail
vezes=5
casos="a b c w"
raiz=${TMPDIR:-/tmp}
while getopts "n:c:d:" opcao; do
    case $opcao in
        n) vezes=$OPTARG ;;
        c) casos=$OPTARG ;;
        d) raiz=$OPTARG ;;
        *) exit 2 ;;
    esac
done
shift $((OPTIND - 1))
[ $# -gt 0 ] || set -- build/malhas_segmentos
programas=()
for p in "$@"; do programas+=("$(realpath "$p")"); done
[ -x /usr/bin/time ] || { echo "needs /usr/bin/time (Debian package 'time')" >&2; exit 1; }
pasta=$(mktemp -d "$raiz/malhas-bench.XXXXXX")

# --- Wine, for the Windows builds -------------------------------------------
tem_windows=
for p in "${programas[@]}"; do [[ $p == *.exe ]] && tem_windows=1; done
wine_pronto=
if [ -n "$tem_windows" ] && command -v wine >/dev/null; then
    unset DISPLAY WAYLAND_DISPLAY
    export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    WINEPREFIX=$pasta/wine
    export WINEPREFIX
    mkdir -p "$WINEPREFIX"
    wineserver -p </dev/null >/dev/null 2>&1
    timeout 300 wine wineboot -i </dev/null >/dev/null 2>&1
    falso=
    for p in "${programas[@]}"; do
        [ -f "$(dirname "$p")/tests/interpretador_falso.exe" ] && falso=$(dirname "$p")/tests/interpretador_falso.exe
    done
    [ -n "$falso" ] || { echo "no tests/interpretador_falso.exe next to a Windows build" >&2; exit 1; }
    timeout 60 wine reg add 'HKCU\Environment' /v COMSPEC /d "Z:$(echo "$falso" | tr / '\\')" /f \
        </dev/null >/dev/null 2>&1
    wine_pronto=1
elif [ -n "$tem_windows" ]; then
    echo "Wine is not installed: the Windows builds are left out" >&2
fi
termina() {
    if [ -n "$wine_pronto" ]; then timeout 60 wineserver -k >/dev/null 2>&1 || true; fi
    rm -rf "$pasta"
}
trap termina EXIT

# --- Cases -----------------------------------------------------------------
declare -A dados=(
    [a]="1000 1000 1 0 0" [b]="400 200 2 50 20" [c]="2000 1000 2 10 2" [w]="1000 700 1 0 0")
declare -A titulo=(
    [a]="(a) kind 1, 1000 x 1000" [b]="(b) kind 2, 400 x 200, 20 x 50" [c]="(c) kind 2, 2000 x 1000, 2 x 10"
    [w]="(w) kind 1, 1000 x 700")

prepara() {  # case folder for one program and setting
    local dir=$1 caso=$2 nk ne tipo ns ni
    read -r nk ne tipo ns ni <<<"${dados[$caso]}"
    mkdir -p "$dir"
    printf '%s\r\n' "caso" "$nk" "$ne" "$tipo" >"$dir/entradas.txt"
    printf '%s\r\n' "$ns" "$ni" 0.001 1.0 1.0 1 1 >"$dir/entrada_eq_elipticas.txt"
}

# roda PROGRAM SETTING DIR: one timed run; appends "seconds KiB" to DIR/tempos.
roda() {
    local programa=$1 ajuste=$2 dir=$3 prefixo=() linhas=
    case $ajuste in
        1-thread) linhas=1 ;;
        one-core) prefixo=(taskset -c 0) ;;
    esac
    rm -f "$dir/caso.txt" "$dir/caso_vert.txt" "$dir/malha.txt"
    sync
    if [[ $programa == *.exe ]]; then
        (cd "$dir" && MALHAS_LINHAS_EXECUCAO=$linhas /usr/bin/time -f '%e %M' -o "$dir/tempo" \
            wine "$programa" </dev/null >/dev/null 2>"$dir/erro")
    else
        (cd "$dir" && COMSPEC=/bin/true MALHAS_LINHAS_EXECUCAO=$linhas \
            /usr/bin/time -f '%e %M' -o "$dir/tempo" "${prefixo[@]}" "$programa" >/dev/null 2>"$dir/erro")
    fi
    cat "$dir/tempo" >>"$dir/tempos"
    if [ ! -f "$dir/soma" ]; then
        cat "$dir"/caso.txt "$dir"/malha.txt "$dir"/caso_vert.txt | md5sum | cut -c1-32 >"$dir/soma"
    fi
}

mediana() { sort -g | awk '{v[NR]=$1} END {print (NR%2 ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2)}'; }

echo "machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(nproc) cores; $vezes runs each"
for caso in $casos; do
    alvos=()  # "program|setting|folder"
    for i in "${!programas[@]}"; do
        p=${programas[$i]}
        if [[ $p == *.exe ]]; then
            [ -n "$wine_pronto" ] && [ "$caso" = w ] || continue
            ajustes="1-thread all-cores"
        else
            ajustes="1-thread all-cores one-core"
            [ "$caso" = w ] && ajustes="all-cores"
        fi
        for a in $ajustes; do
            d=$pasta/$caso/$i-$a
            prepara "$d" "$caso"
            alvos+=("$p|$a|$d")
        done
    done
    for ((k = 0; k < vezes; k++)); do
        for alvo in "${alvos[@]}"; do
            IFS='|' read -r p a d <<<"$alvo"
            roda "$p" "$a" "$d"
        done
    done
    echo "${titulo[$caso]}"
    declare -A referencia=()
    for alvo in "${alvos[@]}"; do
        IFS='|' read -r p a d <<<"$alvo"
        t=$(cut -d' ' -f1 "$d/tempos" | mediana)
        m=$(cut -d' ' -f2 "$d/tempos" | sort -g | tail -1)
        chave=$a
        # A Windows build is compared with the first one of its word size.
        if [[ $p == *.exe ]]; then
            chave=$a-$(od -An -tx2 -j "$(($(od -An -tu4 -j60 -N4 "$p") + 4))" -N2 "$p" | tr -d ' ')
        fi
        [ -n "${referencia[$chave]:-}" ] || referencia[$chave]=$t
        razao=$(awk -v r="${referencia[$chave]}" -v t="$t" 'BEGIN {printf "%.2f", (t > 0 ? r / t : 0)}')
        printf '  %-48s %-10s median %6.2f s  (x%s)  peak %7.1f MiB  files %s  runs: %s\n' \
            "$p" "$a" "$t" "$razao" "$(awk -v m="$m" 'BEGIN {print m / 1024}')" "$(cut -c1-8 "$d/soma")" \
            "$(cut -d' ' -f1 "$d/tempos" | tr '\n' ' ')"
    done
    unset referencia
done
