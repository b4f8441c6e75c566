"""The exported files read back by the field's own tools: the .vts by VTK's
vtkXMLStructuredGridReader, the .msh by Gmsh (its Python API and gmsh -check)
and by meshio. Same points to the digits written, same cells, same boundary
groups.
Usage: verifica_exportacao.py MALHAS_SEGMENTOS MALHAS_QUALIDADE EXAMPLE_FOLDER"""
import os
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import comum

vtk, meshio, gmsh = comum.importa_ou_salta("vtk", "meshio", "gmsh")
segmentos, qualidade, exemplo = (os.path.abspath(a) for a in sys.argv[1:4])
GRUPOS = ["linha_externa", "linha_interna", "aresta_i_1", "aresta_i_nvert_ksi", "dominio"]
falhas = []


def confere(condicao, texto):
    if not condicao:
        falhas.append(texto)


def esperado(nk, ne):
    """Quadrangles (0-based vertices) and, per boundary group, its segments."""
    quads = []
    for j in range(1, ne):
        for i in range(1, nk):
            b = (j - 1) * nk + i - 1
            quads.append((b, b + 1, b + nk + 1, b + nk))
    v = lambda i, j: (j - 1) * nk + i - 1
    bordas = {
        "linha_externa": [(v(i, 1), v(i + 1, 1)) for i in range(1, nk)],
        "linha_interna": [(v(i, ne), v(i + 1, ne)) for i in range(1, nk)],
        "aresta_i_1": [(v(1, j), v(1, j + 1)) for j in range(1, ne)],
        "aresta_i_nvert_ksi": [(v(nk, j), v(nk, j + 1)) for j in range(1, ne)],
    }
    return quads, bordas


def verifica_vtk(rotulo, arquivo, nk, ne, x, y, csv, residuo):
    r = vtk.vtkXMLStructuredGridReader()
    r.SetFileName(arquivo)
    r.Update()
    g = r.GetOutput()
    confere(g.GetDimensions() == (nk, ne, 1), f"{rotulo} vts: dimensions {g.GetDimensions()}")
    pts = g.GetPoints()
    confere(pts.GetDataType() == vtk.VTK_DOUBLE, f"{rotulo} vts: points not double")
    for k in range(nk * ne):
        if pts.GetPoint(k) != (x[k + 1], y[k + 1], 0.0):
            falhas.append(f"{rotulo} vts: point {k + 1} {pts.GetPoint(k)} != report {x[k + 1]}, {y[k + 1]}")
            break
    cd = g.GetCellData()
    confere(g.GetNumberOfCells() == (nk - 1) * (ne - 1), f"{rotulo} vts: {g.GetNumberOfCells()} cells")
    for nome in ("volume", "i", "j", "area", "aspect_ratio", "skew", "scaled_jacobian", "min_angle",
                 "max_angle", "inverted", "area_growth_ksi", "area_growth_eta"):
        a = cd.GetArray(nome)
        if a is None:
            falhas.append(f"{rotulo} vts: no cell array {nome}")
            continue
        valores = [a.GetValue(k) for k in range(a.GetNumberOfTuples())]
        if [float(v) for v in csv[nome]] != [float(v) for v in valores]:
            falhas.append(f"{rotulo} vts: cell array {nome} differs from the CSV")
    # Cell (i, j) of VTK's structured numbering is volume (i, j).
    celula = g.GetCell(nk - 1 + 1)  # second row, second volume
    ids = [celula.GetPointId(s) for s in range(4)]
    confere(sorted(ids) == sorted([nk + 1, nk + 2, 2 * nk + 1, 2 * nk + 2]), f"{rotulo} vts: cell corners {ids}")
    pd = g.GetPointData()
    for nome in ("non_orthogonality",) + (("residual_x", "residual_y") if residuo else ()):
        confere(pd.GetArray(nome) is not None, f"{rotulo} vts: no point array {nome}")
    confere((pd.GetArray("residual_x") is not None) == residuo, f"{rotulo} vts: residual present {not residuo}")


