# What the scripts of .ci/ share, sourced by each of them (and by bench/run.sh
# for Wine): package installs that ride out a package archive caught in the
# middle of a mirror sync, the throwaway Wine prefix and its server, and the
# bounded fuzz run. Sourcing it only defines functions and variables; nothing
# runs until they are called.
#
# Settings, from the environment:
#   MALHAS_CI_TENTATIVAS  tries of each package install (default 3); between
#                         two tries the package lists are fetched again
#   MALHAS_CI_ESPERA      seconds between two tries (default 30)
#   MALHAS_CI_FALHA_I386  when 1, the install of wine32:i386 fails the way the
#                         archive makes it fail when its i386 index is out of
#                         step with the amd64 one (see instala_wine32): how to
#                         check, on any machine, that CI still runs the rest
#   MALHAS_CI_AVISOS      a file that collects the "not run" notices, so that
#                         .ci/run can repeat them all at its end

export DEBIAN_FRONTEND=noninteractive

malhas_ci_tentativas=${MALHAS_CI_TENTATIVAS:-3}
malhas_ci_espera=${MALHAS_CI_ESPERA:-30}
if ! [[ $malhas_ci_tentativas =~ ^[1-9][0-9]*$ && $malhas_ci_espera =~ ^[0-9]+$ ]]; then
    echo "MALHAS_CI_TENTATIVAS wants 1 or more tries, MALHAS_CI_ESPERA seconds" >&2
    exit 2
fi
# apt's messages in English whatever the machine's language: instala_wine32
# reads them to tell the archive's faults from the machine's. Another package
# manager (an unattended upgrade, another job on the same machine) may hold
# dpkg's lock for a while: wait for it instead of failing.
malhas_ci_apt=(env LC_ALL=C apt-get -q -o DPkg::Lock::Timeout=600)
# What instala_com_tentativas runs; instala_wine32 swaps it for the
# simulated failure.
malhas_ci_instalador=("${malhas_ci_apt[@]}" install -y --no-install-recommends)

# Empty while the 32-bit Wine is there; otherwise why it is not (set by
# instala_wine32), and every part that needs it is left out, loudly.
wine32_ausente=

# --- Packages ---------------------------------------------------------------

# atualiza_listas: the package lists fetched again. A list that fails (an
# index caught in a mirror sync) is only a warning here: the install that
# follows is the judge, since the old lists may well still do.
atualiza_listas() {
    "${malhas_ci_apt[@]}" update || echo "== warning: apt-get update failed; going on with the lists there are" >&2
}

# faltando PACKAGE...: prints those of the packages dpkg does not have.
faltando() {
    local pacote
    for pacote in "$@"; do
        dpkg -s "$pacote" >/dev/null 2>&1 || echo "$pacote"
    done
}

# instala_com_tentativas LOG PACKAGE...: apt-get install, tried again after
# fresh lists while it fails; apt's output goes to the terminal and to LOG
# (the last try's). Returns apt's status of the last try.
instala_com_tentativas() {
    local registro=$1 tentativa estado=0
    shift
    # apt's status, not tee's, whatever the caller's options.
    local -
    set -o pipefail
    for ((tentativa = 1; tentativa <= malhas_ci_tentativas; tentativa++)); do
        estado=0
        "${malhas_ci_instalador[@]}" "$@" 2>&1 | tee "$registro" || estado=$?
        [ "$estado" -ne 0 ] || return 0
        if ((tentativa < malhas_ci_tentativas)); then
            echo "== apt-get install failed (try $tentativa of $malhas_ci_tentativas);" \
                "fetching the lists again in $malhas_ci_espera s" >&2
            sleep "$malhas_ci_espera"
            atualiza_listas
        fi
    done
    return "$estado"
}

# instala_pacotes PACKAGE...: the missing ones installed, lists fetched first;
# after the last failed try the calling script ends with status 1.
instala_pacotes() {
    local faltam registro
    mapfile -t faltam < <(faltando "$@")
    [ "${#faltam[@]}" -gt 0 ] || return 0
    echo "== installing ${faltam[*]}"
    atualiza_listas
    registro=$(mktemp)
    if ! instala_com_tentativas "$registro" "${faltam[@]}"; then
        rm -f "$registro"
        echo "== could not install ${faltam[*]} after $malhas_ci_tentativas tries" >&2
        exit 1
    fi
    rm -f "$registro"
}

