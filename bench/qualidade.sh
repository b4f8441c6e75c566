#!/usr/bin/env bash
# malhas_qualidade on a case of bench/casos, by default (c), the largest
# smoothed mesh (about 230 MB of report and volume files): minimum, median and maximum wall time, the same of the processor
# time (user + system, which a busy shared machine disturbs less) and peak
# memory (resident set) of the summary alone and of the summary with each
# export, over several runs. The machine settles before every run as in
# bench/run.sh (see bench/comum.sh); the files read and the program are then
# read once more outside the timing, so that every run finds them in the page
# cache and the disk is not what is measured.
# Usage: bench/qualidade.sh [-p SECONDS] [-c CASE] [BUILD FOLDER] [RUNS]
#   defaults: 1 s pause, case c, build (what "cmake --workflow --preset
#   release" builds), 5 runs
# Run as root so that the page cache can be dropped between runs.
set -euo pipefail
source "$(dirname "$(realpath "$0")")/comum.sh"
caso=c
while getopts "p:c:" opcao; do
    case $opcao in
        p) bench_pausa=$OPTARG ;;
        c) caso=$OPTARG ;;
        *) exit 2 ;;
    esac
done
shift $((OPTIND - 1))
build=$(realpath "${1:-build}")
vezes=${2:-5}
[[ $vezes =~ ^[1-9][0-9]*$ ]] || { echo "RUNS wants a count of runs, 1 or more" >&2; exit 2; }
segmentos=$build/malhas_segmentos
qualidade=$build/malhas_qualidade
[ -x /usr/bin/time ] || { echo "needs /usr/bin/time (Debian package 'time')" >&2; exit 1; }
pasta=$(mktemp -d)
trap 'rm -rf "$pasta"' EXIT

prepara_caso_bench "$pasta" "$caso" || exit 2
(cd "$pasta" && COMSPEC=/bin/true "$segmentos")
bytes=$(cat "$pasta/caso.txt" "$pasta/caso_vert.txt" | wc -c)
echo "$(titulo_caso "$caso"): report and volume files $((bytes / 1000000)) MB; $vezes runs each;" \
    "$(como_assenta), then the files it reads warmed"

mede() {  # label, then the options
    local rotulo=$1
    shift
    local tempos=() cpus=() memorias=() t u s m
    for ((k = 0; k < vezes; k++)); do
        rm -f "$pasta"/saida.*
        assenta
        cat "$pasta"/*.txt >/dev/null
        "$qualidade" --version >/dev/null
        (cd "$pasta" && /usr/bin/time -f '%e %U %S %M' -o "$pasta/tempo" "$qualidade" "$@" >/dev/null)
        read -r t u s m <"$pasta/tempo"
        tempos+=("$t")
        cpus+=("$(awk -v u="$u" -v s="$s" 'BEGIN {print u + s}')")
        memorias+=("$m")
    done
    local memoria parede processador
    memoria=$(printf '%s\n' "${memorias[@]}" | sort -g | tail -1)
    read -r -a parede < <(min_mediana_max "${tempos[@]}")
    read -r -a processador < <(min_mediana_max "${cpus[@]}")
    printf '%-18s wall min %5.2f median %5.2f max %5.2f s   processor min %5.2f median %5.2f max %5.2f s   peak %7.1f MiB\n' \
        "$rotulo" "${parede[@]}" "${processador[@]}" "$(awk -v m="$memoria" 'BEGIN {print m / 1024}')"
    echo "    runs: ${tempos[*]}"
    for f in "$pasta"/saida.*; do
        [ -e "$f" ] && echo "    $(basename "$f"): $(($(wc -c <"$f") / 1000000)) MB"
    done
    return 0
}

mede "summary"
mede "summary + --vtk" --vtk saida.vts
mede "summary + --msh" --msh saida.msh
mede "summary + --csv" --csv saida.csv
