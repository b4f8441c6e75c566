"""What the two Python checks share: case folders made by malhas_segmentos,
runs of malhas_qualidade, and the result files read back as numbers."""
import os
import shutil
import subprocess
import sys
import tempfile

SALTA = 77  # CTest's SKIP_RETURN_CODE


def importa_ou_salta(*modulos):
    carregados = []
    for nome in modulos:
        try:
            carregados.append(__import__(nome))
        except ImportError:
            print(f"SKIPPED: Python module '{nome}' is missing (Debian: python3-vtk9, python3-meshio, python3-gmsh)")
            sys.exit(SALTA)
    return carregados


def caso(pasta, segmentos, nome, nk, ne, tipo, niter_solver=0, niter=0, dksi=1.0, deta=1.0, tipo_p=1, tipo_q=1):
    """Writes a case into pasta/nome and runs malhas_segmentos there."""
    d = os.path.join(pasta, nome)
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, "entradas.txt"), "w") as f:
        f.write(f"{nome}\n{nk}\n{ne}\n{tipo}\n")
    with open(os.path.join(d, "entrada_eq_elipticas.txt"), "w") as f:
        f.write(f"{niter_solver}\n{niter}\n0.001\n{dksi!r}\n{deta!r}\n{tipo_p}\n{tipo_q}\n")
    subprocess.run([segmentos], cwd=d, check=True, env=dict(os.environ, COMSPEC="/bin/true"))
    return d


def exemplo(pasta, segmentos, pasta_exemplo):
    """The shipped case copied into pasta/perfil_l and run there; returns the folder."""
    d = os.path.join(pasta, "perfil_l")
    os.makedirs(d)
    for f in ("entradas.txt", "entrada_eq_elipticas.txt"):
        shutil.copy(os.path.join(pasta_exemplo, f), d)
    subprocess.run([segmentos], cwd=d, check=True, env=dict(os.environ, COMSPEC="/bin/true"))
    return d


def qualidade(programa, *argumentos):
    r = subprocess.run([programa, *argumentos], capture_output=True, text=True)
    if r.returncode != 0:
        raise AssertionError(f"malhas_qualidade {' '.join(argumentos)}: exit {r.returncode}\n{r.stderr}")
    return r.stdout


def le_relatorio(caminho):
    """Sizes and coordinates (1-based lists) as the report file holds them."""
    with open(caminho, "rb") as f:
        linhas = f.read().split(b"\r\n")
    nk, ne = int(linhas[2].split()[0]), int(linhas[3].split()[0])
    x, y = [None], [None]
    for linha in linhas[6 : 6 + nk * ne]:
        _, cx, cy = linha.split()
        x.append(float(cx))
        y.append(float(cy))
    return nk, ne, x, y


# The fixed texts of the result files, as malhas_segmentos writes them
# (ISO 8859-1): the reader refuses files that differ from them.
ROTULOS_TAMANHOS = (
    b" = n\xfamero de volumes na dire\xe7\xe3o ksi",
    b" = n\xfamero de volumes na dire\xe7\xe3o eta",
    b" = n\xfamero de v\xe9rtices na dire\xe7\xe3o ksi",
    b" = n\xfamero de v\xe9rtices na dire\xe7\xe3o eta",
)
CABECALHO_VERTICES = b"   v\xe9rtice    posi\xe7\xe3o x                posi\xe7\xe3o y"
CABECALHO_VOLUMES = b"    volume     numera\xe7\xe3o dos v\xe9rtices do quadril\xe1tero correspondente ao volume"


def grava_malha(pasta, nome, nk, ne, pontos):
    """Report and volume files, in the program's format, of a mesh of
    nk x ne vertices given by its points in vertex order."""
    d = os.path.join(pasta, nome)
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, nome + ".txt"), "wb") as f:
        for valor, rotulo in zip((nk - 1, ne - 1, nk, ne), ROTULOS_TAMANHOS):
            f.write(b"%10d%s\r\n" % (valor, rotulo))
        f.write(b"\r\n" + CABECALHO_VERTICES + b"\r\n")
        # + 0.0: the program writes a zero of either sign without one.
        for k, (px, py) in enumerate(pontos, 1):
            f.write(b"%10d%25.15E%25.15E\r\n" % (k, px + 0.0, py + 0.0))
    with open(os.path.join(d, nome + "_vert.txt"), "wb") as f:
        f.write(CABECALHO_VOLUMES + b"\r\n")
        p = 0
        for j in range(1, ne):
            for i in range(1, nk):
                p += 1
                b = (j - 1) * nk + i
                f.write(b"%10d%10d%10d%10d%10d\r\n" % (p, b, b + 1, b + nk + 1, b + nk))
    return d


def le_csv(caminho):
    with open(caminho) as f:
        cabecalho = f.readline().strip().split(",")
        linhas = [l.strip().split(",") for l in f]
    return {nome: [l[k] for l in linhas] for k, nome in enumerate(cabecalho)}


def pasta_temporaria():
    return tempfile.TemporaryDirectory(prefix="malhas_qualidade_")