# falha_i386_simulada: stands in for apt-get when MALHAS_CI_FALHA_I386=1, with
# apt's answer (shortened) on a day the archive's i386 index of the security
# updates was out of step with the amd64 one: the i386 libraries that must
# have the same version as the installed amd64 ones could not be had.
# A stand-in rather than an apt source made broken on purpose: it gives the
# same answer on any machine, whether wine32 is installed there or not, and
# changes nothing on it; the lists are still fetched again between tries and
# the answer goes through the same checks as a real one.
falha_i386_simulada() {
    cat <<'FIM'
Reading package lists...
Building dependency tree...
Reading state information...
Some packages could not be installed. This may mean that you have
requested an impossible situation or if you are using the unstable
distribution that some required packages have not yet been created
or been moved out of Incoming.
The following information may help to resolve the situation:

The following packages have unmet dependencies:
 libcurl4:i386 : Depends: libssl3:i386 (>= 3.0.0) but it is not going to be installed
                 Depends: zlib1g:i386 (>= 1:1.1.4) but it is not going to be installed
 libwine:i386 : Depends: libgstreamer-plugins-base1.0-0:i386 (>= 1.0.0) but it is not going to be installed
E: Error, pkgProblemResolver::Resolve generated breaks, this may be caused by held packages.
(simulated by MALHAS_CI_FALHA_I386=1: apt-get install was not run)
FIM
    return 100
}

# do_arquivo LOG: whether apt's failure in LOG is the archive's: a package it
# cannot resolve or fetch. A failure of dpkg itself, a machine whose
# packages are already broken, a full disk or a held lock is this machine's
# and must fail CI.
do_arquivo() {
    local registro=$1
    if grep -Eq 'Sub-process /usr/bin/dpkg returned|fix-broken|dpkg was interrupted|Could not get lock|Unable to acquire|Unable to lock|free space|No space left' \
        "$registro"; then
        return 1
    fi
    grep -Eq 'held broken packages|caused by held packages|Unable to locate package|has no installation candidate|Failed to fetch|Unable to fetch some archives|Hash Sum mismatch|unexpected size' \
        "$registro"
}

# aviso_nao_executado WHAT REASON: a notice no reader of the log can miss, on
# both streams, also kept in MALHAS_CI_AVISOS when set, and kept for
# repete_avisos at the script's end.
malhas_avisos=()
aviso_nao_executado() {
    local aviso
    aviso=$(printf '%s\n' \
        '########################################################################' \
        "## NOT RUN: $1" \
        "## reason: $2" \
        '########################################################################')
    malhas_avisos+=("$aviso")
    printf '%s\n' "$aviso"
    printf '%s\n' "$aviso" >&2
    if [ -n "${MALHAS_CI_AVISOS:-}" ]; then
        printf '%s: NOT RUN: %s\n    reason: %s\n' "$(basename "$0")" "$1" "$2" >>"$MALHAS_CI_AVISOS"
    fi
}

# repete_avisos: the notices of this script again, for its last lines, where
# a reader of a long log looks first.
repete_avisos() {
    local aviso
    for aviso in "${malhas_avisos[@]}"; do
        printf '%s\n' "$aviso"
    done
}

