"""The per-volume measures of malhas_qualidade against VTK's vtkMeshQuality
itself, fed double-precision points: on meshes the program made (kinds 1 and
2, odd and even nvol_ksi, and the shipped case) and on hand-made
quadrilaterals.
Usage: verifica_medidas_vtk.py MALHAS_SEGMENTOS MALHAS_QUALIDADE EXAMPLE_FOLDER"""
import math
import os
import random
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import comum

(vtk,) = comum.importa_ou_salta("vtk")
segmentos, qualidade, exemplo = (os.path.abspath(a) for a in sys.argv[1:4])

MEDIDAS = [
    ("area", "SetQuadQualityMeasureToArea"),
    ("aspect_ratio", "SetQuadQualityMeasureToAspectRatio"),
    ("skew", "SetQuadQualityMeasureToSkew"),
    ("scaled_jacobian", "SetQuadQualityMeasureToScaledJacobian"),
    ("min_angle", "SetQuadQualityMeasureToMinAngle"),
    ("max_angle", "SetQuadQualityMeasureToMaxAngle"),
]
falhas = []


def referencia(nk, ne, x, y):
    """vtkMeshQuality's values for every volume, in volume order."""
    pontos = vtk.vtkPoints()
    pontos.SetDataTypeToDouble()
    for v in range(1, nk * ne + 1):
        pontos.InsertNextPoint(x[v], y[v], 0.0)
    grade = vtk.vtkUnstructuredGrid()
    grade.SetPoints(pontos)
    for j in range(1, ne):
        for i in range(1, nk):
            b = (j - 1) * nk + i - 1
            quad = vtk.vtkQuad()
            for s, v in enumerate((b, b + 1, b + nk + 1, b + nk)):
                quad.GetPointIds().SetId(s, v)
            grade.InsertNextCell(quad.GetCellType(), quad.GetPointIds())
    valores = {}
    for nome, metodo in MEDIDAS:
        q = vtk.vtkMeshQuality()
        q.SetInputData(grade)
        getattr(q, metodo)()
        q.Update()
        a = q.GetOutput().GetCellData().GetArray("Quality")
        valores[nome] = [a.GetValue(k) for k in range(a.GetNumberOfTuples())]
    return valores


def compara(rotulo, pasta_caso, caso):
    csv = os.path.join(pasta_caso, "q.csv")
    comum.qualidade(qualidade, "--caso", caso, "--sem-residuo", "--csv", csv, pasta_caso)
    nk, ne, x, y = comum.le_relatorio(os.path.join(pasta_caso, caso + ".txt"))
    ref = referencia(nk, ne, x, y)
    nos = comum.le_csv(csv)
    pior = 0.0
    for nome, _ in MEDIDAS:
        for p, (r, n) in enumerate(zip(ref[nome], nos[nome]), 1):
            erro = abs(r - float(n)) / max(1.0, abs(r))
            pior = max(pior, erro)
            if erro > 1e-12:
                falhas.append(f"{rotulo}: volume {p} {nome}: VTK {r!r}, malhas_qualidade {n}")
    print(f"{rotulo}: {len(nos['area'])} volumes, largest difference from VTK {pior:.2e}")
    return nos


with comum.pasta_temporaria() as pasta:
    for nome, nk, ne, tipo, ns, ni in [
        ("alg_par", 8, 4, 1, 0, 0),
        ("alg_impar", 9, 5, 1, 0, 0),
        ("eli_par", 12, 6, 2, 5, 10),
        ("eli_impar", 7, 3, 2, 3, 5),
    ]:
        d = comum.caso(pasta, segmentos, nome, nk, ne, tipo, ns, ni)
        compara(f"{nome} ({nk} x {ne}, kind {tipo})", d, nome)
    d = comum.exemplo(pasta, segmentos, exemplo)
    compara("shipped case perfil_l", d, "perfil_l")

    s60 = math.sqrt(3.0) / 2.0
    quadrilateros = {
        "square": [(0, 0), (1, 0), (1, 1), (0, 1)],
        "rhombus": [(0, 0), (1, 0), (1.5, s60), (0.5, s60)],
        "trapezoid": [(0, 0), (2, 0), (1.5, 1), (0.5, 1)],
        "inverted (clockwise)": [(0, 0), (0, 1), (1.2, 1.1), (0.9, -0.1)],
        "thin": [(0, 0), (1, 0), (1, 1e-3), (0, 1e-3)],
        "dart (non-convex)": [(0, 0), (2, 0), (0.6, 0.6), (0, 2)],
    }
    gerador = random.Random(12)
    for k in range(30):
        # Four corners in turn round a centre, at random angles and radii:
        # convex ones and, where a corner falls inside, non-convex ones.
        angulos = sorted(gerador.uniform(0, 2 * math.pi) for _ in range(4))
        quadrilateros[f"random {k}"] = [
            (gerador.uniform(0.5, 2) * math.cos(a), gerador.uniform(0.5, 2) * math.sin(a)) for a in angulos
        ]
    for rotulo, cantos in quadrilateros.items():
        nome = "q" + str(abs(hash(rotulo)) % 100000)
        # Corner slots 1, 2, 3, 4 are the vertices 1, 2, 4, 3 of a 2 x 2 grid.
        pontos = [cantos[0], cantos[1], cantos[3], cantos[2]]
        d = comum.grava_malha(pasta, nome, 2, 2, pontos)
        compara(f"hand-made {rotulo}", d, nome)

    # A volume folded over in a counter-clockwise mesh is reported inverted;
    # VTK measures it as its mirror image.
    pontos = [(0, 0), (1, 0), (0.4, 0), (0, 1), (1, 1), (0.4, 1)]
    d = comum.grava_malha(pasta, "dobra", 3, 2, pontos)
    nos = compara("hand-made folded volume", d, "dobra")
    if nos["inverted"] != ["0", "1"]:
        falhas.append(f"folded volume: inverted flags {nos['invertido']}, expected ['0', '1']")

if falhas:
    print("\n".join(falhas[:40]))
    sys.exit(1)
print("every measure agrees with vtkMeshQuality")
