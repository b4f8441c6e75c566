#!/usr/bin/env bash
# Whole runs of one or more builds of the program on big cases, side by side.
# The runs of every build and setting are interleaved (build A, build B, ...
# in turn, the order reversed every other round), so that a noisy shared
# machine weighs on all of them alike, and the machine settles before every
# run (see bench/comum.sh). Reports the minimum, median and maximum wall time
# and the peak memory (resident set) of each build and setting, and for each
# build after the first the ratio of the first build's median to its own
# (x2.00: twice as fast as the first), with the spread of that ratio run by
# run (each run against the first build's run of the same round).
# The cases are those of bench/casos. Each Linux build runs a case of the
# "linux" builds with one thread (MALHAS_LINHAS_EXECUCAO=1), with all cores,
# and confined to one core (taskset -c 0), and a case of the "windows" builds
# with all cores. Windows builds (a PROGRAM ending in .exe) run the "windows"
# cases under Wine, when Wine is installed, with one thread and with all
# cores, in a throwaway Wine prefix whose COMSPEC is the suite's stand-in
# interpreter (found next to one of the Windows builds, in tests/), so that
# only the program itself is measured. A Windows build is compared with the
# first one of its word size.
#
# Usage: bench/run.sh [-n RUNS] [-c CASES] [-a SETTINGS] [-p SECONDS] [-d FOLDER] PROGRAM...
#   defaults: 5 runs, every case of bench/casos, settings "1-thread
#   all-cores one-core", a pause of 1 s after each flush, a temporary folder
#   under $TMPDIR (or /tmp), PROGRAM build/malhas_segmentos (what
#   "cmake --workflow --preset release" builds). The result files of every
#   build must be the same: their checksum is printed, and a difference ends
#   the script with status 1 after the report.
#   Example, the build before a change (made with
#   "cmake --preset release -B build-old") against the build after it:
#     bash bench/run.sh -n 9 build-old/malhas_segmentos build/malhas_segmentos
# The viewers of the Linux builds are replaced by /bin/true through COMSPEC.
# The smoothing runs on the kernel the header names: the widest this
# processor runs, or the one MALHAS_NUCLEO names when it is set (and the
# processor runs it); builds before the kernels came ignore the variable.
# Run as root so that the page cache can be dropped between runs.
set -euo pipefail
aqui=$(dirname "$(realpath "$0")")
source "$aqui/comum.sh"
source "$aqui/../.ci/comum.sh"
vezes=5
casos=$(casos_bench)
ajustes="1-thread all-cores one-core"
raiz=${TMPDIR:-/tmp}
while getopts "n:c:a:p:d:" opcao; do
    case $opcao in
        n) vezes=$OPTARG ;;
        c) casos=$OPTARG ;;
        a) ajustes=$OPTARG ;;
        p) bench_pausa=$OPTARG ;;
        d) raiz=$OPTARG ;;
        *) exit 2 ;;
    esac
