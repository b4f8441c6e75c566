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
#   MALHAS_CI_SEM_32_BITS when 1, this machine is taken for one whose kernel
#                         executes no 32-bit x86 program (see sonda_32_bits
#                         and simula_sem_32_bits): how to check, on a machine
#                         that runs them, that CI passes on one that does not
#   MALHAS_CI_AVISOS      a file that collects the "not run" notices, so that
#                         .ci/run can repeat them all at its end
#   MALHAS_CI_RESUMO      a file that collects each script's line on what it
#                         ran, for the end of .ci/run (see resumo)

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
# Empty while this machine executes 32-bit x86 programs; otherwise why it
# does not (set by sonda_32_bits).
sem_32_bits=

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

# --- 32-bit x86 programs ---------------------------------------------------

# programa_32_bits FILE: FILE made the smallest 32-bit x86 Linux program,
# which only ends with exit status 42. Written byte by byte, so that asking
# whether the machine runs 32-bit programs needs no 32-bit compiler, C
# library or package: an ELF header (52 bytes), one program header that maps
# the whole file (96 bytes) at 0x08048000, and at 0x08048054 the code
#   mov eax, 1 ; mov ebx, 42 ; int 0x80        (the exit system call)
programa_32_bits() {
    {
        printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00'    # 32-bit, little-endian
        printf '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08'            # executable, i386, entry
        printf '\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00'            # program headers at 52
        printf '\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00'            # sizes; one program header
        printf '\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08' # load from 0 at 0x08048000
        printf '\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00' # 96 bytes, read + execute
        printf '\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80'            # exit(42)
    } >"$1"
    chmod +x "$1"
}

# programa_recusado FILE: FILE made an ELF file of no class, which every
# kernel refuses with "Exec format error" (ENOEXEC), the very answer a kernel
# without 32-bit support gives a 32-bit program: what the simulation puts in
# place of the probe and of Wine's 32-bit loader.
programa_recusado() {
    printf '\x7fELF\x00\x01\x01\x00' >"$1"
    chmod +x "$1"
}

# Wine's 32-bit programs, which the simulation makes refused.
malhas_wine_32_bits=(/usr/lib/wine/wine /usr/lib/wine/wineserver32)

# simula_sem_32_bits SCRIPT: under MALHAS_CI_SEM_32_BITS=1, runs SCRIPT (the
# calling script, as a path from the checkout) again, in a mount namespace of
# its own, and does not return. There sonda_32_bits lays a refused file over
# Wine's 32-bit programs, so that every start of one, by the scripts or by
# Wine itself, fails as on a machine that runs no 32-bit programs; the rest
# of the machine still sees the real ones. Needs root and unshare (both there
# in CI); when they fail, so does the script: a simulation that did not take
# place must not pass for one that did.
simula_sem_32_bits() {
    [ "${MALHAS_CI_SEM_32_BITS:-}" = 1 ] || return 0
    [ -z "${MALHAS_CI_ESPACO_SEM_32_BITS:-}" ] || return 0
    echo "== MALHAS_CI_SEM_32_BITS=1: $1 runs again in a mount namespace of its own"
    exec env MALHAS_CI_ESPACO_SEM_32_BITS=1 unshare --mount --propagation private bash "$1"
}

