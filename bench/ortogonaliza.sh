#!/usr/bin/env bash
# The time to make a solver-grade mesh, side by side with malhas_segmentos
# making the smoothed mesh (kind 2) of the same size, settled:
#  - the niter that settles the kind-2 mesh (largest move below 0.001 of the
#    shortest edge from then on, the summary's 'settled') is found first by
#    malhas_qualidade --historico, with niter_solver 20 (the shipped
#    example's);
#  - then, per round, in turn (the order reversed every other round), each
#    after the machine has settled (bench/comum.sh): malhas_segmentos with
#    that niter (the mesh and its three result files), and
#    malhas_qualidade --ortogonaliza --grava (the mesh, its summary and the
#    same three files), ungraded and with --gradua 2; with -a, the same two
#    with another build's malhas_qualidade (the one before a change).
# Reports the minimum, median and maximum wall time of each and the ratio of
# the medians.
# Usage: bench/ortogonaliza.sh [-n RUNS] [-s NVOL_KSIxNVOL_ETA] [-a OTHER BUILD] [-p SECONDS] [BUILD FOLDER]
#   defaults: 5 runs, 320x160, a pause of 1 s, build
set -euo pipefail
aqui=$(dirname "$(realpath "$0")")
source "$aqui/comum.sh"
vezes=5
tamanho=320x160
antes=
while getopts "n:s:a:p:" opcao; do
    case $opcao in
        n) vezes=$OPTARG ;;
        s) tamanho=$OPTARG ;;
        a) antes=$(realpath "$OPTARG") ;;
        p) bench_pausa=$OPTARG ;;
        *) exit 2 ;;
    esac
done
shift $((OPTIND - 1))
[[ $vezes =~ ^[1-9][0-9]*$ ]] || { echo "-n wants a count of runs, 1 or more" >&2; exit 2; }
[[ $tamanho =~ ^([0-9]+)x([0-9]+)$ ]] || { echo "-s wants NVOL_KSIxNVOL_ETA" >&2; exit 2; }
nk=${BASH_REMATCH[1]}
ne=${BASH_REMATCH[2]}
build=$(realpath "${1:-build}")
segmentos=$build/malhas_segmentos
qualidade=$build/malhas_qualidade
pasta=$(mktemp -d)
trap 'rm -rf "$pasta"' EXIT

# The niter that settles kind 2 at this size.
d=$pasta/historico
mkdir -p "$d"
printf '%s\r\n' "'l'" "$nk" "$ne" 2 >"$d/entradas.txt"
printf '%s\r\n' 20 4000 0.001 1.0 1.0 1 1 >"$d/entrada_eq_elipticas.txt"
(cd "$d" && COMSPEC=/bin/true "$segmentos")
niter=$("$qualidade" --historico "$d/h.csv" "$d" 2>/dev/null | sed -n 's/.*niter = \([0-9]*\) would do.*/\1/p')
[ -n "$niter" ] || { echo "--historico found no settling niter below 4000" >&2; exit 1; }

mkdir -p "$pasta/segmentos" "$pasta/ortogonal"
printf '%s\r\n' "'l'" "$nk" "$ne" 2 >"$pasta/segmentos/entradas.txt"
printf '%s\r\n' 20 "$niter" 0.001 1.0 1.0 1 1 >"$pasta/segmentos/entrada_eq_elipticas.txt"
printf '%s\r\n' "'l'" "$nk" "$ne" 1 >"$pasta/ortogonal/entradas.txt"

declare -A comando=(
    [segmentos]="cd $pasta/segmentos && COMSPEC=/bin/true $segmentos"
    [ortogonal]="$qualidade --ortogonaliza --grava $pasta/ortogonal/grade $pasta/ortogonal"
    [graduada]="$qualidade --ortogonaliza --gradua 2 --grava $pasta/ortogonal/graduada $pasta/ortogonal")
passos=(segmentos ortogonal graduada)
if [ -n "$antes" ]; then
    # Builds before the companion's rooms kept it one folder further down.
    qualidade_antes=$antes/malhas_qualidade
    [ -x "$qualidade_antes" ] || qualidade_antes=$antes/src/malhas_qualidade/malhas_qualidade
    comando[ortogonal_antes]="$qualidade_antes --ortogonaliza --grava $pasta/ortogonal/grade_antes $pasta/ortogonal"
    comando[graduada_antes]="$qualidade_antes --ortogonaliza --gradua 2 --grava $pasta/ortogonal/graduada_antes $pasta/ortogonal"
    passos+=(ortogonal_antes graduada_antes)
fi
declare -A tempos
for passo in "${passos[@]}"; do tempos[$passo]=""; done
for ((k = 0; k < vezes; k++)); do
    ordem=("${passos[@]}")
    if ((k % 2)); then
        mapfile -t ordem < <(printf '%s\n' "${passos[@]}" | tac)
    fi
    for passo in "${ordem[@]}"; do
        assenta
        inicio=$(date +%s.%N)
        bash -c "${comando[$passo]}" >/dev/null 2>"$pasta/erro" || {
            status=$?
            # 4: the solver-grade mesh did not settle within its limit.
            echo "$passo ended with status $status:" >&2
            cat "$pasta/erro" >&2
            exit 1
        }
        fim=$(date +%s.%N)
        tempos[$passo]+=" $(awk -v a="$inicio" -v b="$fim" 'BEGIN {printf "%.3f", b - a}')"
    done
done

echo "machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(nproc) cores," \
    "load average $(cut -d' ' -f1-3 /proc/loadavg); $vezes runs each, interleaved; $(como_assenta)"
echo "size $nk x $ne; kind 2 settles at niter $niter with niter_solver 20 (malhas_qualidade --historico)"
declare -A mediana
for passo in "${passos[@]}"; do
    # shellcheck disable=SC2086
    read -r minimo med maximo < <(resumo ${tempos[$passo]})
    mediana[$passo]=$med
    printf '  %-15s min %7.2f  median %7.2f  max %7.2f s   runs:%s\n' "$passo" "$minimo" "$med" "$maximo" \
        "${tempos[$passo]}"
done
for passo in "${passos[@]:1}"; do
    awk -v a="${mediana[$passo]}" -v b="${mediana[segmentos]}" -v p="$passo" \
        'BEGIN {printf "  %s / segmentos, medians: %.2f\n", p, a / b}'
done
