"""The recommendation of --historico, checked by running what it says.
"niter = k would do": malhas_segmentos run with niter = k gives a mesh within
the tolerance of the full run's (the distance measured from the two report
files, over the full run's shortest edge), and k - 1 one that is not.
"more outer iterations are needed, about N (niter = M)": a run with niter = M
lands within the tolerance of where the smoothing goes, taken as a run long
enough for its own history to find it settled far below the tolerance; the
least niter that would have done (from that long run's history) gives the
estimate's accuracy. "within the tolerance" (where the smoothing goes): the
present mesh is within it of that long run's.
Usage: verifica_recomendacao.py MALHAS_SEGMENTOS MALHAS_QUALIDADE [EXAMPLE_FOLDER] [--todos]
(--todos: many more cases, and every figure)"""
import concurrent.futures
import math
import os
import re
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import comum

segmentos, qualidade = (os.path.abspath(a) for a in sys.argv[1:3])
todos = "--todos" in sys.argv
TOLERANCIA = 0.001

# nk, ne, niter_solver, niter, dksi, deta, tipo_p, tipo_q
CASOS = [
    (24, 10, 20, 60, 1.0, 1.0, 1, 1),   # the shipped example: settled
    (24, 10, 20, 5, 1.0, 1.0, 1, 1),    # too few
    (60, 30, 20, 300, 1.0, 1.0, 1, 1),
    (60, 30, 20, 40, 1.0, 1.0, 1, 1),
    (60, 30, 5, 60, 1.0, 1.0, 1, 1),
    (60, 30, 5, 300, 1.0, 1.0, 1, 1),
    (40, 10, 20, 25, 2.5, 1.0, 1, 1),
    (40, 20, 3, 80, 1.0, 1.0, 2, 2),
    (100, 8, 10, 300, 1.0, 0.3, 1, 1),
    (100, 8, 10, 1500, 1.0, 0.3, 1, 1),
    (30, 12, 1, 150, 1.0, 1.0, 1, 1),
    (16, 40, 10, 30, 0.5, 2.0, 1, 2),
]
if todos:
    CASOS += [
        (24, 10, 20, 3, 1.0, 1.0, 1, 1), (24, 10, 20, 8, 1.0, 1.0, 1, 1), (24, 10, 2, 30, 1.0, 1.0, 1, 1),
        (60, 30, 20, 15, 1.0, 1.0, 1, 1), (60, 30, 20, 80, 1.0, 1.0, 1, 1), (60, 30, 5, 20, 1.0, 1.0, 1, 1),
        (60, 30, 5, 150, 1.0, 1.0, 1, 1), (40, 10, 20, 10, 2.5, 1.0, 1, 1), (40, 10, 20, 60, 2.5, 1.0, 1, 1),
        (40, 20, 3, 20, 1.0, 1.0, 2, 2), (40, 20, 3, 200, 1.0, 1.0, 2, 2), (100, 8, 10, 60, 1.0, 0.3, 1, 1),
        (100, 8, 10, 700, 1.0, 0.3, 1, 1), (30, 12, 1, 40, 1.0, 1.0, 1, 1), (30, 12, 1, 600, 1.0, 1.0, 1, 1),
        (16, 40, 10, 8, 0.5, 2.0, 1, 2), (16, 40, 10, 100, 0.5, 2.0, 1, 2), (80, 40, 10, 50, 1.0, 1.0, 2, 1),
        (80, 40, 10, 200, 1.0, 1.0, 2, 1), (120, 20, 4, 100, 1.5, 0.7, 1, 1), (120, 20, 4, 400, 1.5, 0.7, 1, 1),
        (12, 6, 30, 4, 1.0, 1.0, 1, 1), (200, 10, 10, 100, 1.0, 0.5, 1, 1), (200, 10, 10, 1000, 1.0, 0.5, 1, 1),
    ]


def roda(pasta, nome, caso, niter):
    nk, ne, solver, _, dksi, deta, p, q = caso
    return comum.caso(pasta, segmentos, nome, nk, ne, 2, solver, niter, dksi, deta, p, q)


def malha(d):
    nk, ne, x, y = comum.le_relatorio(os.path.join(d, os.path.basename(d) + ".txt"))
    return nk, x, y


def menor_aresta(nk, x, y):
    h = math.inf
    for v in range(1, len(x)):
        i, j = (v - 1) % nk + 1, (v - 1) // nk + 1
        for w in ((v + 1) if i < nk else 0, (v + nk) if v + nk < len(x) else 0):
            if w:
                h = min(h, math.sqrt((x[w] - x[v]) ** 2 + (y[w] - y[v]) ** 2))
    return h


