#!/usr/bin/env bash
# malhas_qualidade on case (c) of bench/run.sh (mesh kind 2, 2000 x 1000
# volumes, niter 2, niter_solver 10; about 230 MB of report and volume
# files): median wall time, median processor time (user + system, which a
# busy shared machine disturbs less) and peak memory (resident set) of the
# summary alone and of the summary with each export, over several runs.
# Usage: bench/qualidade.sh [BUILD FOLDER] [RUNS]   (defaults: build, 5)
set -euo pipefail
build=$(realpath "${1:-build}")
vezes=${2:-5}
segmentos=$build/malhas_segmentos
qualidade=$build/src/malhas_qualidade/malhas_qualidade
[ -x /usr/bin/time ] || { echo "needs /usr/bin/time (Debian package 'time')" >&2; exit 1; }
pasta=$(mktemp -d)
trap 'rm -rf "$pasta"' EXIT

printf 'c_eliptica\n2000\n1000\n2\n' >"$pasta/entradas.txt"
printf '10\n2\n0.001\n1.0\n1.0\n1\n1\n' >"$pasta/entrada_eq_elipticas.txt"
(cd "$pasta" && COMSPEC=/bin/true "$segmentos")
bytes=$(cat "$pasta/c_eliptica.txt" "$pasta/c_eliptica_vert.txt" | wc -c)
echo "case (c): 2000 x 1000 volumes, report and volume files $((bytes / 1000000)) MB"

mede() {  # label, then the options
    local rotulo=$1
    shift
    local tempos=() cpus=() memorias=()
    for ((k = 0; k < vezes; k++)); do
        rm -f "$pasta"/saida.*
        (cd "$pasta" && /usr/bin/time -f '%e %U %S %M' -o "$pasta/tempo" "$qualidade" "$@" >/dev/null)
        read -r t u s m <"$pasta/tempo"
        tempos+=("$t")
        cpus+=("$(awk -v u="$u" -v s="$s" 'BEGIN {print u + s}')")
        memorias+=("$m")
    done
    local memoria
    memoria=$(printf '%s\n' "${memorias[@]}" | sort -g | tail -1)
    printf '%-22s median %6.2f s (processor %5.2f s)   peak %7.1f MiB   runs: %s\n' "$rotulo" \
        "$(mediana "${tempos[@]}")" "$(mediana "${cpus[@]}")" "$(awk -v m="$memoria" 'BEGIN {print m / 1024}')" \
        "${tempos[*]}"
    for f in "$pasta"/saida.*; do
        [ -e "$f" ] && echo "    $(basename "$f"): $(($(wc -c <"$f") / 1000000)) MB"
    done
    return 0
}

mediana() {
    printf '%s\n' "$@" | sort -g | awk '{v[NR]=$1} END {print (NR%2 ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2)}'
}

mede "summary"
mede "summary + --vtk" --vtk saida.vts
mede "summary + --msh" --msh saida.msh
mede "summary + --csv" --csv saida.csv
