#!/usr/bin/python3
"""The L-shaped domain benchmark: how accurately a finite-volume solver
(OpenFOAM's laplacianFoam) solves Laplace's equation on each family of meshes,
at several sizes, against three exact solutions.

Families:
  algebrica  malhas_segmentos, mesh kind 1
  suavizada  malhas_segmentos, mesh kind 2, niter doubled until the summary
             calls the mesh settled
  ortogonal  malhas_qualidade --ortogonaliza
  graduada   malhas_qualidade --ortogonaliza --gradua G
  blocos     blockMesh: three uniform square blocks, the cell count nearest
             to that of the size (the reference)

Problems (-lap u = 0; Dirichlet values of the exact solution at the boundary
face centres): singular u = r^(2/3) sin(2 phi/3) about the re-entrant corner
(0.5, 0.5), phi measured from the edge x = 0.5 so that u vanishes on both
edges that meet there; smooth u = sin(pi x) sinh(pi y) / sinh(pi); linear
u = x + 2 y. Steady, Gauss linear corrected, the non-orthogonal correction
iterated until the initial residual is below 1e-10. Error at the cell centres
as OpenFOAM computes them: volume-weighted L2 and max; observed order
p = log(e1/e2) / log(h1/h2), h = sqrt(area / cells).

Usage:
  precisao_l.py --segmentos B/malhas_segmentos --qualidade B/malhas_qualidade
                [--tamanhos 40x20,80x40,160x80,320x160] [--familias ...]
                [--gradua 2] [--csv F] [--markdown F] [--grafico F.png]
                [--trabalho DIR] [--confere]
Every mesh also gets its boundary faces' largest non-orthogonality away from
the six corners of the L (face normal against the line from OpenFOAM's cell
centre to the face centre, from the polyMesh the export wrote).
--confere checks the targets that the sizes given allow and exits 1 when one
is missed (the small form CI runs). Exits 77 (skipped) with the reason when
OpenFOAM is not installed. Needs /usr/bin/python3 with numpy (Debian:
python3-numpy) and, for --grafico, gnuplot.
"""
import argparse
import math
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

SALTA = 77
AREA = 0.75
FERRAMENTAS = ("blockMesh", "laplacianFoam", "postProcess")
# Debian's OpenFOAM 1912 finds its etc/ folder only through these two.
AMBIENTE_FOAM = dict(os.environ, WM_PROJECT_DIR="/usr/share/openfoam", FOAM_ETC="/usr/share/openfoam/etc")
PROBLEMAS = ("singular", "suave", "linear")
FAMILIAS = ("algebrica", "suavizada", "ortogonal", "graduada", "blocos")

try:
    import numpy as np
except ImportError:
    print("SKIPPED: Python module 'numpy' is missing (Debian: python3-numpy)")
    sys.exit(SALTA)


def exata(problema, x, y):
    if problema == "singular":
        r = np.hypot(x - 0.5, y - 0.5)
        # (atan2 - pi/2) mod 2 pi, its cut moved into the missing quarter: a
        # face centre on x = 0.5 a rounding to the right of it stays at phi = 0.
        phi = np.mod(np.arctan2(y - 0.5, x - 0.5) - math.pi / 4, 2 * math.pi) - math.pi / 4
        return r ** (2.0 / 3.0) * np.sin(2.0 * phi / 3.0)
    if problema == "suave":
        return np.sin(math.pi * x) * np.sinh(math.pi * y) / math.sinh(math.pi)
    return x + 2.0 * y


# --- OpenFOAM files ---------------------------------------------------------------

CABECALHO = "FoamFile {{ version 2.0; format ascii; class {classe}; object {objeto}; }}\n"

CONTROL_DICT = CABECALHO.format(classe="dictionary", objeto="controlDict") + """
application laplacianFoam;
startFrom startTime; startTime 0; stopAt endTime; endTime 400; deltaT 1;
writeControl timeStep; writeInterval 400; writeFormat ascii; writePrecision 17;
writeCompression off; timeFormat general; timePrecision 6; runTimeModifiable false;
"""
FV_SCHEMES = CABECALHO.format(classe="dictionary", objeto="fvSchemes") + """
ddtSchemes { default steadyState; }
gradSchemes { default Gauss linear; }
divSchemes { default none; }
laplacianSchemes { default Gauss linear corrected; }
interpolationSchemes { default linear; }
snGradSchemes { default corrected; }
"""
# Each step solves once with the explicit non-orthogonal correction of the
# step before; the residual control stops the run once the correction has
# converged (and writes the field then).
FV_SOLUTION = CABECALHO.format(classe="dictionary", objeto="fvSolution") + """
solvers { T { solver GAMG; smoother GaussSeidel; tolerance 1e-14; relTol 1e-3; maxIter 1000; } }
SIMPLE { nNonOrthogonalCorrectors 0; residualControl { T 1e-10; } }
"""
TRANSPORTE = CABECALHO.format(classe="dictionary", objeto="transportProperties") + "DT DT [0 2 -1 0 0 0 0] 1;\n"