def distancia(a, b):
    """The largest distance of a vertex of mesh a from b's, over b's shortest edge."""
    nk, xa, ya = a
    _, xb, yb = b
    return max(math.hypot(xa[v] - xb[v], ya[v] - yb[v]) for v in range(1, len(xa))) / menor_aresta(nk, xb, yb)


def historia(d):
    r = subprocess.run([qualidade, "--sem-residuo", d, "--historico", os.path.join(d, "h.csv")],
                       capture_output=True, text=True)
    if r.returncode != 0:
        raise AssertionError(f"--historico in {d}: exit {r.returncode}\n{r.stderr}")
    return r.stdout, comum.le_csv(os.path.join(d, "h.csv"))


def menor_niter_bastante(csv):
    """The least k from which every row is within the tolerance of the run's final mesh."""
    d = [float(v) for v in csv["distance_from_final_per_shortest_edge"]]
    k = len(d)
    while k > 0 and d[k - 1] < TOLERANCIA:
        k -= 1
    return k


def verifica(args):
    n, caso = args
    with comum.pasta_temporaria() as pasta:
        rotulo = "{} x {}, niter_solver {}, niter {}, dksi {}, deta {}, tipo_p {}, tipo_q {}".format(*caso)
        niter = caso[3]
        d = roda(pasta, "c", caso, niter)
        resumo, _ = historia(d)
        final = malha(d)
        faria = re.search(r"niter = (\d+) would do", resumo)
        mais = re.search(r"more outer iterations are needed, about (\d+) \(niter = (\d+)\)", resumo)
        subindo = mais is not None and "the count may fall short" in resumo
        estimado = re.search(r"add up to about (\S+) of the shortest edge", resumo)
        if not faria and not mais:
            return rotulo, [f"no recommendation:\n{resumo[-600:]}"], {}
        erros, figuras = [], {}
        if faria:
            k = int(faria.group(1))
            figuras["k"] = k
            if k < niter:
                dk = distancia(malha(roda(pasta, "k", caso, k)), final)
                figuras["distance at k"] = dk
                if not dk < TOLERANCIA:
                    erros.append(f"niter = {k}: {dk:.3g} of the shortest edge from the full run's mesh")
                if k > 0:
                    dk1 = distancia(malha(roda(pasta, "k1", caso, k - 1)), final)
                    figuras["distance at k - 1"] = dk1
                    if dk1 < TOLERANCIA:
                        erros.append(f"niter = {k - 1} would do too: {dk1:.3g}")
        m = int(mais.group(2)) if mais else niter
        # Where the smoothing goes: a run long enough for its history to
        # find the displacements still to come far below the tolerance.
        longo = max(3 * m, m + 200)
        while True:
            dl = roda(pasta, "longo", caso, longo)
            resumo_longo, csv_longo = historia(dl)
            resto = re.search(r"add up to about (\S+) of the shortest edge", resumo_longo)
            if "rounding of its coordinates" in resumo_longo or "moved nothing" in resumo_longo or (
                    resto and float(resto.group(1)) < TOLERANCIA / 100):
                break
            if longo > 20 * m + 5000:
                return rotulo, [f"no run settles up to niter {longo}"], figuras
            longo *= 2
        limite = malha(dl)
        bastante = menor_niter_bastante(csv_longo)
        figuras["least niter within the tolerance of where it goes"] = bastante
        if mais:
            figuras["estimate"] = m
            if subindo:
                figuras["may fall short"] = "said"
            dm = distancia(malha(roda(pasta, "m", caso, m)), limite)
            figuras["distance of niter = estimate from where it goes"] = dm
            # Where the count may fall short, the summary says so.
            if not dm < TOLERANCIA and not subindo:
                erros.append(f"niter = {m} (the estimate) is {dm:.3g} of the shortest edge from where it goes")
        else:
            dn = distancia(final, limite)
            figuras["distance of the present mesh from where it goes"] = dn
            if estimado:
                figuras["its estimate"] = float(estimado.group(1))
            if not dn < TOLERANCIA:
                erros.append(f"settled, yet {dn:.3g} of the shortest edge from where it goes")
        return rotulo, erros, figuras


erros_todos = 0
with concurrent.futures.ThreadPoolExecutor(max_workers=2) as grupo:
    for rotulo, erros, figuras in grupo.map(verifica, enumerate(CASOS)):
        erros_todos += 1 if erros else 0
        if erros or todos:
            texto = "; ".join(f"{k} {v:.3g}" if isinstance(v, float) else f"{k} {v}" for k, v in figuras.items())
            print(f"{rotulo}: {texto}" + ("" if not erros else "\n    " + "\n    ".join(erros)))
print(f"{len(CASOS)} cases: the recommendation held in {len(CASOS) - erros_todos}")
sys.exit(1 if erros_todos else 0)
