#!/usr/bin/env bash
# What each export of malhas_qualidade costs over the summary alone, on a
# case of bench/casos, by default (c), the largest smoothed mesh: wall time (min / median / max over the runs), processor
# time (user + system, median: a busy shared machine disturbs it less) and
# peak memory (resident set, from /usr/bin/time -v), the summary and every
# export measured side by side, run after run, with sync between runs and
# each run's outputs removed first (replacing an older file of hundreds of
# megabytes would be timed too). The aim: at most 2 s and twice the
# summary's peak memory more than the summary alone.
# Usage: bench/exportacoes.sh [-c CASE] [BUILD FOLDER] [RUNS]
#   defaults: case c, build (what "cmake --workflow --preset release"
#   builds), 5 runs
set -euo pipefail
source "$(dirname "$(realpath "$0")")/comum.sh"
caso=c
while getopts "c:" opcao; do
    case $opcao in
        c) caso=$OPTARG ;;
        *) exit 2 ;;
    esac
done
shift $((OPTIND - 1))
build=$(realpath "${1:-build}")
vezes=${2:-5}
segmentos=$build/malhas_segmentos
qualidade=$build/malhas_qualidade
[ -x /usr/bin/time ] || { echo "needs /usr/bin/time (Debian package 'time')" >&2; exit 1; }
pasta=$(mktemp -d)
trap 'rm -rf "$pasta"' EXIT

prepara_caso_bench "$pasta" "$caso" || exit 2
(cd "$pasta" && COMSPEC=/bin/true "$segmentos")
echo "$(titulo_caso "$caso"): $vezes runs of each, in turn"

rotulos=("summary" "--openfoam" "--plot3d" "--su2" "--vtk .vtu" "--vtk .vts" "--msh" "--csv")
opcoes=("" "--openfoam saida_of" "--plot3d saida.p3d" "--su2 saida.su2" "--vtk saida.vtu" "--vtk saida.vts"
    "--msh saida.msh" "--csv saida.csv")
declare -A paredes processadores memorias tamanhos

segundos() {  # m:ss.ss or h:mm:ss -> seconds
    awk -F: '{ s = 0; for (k = 1; k <= NF; k++) s = s * 60 + $k; print s }' <<<"$1"
}

for ((r = 0; r < vezes; r++)); do
    for k in "${!rotulos[@]}"; do
        rm -rf "$pasta"/saida*
        sync
        # shellcheck disable=SC2086  # the options are words
        (cd "$pasta" && /usr/bin/time -v -o "$pasta/tempo" "$qualidade" ${opcoes[$k]} >/dev/null 2>"$pasta/erro") ||
            { cat "$pasta/erro" "$pasta/tempo"; exit 1; }
        parede=$(segundos "$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$pasta/tempo")")
        usuario=$(sed -n 's/.*User time (seconds): //p' "$pasta/tempo")
        sistema=$(sed -n 's/.*System time (seconds): //p' "$pasta/tempo")
        memoria=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$pasta/tempo")
        paredes[$k]+="$parede "
        processadores[$k]+="$(awk -v u="$usuario" -v s="$sistema" 'BEGIN {print u + s}') "
        memorias[$k]+="$memoria "
        saidas=("$pasta"/saida*)
        tamanhos[$k]=0
        [ -e "${saidas[0]}" ] && tamanhos[$k]=$(du -sbc "${saidas[@]}" | tail -1 | awk '{printf "%d", $1 / 1000000}')
    done
done

estatistica() {  # min median max of the numbers in the text given
    tr ' ' '\n' <<<"$1" | grep . | sort -g | awk '{v[NR] = $1} END {
        m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
        printf "%.2f %.2f %.2f", v[1], m, v[NR] }'
}

maior() {  # the largest of the numbers in the text given
    tr ' ' '\n' <<<"$1" | grep . | sort -g | tail -1
}

read -r _ parede_base _ <<<"$(estatistica "${paredes[0]}")"
read -r _ processador_base _ <<<"$(estatistica "${processadores[0]}")"
memoria_base=$(maior "${memorias[0]}")
printf '%-12s %22s %10s %11s %9s %10s %6s  %s\n' "" "wall min/median/max" "over sum." "processor" "over sum." \
    "peak MiB" "x sum." "output"
for k in "${!rotulos[@]}"; do
    read -r mn md mx <<<"$(estatistica "${paredes[$k]}")"
    read -r _ pr _ <<<"$(estatistica "${processadores[$k]}")"
    pico=$(maior "${memorias[$k]}")
    printf '%-12s %6.2f %6.2f %6.2f s %+9.2f s %9.2f s %+8.2f s %8.1f %5.2fx  %s MB\n' "${rotulos[$k]}" "$mn" "$md" "$mx" \
        "$(awk -v a="$md" -v b="$parede_base" 'BEGIN {print a - b}')" "$pr" \
        "$(awk -v a="$pr" -v b="$processador_base" 'BEGIN {print a - b}')" \
        "$(awk -v m="$pico" 'BEGIN {print m / 1024}')" "$(awk -v m="$pico" -v b="$memoria_base" 'BEGIN {print m / b}')" \
        "${tamanhos[$k]:-0}"
done