def prepara_caso_foam(caso):
    for sub in ("system", "constant", "0"):
        os.makedirs(os.path.join(caso, sub), exist_ok=True)
    for nome, texto in (("controlDict", CONTROL_DICT), ("fvSchemes", FV_SCHEMES), ("fvSolution", FV_SOLUTION)):
        with open(os.path.join(caso, "system", nome), "w") as f:
            f.write(texto)
    with open(os.path.join(caso, "constant", "transportProperties"), "w") as f:
        f.write(TRANSPORTE)


def roda(argumentos, **opcoes):
    r = subprocess.run(argumentos, capture_output=True, text=True, **opcoes)
    if r.returncode != 0:
        sys.exit(f"{' '.join(argumentos)}: exit {r.returncode}\n{r.stdout[-3000:]}{r.stderr[-3000:]}")
    return r.stdout


def le_lista(texto, inicio, vetor):
    """The list 'N ( ... )' from position inicio: an array (N) or (N, 3)."""
    m = re.compile(r"\s*(\d+)\s*\(").match(texto, inicio)
    n = int(m.group(1))
    fim = m.end()
    if vetor:
        corpo_fim = fim
        for _ in range(n):
            corpo_fim = texto.index(")", corpo_fim) + 1
        corpo = texto[fim:corpo_fim].replace("(", " ").replace(")", " ")
        valores = np.array(corpo.split(), dtype=float).reshape(n, 3)
    else:
        corpo_fim = texto.index(")", fim)
        valores = np.array(texto[fim:corpo_fim].split(), dtype=float)
    if len(valores) != n:
        raise ValueError("short list")
    return valores


def le_campo(caminho, vetor, n=0):
    """internalField (n values, where it is uniform) and the value of every
    patch that has one."""
    with open(caminho) as f:
        texto = f.read()
    tipo = r"List<vector>" if vetor else r"List<scalar>"
    m = re.search(r"internalField\s+nonuniform\s+" + tipo, texto)
    if m:
        interno = le_lista(texto, m.end(), vetor)
    else:
        interno = np.full(n, float(re.search(r"internalField\s+uniform\s+(\S+);", texto).group(1)))
    fronteira = {}
    b = texto.index("boundaryField")
    for m in re.finditer(r"(\w+)\s*\{[^{}]*?value\s+nonuniform\s+" + tipo, texto[b:]):
        fronteira[m.group(1)] = le_lista(texto, b + m.end(), vetor)
    return interno, fronteira


def geometria(caso):
    """Cell centres, cell volumes and boundary face centres as OpenFOAM computes them."""
    roda(["postProcess", "-case", caso, "-time", "0", "-func", "writeCellCentres"], env=AMBIENTE_FOAM)
    roda(["postProcess", "-case", caso, "-time", "0", "-func", "writeCellVolumes"], env=AMBIENTE_FOAM)
    centros, faces = le_campo(os.path.join(caso, "0", "C"), True)
    volumes, _ = le_campo(os.path.join(caso, "0", "V"), False, len(centros))
    for nome in os.listdir(os.path.join(caso, "0")):
        os.remove(os.path.join(caso, "0", nome))
    return centros, volumes, faces


CANTOS = ((0.0, 1.0), (0.0, 0.0), (1.0, 0.0), (1.0, 0.5), (0.5, 0.5), (0.5, 1.0))


def corpo_lista(texto):
    """The body of a polyMesh file's list: what its count opens."""
    m = re.compile(r"\n(\d+)\s*\(", re.S).search(texto, texto.index("}") if "FoamFile" in texto else 0)
    return int(m.group(1)), texto[m.end():]


