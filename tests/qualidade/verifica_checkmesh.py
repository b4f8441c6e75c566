"""--verifica against OpenFOAM 1912's own checkMesh -allGeometry -allTopology
(Debian's openfoam) on meshes made to probe every check: random runs of
malhas_segmentos, thin ones (a few volumes across), and result files written
by hand with folded, concave, collapsed, stretched, graded, tiny and
clockwise volumes, at several thicknesses. For every mesh, check by check:
the verdict, the counts checkMesh prints, and the figures it prints beside
them; and the exit status 3 exactly when checkMesh fails the mesh, with its
count of failed checks.
Usage: verifica_checkmesh.py MALHAS_SEGMENTOS MALHAS_QUALIDADE EXAMPLE_FOLDER [--todos]
(--todos: print every mesh's line, not only the disagreements)"""
import concurrent.futures
import math
import os
import random
import re
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import comum

if shutil.which("checkMesh") is None:
    print("SKIPPED: checkMesh not found (Debian: openfoam)")
    sys.exit(comum.SALTA)
segmentos, qualidade = (os.path.abspath(a) for a in sys.argv[1:3])
todos = "--todos" in sys.argv
AMBIENTE = dict(os.environ, WM_PROJECT_DIR="/usr/share/openfoam", FOAM_ETC="/usr/share/openfoam/etc")

# Each check: the start of the summary's line, the mark of its failure in
# checkMesh's output, and the count checkMesh gives with it (None: none).
CHECAGENS = {
    "boundary openness": (r"\*\*\*Boundary openness", None),
    "cell openness": (r"\*\*\*(?:Open cells found|High aspect ratio cells found)", None),
    "face area": (r"\*\*\*Zero or negative face area", None),
    "cell_volume": (r"\*\*\*Zero or negative cell volume", r"Number of negative volume cells: (\d+)"),
    "face_non_orthogonality": (r"\*\*\*Number of non-orthogonality errors", r"non-orthogonality errors: (\d+)"),
    "face pyramids": (r"\*\*\*Error in face pyramids", r"face pyramids: (\d+) faces"),
    "face_skewness": (r"\*\*\*Max skewness", r", (\d+) highly skew faces"),
    "face tets": (r"\*\*\*Error in face tets", r"face tets: (\d+) faces"),
    "cell determinant": (r"\*\*\*Cells with small determinant", r"small determinant .* number of cells: (\d+)"),
    "concave cells": (r"\*\*\*Concave cells", r"Concave cells .* number of cells: (\d+)"),
    "face interpolation weight": (r"\*\*\*Faces with small interpolation weight", r"interpolation weight .* faces: (\d+)"),
    "face volume ratio": (r"\*\*\*Faces with small volume ratio", r"volume ratio .* faces: (\d+)"),
}
# The summary's count of each, where checkMesh gives one.
CONTAGENS = {
    "cell_volume": r"limit [^:]+: (\d+) cells below",
    "face_non_orthogonality": r"beyond 90 \(an error\): (\d+) faces",
    "face pyramids": r"face pyramids: (\d+) inverted",
    "face_skewness": r"limit 4: (\d+) faces beyond",
    "face tets": r"face tets: (\d+) failures",
    "cell determinant": r"limit 0.001: (\d+) cells below",
    "concave cells": r"concave cells: (\d+)",
    "face interpolation weight": r"limit 0.05: (\d+) faces below",
    "face volume ratio": r"limit 0.01: (\d+) faces below",
}
# Figures both print to six digits: checkMesh's pattern, the summary's.
FIGURAS = {
    "cell determinant": (r"Cell determinant \(wellposedness\) : minimum: (\S+) average: (\S+)",
                         r"cell determinant: min (\S+) at .*, average (\S+);"),
    "face interpolation weight": (r"Face interpolation weight : minimum: (\S+) average: (\S+)",
                                  r"face interpolation weight: min (\S+) at .*, average (\S+);"),
    "face volume ratio": (r"Face volume ratio : minimum: (\S+) average: (\S+)",
                          r"face volume ratio: min (\S+) at .*, average (\S+);"),
    "face area": (r"Minimum face area = (\S+)\. Maximum face area = (\S+)\.",
                  r"face area: min (\S+) at .*, max (\S+);"),
    "edge length": (r"Min/max edge length = (\S+) (\S+) OK", r"edge length min (\S+), max (\S+),"),
}