# sonda_32_bits: whether this machine executes 32-bit x86 programs, found by
# running one (programa_32_bits) and looking at its exit status. Sets
# sem_32_bits: empty when it ran, else the reason, with the shell's message.
# Under MALHAS_CI_SEM_32_BITS=1 (in simula_sem_32_bits' namespace) the probe
# runs a refused file instead, which is also laid over Wine's 32-bit programs.
sonda_32_bits() {
    local pasta saida estado=0 programa
    sem_32_bits=
    pasta=$(mktemp -d)
    if [ "${MALHAS_CI_SEM_32_BITS:-}" = 1 ]; then
        if [ -z "${MALHAS_CI_ESPACO_SEM_32_BITS:-}" ]; then
            rm -rf "$pasta"
            echo "== MALHAS_CI_SEM_32_BITS=1 needs the script run through simula_sem_32_bits" >&2
            exit 1
        fi
        programa_recusado "$pasta/sonda_32_bits"
        for programa in "${malhas_wine_32_bits[@]}"; do
            if [ -e "$programa" ]; then
                mount --bind "$pasta/sonda_32_bits" "$programa" || {
                    rm -rf "$pasta"
                    echo "== could not lay a refused file over $programa" >&2
                    exit 1
                }
            fi
        done
    else
        programa_32_bits "$pasta/sonda_32_bits"
    fi
    saida=$("$pasta/sonda_32_bits" 2>&1) || estado=$?
    # The bind mounts above keep their file; the folder alone goes.
    rm -rf "$pasta" 2>/dev/null || true
    if [ "$estado" -eq 42 ]; then
        echo "== probe: this machine executes 32-bit x86 programs"
        return 0
    fi
    saida=${saida//$'\n'/ }
    sem_32_bits="this machine does not execute 32-bit x86 programs: a 32-bit probe program ended with exit status $estado${saida:+ (${saida##*: })}"
    [ "${MALHAS_CI_SEM_32_BITS:-}" != 1 ] || sem_32_bits+=" (simulated by MALHAS_CI_SEM_32_BITS=1)"
    echo "== probe: $sem_32_bits"
}

# --- The cases compared byte for byte ---------------------------------------

# Besides the example perfil_l, the cases whose result files the Windows and
# the 32-bit builds must give byte for byte as the Linux build in build/
# does: name, volumes along ksi and eta, mesh kind, then the seven
# parameters.
casos_comparacao=(
    "algebrica 9 5 1 0 0 0 0 0 0 0"
    "par 6 4 2 3 5 0.001 1.0 1.0 1 1"
    "impar 7 3 2 2 4 0.001 1.0 1.0 1 1"
    "desigual 20 10 2 10 20 0.001 1.0 2.0 1 1"
    "negativo 9 6 2 7 3 0.001 -0.5 1.5 1 1"
    "fontes 12 8 2 5 15 0.001 0.7 1.3 2 2"
    "fino 40 16 2 25 40 0.001 1.0 1.0 1 1"
)

# prepara_caso FOLDER CASE: FOLDER made a case folder with the two input
# files of CASE (a line of casos_comparacao), with a Windows editor's CR LF.
prepara_caso() {
    local nome nk ne tipo ns ni r dk de tp tq
    read -r nome nk ne tipo ns ni r dk de tp tq <<<"$2"
    mkdir -p "$1"
    printf '%s\r\n' "$nome" "$nk" "$ne" "$tipo" >"$1/entradas.txt"
    printf '%s\r\n' "$ns" "$ni" "$r" "$dk" "$de" "$tp" "$tq" >"$1/entrada_eq_elipticas.txt"
}

# resultados_caso NAME: the three result files of case NAME.
resultados_caso() {
    echo "$1.txt malha.txt ${1}_vert.txt"
}

# --- What ran -----------------------------------------------------------------

# resumo LINE: this script's one line on what it ran and what it did not, and
# why; printed, and kept in MALHAS_CI_RESUMO when set, for the end of .ci/run.
resumo() {
    echo "== summary: $1"
    if [ -n "${MALHAS_CI_RESUMO:-}" ]; then
        printf '%s: %s\n' "$(basename "$0")" "$1" >>"$MALHAS_CI_RESUMO"
    fi
}

# --- Wine -------------------------------------------------------------------

# carregador_wine BITS: Wine's loader for Windows programs of BITS (32 or
# 64) bits, by its own path. Debian's /usr/bin/wine starts the 32-bit loader
# for every program whenever wine32 is installed, 64-bit ones too, so a
# 64-bit run through it fails on a machine whose kernel runs no 32-bit
# programs. Debian keeps both loaders in /usr/lib/wine; other systems put
# wine64, or a single wine for both, on PATH.
carregador_wine() {
    local nome=wine
    [ "$1" = 64 ] && nome=wine64
    if [ -x "/usr/lib/wine/$nome" ]; then
        echo "/usr/lib/wine/$nome"
    else
        command -v "$nome" || command -v wine || echo wine
    fi
}

# bits_pe EXE: 32 or 64, the word size of the Windows program EXE, from the
# machine field of its PE header.
bits_pe() {
    local pe maquina
    pe=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
    maquina=$(od -An -tx2 -j$((pe + 4)) -N2 "$1" | tr -d ' ')
    case $maquina in
        8664 | aa64) echo 64 ;;
        *) echo 32 ;;
    esac
}

# carregador_para EXE: Wine's loader for the Windows program EXE, as
# carregador_wine gives it for EXE's word size.
carregador_para() {
    carregador_wine "$(bits_pe "$1")"
}


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
    timeout 300 "$(carregador_wine 64)" wineboot -i </dev/null >>"$malhas_registro_wine" 2>&1
}

# comspec_wine EXE: the prefix's COMSPEC made the Windows program EXE (a Linux
# path). Wine ignores a COMSPEC set from Linux, but takes it from the user's
# environment in the prefix's registry; the scripts name the suite's stand-in
# interpreter, which only exits, so no real notepad or wgnuplot starts.
comspec_wine() {
    timeout 60 "$(carregador_wine 64)" reg add 'HKCU\Environment' /v COMSPEC /d "Z:$(echo "$1" | tr / '\\')" /f \
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