def nao_ortogonalidade_fronteira(caso, centros):
    """The largest angle between a boundary face's normal and the line from
    its cell's centre (OpenFOAM's) to its centre, over the faces that touch
    none of the six corners of the L, in degrees: what a fixedValue boundary
    takes its gradient along."""
    malha = os.path.join(caso, "constant", "polyMesh")
    with open(os.path.join(malha, "points")) as f:
        n, corpo = corpo_lista(f.read())
    pontos = np.array(re.findall(r"\(([^()]+)\)", corpo)[:n], dtype=object)
    pontos = np.array([[float(v) for v in p.split()] for p in pontos])
    with open(os.path.join(malha, "faces")) as f:
        n, corpo = corpo_lista(f.read())
    faces = np.array(re.findall(r"4\((\d+) (\d+) (\d+) (\d+)\)", corpo)[:n], dtype=int)
    with open(os.path.join(malha, "owner")) as f:
        n, corpo = corpo_lista(f.read())
    dono = np.array(corpo.split(")")[0].split(), dtype=int)
    with open(os.path.join(malha, "boundary")) as f:
        fronteira = f.read()
    pior = 0.0
    for m in re.finditer(r"(\w+)\s*\{[^{}]*?type\s+(\w+);[^{}]*?nFaces\s+(\d+);[^{}]*?startFace\s+(\d+);", fronteira):
        if m.group(2) == "empty":
            continue
        inicio, quantas = int(m.group(4)), int(m.group(3))
        for k in range(inicio, inicio + quantas):
            q = pontos[faces[k]]
            if any(abs(p[0] - cx) < 1e-9 and abs(p[1] - cy) < 1e-9 for p in q for cx, cy in CANTOS):
                continue
            normal = np.cross(q[2] - q[0], q[3] - q[1])
            d = q.mean(axis=0) - centros[dono[k]]
            c = abs(normal @ d) / (np.linalg.norm(normal) * np.linalg.norm(d))
            pior = max(pior, math.degrees(math.acos(min(1.0, c))))
    return pior


def resolve(caso, geo, problema):
    centros, volumes, faces = geo
    for nome in os.listdir(caso):
        if re.fullmatch(r"[0-9.e+-]+", nome) and nome != "0":
            shutil.rmtree(os.path.join(caso, nome))
    texto = CABECALHO.format(classe="volScalarField", objeto="T")
    texto += "dimensions [0 0 0 1 0 0 0];\ninternalField uniform 0;\nboundaryField\n{\n"
    for patch, c in faces.items():
        valores = exata(problema, c[:, 0], c[:, 1])
        texto += f"    {patch}\n    {{\n        type fixedValue;\n        value nonuniform List<scalar> {len(valores)}\n(\n"
        texto += "\n".join(f"{v:.17g}" for v in valores) + "\n);\n    }\n"
    texto += "    \".*\" { type empty; }\n}\n"
    with open(os.path.join(caso, "0", "T"), "w") as f:
        f.write(texto)
    saida = roda(["laplacianFoam", "-case", caso], env=AMBIENTE_FOAM)
    residuos = [float(r) for r in re.findall(r"Solving for T, Initial residual = (\S+),", saida)]
    tempos = [float(n) for n in os.listdir(caso) if re.fullmatch(r"[0-9.e+-]+", n) and float(n) > 0]
    if not tempos:
        sys.exit(f"laplacianFoam wrote no result in {caso}")
    final = max(tempos)
    nome_final = next(n for n in os.listdir(caso) if re.fullmatch(r"[0-9.e+-]+", n) and float(n) == final)
    t, _ = le_campo(os.path.join(caso, nome_final, "T"), False)
    erro = t - exata(problema, centros[:, 0], centros[:, 1])
    l2 = math.sqrt(float(np.sum(volumes * erro**2) / np.sum(volumes)))
    return l2, float(np.max(np.abs(erro))), residuos[-1] if residuos else float("nan")


# --- The meshes ---------------------------------------------------------------------


def caso_segmentos(pasta, segmentos, nk, ne, tipo, niter_solver=0, niter=0):
    os.makedirs(pasta, exist_ok=True)
    with open(os.path.join(pasta, "entradas.txt"), "w") as f:
        f.write(f"'l'\n{nk}\n{ne}\n{tipo}\n")
    with open(os.path.join(pasta, "entrada_eq_elipticas.txt"), "w") as f:
        f.write(f"{niter_solver}\n{niter}\n0.001\n1.0\n1.0\n1\n1\n")
    roda([segmentos], cwd=pasta, env=dict(os.environ, COMSPEC="/bin/true"))


