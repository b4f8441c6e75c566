"""The picture of docs/exemplo_openfoam.md, made by its route from end to
end: the example's mesh made by malhas_segmentos, judged and exported by
malhas_qualidade --verifica --openfoam into the example's OpenFOAM case
(caso_of/, which brings the fields), checked by OpenFOAM's checkMesh, a
steady temperature solved on it by laplacianFoam, and the field drawn with
VTK offscreen over the mesh, with isolines. All of it in a temporary folder.
The two programs are those on PATH (the README's line for the build tree,
or the installed ones). Needs Debian's openfoam and python3-vtk9, and on a
machine without a display xvfb and xauth (see tela_virtual.py).
Usage: figura_openfoam.py OUT.png"""
import os
import shutil
import subprocess
import sys
import tempfile

import tela_virtual  # noqa: F401  (before VTK draws anything)
import vtk

if len(sys.argv) != 2:
    sys.exit("usage: figura_openfoam.py OUT.png")
saida = os.path.abspath(sys.argv[1])
programas = {p: shutil.which(p) for p in ("malhas_segmentos", "malhas_qualidade", "checkMesh", "laplacianFoam")}
for programa, caminho in programas.items():
    if caminho is None:
        sys.exit(f"figura_openfoam.py: {programa} is not on PATH (the README says how to put the programs there;"
                 " checkMesh and laplacianFoam come with Debian's openfoam)")
exemplo = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "examples", "perfil_l")
# Debian's OpenFOAM 1912 finds its etc/ folder only through these two.
ambiente = dict(os.environ, WM_PROJECT_DIR="/usr/share/openfoam", FOAM_ETC="/usr/share/openfoam/etc")


def roda(*argumentos, **opcoes):
    r = subprocess.run(argumentos, capture_output=True, text=True, **opcoes)
    if r.returncode != 0:
        sys.exit(f"{' '.join(argumentos)}: exit {r.returncode}\n{r.stdout[-2000:]}{r.stderr[-2000:]}")
    return r.stdout


