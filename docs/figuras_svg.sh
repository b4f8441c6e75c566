#!/usr/bin/env bash
# The two pictures of the shipped example that malhas_qualidade draws, as
# PNGs for the README: the mesh coloured by skew (--svg) and the history of
# its smoothing (--historico), each rendered from its SVG by rsvg-convert
# (Debian: librsvg2-bin) at the SVG's own size; no display is needed. The
# two programs are those on PATH (the README's line for the build tree, or
# the installed ones).
# Usage: docs/figuras_svg.sh
# Writes docs/svg_malha_perfil_l.png and docs/svg_historico_perfil_l.png.
set -euo pipefail
raiz=$(dirname "$(realpath "$0")")/..
for programa in malhas_segmentos malhas_qualidade rsvg-convert; do
    command -v "$programa" >/dev/null || {
        echo "figuras_svg.sh: $programa is not on PATH (the README says how to put the programs there;" \
            "rsvg-convert comes with Debian's librsvg2-bin)" >&2
        exit 1
    }
done
pasta=$(mktemp -d)
trap 'rm -rf "$pasta"' EXIT
cp "$raiz"/examples/perfil_l/entradas.txt "$raiz"/examples/perfil_l/entrada_eq_elipticas.txt "$pasta"
(cd "$pasta" && COMSPEC=/bin/true malhas_segmentos)
malhas_qualidade "$pasta" --svg "$pasta/malha.svg" --historico "$pasta/historico.svg" >/dev/null
rsvg-convert "$pasta/malha.svg" -o "$raiz/docs/svg_malha_perfil_l.png"
rsvg-convert "$pasta/historico.svg" -o "$raiz/docs/svg_historico_perfil_l.png"
echo "docs/svg_malha_perfil_l.png, docs/svg_historico_perfil_l.png"