def malha_familia(args, familia, nk, ne, pasta):
    """Makes the family's mesh at nk x ne in pasta, exports it to pasta/of;
    returns the OpenFOAM case and a note."""
    caso = os.path.join(pasta, "of")
    nota = ""
    if familia == "algebrica":
        caso_segmentos(pasta, args.segmentos, nk, ne, 1)
        opcoes = []
    elif familia == "suavizada":
        niter = 50
        while True:
            caso_segmentos(pasta, args.segmentos, nk, ne, 2, 10, niter)
            resumo = roda([args.qualidade, pasta])
            if "settled;" in resumo:
                break
            niter *= 2
        nota = f"niter {niter}, niter_solver 10"
        opcoes = []
    else:
        caso_segmentos(pasta, args.segmentos, nk, ne, 1)
        opcoes = ["--ortogonaliza"]
        if familia == "graduada":
            opcoes += ["--gradua", str(args.gradua)]
    prepara_caso_foam(caso)
    inicio = time.monotonic()
    resumo = roda([args.qualidade, *opcoes, "--openfoam", caso, pasta])
    if opcoes:
        m = re.search(r"(settled|NOT SETTLED) after (\d+) outer iterations", resumo)
        nota = f"{m.group(2) if m else '?'} iterations, {time.monotonic() - inicio:.2f} s"
    return caso, nota


BLOCK_MESH = CABECALHO.format(classe="dictionary", objeto="blockMeshDict") + """
convertToMeters 1;
vertices ( (0 0 0) (0.5 0 0) (1 0 0) (0 0.5 0) (0.5 0.5 0) (1 0.5 0) (0 1 0) (0.5 1 0)
           (0 0 1) (0.5 0 1) (1 0 1) (0 0.5 1) (0.5 0.5 1) (1 0.5 1) (0 1 1) (0.5 1 1) );
blocks ( hex (0 1 4 3 8 9 12 11) (N N 1) simpleGrading (1 1 1)
         hex (1 2 5 4 9 10 13 12) (N N 1) simpleGrading (1 1 1)
         hex (3 4 7 6 11 12 15 14) (N N 1) simpleGrading (1 1 1) );
boundary (
  contorno { type patch; faces ( (0 8 11 3) (3 11 14 6) (6 14 15 7) (7 15 12 4) (4 12 13 5)
                                 (5 13 10 2) (2 10 9 1) (1 9 8 0) ); }
  frente_e_tras { type empty; faces ( (0 3 4 1) (1 4 5 2) (3 6 7 4) (8 9 12 11) (9 10 13 12) (11 12 15 14) ); }
);
"""


def malha_blocos(nk, ne, pasta):
    n = max(1, round(math.sqrt(nk * ne / 3.0)))
    caso = os.path.join(pasta, "of")
    prepara_caso_foam(caso)
    with open(os.path.join(caso, "system", "blockMeshDict"), "w") as f:
        f.write(BLOCK_MESH.replace("(N N 1)", f"({n} {n} 1)"))
    roda(["blockMesh", "-case", caso], env=AMBIENTE_FOAM)
    return caso, f"3 blocks of {n} x {n}"


# --- The table ----------------------------------------------------------------------


