#!/usr/bin/env bash
# Whole runs of the program on three big cases, timed over several runs in a
# temporary folder: median wall time and peak memory (resident set) of each.
#   (a) mesh kind 1, 1000 x 1000 volumes (about 380 MB of result files)
#   (b) mesh kind 2, 400 x 200, niter 20, niter_solver 50, dksi = deta = 1
#   (c) mesh kind 2, 2000 x 1000, niter 2, niter_solver 10
# Usage: bench/run.sh [PROGRAM] [RUNS]   (defaults: build/malhas_segmentos, 5)
# The viewers are replaced by /bin/true through COMSPEC, so only the program
# itself is measured.
set -euo pipefail
programa=$(realpath "${1:-build/malhas_segmentos}")
vezes=${2:-5}
[ -x /usr/bin/time ] || { echo "needs /usr/bin/time (Debian package 'time')" >&2; exit 1; }
pasta=$(mktemp -d)
trap 'rm -rf "$pasta"' EXIT

caso() {  # name, volumes along ksi and eta, kind, niter_solver, niter
    local nome=$1 nk=$2 ne=$3 tipo=$4 ns=$5 ni=$6
    mkdir -p "$pasta/$nome"
    printf '%s\n%s\n%s\n%s\n' "$nome" "$nk" "$ne" "$tipo" >"$pasta/$nome/entradas.txt"
    printf '%s\n%s\n0.001\n1.0\n1.0\n1\n1\n' "$ns" "$ni" >"$pasta/$nome/entrada_eq_elipticas.txt"
    local tempos=() memorias=()
    for ((k = 0; k < vezes; k++)); do
        rm -f "$pasta/$nome/$nome.txt" "$pasta/$nome/${nome}_vert.txt" "$pasta/$nome/malha.txt"
        sync
        (cd "$pasta/$nome" && COMSPEC=/bin/true /usr/bin/time -f '%e %M' -o "$pasta/tempo" "$programa")
        read -r t m <"$pasta/tempo"
        tempos+=("$t")
        memorias+=("$m")
    done
    local mediana memoria bytes
    mediana=$(printf '%s\n' "${tempos[@]}" | sort -g | awk '{v[NR]=$1} END {print (NR%2 ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2)}')
    memoria=$(printf '%s\n' "${memorias[@]}" | sort -g | tail -1)
    bytes=$(cat "$pasta/$nome"/*.txt | wc -c)
    printf '%-28s median %6.2f s   peak %7.1f MiB   runs: %s   result files %d MB\n' \
        "$nome ($nk x $ne, kind $tipo)" "$mediana" "$(awk -v m="$memoria" 'BEGIN {print m / 1024}')" "${tempos[*]}" \
        $((bytes / 1000000))
}

caso a_algebrica 1000 1000 1 0 0
caso b_eliptica 400 200 2 50 20
caso c_eliptica 2000 1000 2 10 2