done
shift $((OPTIND - 1))
[[ $vezes =~ ^[1-9][0-9]*$ ]] || { echo "-n wants a count of runs, 1 or more" >&2; exit 2; }
[ $# -gt 0 ] || set -- build/malhas_segmentos
programas=()
for p in "$@"; do programas+=("$(realpath "$p")"); done
[ -x /usr/bin/time ] || { echo "needs /usr/bin/time (Debian package 'time')" >&2; exit 1; }
pasta=$(mktemp -d "$raiz/malhas-bench.XXXXXX")

# --- Wine, for the Windows builds -------------------------------------------
tem_windows=
for p in "${programas[@]}"; do [[ $p == *.exe ]] && tem_windows=1; done
wine_pronto=
termina() {
    para_wine
    rm -rf "$pasta"
}
trap termina EXIT
if [ -n "$tem_windows" ] && command -v wine >/dev/null; then
    falso=
    for p in "${programas[@]}"; do
        [ -f "$(dirname "$p")/tests/interpretador_falso.exe" ] && falso=$(dirname "$p")/tests/interpretador_falso.exe
    done
    [ -n "$falso" ] || { echo "no tests/interpretador_falso.exe next to a Windows build" >&2; exit 1; }
    prepara_wine "$pasta/wine" "$pasta/wine.log"
    comspec_wine "$falso"
    wine_pronto=1
elif [ -n "$tem_windows" ]; then
    echo "Wine is not installed: the Windows builds are left out" >&2
fi

# --- Cases -----------------------------------------------------------------
for caso in $casos; do
    caso_bench "$caso" || exit 2
done

# ajustes_de PROGRAM CASE: the settings that program runs that case with.
ajustes_de() {
    caso_bench "$2"
    if [[ $1 == *.exe ]]; then
        [ -n "$wine_pronto" ] && [ "$caso_builds" = windows ] && echo "1-thread all-cores"
    elif [ "$caso_builds" = windows ]; then
        echo "all-cores"
    else
        echo "1-thread all-cores one-core"
    fi
    return 0
}

# aquece PROGRAM: the program started once in an empty folder, where it stops
# at once for want of entradas.txt, so that after the page cache was dropped
# the program and its libraries (or Wine's) are read back from the disk
# outside the timing: what is timed is the program's work.
aquece() {
    mkdir -p "$pasta/vazia"
    if [[ $1 == *.exe ]]; then
        (cd "$pasta/vazia" && timeout 60 "$(carregador_para "$1")" "$1" </dev/null >/dev/null 2>&1) || true
    else
        (cd "$pasta/vazia" && COMSPEC=/bin/true timeout 60 "$1" </dev/null >/dev/null 2>&1) || true
    fi
}

# roda PROGRAM SETTING DIR: one timed run, the previous run's result files
# removed, the machine settled and the program warmed first; appends
# "seconds KiB" to DIR/tempos.
roda() {
    local programa=$1 ajuste=$2 dir=$3 prefixo=() linhas= estado=0
    case $ajuste in
        1-thread) linhas=1 ;;
        one-core) prefixo=(taskset -c 0) ;;
    esac
    rm -f "$dir/caso.txt" "$dir/caso_vert.txt" "$dir/malha.txt"
    assenta
    aquece "$programa"
    if [[ $programa == *.exe ]]; then
        (cd "$dir" && MALHAS_LINHAS_EXECUCAO=$linhas /usr/bin/time -f '%e %M' -o "$dir/tempo" \
            "$(carregador_para "$programa")" "$programa" </dev/null >/dev/null 2>"$dir/erro") || estado=$?
    else
        (cd "$dir" && COMSPEC=/bin/true MALHAS_LINHAS_EXECUCAO=$linhas \
            /usr/bin/time -f '%e %M' -o "$dir/tempo" "${prefixo[@]}" "$programa" >/dev/null 2>"$dir/erro") ||
            estado=$?
    fi
    if [ "$estado" -ne 0 ]; then
        echo "$programa ($ajuste) ended with status $estado in $dir:" >&2
        cat "$dir/erro" >&2
        exit 1
    fi
    cat "$dir/tempo" >>"$dir/tempos"
    if [ ! -f "$dir/soma" ]; then
        cat "$dir"/caso.txt "$dir"/malha.txt "$dir"/caso_vert.txt | md5sum | cut -c1-32 >"$dir/soma"
    fi
}

# razoes REFERENCE_DIR DIR: the first build's time over this one's, round by
# round (the runs of a round are neighbours in time).
razoes() {
    paste -d' ' <(cut -d' ' -f1 "$1/tempos") <(cut -d' ' -f1 "$2/tempos") |
        awk '{print ($2 > 0 ? $1 / $2 : 0)}'
}

