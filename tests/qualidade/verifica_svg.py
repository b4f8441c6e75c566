"""The pictures of malhas_qualidade read back: both SVG files parse as XML and
render with a real renderer (rsvg-convert); in the PNG of the mesh, the
worst and the best volume's centres have the colours of the colour bar's two
ends, as the bar says, for a measure that is worst when large and one that
is worst when small.
Usage: verifica_svg.py MALHAS_SEGMENTOS MALHAS_QUALIDADE EXAMPLE_FOLDER"""
import os
import shutil
import struct
import subprocess
import sys
import xml.etree.ElementTree as ET
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import comum

segmentos, qualidade, exemplo = (os.path.abspath(a) for a in sys.argv[1:4])
rsvg = shutil.which("rsvg-convert")
if rsvg is None:
    print("SKIPPED: rsvg-convert is missing (Debian: librsvg2-bin)")
    sys.exit(comum.SALTA)
SVG = "{http://www.w3.org/2000/svg}"
falhas = []


def le_png(caminho):
    """Width, height and rows of (r, g, b) of an 8-bit RGB or RGBA PNG."""
    with open(caminho, "rb") as f:
        dados = f.read()
    assert dados[:8] == b"\x89PNG\r\n\x1a\n", caminho
    k, idat = 8, b""
    while k < len(dados):
        n, tipo = struct.unpack(">I4s", dados[k : k + 8])
        corpo = dados[k + 8 : k + 8 + n]
        if tipo == b"IHDR":
            largura, altura, bits, cor, _, _, entrelacado = struct.unpack(">IIBBBBB", corpo)
            assert bits == 8 and cor in (2, 6) and entrelacado == 0, (bits, cor, entrelacado)
        elif tipo == b"IDAT":
            idat += corpo
        k += 12 + n
    canais = 4 if cor == 6 else 3
    bruto, passo = zlib.decompress(idat), largura * canais
    linhas, anterior = [], bytearray(passo)
    for j in range(altura):
        filtro, linha = bruto[j * (passo + 1)], bytearray(bruto[j * (passo + 1) + 1 : (j + 1) * (passo + 1)])
        for i in range(passo):
            a = linha[i - canais] if i >= canais else 0
            b, c = anterior[i], anterior[i - canais] if i >= canais else 0
            if filtro == 1:
                linha[i] = (linha[i] + a) & 255
            elif filtro == 2:
                linha[i] = (linha[i] + b) & 255
            elif filtro == 3:
                linha[i] = (linha[i] + (a + b) // 2) & 255
            elif filtro == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                linha[i] = (linha[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        linhas.append([tuple(linha[i : i + 3]) for i in range(0, passo, canais)])
        anterior = linha
    return largura, altura, linhas


def centro(poligono):
    pontos = [tuple(map(float, p.split(","))) for p in poligono.get("points").split()]
    return sum(p[0] for p in pontos) / len(pontos), sum(p[1] for p in pontos) / len(pontos)


def distancia(a, b):
    return max(abs(x - y) for x, y in zip(a, b))


def verifica_malha(pasta, medida, pior_menor):
    svg, png, csv = (os.path.join(pasta, medida + e) for e in (".svg", ".png", ".csv"))
    comum.qualidade(qualidade, pasta, "--svg", svg, "--medida", medida, "--csv", csv)
    raiz = ET.parse(svg).getroot()
    subprocess.run([rsvg, svg, "-o", png], check=True)
    largura, altura, pixels = le_png(png)
    if (largura, altura) != (round(float(raiz.get("width"))), round(float(raiz.get("height")))):
        falhas.append(f"{medida}: PNG {largura} x {altura}, SVG {raiz.get('width')} x {raiz.get('height')}")
        return
    valores = [float(v) for v in comum.le_csv(csv)[medida]]
    pior = (min if pior_menor else max)(range(len(valores)), key=lambda k: valores[k]) + 1
    melhor = (max if pior_menor else min)(range(len(valores)), key=lambda k: valores[k]) + 1
    poligonos = {p.get("id"): p for p in raiz.iter(SVG + "polygon")}
    if centro(poligonos["pior"]) != centro(poligonos[f"v{pior}"]):
        falhas.append(f"{medida}: the outlined volume is not volume {pior}, the worst of the CSV")
    cor = lambda p: pixels[int(centro(p)[1])][int(centro(p)[0])]
    barra = next(r for r in raiz.iter(SVG + "rect") if r.get("id") == "barra")
    bx, by, bh = (float(barra.get(a)) for a in ("x", "y", "height"))
    bx += float(barra.get("width")) / 2
    topo, fundo = pixels[int(by + 2)][int(bx)], pixels[int(by + bh - 2)][int(bx)]
    # The bar runs from the least value (bottom) to the greatest (top).
    esperado_pior, esperado_melhor = (fundo, topo) if pior_menor else (topo, fundo)
    c_pior, c_melhor = cor(poligonos[f"v{pior}"]), cor(poligonos[f"v{melhor}"])
    if distancia(c_pior, esperado_pior) > 8 or distancia(c_melhor, esperado_melhor) > 8:
        falhas.append(f"{medida}: worst {c_pior}, best {c_melhor}; the bar's ends say {esperado_pior}, {esperado_melhor}")
    if distancia(c_pior, c_melhor) < 100:
        falhas.append(f"{medida}: worst {c_pior} and best {c_melhor} hardly differ")


with comum.pasta_temporaria() as pasta:
    d = comum.exemplo(pasta, segmentos, exemplo)
    for medida, pior_menor in (("skew", False), ("scaled_jacobian", True), ("min_angle", True)):
        verifica_malha(d, medida, pior_menor)
    historico = os.path.join(d, "h.svg")
    comum.qualidade(qualidade, d, "--historico", historico)
    raiz = ET.parse(historico).getroot()
    if not any(l.get("id") == "recomendado" for l in raiz.iter(SVG + "line")):
        falhas.append("history: no recommended count marked")
    subprocess.run([rsvg, historico, "-o", os.path.join(d, "h.png")], check=True)
    # A mesh above the size drawn volume by volume: cells, and the picture says so.
    grande = comum.caso(pasta, segmentos, "grande", 600, 30, 1)
    comum.qualidade(qualidade, grande, "--svg", os.path.join(grande, "g.svg"))
    texto = open(os.path.join(grande, "g.svg"), encoding="ascii").read()
    ET.fromstring(texto)
    if "the grid lines of every 3rd index in ksi and of every in eta" not in texto or texto.count("<polygon") > 200 * 30 + 10:
        falhas.append("large mesh: not drawn by cells of 3 x 1 volumes")

for f in falhas:
    print("FAIL:", f)
sys.exit(1 if falhas else 0)
