#!/usr/bin/env bash
# The packages a user downloads, checked as that user would meet them:
# - the .deb is built with CPack, its fields and contents are checked, lintian
#   runs on it, it is installed on this machine, the installed example is
#   copied to a temporary folder and run there by the installed program with
#   the installed stand-ins, the commands of the README and of docs/ run with
#   it (.ci/documentacao.py --pacote), and the package is removed again;
# - the .zip of each Windows cross build (build-win32/, build-win64/, left by
#   .ci/windows.sh or built here) is unzipped into a temporary folder and its
#   example run there under Wine.
# Every run's result files must be byte for byte those of the Linux program in
# build/ (built here when missing).
# Each .zip's example runs through Wine's loader for its word size (see
# carregador_wine in .ci/comum.sh). On a machine whose kernel executes no
# 32-bit programs (a probe runs one first), or when the package archive
# cannot provide wine32:i386, the 32-bit .zip is still built and checked, but
# its example is reported as not run under Wine; any other failure fails.
#
# Run from anywhere, as root: bash .ci/pacotes.sh
# As on a machine that runs no 32-bit programs: MALHAS_CI_SEM_32_BITS=1 bash .ci/pacotes.sh
set -euo pipefail
cd "$(dirname "$0")/.."
raiz=$PWD
inicio=$SECONDS

# --- Packages ---------------------------------------------------------------
source .ci/comum.sh
simula_sem_32_bits .ci/pacotes.sh
# python3 and git: .ci/documentacao.py, which runs the documents' commands
# with the package installed (they install what else they need).
instala_pacotes g++ cmake make dpkg-dev file binutils lintian man-db unzip gnuplot-nox \
    g++-mingw-w64-i686 g++-mingw-w64-x86-64 googletest wine wine64 python3 git
sonda_32_bits
por_que_nao_32=$sem_32_bits
if [ -z "$por_que_nao_32" ]; then
    instala_wine32
    por_que_nao_32=$wine32_ausente
fi
zips_rodam=(win32 win64)
if [ -n "$por_que_nao_32" ]; then
    zips_rodam=(win64)
    aviso_nao_executado "the example of the 32-bit .zip under Wine" \
        "$por_que_nao_32; the 32-bit .zip is still built and checked"
fi