# nucleo: the kernel of the runs, as the program chooses it (src/tempo_execucao/nucleos.cpp).
nucleo() {
    local bandeiras largura=sse2 k
    bandeiras=" $(grep -m1 '^flags' /proc/cpuinfo | cut -d: -f2) "
    [[ $bandeiras == *" avx2 "* ]] && largura=avx2
    [[ $bandeiras == *" avx2 "* && $bandeiras == *" avx512f "* ]] && largura=avx512
    for k in generico sse2 avx2 avx512; do
        if [ "${MALHAS_NUCLEO:-}" = "$k" ]; then
            case $k in
                avx512) [ "$largura" = avx512 ] && { echo "$k (MALHAS_NUCLEO)"; return; } ;;
                avx2) [ "$largura" != sse2 ] && { echo "$k (MALHAS_NUCLEO)"; return; } ;;
                *) echo "$k (MALHAS_NUCLEO)"; return ;;
            esac
        fi
    done
    echo "$largura (the widest this processor runs)"
}

echo "machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(nproc) cores;" \
    "$vezes runs each, interleaved; $(como_assenta)"
echo "kernel: $(nucleo)"
diferentes=0
for caso in $casos; do
    alvos=()  # "program|setting|folder", the builds of a setting next to each other
    for a in $ajustes; do
        for i in "${!programas[@]}"; do
            p=${programas[$i]}
            [[ " $(ajustes_de "$p" "$caso") " == *" $a "* ]] || continue
            d=$pasta/$caso/$i-$a
            prepara_caso_bench "$d" "$caso"
            alvos+=("$p|$a|$d")
        done
    done
    [ "${#alvos[@]}" -gt 0 ] || continue
    # Every other round runs the builds in the opposite order, so that none
    # is always the one that runs right after another.
    for ((k = 0; k < vezes; k++)); do
        ordem=("${!alvos[@]}")
        if ((k % 2)); then
            mapfile -t ordem < <(printf '%s\n' "${!alvos[@]}" | tac)
        fi
        for j in "${ordem[@]}"; do
            IFS='|' read -r p a d <<<"${alvos[$j]}"
            roda "$p" "$a" "$d"
        done
    done

    titulo_caso "$caso"
    declare -A referencia=()
    soma_caso=
    for alvo in "${alvos[@]}"; do
        IFS='|' read -r p a d <<<"$alvo"
        mapfile -t tempos < <(cut -d' ' -f1 "$d/tempos")
        read -r minimo mediana maximo < <(min_mediana_max "${tempos[@]}")
        m=$(cut -d' ' -f2 "$d/tempos" | sort -g | tail -1)
        printf '  %-44s %-10s min %6.2f  median %6.2f  max %6.2f s   peak %7.1f MiB   files %s\n' \
            "$p" "$a" "$minimo" "$mediana" "$maximo" "$(awk -v m="$m" 'BEGIN {print m / 1024}')" \
            "$(cut -c1-8 "$d/soma")"
        echo "      runs: ${tempos[*]}"
        chave=$a
        if [[ $p == *.exe ]]; then
            # The machine field of the PE header: 014c for 32-bit, 8664 for 64-bit.
            chave=$a-$(od -An -tx2 -j "$(($(od -An -tu4 -j60 -N4 "$p") + 4))" -N2 "$p" | tr -d ' ')
        fi
        if [ -z "${referencia[$chave]:-}" ]; then
            referencia[$chave]=$d
        else
            r=${referencia[$chave]}
            mapfile -t por_rodada < <(razoes "$r" "$d")
            read -r rmin _ rmax < <(min_mediana_max "${por_rodada[@]}")
            mapfile -t tempos_referencia < <(cut -d' ' -f1 "$r/tempos")
            read -r _ rmed _ < <(min_mediana_max "${tempos_referencia[@]}")
            awk -v r="$rmed" -v t="$mediana" -v a="$rmin" -v b="$rmax" \
                'BEGIN {printf "      first build / this: x%.2f (medians; run by run x%.2f to x%.2f)\n",
                        (t > 0 ? r / t : 0), a, b}'
        fi
        if [ -z "$soma_caso" ]; then
            soma_caso=$(cat "$d/soma")
        fi
        if [ "$(cat "$d/soma")" != "$soma_caso" ]; then
            echo "      RESULT FILES DIFFER from those of the first build above" >&2
            diferentes=$((diferentes + 1))
        fi
    done
    unset referencia
done
[ "$diferentes" -eq 0 ]