def verifica_meshio(rotulo, arquivo, nk, ne, x, y):
    m = meshio.read(arquivo)
    confere(len(m.points) == nk * ne, f"{rotulo} meshio: {len(m.points)} points")
    for k in range(nk * ne):
        if tuple(m.points[k][:2]) != (x[k + 1], y[k + 1]):
            falhas.append(f"{rotulo} meshio: point {k + 1} {tuple(m.points[k])} != report {x[k + 1]}, {y[k + 1]}")
            break
    quads, bordas = esperado(nk, ne)
    blocos_quad = [c.data for c in m.cells if c.type == "quad"]
    confere(len(blocos_quad) == 1 and [tuple(q) for q in blocos_quad[0]] == quads, f"{rotulo} meshio: quads differ")
    for nome in GRUPOS:
        confere(nome in m.cell_sets, f"{rotulo} meshio: no cell set {nome}")
        confere(nome in m.field_data, f"{rotulo} meshio: no physical name {nome}")
    for nome, segmentos_esperados in bordas.items():
        achados = []
        for bloco, indices in zip(m.cells, m.cell_sets.get(nome, [])):
            if indices is not None and len(indices) and bloco.type == "line":
                achados += [tuple(bloco.data[i]) for i in indices]
        confere(achados == segmentos_esperados, f"{rotulo} meshio: group {nome} has {achados[:3]}...")
    dominio = [len(i) if i is not None else 0 for i in m.cell_sets.get("dominio", [])]
    confere(sum(dominio) == len(quads), f"{rotulo} meshio: dominio holds {sum(dominio)} cells")


def verifica_gmsh(rotulo, arquivo, nk, ne, x, y):
    gmsh.initialize(["gmsh", "-v", "0"])
    try:
        gmsh.open(arquivo)
        grupos = {gmsh.model.getPhysicalName(d, t): (d, t) for d, t in gmsh.model.getPhysicalGroups()}
        confere(sorted(grupos) == sorted(GRUPOS), f"{rotulo} gmsh: physical groups {sorted(grupos)}")
        tags, coords, _ = gmsh.model.mesh.getNodes()
        por_tag = {int(t): (coords[3 * k], coords[3 * k + 1]) for k, t in enumerate(tags)}
        confere(len(por_tag) == nk * ne, f"{rotulo} gmsh: {len(por_tag)} nodes")
        for v in range(1, nk * ne + 1):
            if por_tag.get(v) != (x[v], y[v]):
                falhas.append(f"{rotulo} gmsh: node {v} {por_tag.get(v)} != report {x[v]}, {y[v]}")
                break
        quads, bordas = esperado(nk, ne)
        tipos, _, nos = gmsh.model.mesh.getElements(2)
        quad = [list(n) for t, n in zip(tipos, nos) if t == 3]
        lidos = [tuple(int(n) - 1 for n in quad[0][4 * k : 4 * k + 4]) for k in range(len(quad[0]) // 4)] if quad else []
        confere(lidos == quads, f"{rotulo} gmsh: quadrangles differ")
        for nome, segmentos_esperados in bordas.items():
            d, t = grupos.get(nome, (1, -1))
            achados = []
            for entidade in gmsh.model.getEntitiesForPhysicalGroup(d, t) if t > 0 else []:
                tipos, _, nos = gmsh.model.mesh.getElements(1, entidade)
                for tipo, n in zip(tipos, nos):
                    achados += [(int(n[2 * k]) - 1, int(n[2 * k + 1]) - 1) for k in range(len(n) // 2)]
            confere(achados == segmentos_esperados, f"{rotulo} gmsh: group {nome} has {achados[:3]}...")
    finally:
        gmsh.finalize()
    executavel = shutil.which("gmsh")
    if executavel:
        r = subprocess.run([executavel, "-check", arquivo], capture_output=True, text=True)
        confere(r.returncode == 0 and "Error" not in r.stdout + r.stderr, f"{rotulo} gmsh -check: {r.stdout[-400:]}")


with comum.pasta_temporaria() as pasta:
    d = comum.exemplo(pasta, segmentos, exemplo)
    casos = [("shipped case", d, "perfil_l", True)]
    casos.append(("kind 1, 7 x 3", comum.caso(pasta, segmentos, "alg", 7, 3, 1), "alg", False))
    casos.append(("kind 2, 2 x 1 (no interior vertex)", comum.caso(pasta, segmentos, "fino", 2, 1, 2, 1, 1), "fino", True))
    for rotulo, d, caso, residuo in casos:
        vts, msh, csv = (os.path.join(d, "q." + e) for e in ("vts", "msh", "csv"))
        comum.qualidade(qualidade, d, "--vtk", vts, "--msh", msh, "--csv", csv)
        nk, ne, x, y = comum.le_relatorio(os.path.join(d, caso + ".txt"))
        verifica_vtk(rotulo, vts, nk, ne, x, y, comum.le_csv(csv), residuo)
        verifica_meshio(rotulo, msh, nk, ne, x, y)
        verifica_gmsh(rotulo, msh, nk, ne, x, y)
        print(f"{rotulo}: {nk} x {ne} vertices read back by VTK, meshio and Gmsh")

if falhas:
    print("\n".join(falhas[:40]))
    sys.exit(1)
print("the exported files read back the same in VTK, meshio and Gmsh")