pasta = tempfile.mkdtemp(prefix="exemplo_openfoam_")
try:
    for f in ("entradas.txt", "entrada_eq_elipticas.txt"):
        shutil.copy(os.path.join(exemplo, f), pasta)
    caso = os.path.join(pasta, "caso_of")
    for campo in (os.path.join("0", "T"), os.path.join("constant", "transportProperties")):
        os.makedirs(os.path.join(caso, os.path.dirname(campo)), exist_ok=True)
        shutil.copy(os.path.join(exemplo, "caso_of", campo), os.path.join(caso, campo))
    roda(programas["malhas_segmentos"], cwd=pasta, env=dict(os.environ, COMSPEC="/bin/true"))
    print(roda(programas["malhas_qualidade"], "--verifica", "--openfoam", "caso_of", cwd=pasta))
    print(roda("checkMesh", "-case", caso, "-allGeometry", "-allTopology", env=ambiente).split("Checking geometry")[-1])
    roda("laplacianFoam", "-case", caso, env=ambiente)

    # The last time written, read back by VTK's OpenFOAM reader.
    open(os.path.join(caso, "caso_of.foam"), "w").close()
    leitor = vtk.vtkOpenFOAMReader()
    leitor.SetFileName(os.path.join(caso, "caso_of.foam"))
    leitor.UpdateInformation()
    tempos = leitor.GetTimeValues()
    leitor.UpdateTimeStep(tempos.GetValue(tempos.GetNumberOfTuples() - 1))
    leitor.EnableAllCellArrays()
    leitor.Update()
    interna = leitor.GetOutput().GetBlock(0)  # internalMesh
    interna.GetCellData().SetActiveScalars("T")

    superficie = vtk.vtkDataSetSurfaceFilter()
    superficie.SetInputData(interna)
    # Only the z = 0 side, seen from +z with the mesh lines drawn on it.
    corte = vtk.vtkPlane()
    corte.SetOrigin(0, 0, 1e-9)
    corte.SetNormal(0, 0, -1)
    lado = vtk.vtkClipPolyData()
    lado.SetInputConnection(superficie.GetOutputPort())
    lado.SetClipFunction(corte)
    lut = vtk.vtkLookupTable()
    lut.SetHueRange(0.667, 0.0)
    lut.SetTableRange(0.0, 1.0)
    lut.Build()
    mapa = vtk.vtkPolyDataMapper()
    mapa.SetInputConnection(lado.GetOutputPort())
    mapa.SetScalarModeToUseCellData()
    mapa.SetLookupTable(lut)
    mapa.SetScalarRange(0.0, 1.0)
    ator = vtk.vtkActor()
    ator.SetMapper(mapa)
    ator.GetProperty().EdgeVisibilityOn()
    ator.GetProperty().SetEdgeColor(0.25, 0.25, 0.25)

    pontos = vtk.vtkCellDataToPointData()
    pontos.SetInputData(interna)
    isolinhas = vtk.vtkContourFilter()
    isolinhas.SetInputConnection(pontos.GetOutputPort())
    isolinhas.GenerateValues(9, 0.1, 0.9)
    corte_linhas = vtk.vtkCutter()
    plano = vtk.vtkPlane()
    plano.SetOrigin(0, 0, 0.5)
    plano.SetNormal(0, 0, 1)
    corte_linhas.SetCutFunction(plano)
    corte_linhas.SetInputConnection(isolinhas.GetOutputPort())
    mapa_linhas = vtk.vtkPolyDataMapper()
    mapa_linhas.SetInputConnection(corte_linhas.GetOutputPort())
    mapa_linhas.ScalarVisibilityOff()
    linhas = vtk.vtkActor()
    linhas.SetMapper(mapa_linhas)
    linhas.GetProperty().SetColor(0, 0, 0)
    linhas.GetProperty().SetLineWidth(2.5)
    linhas.SetPosition(0, 0, -0.499)  # just above the z = 0 side, towards the camera

    barra = vtk.vtkScalarBarActor()
    barra.SetLookupTable(lut)
    barra.SetTitle("T")
    barra.SetNumberOfLabels(6)
    barra.SetLabelFormat("%.1f")
    barra.UnconstrainedFontSizeOn()
    for propriedade, tamanho in ((barra.GetTitleTextProperty(), 26), (barra.GetLabelTextProperty(), 18)):
        propriedade.SetColor(0, 0, 0)
        propriedade.SetFontSize(tamanho)
        propriedade.ItalicOff()
    barra.SetPosition(0.87, 0.12)
    barra.SetWidth(0.1)
    barra.SetHeight(0.76)
    texto = vtk.vtkTextActor()
    texto.SetInput(f"laplacianFoam, t = {tempos.GetValue(tempos.GetNumberOfTuples() - 1):g}: "
                   "T = 1 on linha_interna, 0 on linha_externa")
    texto.GetTextProperty().SetColor(0, 0, 0)
    texto.GetTextProperty().SetFontSize(18)
    texto.SetPosition(15, 770)

    ren = vtk.vtkRenderer()
    ren.SetBackground(1, 1, 1)
    ren.SetViewport(0.0, 0.0, 0.86, 1.0)
    fundo = vtk.vtkRenderer()  # the scalar bar's, beside the mesh
    fundo.SetBackground(1, 1, 1)
    for a in (ator, linhas):
        ren.AddActor(a)
    fundo.AddActor2D(barra)
    ren.AddActor2D(texto)
    janela = vtk.vtkRenderWindow()
    janela.SetOffScreenRendering(1)
    janela.SetSize(1000, 800)
    janela.AddRenderer(fundo)
    janela.AddRenderer(ren)
    camera = ren.GetActiveCamera()
    camera.SetFocalPoint(0.5, 0.5, 0)
    camera.SetPosition(0.5, 0.5, -5)  # from the z = 0 side, x to the right
    camera.SetViewUp(0, 1, 0)
    camera.Azimuth(180)
    ren.ResetCamera()
    camera.Zoom(1.25)
    janela.Render()
    imagem = vtk.vtkWindowToImageFilter()
    imagem.SetInput(janela)
    imagem.Update()
    escritor = vtk.vtkPNGWriter()
    escritor.SetFileName(saida)
    escritor.SetInputConnection(imagem.GetOutputPort())
    escritor.Write()
finally:
    shutil.rmtree(pasta)
