"""The Plot3D, SU2 and .vtu exports read back by the field's own readers:
VTK's PLOT3D reader (double precision), meshio's SU2 and VTU readers, VTK's
VTU reader. Every
reader's points are the report file's values exactly; the quadrilaterals are
the volumes in order; the SU2 markers are the four boundary lines, named in
the file (meshio numbers them), with their element counts; the .vtu holds the
.vts's arrays.
Usage: verifica_exportacao_solver.py MALHAS_SEGMENTOS MALHAS_QUALIDADE EXAMPLE_FOLDER"""
import os
import re
import sys
import warnings

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import comum

vtk, meshio = comum.importa_ou_salta("vtk", "meshio")
segmentos, qualidade, exemplo = (os.path.abspath(a) for a in sys.argv[1:4])
MARCADORES = ["linha_externa", "linha_interna", "aresta_i_1", "aresta_i_nvert_ksi"]
falhas = []


def confere(condicao, texto):
    if not condicao:
        falhas.append(texto)


def pontos_iguais(rotulo, pontos, x, y):
    for k, p in enumerate(pontos):
        if (p[0], p[1]) != (x[k + 1], y[k + 1]):
            falhas.append(f"{rotulo}: point {k + 1} {tuple(p)} != report {x[k + 1]}, {y[k + 1]}")
            return


def quadrilateros(nk, ne, horario=False):
    quads = []
    for j in range(1, ne):
        for i in range(1, nk):
            b = (j - 1) * nk + i - 1
            q = (b, b + 1, b + nk + 1, b + nk)
            quads.append(q[::-1] if horario else q)
    return quads


def verifica_plot3d(rotulo, arquivo, nk, ne, x, y):
    r = vtk.vtkMultiBlockPLOT3DReader()
    r.SetXYZFileName(arquivo)
    r.AutoDetectFormatOff()
    r.SetBinaryFile(0)
    r.SetMultiGrid(1)
    r.SetTwoDimensionalGeometry(1)
    r.SetDoublePrecision(1)
    r.Update()
    blocos = r.GetOutput()
    confere(blocos.GetNumberOfBlocks() == 1, f"{rotulo} plot3d: {blocos.GetNumberOfBlocks()} blocks")
    g = blocos.GetBlock(0)
    confere(g.GetDimensions() == (nk, ne, 1), f"{rotulo} plot3d: dimensions {g.GetDimensions()}")
    pontos_iguais(f"{rotulo} plot3d", [g.GetPoint(k) for k in range(g.GetNumberOfPoints())], x, y)


def verifica_su2(rotulo, arquivo, nk, ne, x, y, horario):
    with open(arquivo) as f:
        texto = f.read()
    confere(re.findall(r"^MARKER_TAG= (\S+)$", texto, re.M) == MARCADORES, f"{rotulo} su2: marker names")
    confere(re.search(r"^NDIME= 2$", texto, re.M), f"{rotulo} su2: no NDIME= 2")
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        m = meshio.read(arquivo, file_format="su2")
    confere(len(m.points) == nk * ne, f"{rotulo} su2: {len(m.points)} points")
    pontos_iguais(f"{rotulo} su2", m.points, x, y)
    blocos = {c.type: c for c in m.cells}
    confere([tuple(q) for q in blocos["quad"].data] == quadrilateros(nk, ne, horario), f"{rotulo} su2: quads differ")
    # meshio gives every marker's lines the marker's number, 1 to 4.
    etiquetas = dict(zip((c.type for c in m.cells), m.cell_data["su2:tag"]))["line"]
    contagens = [int((etiquetas == k).sum()) for k in range(1, 5)]
    confere(contagens == [nk - 1, nk - 1, ne - 1, ne - 1], f"{rotulo} su2: marker element counts {contagens}")


def verifica_vtu(rotulo, vtu, vts, nk, ne, x, y):
    m = meshio.read(vtu)
    pontos_iguais(f"{rotulo} vtu", m.points, x, y)
    confere([c.type for c in m.cells] == ["quad"], f"{rotulo} vtu: cell blocks {[c.type for c in m.cells]}")
    confere([tuple(q) for q in m.cells[0].data] == quadrilateros(nk, ne), f"{rotulo} vtu: quads differ")
    # VTK's own reader takes it too, with the same points.
    u = vtk.vtkXMLUnstructuredGridReader()
    u.SetFileName(vtu)
    u.Update()
    ug = u.GetOutput()
    confere(ug.GetNumberOfCells() == (nk - 1) * (ne - 1), f"{rotulo} vtu: VTK reads {ug.GetNumberOfCells()} cells")
    pontos_iguais(f"{rotulo} vtu (VTK)", [ug.GetPoint(k) for k in range(ug.GetNumberOfPoints())], x, y)
    r = vtk.vtkXMLStructuredGridReader()
    r.SetFileName(vts)
    r.Update()
    g = r.GetOutput()
    for dados, nossos in ((g.GetCellData(), m.cell_data), (g.GetPointData(), m.point_data)):
        for k in range(dados.GetNumberOfArrays()):
            a = dados.GetArray(k)
            valores = [a.GetValue(t) for t in range(a.GetNumberOfTuples())]
            lido = nossos.get(a.GetName())
            lido = lido[0] if isinstance(lido, list) else lido
            # NaN marks the boundary vertices' non-orthogonality in both.
            iguais = lido is not None and all(
                (u == v) or (u != u and v != v) for u, v in zip(valores, [float(t) for t in lido])
            )
            confere(iguais and len(lido) == len(valores), f"{rotulo} vtu: array {a.GetName()} differs from the .vts")


with comum.pasta_temporaria() as pasta:
    d = comum.exemplo(pasta, segmentos, exemplo)
    casos = [("shipped case", d, [], False)]
    casos.append(("kind 1, 7 x 3", comum.caso(pasta, segmentos, "alg", 7, 3, 1), ["--caso", "alg"], False))
    # Mirrored, so that the volumes turn clockwise: SU2 gets them reversed.
    nk, ne, x, y = comum.le_relatorio(os.path.join(d, "perfil_l.txt"))
    espelho = comum.grava_malha(pasta, "espelho", nk, ne, [(-x[k], y[k]) for k in range(1, nk * ne + 1)])
    casos.append(("mirrored shipped case", espelho, ["--caso", "espelho", "--sem-residuo"], True))
    for rotulo, d, opcoes, horario in casos:
        arquivos = {e: os.path.join(d, "q." + e) for e in ("p3d", "su2", "vtu", "vts")}
        comum.qualidade(qualidade, d, *opcoes, "--plot3d", arquivos["p3d"], "--su2", arquivos["su2"])
        comum.qualidade(qualidade, d, *opcoes, "--vtk", arquivos["vtu"])
        comum.qualidade(qualidade, d, *opcoes, "--vtk", arquivos["vts"])
        caso = opcoes[1] if opcoes else "perfil_l"
        nk, ne, x, y = comum.le_relatorio(os.path.join(d, caso + ".txt"))
        verifica_plot3d(rotulo, arquivos["p3d"], nk, ne, x, y)
        verifica_su2(rotulo, arquivos["su2"], nk, ne, x, y, horario)
        verifica_vtu(rotulo, arquivos["vtu"], arquivos["vts"], nk, ne, x, y)
        print(f"{rotulo}: {nk} x {ne} vertices read back by VTK's PLOT3D reader and meshio")

if falhas:
    print("\n".join(falhas[:40]))
    sys.exit(1)
print("the Plot3D, SU2 and .vtu files read back the same")
