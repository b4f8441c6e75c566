# What the benchmark scripts share, sourced by bench/run.sh and
# bench/qualidade.sh: letting the machine settle before each timed run, and
# the summary of a set of times. Sourcing it only defines functions and
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

# resumo VALUE...: minimum, median and maximum of the values, on one line.
resumo() {
    printf '%s\n' "$@" | sort -g |
        awk '{v[NR] = $1} END {print v[1], (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2), v[NR]}'
}