def ordem(e1, e2, n1, n2):
    """Observed order between two sizes, h = sqrt(area / cells)."""
    if not (e1 > 0 and e2 > 0) or n1 == n2:
        return float("nan")
    return math.log(e1 / e2) / math.log(math.sqrt(n2 / n1))


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("--segmentos")
    p.add_argument("--qualidade")
    p.add_argument("--tamanhos", default="40x20,80x40,160x80,320x160")
    p.add_argument("--familias", default=",".join(FAMILIAS))
    p.add_argument("--problemas", default=",".join(PROBLEMAS))
    p.add_argument("--gradua", default="2")
    p.add_argument("--csv")
    p.add_argument("--markdown")
    p.add_argument("--grafico")
    p.add_argument("--trabalho", help="keep every case in this folder")
    p.add_argument("--confere", action="store_true", help="check the targets the sizes allow")
    p.add_argument("--ci", action="store_true", help="check the small form's bounds (two sizes)")
    p.add_argument("--de-csv", help="no run: the table and the plot from this file of --csv")
    args = p.parse_args()
    ROTULOS["graduada"] = f"--ortogonaliza --gradua {args.gradua}"
    if args.de_csv:
        linhas = le_csv(args.de_csv)
        familias = list(dict.fromkeys(l[0] for l in linhas))
        problemas = list(dict.fromkeys(l[4] for l in linhas))
        saidas(args, linhas, familias, problemas)
        return
    if not (args.segmentos and args.qualidade):
        p.error("--segmentos and --qualidade are needed, unless --de-csv")
    for ferramenta in FERRAMENTAS:
        if shutil.which(ferramenta) is None:
            print(f"SKIPPED: {ferramenta} not found (Debian: openfoam)")
            sys.exit(SALTA)
    args.segmentos = os.path.abspath(args.segmentos)
    args.qualidade = os.path.abspath(args.qualidade)
    tamanhos = [tuple(int(v) for v in t.split("x")) for t in args.tamanhos.split(",")]
    familias = args.familias.split(",")
    problemas = args.problemas.split(",")
    trabalho = args.trabalho or tempfile.mkdtemp(prefix="precisao_l_")
    os.makedirs(trabalho, exist_ok=True)
    linhas = []  # (familia, nk, ne, celulas, problema, l2, max, residuo, nota)
    try:
        for familia in familias:
            for nk, ne in tamanhos:
                pasta = os.path.join(trabalho, f"{familia}_{nk}x{ne}")
                if os.path.exists(pasta):
                    shutil.rmtree(pasta)
                os.makedirs(pasta)
                if familia == "blocos":
                    caso, nota = malha_blocos(nk, ne, pasta)
                else:
                    caso, nota = malha_familia(args, familia, nk, ne, pasta)
                geo = geometria(caso)
                fronteira = nao_ortogonalidade_fronteira(caso, geo[0])
                for problema in problemas:
                    l2, emax, residuo = resolve(caso, geo, problema)
                    if not residuo < 1e-9:
                        print(f"warning: {familia} {nk} x {ne} {problema}: laplacianFoam ended at the initial "
                              f"residual {residuo:g}, not converged")
                    linhas.append((familia, nk, ne, len(geo[1]), problema, l2, emax, residuo, nota, fronteira))
                    print(f"{familia:10s} {nk:4d} x {ne:<4d} {len(geo[1]):7d} cells  {problema:8s} "
                          f"L2 {l2:.3e}  max {emax:.3e}  boundary {fronteira:.3g} deg  ({nota})", flush=True)
    finally:
        if not args.trabalho:
            shutil.rmtree(trabalho, ignore_errors=True)
    saidas(args, linhas, familias, problemas)


def saidas(args, linhas, familias, problemas):
    tabela = escreve_tabela(linhas, familias, problemas)
    print("\n" + tabela)
    if args.markdown:
        with open(args.markdown, "w") as f:
            f.write(tabela)
    if args.csv:
        with open(args.csv, "w") as f:
            f.write("family,nvol_ksi,nvol_eta,cells,problem,l2,max,order_l2,order_max,boundary_nonorth_deg,note\n")
            for l, o in zip(linhas, ordens(linhas)):
                f.write(f"{l[0]},{l[1]},{l[2]},{l[3]},{l[4]},{l[5]:.6e},{l[6]:.6e},{o[0]:.4f},{o[1]:.4f},"
                        f"{l[9]:.4g},{l[8]}\n")
    if args.grafico:
        grafico(args.grafico, linhas, familias, problemas)
    falhas = []
    if args.confere:
        falhas += confere(linhas)
    if args.ci:
        falhas += confere_ci(linhas)
    for f in falhas:
        print("MISSED: " + f)
    if args.confere or args.ci:
        print(f"{len(falhas)} missed" if falhas else "every target checked is reached")
        sys.exit(1 if falhas else 0)


def le_csv(caminho):
    linhas = []
    with open(caminho) as f:
        f.readline()
        for texto in f:
            c = texto.rstrip("\n").split(",", 10)
            linhas.append((c[0], int(c[1]), int(c[2]), int(c[3]), c[4], float(c[5]), float(c[6]), 0.0,
                           c[10] if len(c) > 10 else "", float(c[9])))
    return linhas


