"""The OpenFOAM case malhas_qualidade writes, judged by OpenFOAM 1912 itself
(Debian's openfoam), on meshes that malhas_qualidade --verifica passes: checkMesh -allGeometry -allTopology says "Mesh OK", with
the cells, the named patches and two solution directions, and prints the
figures of the companion's summary to the digit; laplacianFoam, with fixed
values on the outer and inner lines (the outer one by the group of walls its
type puts it in), runs to its end time and keeps the field between them, with
the boundaries renamed and retyped by --fronteira too; the Plot3D file, through plot3dToFoam -2D, passes checkMesh too.
Usage: verifica_openfoam.py MALHAS_SEGMENTOS MALHAS_QUALIDADE EXAMPLE_FOLDER"""
import math
import os
import re
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import comum

FERRAMENTAS = ("checkMesh", "laplacianFoam", "plot3dToFoam")
for ferramenta in FERRAMENTAS:
    if shutil.which(ferramenta) is None:
        print(f"SKIPPED: {ferramenta} not found (Debian: openfoam)")
        sys.exit(comum.SALTA)
segmentos, qualidade, exemplo = (os.path.abspath(a) for a in sys.argv[1:4])
# Debian's OpenFOAM finds its etc/ folder only through these two.
AMBIENTE = dict(os.environ, WM_PROJECT_DIR="/usr/share/openfoam", FOAM_ETC="/usr/share/openfoam/etc")
PATCHES = ["linha_externa", "linha_interna", "aresta_i_1", "aresta_i_nvert_ksi", "frente_e_tras"]
# The fields of the example's OpenFOAM case, which the route to a solver uses.
CAMPOS = (os.path.join("0", "T"), os.path.join("constant", "transportProperties"))
falhas = []


def confere(condicao, texto):
    if not condicao:
        falhas.append(texto)


def foam(*argumentos):
    r = subprocess.run(argumentos, capture_output=True, text=True, env=AMBIENTE, timeout=300)
    return r.returncode, r.stdout + r.stderr


def figuras_companheiro(resumo):
    """The printed figures of the summary, as text."""
    achados = {}
    for chave, padrao in {
        ("nao_ort_max", "nao_ort_media"): r"face_non_orthogonality: max (\S+), average (\S+) ",
        ("assimetria",): r"face_skewness: max (\S+) ",
        ("razao",): r"cell_aspect_ratio: max (\S+) ",
        ("vol_min", "vol_max", "vol_total"): r"cell_volume: min (\S+), max (\S+), total ([^;\s]+);",
    }.items():
        m = re.search(padrao, resumo)
        if m:
            achados.update(zip(chave, m.groups()))
    return achados


def figuras_checkmesh(saida):
    achados = {}
    for chave, padrao in {
        ("nao_ort_max", "nao_ort_media"): r"Mesh non-orthogonality Max: (\S+) average: (\S+)",
        ("assimetria",): r"Max skewness = (\S+?),? ",
        ("razao",): r"Max aspect ratio = (\S+) ",
        ("vol_min", "vol_max", "vol_total"): r"Min volume = (\S+)\. Max volume = (\S+)\.  Total volume = (\S+)\.  ",
    }.items():
        m = re.search(padrao, saida)
        if m:
            achados.update(zip(chave, m.groups()))
    return achados


def patches_checkmesh(saida):
    """Name -> face count, from the patch topology table."""
    tabela = saida.split("Checking patch topology", 1)[-1].split("\n\n", 1)[0]
    return {m.group(1): int(m.group(2)) for m in re.finditer(r"^\s+(\w+)\s+(\d+)\s+\d+\s+ok", tabela, re.M)}


def campo_interno(arquivo):
    with open(arquivo) as f:
        texto = f.read()
    m = re.search(r"internalField\s+nonuniform\s+List<scalar>\s*(\d+)\s*\(([^)]*)\)", texto)
    if m:
        return [float(v) for v in m.group(2).split()]
    m = re.search(r"internalField\s+uniform\s+(\S+);", texto)
    return [float(m.group(1))] if m else []


# The boundaries renamed and retyped with --fronteira, and the example's field
# taken to them: the outer line by the group of walls, which only a patch of
# type wall is in, and a symmetry plane's condition, which OpenFOAM takes only
# on a patch of that type; OpenFOAM finds no condition for either otherwise.
FRONTEIRAS = ["aresta_i_1=entrada", "aresta_i_nvert_ksi=saida:symmetryPlane", "frente_e_tras=lados"]


def campo_das_fronteiras(texto):
    texto = re.sub(r"linha_externa(\s+\{)", r"wall\1", texto)
    texto = re.sub(r"aresta_i_nvert_ksi\s+\{[^}]*\}", "saida { type symmetryPlane; }", texto)
    return texto.replace("aresta_i_1 ", "entrada ").replace("frente_e_tras", "lados")