# instala_wine32: wine32:i386, with which Wine runs 32-bit programs. When the
# archive cannot provide it after every try (today its i386 index of the
# security updates can lag the amd64 one: "File has unexpected size ...
# Mirror sync in progress?", then apt cannot resolve wine32's i386 libraries:
# "... generated breaks, this may be caused by held packages"), wine32_ausente
# says why and the caller leaves out what needs it, and only that. Any other
# failure ends the script with status 1.
instala_wine32() {
    local registro estado=0 ultima anexada=
    wine32_ausente=
    if [ "${MALHAS_CI_FALHA_I386:-}" != 1 ] && dpkg -s wine32:i386 >/dev/null 2>&1; then
        return 0
    fi
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        dpkg --add-architecture i386
        anexada=1
    fi
    echo "== installing wine32:i386"
    atualiza_listas
    registro=$(mktemp)
    if [ "${MALHAS_CI_FALHA_I386:-}" = 1 ]; then
        local malhas_ci_instalador=(falha_i386_simulada)
    fi
    instala_com_tentativas "$registro" wine32:i386 || estado=$?
    if [ "$estado" -ne 0 ]; then
        # The machine is left as it was found: an i386 architecture without
        # a package of it would only have every later apt-get update fetch
        # the i386 lists, and fail on them while they are out of step (the
        # README's test command among them). dpkg keeps it if a package of
        # it was installed after all.
        if [ -n "$anexada" ]; then
            dpkg --remove-architecture i386 ||
                echo "== warning: the i386 architecture stays: a package of it is installed" >&2
        fi
        if ! do_arquivo "$registro"; then
            rm -f "$registro"
            echo "== could not install wine32:i386, and not for want of it in the archive (above)" >&2
            exit 1
        fi
        ultima=$(grep '^E: ' "$registro" | tail -1)
        wine32_ausente="the package archive could not provide wine32:i386 after $malhas_ci_tentativas tries (${ultima:-apt-get status $estado})"
    fi
    rm -f "$registro"
}

# --- Wine -------------------------------------------------------------------

# prepara_wine PREFIX LOG: a throwaway Wine prefix in PREFIX and its server.
# No display: no Wine program may open a window. No Mono or Gecko either:
# without them wineboot does not offer to install them. A persistent server
# is started first: otherwise every Wine process starts one that outlives it,
# along with Wine's background services, and those hold the output pipes of
# ctest (and of the script's caller) open, so the run stalls. Wine's own
# output goes to LOG for the same reason.
prepara_wine() {
    unset DISPLAY WAYLAND_DISPLAY
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    export WINEPREFIX=$1
    malhas_registro_wine=$2
    mkdir -p "$WINEPREFIX"
    : >>"$malhas_registro_wine"
    malhas_wine_pronto=1
    wineserver -p </dev/null >>"$malhas_registro_wine" 2>&1
    timeout 300 wine wineboot -i </dev/null >>"$malhas_registro_wine" 2>&1
}

# comspec_wine EXE: the prefix's COMSPEC made the Windows program EXE (a Linux
# path). Wine ignores a COMSPEC set from Linux, but takes it from the user's
# environment in the prefix's registry; the scripts name the suite's stand-in
# interpreter, which only exits, so no real notepad or wgnuplot starts.
comspec_wine() {
    timeout 60 wine reg add 'HKCU\Environment' /v COMSPEC /d "Z:$(echo "$1" | tr / '\\')" /f \
        </dev/null >>"$malhas_registro_wine" 2>&1
}

# para_wine: the server of the prefix prepara_wine made stopped, for the
# scripts' exit traps; a prefix of the caller's own is left alone.
malhas_wine_pronto=
para_wine() {
    if [ -n "$malhas_wine_pronto" ]; then
        timeout 60 wineserver -k >/dev/null 2>&1 || true
    fi
}

# --- Fuzzing ----------------------------------------------------------------

# fuzz_limitado PROGRAM SECONDS MAX_LEN SUFFIX ADVICE CORPUS...: a bounded run
# of a fuzz target of build-fuzz/ from the corpus folders, on a scratch copy
# (build-fuzz/trabalhoSUFFIX) so that the checked-in corpus only changes by
# hand. A finding is kept in build-fuzz/achadosSUFFIX/ and ends the script
# with status 1, printing ADVICE.
fuzz_limitado() {
    local alvo=$1 segundos=$2 tamanho=$3 sufixo=$4 conselho=$5 estado=0
    shift 5
    local trabalho=build-fuzz/trabalho$sufixo achados=build-fuzz/achados$sufixo registro=build-fuzz/$alvo.log
    rm -rf "$trabalho" "$achados"
    mkdir -p "$trabalho" "$achados"
    "build-fuzz/fuzz/$alvo" -max_total_time="$segundos" -max_len="$tamanho" -seed=1 -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$achados/" "$trabalho" "$@" >"$registro" 2>&1 || estado=$?
    grep -E '^(Done|stat::number_of_executed_units|stat::new_units_added)' "$registro" || true
    if [ "$estado" -ne 0 ] || [ -n "$(ls -A "$achados")" ]; then
        tail -n 60 "$registro"
        echo "$alvo found a fault: the input is in $achados/; $conselho" >&2
        exit 1
    fi
}
