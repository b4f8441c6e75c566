#!/usr/bin/env bash
# The two pictures of the shipped example that malhas_qualidade draws, as
# PNGs for the README: the mesh coloured by skew (--svg) and the history of
# its smoothing (--historico), each rendered from its SVG by rsvg-convert
# (Debian: librsvg2-bin) at the SVG's own size.
# Usage: docs/figuras_svg.sh [BUILD FOLDER]   (default: build)
# Writes docs/svg_malha_perfil_l.png and docs/svg_historico_perfil_l.png.
set -euo pipefail
raiz=$(dirname "$(realpath "$0")")/..
build=$(realpath "${1:-$raiz/build}")
command -v rsvg-convert >/dev/null || { echo "needs rsvg-convert (Debian: librsvg2-bin)" >&2; exit 1; }
pasta=$(mktemp -d)
trap 'rm -rf "$pasta"' EXIT
cp "$raiz"/examples/perfil_l/entradas.txt "$raiz"/examples/perfil_l/entrada_eq_elipticas.txt "$pasta"
(cd "$pasta" && COMSPEC=/bin/true "$build/malhas_segmentos")
"$build/src/malhas_qualidade/malhas_qualidade" "$pasta" --svg "$pasta/malha.svg" \
    --historico "$pasta/historico.svg" >/dev/null
rsvg-convert "$pasta/malha.svg" -o "$raiz/docs/svg_malha_perfil_l.png"
rsvg-convert "$pasta/historico.svg" -o "$raiz/docs/svg_historico_perfil_l.png"
echo "docs/svg_malha_perfil_l.png, docs/svg_historico_perfil_l.png"