def malhas_do_programa(pasta):
    """(label, folder, options) of meshes malhas_segmentos makes."""
    sorteio = random.Random(25)
    casos = []
    for k in range(36):
        nk, ne = sorteio.randint(2, 40), sorteio.randint(1, 14)
        tipo = sorteio.choice((1, 2, 2))
        solver, niter = sorteio.randint(0, 20), sorteio.randint(0, 40)
        dksi, deta = sorteio.choice((0.3, 0.7, 1.0, 1.5, 2.5, 4.0)), sorteio.choice((0.3, 1.0, 2.0, 3.0))
        p, q = sorteio.choice((1, 2)), sorteio.choice((1, 2))
        casos.append((f"random {k}: {nk} x {ne}, kind {tipo}, {solver}/{niter}, {dksi}/{deta}, {p}{q}",
                       (nk, ne, tipo, solver, niter, dksi, deta, p, q), []))
    # Thin meshes: a few volumes across, and the long ones of a very
    # stretched smoothing.
    for nk, ne, tipo, solver, niter, dksi, deta in (
        (20, 1, 2, 20, 30, 1.0, 1.0), (40, 1, 1, 0, 0, 1.0, 1.0), (12, 2, 2, 20, 30, 1.0, 1.0),
        (30, 2, 1, 0, 0, 1.0, 1.0), (25, 3, 2, 10, 20, 1.0, 1.0), (60, 3, 2, 20, 30, 2.0, 1.0),
        (18, 4, 2, 20, 30, 1.0, 2.0), (48, 4, 1, 0, 0, 1.0, 1.0), (33, 5, 2, 20, 40, 1.0, 1.0),
        (90, 5, 2, 5, 10, 3.0, 1.0), (3, 30, 2, 20, 30, 1.0, 1.0), (3, 30, 1, 0, 0, 1.0, 1.0),
        (564, 14, 2, 20, 30, 59.0, 1.0), (7, 3, 2, 20, 30, 2.5, 1.0), (7, 3, 2, 20, 30, 1.0, 2.5),
    ):
        casos.append((f"thin: {nk} x {ne}, kind {tipo}, {solver}/{niter}, {dksi}/{deta}",
                       (nk, ne, tipo, solver, niter, dksi, deta, 1, 1), []))
    casos.append(("thin and thick: 40 x 4, kind 2, thickness 1e-3", (40, 4, 2, 20, 30, 1.0, 1.0, 1, 1),
                  ["--espessura", "1e-3"]))
    casos.append(("kind 2, thickness 50", (24, 10, 2, 20, 30, 1.0, 1.0, 1, 1), ["--espessura", "50"]))
    saida = []
    for k, (rotulo, (nk, ne, tipo, solver, niter, dksi, deta, p, q), opcoes) in enumerate(casos):
        d = comum.caso(pasta, segmentos, f"p{k}", nk, ne, tipo, solver, niter, dksi, deta, p, q)
        saida.append((rotulo, d, opcoes))
    return saida


def grade(nk, ne, dx=1.0, dy=1.0, x0=0.0):
    """Vertices of an nk x ne grid of dx x dy rectangles, as a list of [x, y]."""
    return [[x0 + i * dx, j * dy] for j in range(ne + 1) for i in range(nk + 1)]


