#!/usr/bin/env bash
# Builds the program with g++ at -O0 and -O2 and with clang++ at -O2, runs the
# same cases with each, and compares the result files byte for byte: the
# arithmetic must not depend on the compiler or the optimisation level.
# Usage: compara_compiladores.sh SOURCE_DIR WORK_DIR
set -euo pipefail
fonte=$1
trabalho=$2
rm -rf "$trabalho"
mkdir -p "$trabalho"

if ! command -v clang++ >/dev/null 2>&1; then
    echo "clang++ not found: comparison skipped"
    exit 77
fi

declare -A compiladores=([gcc-O0]="g++|-O0" [gcc-O2]="g++|-O2" [clang-O2]="clang++|-O2")
for nome in "${!compiladores[@]}"; do
    IFS='|' read -r cxx nivel <<<"${compiladores[$nome]}"
    cmake -S "$fonte" -B "$trabalho/build-$nome" -DCMAKE_BUILD_TYPE=None -DBUILD_TESTING=OFF \
        -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_CXX_FLAGS="$nivel" >/dev/null
    cmake --build "$trabalho/build-$nome" -j2 --target malhas_segmentos >/dev/null
done

# name, volumes along ksi and eta, kind, then the seven parameters
casos=(
    "par 6 4 2 3 5 0.001 1.0 1.0 1 1"
    "impar 7 3 2 2 4 0.001 1.0 1.0 1 1"
    "desigual 20 10 2 10 20 0.001 1.0 2.0 1 1"
    "negativo 9 6 2 7 3 0.001 -0.5 1.5 1 1"
    "uma_linha 5 2 2 1 2 0.001 1.0 1.0 1 1"
    "algebrica 9 5 1 0 0 0 0 0 0 0"
)
falhas=0
for caso in "${casos[@]}"; do
    read -r nome nk ne tipo ns ni r dk de tp tq <<<"$caso"
    for compilador in "${!compiladores[@]}"; do
        pasta="$trabalho/casos/$compilador/$nome"
        mkdir -p "$pasta"
        printf '%s\n%s\n%s\n%s\n' "$nome" "$nk" "$ne" "$tipo" >"$pasta/entradas.txt"
        printf '%s\n' "$ns" "$ni" "$r" "$dk" "$de" "$tp" "$tq" >"$pasta/entrada_eq_elipticas.txt"
        (cd "$pasta" && COMSPEC=/bin/true "$trabalho/build-$compilador/malhas_segmentos")
    done
    for arquivo in "$nome.txt" malha.txt "${nome}_vert.txt"; do
        for compilador in gcc-O2 clang-O2; do
            if ! cmp "$trabalho/casos/gcc-O0/$nome/$arquivo" "$trabalho/casos/$compilador/$nome/$arquivo"; then
                falhas=$((falhas + 1))
            fi
        done
    done
done
echo "${#casos[@]} cases, 3 builds: $falhas differing files"
[ "$falhas" -eq 0 ]