def verifica(rotulo, pasta, caso, nk, ne, fronteiras=()):
    nvol = nk * ne
    of = os.path.join(pasta, "of")
    nomes = PATCHES
    argumentos = []
    for f in fronteiras:
        argumentos += ["--fronteira", f]
        nomes = [f.split("=")[1].split(":")[0] if p == f.split("=")[0] else p for p in nomes]
    # --verifica: the run fails (exit status 3) unless the mesh passes every check.
    resumo = comum.qualidade(qualidade, pasta, "--verifica", "--openfoam", of, "--plot3d", os.path.join(pasta, "g.p3d"),
                             *argumentos)
    confere("verification (--verifica): passed" in resumo, f"{rotulo}: --verifica did not pass")
    estado, saida = foam("checkMesh", "-case", of, "-allGeometry", "-allTopology")
    confere(estado == 0 and "\nMesh OK." in saida, f"{rotulo}: checkMesh does not say Mesh OK:\n{saida[-1500:]}")
    confere(re.search(rf"^\s+cells:\s+{nvol}$", saida, re.M), f"{rotulo}: checkMesh does not count {nvol} cells")
    confere(re.search(rf"^\s+hexahedra:\s+{nvol}$", saida, re.M), f"{rotulo}: not {nvol} hexahedra")
    confere("Mesh has 2 solution (non-empty) directions (1 1 0)" in saida, f"{rotulo}: not two solution directions")
    esperados = dict(zip(nomes, [nk, nk, ne, ne, 2 * nvol]))
    confere(patches_checkmesh(saida) == esperados, f"{rotulo}: patches {patches_checkmesh(saida)} != {esperados}")
    nossas, delas = figuras_companheiro(resumo), figuras_checkmesh(saida)
    confere(len(nossas) == 7 and nossas == delas, f"{rotulo}: summary {nossas} != checkMesh {delas}")

    # laplacianFoam with the system files the export wrote and the fields
    # the example brings (the same boundary names on every mesh).
    for campo in CAMPOS:
        os.makedirs(os.path.join(of, os.path.dirname(campo)), exist_ok=True)
        shutil.copy(os.path.join(exemplo, "caso_of", campo), os.path.join(of, campo))
    if fronteiras:
        with open(os.path.join(of, "0", "T")) as f:
            texto = campo_das_fronteiras(f.read())
        with open(os.path.join(of, "0", "T"), "w") as f:
            f.write(texto)
    estado, saida = foam("laplacianFoam", "-case", of)
    confere(estado == 0 and saida.rstrip().endswith("End"), f"{rotulo}: laplacianFoam failed:\n{saida[-1500:]}")
    tempos = [float(d) for d in os.listdir(of) if re.fullmatch(r"[0-9.]+", d)]
    confere(max(tempos) == 1.0, f"{rotulo}: laplacianFoam stopped at time {max(tempos)}")
    t = campo_interno(os.path.join(of, "1", "T"))
    confere(len(t) == nvol and min(t) >= 0.0 and max(t) <= 1.0, f"{rotulo}: T outside [0, 1] or not {nvol} values")

    # The Plot3D file through OpenFOAM's own converter: its front, back and
    # sides are one wall patch, so checkMesh judges a three-dimensional mesh,
    # whose thickness must be about a cell's size.
    p3 = os.path.join(pasta, "p3")
    shutil.copytree(os.path.join(of, "system"), os.path.join(p3, "system"))
    espessura = repr(math.sqrt(float(nossas.get("vol_total", "1")) / nvol))
    estado, saida = foam("plot3dToFoam", "-case", p3, "-noBlank", "-2D", espessura, os.path.join(pasta, "g.p3d"))
    confere(estado == 0, f"{rotulo}: plot3dToFoam failed:\n{saida[-1500:]}")
    estado, saida = foam("checkMesh", "-case", p3)
    confere(estado == 0 and "\nMesh OK." in saida, f"{rotulo}: checkMesh on plot3dToFoam's mesh:\n{saida[-1500:]}")
    confere(re.search(rf"^\s+cells:\s+{nvol}$", saida, re.M), f"{rotulo}: plot3dToFoam's mesh has not {nvol} cells")
    print(f"{rotulo}: checkMesh, laplacianFoam and plot3dToFoam agree")


with comum.pasta_temporaria() as pasta:
    d = comum.exemplo(pasta, segmentos, exemplo)
    casos = [("shipped case", d, "perfil_l", *comum.le_relatorio(os.path.join(d, "perfil_l.txt"))[:2])]
    for nome, nk, ne, tipo, solver, niter in (
        ("k1_par", 12, 6, 1, 0, 0),
        ("k1_impar", 13, 5, 1, 0, 0),
        ("k2_par", 16, 8, 2, 20, 30),
        ("k2_impar", 15, 7, 2, 20, 30),
        ("k2_400x200", 400, 200, 2, 20, 10),
    ):
        casos.append((f"kind {tipo}, {nk} x {ne}", comum.caso(pasta, segmentos, nome, nk, ne, tipo, solver, niter),
                      nome, nk + 1, ne + 1))
    for rotulo, d, caso, nvk, nve in casos:
        verifica(rotulo, d, caso, nvk - 1, nve - 1, FRONTEIRAS if caso == "k2_par" else ())

if falhas:
    print("\n".join(falhas[:40]))
    sys.exit(1)
print("OpenFOAM accepts every exported mesh, and its figures are the summary's")