def malhas_a_mao(pasta):
    """(label, folder, options) of result files written by hand."""
    sorteio = random.Random(1912)
    casos = []

    def caso(rotulo, nk, ne, pontos, *opcoes):
        nome = f"m{len(casos)}"
        d = comum.grava_malha(pasta, nome, nk + 1, ne + 1, [tuple(p) for p in pontos])
        casos.append((rotulo, d, ["--caso", nome, *opcoes]))

    def v(nk, i, j):
        return j * (nk + 1) + i

    for amplitude in (0.1, 0.25, 0.35, 0.45, 0.6, 0.9):
        for semente in range(2):
            p = grade(8, 6)
            for j in range(1, 6):
                for i in range(1, 8):
                    p[v(8, i, j)][0] += amplitude * sorteio.uniform(-1, 1)
                    p[v(8, i, j)][1] += amplitude * sorteio.uniform(-1, 1)
            caso(f"perturbed grid, amplitude {amplitude}, draw {semente}", 8, 6, p)
    p = grade(5, 4)
    p[v(5, 2, 2)] = [2.9, 2.9]  # a dart: the vertex pushed deep into its diagonal neighbour
    caso("a dart (one concave volume)", 5, 4, p)
    p = grade(5, 4)
    p[v(5, 2, 2)], p[v(5, 3, 2)] = [3.0, 2.0], [2.0, 2.0]  # crossed: bow-ties
    caso("two vertices swapped (bow-ties)", 5, 4, p)
    p = grade(5, 4)
    p[v(5, 2, 2)] = [3.4, 3.4]  # past the neighbours: a volume flipped
    caso("a vertex pushed through (flipped volumes)", 5, 4, p)
    p = grade(5, 4)
    p[v(5, 3, 2)] = list(p[v(5, 2, 2)])  # two vertices on each other
    caso("a collapsed edge", 5, 4, p)
    p = grade(5, 4)
    p[v(5, 2, 2)] = [2.0, 1.0]  # on its south neighbour: a triangle with a zero edge
    caso("a vertex on its neighbour below", 5, 4, p)
    p = grade(5, 4)
    p[v(5, 2, 2)] = [2.5, 2.0]  # along its row: every corner still convex
    caso("a vertex slid along its row", 5, 4, p)
    p = grade(5, 4)
    p[v(5, 2, 2)] = [2.5, 2.5]  # on the line of two neighbours: a straight corner
    caso("a straight corner", 5, 4, p)
    p = grade(5, 4)
    p[v(5, 2, 2)] = [2.0, 2.999]  # nearly on the row above
    caso("a vertex nearly on the row above", 5, 4, p)
    caso("stretched 2000:1", 4, 3, grade(4, 3, 2000.0, 1.0))
    caso("stretched 900:1", 4, 3, grade(4, 3, 900.0, 1.0))
    xs = [0.0]
    for i in range(8):
        xs.append(xs[-1] + (1.0 if i < 4 else 150.0))
    caso("graded 1:150", 8, 2, [[x, float(j)] for j in range(3) for x in xs])
    xs = [0.0]
    for i in range(8):
        xs.append(xs[-1] + (1.0 if i < 4 else 60.0))
    caso("graded 1:60", 8, 2, [[x, float(j)] for j in range(3) for x in xs])
    caso("tiny: 1e-9", 4, 3, grade(4, 3, 1e-9, 1e-9))
    caso("tiny and thin: 1e-7, thickness 1", 4, 3, grade(4, 3, 1e-7, 1e-7))
    caso("tiny, thickness to match", 4, 3, grade(4, 3, 1e-7, 1e-7), "--espessura", "1e-7")
    caso("huge: 1e9", 4, 3, grade(4, 3, 1e9, 1e9), "--espessura", "1e9")
    caso("clockwise (mirrored)", 6, 4, [[-x, y] for x, y in grade(6, 4)])
    p = [[-x, y] for x, y in grade(6, 4)]
    p[v(6, 3, 2)] = [-2.6, 2.6]
    caso("clockwise, one concave volume", 6, 4, p)
    p = grade(6, 3)
    for j in range(4):
        for i in range(7):
            p[v(6, i, j)][0] += 0.9 * j  # leaning 42 degrees
    caso("parallelograms leaning 42 degrees", 6, 3, p)
    p = grade(6, 3)
    for j in range(4):
        for i in range(7):
            p[v(6, i, j)][0] += 6.0 * j
    caso("parallelograms leaning 80 degrees", 6, 3, p)
    p = grade(3, 3)
    for j in range(4):
        for i in range(4):
            p[v(3, i, j)][0] += 30.0 * j * (i % 2)
    caso("zigzag: faces beyond 90 degrees", 3, 3, p)
    caso("one volume", 1, 1, grade(1, 1))
    caso("one row of one", 1, 5, grade(1, 5))
    caso("one column", 6, 1, grade(6, 1))
    caso("thin cells, thickness 1e-4", 5, 3, grade(5, 3), "--espessura", "1e-4")
    return casos