versao=$(sed -n 's/^project(malhas_segmentos VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
arquitetura=$(dpkg --print-architecture)
pacote_deb=malhas-segmentos
trabalho=$(mktemp -d /tmp/malhas-pacotes.XXXXXX)
registro=$trabalho/wine.log
instalado=
unset DISPLAY WAYLAND_DISPLAY

# The machine is left as it was found: the package removed, the Wine server
# stopped, the temporary folders gone.
arruma() {
    local estado=$?
    if [ -n "$instalado" ]; then
        dpkg -r "$pacote_deb" >/dev/null || estado=1
    fi
    para_wine
    if [ "$estado" -ne 0 ]; then
        echo "== packages: failed (exit status $estado)"
        [ -s "$registro" ] && { echo "Wine's messages:"; tail -20 "$registro"; }
    fi
    rm -rf "$trabalho"
    repete_avisos
    exit "$estado"
}
trap arruma EXIT

falhas=0
falha() {
    echo "FAILED: $*"
    falhas=$((falhas + 1))
}

# The changelog shipped in the package must describe this version.
[ "$(dpkg-parsechangelog -l docs/changelog -S Version)" = "$versao" ] ||
    falha "docs/changelog has no entry for version $versao"

# --- The reference: the build tree's program on the example ---------------
if [ ! -x build/malhas_segmentos ]; then
    cmake --preset testes
    cmake --build --preset testes --target malhas_segmentos
fi
arquivos_exemplo=(entradas.txt entrada_eq_elipticas.txt malha.gnu)
resultados=(perfil_l.txt malha.txt perfil_l_vert.txt)
mkdir -p "$trabalho/referencia"
for arquivo in "${arquivos_exemplo[@]}"; do cp "examples/perfil_l/$arquivo" "$trabalho/referencia/"; done
(cd "$trabalho/referencia" && COMSPEC=/bin/true timeout 120 "$raiz/build/malhas_segmentos" </dev/null)

# confere_corrida FOLDER WHAT: the run in FOLDER ended normally, said nothing
# on its error stream, and wrote the reference's result files.
confere_corrida() {
    local pasta=$1 nome=$2
    if [ "$(cat "$pasta/estado")" != 0 ] || grep -qv '^wgnuplot: wrote malha.png$' "$pasta/erro"; then
        falha "$nome: exit status $(cat "$pasta/estado"), error stream:"
        cat "$pasta/erro"
    fi
    for arquivo in "${resultados[@]}"; do
        cmp "$trabalho/referencia/$arquivo" "$pasta/$arquivo" || falha "$nome: $arquivo differs from build/'s"
    done
}

# sem_caminhos_de_build FOLDER WHAT: no file of a package names this build
# machine's folders.
sem_caminhos_de_build() {
    local achados
    achados=$(grep -rlaF -e "$raiz" "$1" || true)
    [ -z "$achados" ] || falha "$2: build paths in $achados"
}

# --- The Debian package -------------------------------------------------------
# Built with the flags of Debian's own packages (hardening included); the
# results are compared below with the plain build's all the same.
echo "== Debian package"
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cmake --preset deb -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
cmake --build --preset deb
rm -f build-deb/*.deb
(cd build-deb && cpack -G DEB >/dev/null)
deb=build-deb/${pacote_deb}_${versao}_${arquitetura}.deb
dpkg-deb --info "$deb"
dpkg-deb --contents "$deb"

[ "$(dpkg-deb --field "$deb" Section)" = science ] || falha "the .deb's Section is not science"
[ "$(dpkg-deb --field "$deb" Architecture)" = "$arquitetura" ] || falha "the .deb's Architecture is not $arquitetura"
[ "$(dpkg-deb --field "$deb" Suggests)" = gnuplot ] || falha "the .deb does not suggest gnuplot"
dpkg-deb --field "$deb" Depends | grep -q 'libc6 (>= ' || falha "the .deb's Depends were not computed"
if dpkg-deb --contents "$deb" | grep -Eq 'test|gtest|interpretador_falso|\.a$'; then
    falha "test files in the .deb"
fi
mkdir -p "$trabalho/deb"
dpkg-deb --extract "$deb" "$trabalho/deb"
sem_caminhos_de_build "$trabalho/deb" "the .deb"

# lintian: the findings are shown; the ones left are the owner's choices (no
# licence yet, so no copyright file; the maintainer address is a
# placeholder, MALHAS_MANTENEDOR). Any other finding fails.
echo "== lintian"
lintian --display-info --pedantic "$deb" 2>/dev/null | tee "$trabalho/lintian" || true
aceitos='no-copyright-file|bogus-mail-host|bogus-mail-host-in-debian-changelog'
if grep -E '^[EWIP]: ' "$trabalho/lintian" | grep -Ev "^[EWIP]: $pacote_deb: ($aceitos)( |$)"; then
    falha "lintian findings beyond the known ones"
fi

# The package installed on this machine; another package manager may hold
# the lock for a while.
for tentativa in $(seq 30); do
    if dpkg -i "$deb" >"$trabalho/dpkg" 2>&1; then
        instalado=1
        break
    fi
    grep -qi lock "$trabalho/dpkg" || { cat "$trabalho/dpkg"; exit 1; }
    sleep 10
done
[ -n "$instalado" ] || { cat "$trabalho/dpkg"; exit 1; }

[ "$(command -v malhas_segmentos)" = /usr/bin/malhas_segmentos ] || falha "malhas_segmentos is not /usr/bin's"
paginas=(malhas_segmentos)
if [ -e /usr/bin/malhas_qualidade ]; then
    paginas+=(malhas_qualidade)
    malhas_qualidade --version | grep -qF "$versao" || falha "malhas_qualidade --version does not show $versao"
fi
for pagina in "${paginas[@]}"; do
    manual=$(man -w "$pagina") || { falha "no manual page for $pagina"; continue; }
    # Read whole before grep: with pipefail, grep -q leaving after the first
    # line would fail the pipe whenever zcat still had a block to write.
    pagina_texto=$(zcat -f "$manual")
    grep -qF "malhas_segmentos $versao" <<<"$pagina_texto" || falha "$manual does not show version $versao"
    avisos=$(MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$manual" 2>&1 >/dev/null)
    [ -z "$avisos" ] || falha "$manual: $avisos"
done

# The installed example in a folder of the user's, with the installed
# stand-ins: no COMSPEC, so the shell runs the commands; no terminal, so the
# editor stand-in does nothing; the viewer stand-in has gnuplot write the
# picture, which needs no window.
dados=/usr/share/malhas_segmentos
caso=$trabalho/instalado/perfil_l
mkdir -p "$trabalho/instalado"
cp -r "$dados/perfil_l" "$caso"
estado=0
(cd "$caso" && env -u COMSPEC PATH="$dados/bin:$PATH" timeout 120 malhas_segmentos) </dev/null >"$caso/saida" \
    2>"$caso/erro" || estado=$?
echo "$estado" >"$caso/estado"
confere_corrida "$caso" "the installed program"
file "$caso/malha.png" | grep -q 'PNG image' || falha "the installed wgnuplot stand-in wrote no malha.png"

# The commands of the README and of docs/ as a user of the package runs them.
/usr/bin/python3 .ci/documentacao.py --pacote || falha "a command of the README or of docs/ fails with the package"

dpkg -r "$pacote_deb" >/dev/null
instalado=
[ ! -e /usr/bin/malhas_segmentos ] && [ ! -e "$dados" ] || falha "dpkg -r left files behind"

# --- The Windows .zip files ---------------------------------------------------
echo "== Windows .zip files"
for preset in win32 win64; do
    pasta=build-$preset
    if [ ! -x "$pasta/malhas_segmentos.exe" ]; then
        cmake --preset "$preset" >/dev/null
    fi
    # Both programs, since the .zip holds both and nothing else here builds
    # malhas_qualidade.exe; the stand-in interpreter below comes from the
    # suite of the 64-bit build. The test programs are left out: building
    # them runs them under Wine.
    cmake --build --preset "$preset" --target malhas_segmentos malhas_qualidade interpretador_falso
    rm -f "$pasta"/*.zip
    (cd "$pasta" && cpack -G ZIP >/dev/null)
done

# Wine's own prefix, as in .ci/windows.sh. No real notepad or wgnuplot may
# start: the commands go to the suite's stand-in interpreter.
prepara_wine "$trabalho/wine" "$registro"
comspec_wine "$raiz/build-win64/tests/interpretador_falso.exe"

for sistema in win32:'PE32 executable (console) Intel 80386' win64:'PE32+ executable (console) x86-64'; do
    nome=${sistema%%:*}
    formato=${sistema#*:}
    pasta_zip=malhas_segmentos-$versao-$nome
    zip=build-$nome/$pasta_zip.zip
    unzip -l "$zip"

    esperados=("$pasta_zip/README.txt" "$pasta_zip/malhas_segmentos.exe" "$pasta_zip/malhas_qualidade.exe"
        "$pasta_zip/perfil_l/entrada_eq_elipticas.txt" "$pasta_zip/perfil_l/entradas.txt"
        "$pasta_zip/perfil_l/malha.gnu" "$pasta_zip/perfil_l/caso_of/0/T"
        "$pasta_zip/perfil_l/caso_of/constant/transportProperties")
    achados=$(unzip -Z1 "$zip" | grep -v '/$' | sort)
    [ "$achados" = "$(printf '%s\n' "${esperados[@]}" | sort)" ] || falha "$zip holds: $achados"

    destino=$trabalho/$nome
    mkdir -p "$destino"
    unzip -q "$zip" -d "$destino"
    sem_caminhos_de_build "$destino" "$zip"
    leia_me=$destino/$pasta_zip/README.txt
    [ "$(tr -cd '\n' <"$leia_me" | wc -c)" -gt 0 ] &&
        [ "$(tr -cd '\n' <"$leia_me" | wc -c)" = "$(grep -c $'\r$' "$leia_me")" ] ||
        falha "$zip: README.txt has lines that do not end with CR LF"
    for exe in "$destino/$pasta_zip"/*.exe; do
        file "$exe" | grep -qF "$formato" || falha "$exe is not a $formato"
    done

    [[ " ${zips_rodam[*]} " == *" $nome "* ]] || continue
    caso=$destino/$pasta_zip/perfil_l
    estado=0
    (cd "$caso" && timeout 120 "$(carregador_para ../malhas_segmentos.exe)" ../malhas_segmentos.exe) </dev/null \
        >"$caso/saida" 2>"$caso/erro" || estado=$?
    echo "$estado" >"$caso/estado"
    confere_corrida "$caso" "$zip under Wine"
done

echo "== packages: $falhas failures, $((SECONDS - inicio)) s"
[ "$falhas" -eq 0 ]
linha="ran: the .deb built, checked, installed and run; both .zip files built and checked; run under Wine: ${zips_rodam[*]}"
[ -z "$por_que_nao_32" ] || linha+="; NOT RUN: the 32-bit .zip's example under Wine ($por_que_nao_32)"
resumo "$linha"
