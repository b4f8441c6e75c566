#!/usr/bin/env bash
# malhas_qualidade --historico side by side with malhas_segmentos on the
# cases of mesh kind 2 of bench/casos.
# Per round, in turn (the order reversed every other round, so that neither
# always runs right after the other): the program's whole run, the
# companion's summary alone, and the summary with --historico (the table),
# each after the machine has settled (see bench/comum.sh: sync, page cache
# dropped when root, a pause). Reports the minimum, median and maximum wall
# time and the peak memory of each, the ratio of the history's median to the
# program's with its run-by-run spread, and the same for the history's own
# share (the run with --historico less the summary alone). Every history must
# end with the proof that the result files are the re-run's.
# Usage: bench/historico.sh [-n RUNS] [-c CASES] [-p SECONDS] [BUILD FOLDER]
#   defaults: 5 runs, every case of mesh kind 2, a pause of 1 s, build (what
#   "cmake --workflow --preset release" builds)
# Run as root so that the page cache can be dropped between runs.
set -euo pipefail
aqui=$(dirname "$(realpath "$0")")
source "$aqui/comum.sh"
vezes=5
casos=$(casos_bench 2)
while getopts "n:c:p:" opcao; do
    case $opcao in
        n) vezes=$OPTARG ;;
        c) casos=$OPTARG ;;
        p) bench_pausa=$OPTARG ;;
        *) exit 2 ;;
    esac
done
shift $((OPTIND - 1))
[[ $vezes =~ ^[1-9][0-9]*$ ]] || { echo "-n wants a count of runs, 1 or more" >&2; exit 2; }
build=$(realpath "${1:-build}")
segmentos=$build/malhas_segmentos
qualidade=$build/malhas_qualidade
[ -x /usr/bin/time ] || { echo "needs /usr/bin/time (Debian package 'time')" >&2; exit 1; }
pasta=$(mktemp -d)
trap 'rm -rf "$pasta"' EXIT

# mede LABEL DIR COMMAND...: one timed run in DIR after the machine settled;
# appends "seconds KiB" to DIR/LABEL.
mede() {
    local rotulo=$1 dir=$2
    shift 2
    assenta
    (cd "$dir" && COMSPEC=/bin/true /usr/bin/time -f '%e %M' -o "$dir/tempo" "$@" >"$dir/saida" 2>"$dir/erro") || {
        echo "$rotulo ended with status $? in $dir:" >&2
        cat "$dir/erro" >&2
        exit 1
    }
    cat "$dir/tempo" >>"$dir/$rotulo"
}

linha() {  # LABEL DIR: minimum, median, maximum and peak of DIR/LABEL
    local tempos m
    mapfile -t tempos < <(cut -d' ' -f1 "$2/$1")
    read -r minimo mediana maximo < <(min_mediana_max "${tempos[@]}")
    m=$(cut -d' ' -f2 "$2/$1" | sort -g | tail -1)
    printf '  %-32s min %6.2f  median %6.2f  max %6.2f s   peak %7.1f MiB\n' "$3" "$minimo" "$mediana" "$maximo" \
        "$(awk -v m="$m" 'BEGIN {print m / 1024}')"
    echo "      runs: ${tempos[*]}"
}

echo "machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(nproc) cores;" \
    "$vezes runs each, interleaved; $(como_assenta)"
for caso in $casos; do
    caso_bench "$caso" || exit 2
    [ "$caso_tipo" = 2 ] || { echo "case ($caso) is of mesh kind $caso_tipo: it has no history" >&2; exit 2; }
    d=$pasta/$caso
    prepara_caso_bench "$d" "$caso"
    (cd "$d" && COMSPEC=/bin/true "$segmentos")
    passos=(programa resumo historico)
    for ((k = 0; k < vezes; k++)); do
        ordem=(0 1 2)
        ((k % 2)) && ordem=(2 1 0)
        for j in "${ordem[@]}"; do
            case ${passos[$j]} in
                programa) mede programa "$d" "$segmentos" ;;
                resumo) mede resumo "$d" "$qualidade" ;;
                historico)
                    mede historico "$d" "$qualidade" --historico "$d/h.csv"
                    grep -q "proof: the re-run's final coordinates are" "$d/saida" || {
                        echo "the history of ($caso) does not reproduce the result files:" >&2
                        cat "$d/saida" >&2
                        exit 1
                    }
                    ;;
            esac
        done
    done
    titulo_caso "$caso"
    linha programa "$d" "malhas_segmentos"
    linha resumo "$d" "malhas_qualidade (summary)"
    linha historico "$d" "malhas_qualidade --historico"
    # Run by run: the runs of a round are neighbours in time.
    mediana() { mapfile -t v < <(cut -d' ' -f1 "$d/$1"); read -r _ m _ < <(min_mediana_max "${v[@]}"); echo "$m"; }
    mp=$(mediana programa) mr=$(mediana resumo) mh=$(mediana historico)
    mapfile -t toda < <(paste -d' ' <(cut -d' ' -f1 "$d/programa") <(cut -d' ' -f1 "$d/historico") |
        awk '{print $2 / $1}')
    mapfile -t propria < <(paste -d' ' <(cut -d' ' -f1 "$d/programa") <(cut -d' ' -f1 "$d/resumo") \
        <(cut -d' ' -f1 "$d/historico") | awk '{print ($3 - $2) / $1}')
    read -r a _ b < <(min_mediana_max "${toda[@]}")
    awk -v h="$mh" -v p="$mp" -v a="$a" -v b="$b" \
        'BEGIN {printf "  --historico / program:             x%.2f (medians; run by run x%.2f to x%.2f)\n", h / p, a, b}'
    read -r a _ b < <(min_mediana_max "${propria[@]}")
    awk -v h="$mh" -v r="$mr" -v p="$mp" -v a="$a" -v b="$b" \
        'BEGIN {printf "  (--historico - summary) / program: x%.2f (medians; run by run x%.2f to x%.2f)\n", (h - r) / p, a, b}'
done