def roda_caso(caso):
    rotulo, d, opcoes = caso
    of = os.path.join(d, "of")
    r = subprocess.run([qualidade, *opcoes, "--verifica", "--openfoam", of, d], capture_output=True, text=True)
    c = subprocess.run(["checkMesh", "-case", of, "-allGeometry", "-allTopology"], capture_output=True, text=True,
                       env=AMBIENTE, timeout=600)
    return rotulo, r, c


def compara(rotulo, r, c):
    """The disagreements between the summary and checkMesh's output."""
    erros = []
    saida = c.stdout + c.stderr
    if r.returncode not in (0, 3):
        return [f"malhas_qualidade exit {r.returncode}: {r.stderr.strip()}"]
    ok = c.returncode == 0 and "\nMesh OK." in saida
    falhou = re.search(r"Failed (\d+) mesh checks", saida)
    if (r.returncode == 3) != (not ok):
        erros.append(f"exit {r.returncode}, checkMesh {'Mesh OK' if ok else 'fails'}")
    nossa = re.search(r'checkMesh -allGeometry -allTopology would say "(?:Mesh OK|Failed (\d+) mesh checks)"', r.stdout)
    n_nosso = int(nossa.group(1)) if nossa and nossa.group(1) else 0
    n_dele = int(falhou.group(1)) if falhou else 0
    if nossa and n_nosso != n_dele:
        erros.append(f"Failed {n_nosso} mesh checks here, {n_dele} in checkMesh")
    linhas = {}
    for m in re.finditer(r"^    (passed|FAILED)  (.*)$", r.stdout, re.M):
        for nome in CHECAGENS:
            if m.group(2).startswith(nome):
                linhas[nome] = (m.group(1) == "FAILED", m.group(2))
    for nome, (marca, contagem) in CHECAGENS.items():
        if nome not in linhas:
            erros.append(f"{nome}: no line in the summary")
            continue
        falhou_aqui, texto = linhas[nome]
        falhou_la = re.search(marca, saida) is not None
        if falhou_aqui != falhou_la:
            erros.append(f"{nome}: {'FAILED' if falhou_aqui else 'passed'} here, checkMesh "
                         f"{'fails' if falhou_la else 'passes'} it")
        if contagem and falhou_la and nome in CONTAGENS:
            la, aqui = re.search(contagem, saida), re.search(CONTAGENS[nome], texto)
            if la and aqui and la.group(1) != aqui.group(1):
                erros.append(f"{nome}: {aqui.group(1)} here, {la.group(1)} in checkMesh")
    for nome, (padrao_la, padrao_aqui) in FIGURAS.items():
        la, aqui = re.search(padrao_la, saida), re.search(padrao_aqui, r.stdout)
        if la and aqui and la.groups() != aqui.groups():
            erros.append(f"{nome}: {aqui.groups()} here, {la.groups()} in checkMesh")
    return erros


with comum.pasta_temporaria() as pasta:
    casos = malhas_do_programa(pasta) + malhas_a_mao(pasta)
    discordancias = falhas_checkmesh = 0
    por_checagem = dict.fromkeys(CHECAGENS, 0)
    with concurrent.futures.ThreadPoolExecutor(max_workers=2) as grupo:
        for rotulo, r, c in grupo.map(roda_caso, casos):
            erros = compara(rotulo, r, c)
            falhas_checkmesh += 0 if "\nMesh OK." in c.stdout else 1
            for nome, (marca, _) in CHECAGENS.items():
                por_checagem[nome] += 1 if re.search(marca, c.stdout) else 0
            discordancias += 1 if erros else 0
            if erros or todos:
                veredito = "3" if r.returncode == 3 else str(r.returncode)
                print(f"{rotulo}: exit {veredito}" + ("" if not erros else "; " + "; ".join(erros)))
    print(f"{len(casos)} meshes, {falhas_checkmesh} failed by checkMesh -allGeometry -allTopology: "
          f"{discordancias} disagreements with --verifica")
    print("meshes checkMesh fails, by check: " + ", ".join(f"{n} {k}" for n, k in por_checagem.items()))
    sys.exit(1 if discordancias else 0)