def ordens(linhas):
    """The observed order of each row against the previous size of its family and problem."""
    anterior = {}
    saida = []
    for l in linhas:
        chave = (l[0], l[4])
        if chave in anterior:
            a = anterior[chave]
            saida.append((ordem(a[5], l[5], a[3], l[3]), ordem(a[6], l[6], a[3], l[3])))
        else:
            saida.append((float("nan"), float("nan")))
        anterior[chave] = l
    return saida


def escreve_tabela(linhas, familias, problemas):
    os_ = ordens(linhas)
    nomes = {"singular": "singular", "suave": "smooth", "linear": "linear"}
    texto = ("| mesh | cells | boundary, deg | " + " | ".join(f"{nomes.get(p, p)}: L2, max (order)" for p in problemas)
             + " |\n")
    texto += "|---|---:|---:|" + "---|" * len(problemas) + "\n"
    for familia in familias:
        grupos = {}
        for l, o in zip(linhas, os_):
            if l[0] == familia:
                grupos.setdefault((l[1], l[2], l[3]), {})[l[4]] = (l, o)
        for (nk, ne, celulas), por_problema in grupos.items():
            celulas_texto = f"{celulas}" if familia == "blocos" else f"{nk} x {ne} = {celulas}"
            fronteira = next(iter(por_problema.values()))[0][9]
            partes = []
            for pr in problemas:
                if pr not in por_problema:
                    partes.append("")
                    continue
                l, o = por_problema[pr]
                ordem_texto = "" if math.isnan(o[0]) else f" ({o[0]:.2f}, {o[1]:.2f})"
                partes.append(f"{l[5]:.2e}, {l[6]:.2e}{ordem_texto}")
            texto += (f"| {ROTULOS.get(familia, familia)} | {celulas_texto} | {fronteira:.2g} | " + " | ".join(partes)
                      + " |\n")
    return texto


def referencia(linhas, problema, celulas):
    """The blocks' L2 at this cell count, on the power law through the two nearest sizes."""
    pontos = sorted((l[3], l[5]) for l in linhas if l[0] == "blocos" and l[4] == problema)
    if len(pontos) < 2:
        return float("nan")
    (n1, e1), (n2, e2) = min(zip(pontos, pontos[1:]), key=lambda par: abs(math.log(celulas / math.sqrt(par[0][0] * par[1][0]))))
    expoente = math.log(e2 / e1) / math.log(n2 / n1)
    return e1 * (celulas / n1) ** expoente


def confere_ci(linhas):
    """The small form's bounds, at two sizes: the solver-grade meshes converge
    near second order and reproduce the linear solution far better than the
    algebraic mesh (whose error falls at first order)."""
    falhas = []
    os_ = dict(((l[0], l[4], l[1]), o) for l, o in zip(linhas, ordens(linhas)))
    ultimos = {}
    for l in linhas:
        ultimos[(l[0], l[4])] = l
    limites = {("ortogonal", "suave"): 1.7, ("ortogonal", "linear"): 1.6, ("graduada", "suave"): 1.7,
               ("graduada", "linear"): 1.6, ("graduada", "singular"): 1.7}
    for (familia, problema), minimo in limites.items():
        l = ultimos.get((familia, problema))
        if l is None:
            continue
        o = os_[(familia, problema, l[1])][0]
        if not o >= minimo:
            falhas.append(f"{familia}, {problema}: order {o:.2f} < {minimo}")
    for l in linhas:
        if l[0] in ("ortogonal", "graduada") and not l[9] <= 1.0:
            falhas.append(f"{l[0]}, {l[1]} x {l[2]}: boundary faces {l[9]:.3g} degrees off square (> 1)")
            break
    base = ultimos.get(("algebrica", "linear"))
    for familia in ("ortogonal", "graduada"):
        l = ultimos.get((familia, "linear"))
        if l is not None and base is not None and (base[1], base[2]) == (l[1], l[2]) and not l[5] * 5 <= base[5]:
            falhas.append(f"{familia}, linear: L2 {l[5]:.2e} not 5 times below the algebraic mesh's {base[5]:.2e}")
    return falhas


def ordem_duas(linhas_familia):
    """The order over the last two refinements: from the third size from the end to the last."""
    if len(linhas_familia) < 3:
        return linhas_familia[-1][1][0] if len(linhas_familia) == 2 else float("nan")
    a, b = linhas_familia[-3][0], linhas_familia[-1][0]
    return ordem(a[5], b[5], a[3], b[3])


