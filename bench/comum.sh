# What the benchmark scripts share, sourced by each of them: the cases
# (bench/casos), letting the machine settle before each timed run, and the
# summary of a set of times. Sourcing it only defines functions and
# variables.
#
# The big cases write hundreds of megabytes. Left alone, the kernel writes a
# run's dirty pages back while the next run is timed, and the page cache they
# fill leaves the next run less free memory: single runs then spread two to
# four times. So before every timed run the files of the previous one are
# flushed to the disk (sync), dropped from the page cache when this process
# may do so (root, with /proc/sys writable), and the machine is given a
# moment for the kernel's writeback threads to go quiet.

# Seconds of pause after the flush; the scripts' -p option sets it.
bench_pausa=1

# Whether the page cache can be dropped here: tried once, harmlessly, since
# the test is the write itself (/proc/sys may be read-only even to root).
bench_descarta=
if [ -w /proc/sys/vm/drop_caches ] && (echo 1 >/proc/sys/vm/drop_caches) 2>/dev/null; then
    bench_descarta=1
fi

# assenta: the machine settled before a timed run.
assenta() {
    sync
    if [ -n "$bench_descarta" ]; then
        echo 1 >/proc/sys/vm/drop_caches
    fi
    sleep "$bench_pausa"
}

# como_assenta: how runs are settled, for the header of a report.
como_assenta() {
    if [ -n "$bench_descarta" ]; then
        echo "before each run: sync, page cache dropped, ${bench_pausa} s pause"
    else
        echo "before each run: sync, ${bench_pausa} s pause (page cache not dropped: not root)"
    fi
}

# min_mediana_max VALUE...: minimum, median and maximum of the values, on
# one line. (Not "resumo": bench/run.sh also sources .ci/comum.sh, whose
# resumo is CI's line on what a script ran.)
min_mediana_max() {
    printf '%s\n' "$@" | sort -g |
        awk '{v[NR] = $1} END {print v[1], (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2), v[NR]}'
}

# --- The cases (bench/casos) -------------------------------------------------

bench_casos_arquivo=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/casos

# casos_bench [KIND]: the letters of the cases, in the file's order; with
# KIND, only those of that mesh kind.
casos_bench() {
    awk -v tipo="${1:-}" '/^[a-z][ \t]/ && (tipo == "" || $4 == tipo) { printf "%s%s", sep, $1; sep = " " }
                          END { print "" }' "$bench_casos_arquivo"
}

# caso_bench LETTER: the case's values in caso_nk, caso_ne, caso_tipo,
# caso_ns (niter_solver), caso_ni (niter) and caso_builds; status 1, with a
# message naming the cases there are, for a letter that names none.
caso_bench() {
    local linha
    linha=$(awk -v c="$1" '$1 == c && /^[a-z][ \t]/ { print; exit }' "$bench_casos_arquivo")
    if [ -z "$linha" ]; then
        echo "no case ($1): the cases are $(casos_bench) (bench/casos)" >&2
        return 1
    fi
    read -r _ caso_nk caso_ne caso_tipo caso_ns caso_ni caso_builds _ <<<"$linha"
}

# titulo_caso LETTER: the case in words, for a report.
titulo_caso() {
    caso_bench "$1" || return 1
    if [ "$caso_tipo" = 2 ]; then
        echo "($1) kind 2, $caso_nk x $caso_ne, niter $caso_ni x niter_solver $caso_ns"
    else
        echo "($1) kind $caso_tipo, $caso_nk x $caso_ne"
    fi
}

# prepara_caso_bench FOLDER LETTER: the case's two input files in FOLDER
# (made when missing), for the case name "caso", with the CR LF ends of the
# files the program's users write on Windows.
prepara_caso_bench() {
    caso_bench "$2" || return 1
    mkdir -p "$1"
    printf '%s\r\n' caso "$caso_nk" "$caso_ne" "$caso_tipo" >"$1/entradas.txt"
    printf '%s\r\n' "$caso_ns" "$caso_ni" 0.001 1.0 1.0 1 1 >"$1/entrada_eq_elipticas.txt"
}