def confere(linhas):
    """The targets the rows allow to check (an order over the last two
    refinements: from the third size from the end to the last)."""
    falhas = []
    os_ = ordens(linhas)
    def ultimas(familia, problema):
        return [(l, o) for l, o in zip(linhas, os_) if l[0] == familia and l[4] == problema]
    for familia in ("ortogonal", "graduada"):
        lin = ultimas(familia, "linear")
        if len(lin) >= 2 and not ordem_duas(lin) >= 1.8:
            falhas.append(f"{familia}, linear: order {ordem_duas(lin):.2f} < 1.8")
        for l, _ in lin:
            if (l[1], l[2]) == (160, 80) and l[5] > 1e-4:
                falhas.append(f"{familia}, linear: L2 {l[5]:.2e} > 1e-4 at 160 x 80")
    suave = ultimas("ortogonal", "suave")
    if len(suave) >= 2 and not ordem_duas(suave) >= 1.8:
        falhas.append(f"ortogonal, smooth: order {ordem_duas(suave):.2f} < 1.8")
    if suave:
        ref = referencia(linhas, "suave", suave[-1][0][3])
        if not math.isnan(ref) and suave[-1][0][5] > 2 * ref:
            falhas.append(f"ortogonal, smooth: L2 {suave[-1][0][5]:.2e} > 2 x blocks' {ref:.2e}")
    for l in linhas:
        if l[0] in ("ortogonal", "graduada") and not l[9] <= 1.0:
            falhas.append(f"{l[0]}, {l[1]} x {l[2]}: boundary faces {l[9]:.3g} degrees off square (> 1)")
            break
    sing = ultimas("graduada", "singular")
    if len(sing) >= 2 and not ordem_duas(sing) >= 1.8:
        falhas.append(f"graduada, singular: order {ordem_duas(sing):.2f} < 1.8")
    for l, _ in sing:
        if 40000 <= l[3] <= 60000:
            ref = referencia(linhas, "singular", l[3])
            if not math.isnan(ref) and l[5] >= ref:
                falhas.append(f"graduada, singular: L2 {l[5]:.2e} >= blocks' {ref:.2e} at {l[3]} cells")
    return falhas


ROTULOS = {"algebrica": "algebraic (kind 1)", "suavizada": "smoothed, settled (kind 2)",
           "ortogonal": "--ortogonaliza", "graduada": "--ortogonaliza --gradua 2", "blocos": "three uniform blocks"}
CORES = {"algebrica": "#9400d3", "suavizada": "#009e73", "ortogonal": "#1f4e9e", "graduada": "#e69f00",
         "blocos": "#000000"}
TITULOS = {"singular": "singular: r^{2/3} sin(2{/Symbol f}/3)", "suave": "smooth: sin({/Symbol p}x) sinh({/Symbol p}y)/sinh({/Symbol p})",
           "linear": "linear: x + 2y"}


def grafico(caminho, linhas, familias, problemas):
    if shutil.which("gnuplot") is None:
        print("note: gnuplot not found (Debian: gnuplot): no plot")
        return
    with tempfile.TemporaryDirectory(prefix="precisao_l_grafico_") as d:
        comandos = [f"set terminal pngcairo size {420 * len(problemas)},440 font ',10'",
                    f"set output '{caminho}'", f"set multiplot layout 1,{len(problemas)}",
                    "set logscale xy", "set format y '10^{%L}'", "set format x '10^{%L}'",
                    "set xlabel 'cells'", "set ylabel 'L2 error'", "set key bottom left",
                    "set grid"]
        for problema in problemas:
            series = []
            for familia in familias:
                arquivo = os.path.join(d, f"{familia}_{problema}.dat")
                with open(arquivo, "w") as f:
                    for l in linhas:
                        if l[0] == familia and l[4] == problema:
                            f.write(f"{l[3]} {l[5]:.6e}\n")
                series.append(f"'{arquivo}' using 1:2 with linespoints lw 1.5 lc rgb '{CORES.get(familia, '#777777')}' "
                              f"title '{ROTULOS.get(familia, familia)}'")
            comandos.append(f"set title \"{TITULOS.get(problema, problema)}\"")
            comandos.append("set key top right" if problema == "linear" else "set key bottom left")
            comandos.append("plot " + ", ".join(series))
        comandos.append("unset multiplot")
        roda(["gnuplot", "-e", "; ".join(comandos)])


if __name__ == "__main__":
    main()
