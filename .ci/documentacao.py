#!/usr/bin/env python3
"""Runs every command of the README and of docs/, as a reader would: each
fenced block of shell (```sh or ```bash) of README.md and of every docs/**.md,
verbatim, in the file's order, the blocks of one file in one shell, so that a
cd or an export of one block holds in the next. Fails when one command fails.

Two settings, as the README gives them:
  (default)  after the README's first set-up command, which runs first,
             verbatim, in the checkout itself (it makes build/), with the
             programs of build/ put on PATH by the README's line for the
             build tree;
  --pacote   with the Debian package installed (.ci/pacotes.sh installs it
             and then runs this), and the README's line for the package.
Every other block runs in a scratch copy of the checkout (what git tracks,
and new files it does not ignore), with build/ linked into it in the first
setting and absent in the second, from its top folder, as a new user: a clean
environment, a HOME of its own for each file, no terminal and no display.
Each file of docs/ starts in a new shell, after the README's line of the
setting (its blocks marked for one setting only).

A comment line just before a block marks it, saying why:
  <!-- documentacao.py: not run: REASON -->   never run (the REASON is shown)
  <!-- documentacao.py: set-up ... -->         the README's set-up command
  <!-- documentacao.py: build tree only -->    run in the first setting only
  <!-- documentacao.py: package only -->       run in the second setting only
A marker of another kind, or one that no shell block follows, fails the
check, so that a typing error never leaves a block out unseen.

Usage: .ci/documentacao.py [--pacote]      (from anywhere; needs bash, git)
In the first setting build/ is left configured as the README's first
command leaves it (without the tests: the README's test command turns them
on again)."""
import os
import re
import shlex
import shutil
import subprocess
import sys
import tempfile
import time

RAIZ = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
MARCADOR = re.compile(r"^\s*<!--\s*documentacao\.py:\s*(.*?)\s*-->\s*$")
CERCA = re.compile(r"^( {0,3})(`{3,}|~{3,})\s*([^`\s]*)")
LINGUAGENS = {"sh", "bash", "shell"}
# Each file's commands, as a whole; the package installs among them find the
# packages already there in CI.
LIMITE_SEGUNDOS = 900


class Bloco:
    def __init__(self, arquivo, linha, texto, marca):
        self.arquivo, self.linha, self.texto, self.marca = arquivo, linha, texto, marca

    @property
    def onde(self):
        return f"{self.arquivo}:{self.linha}"


def blocos_de(relativo):
    """The shell blocks of one markdown file, each with its marker (or None)."""
    with open(os.path.join(RAIZ, relativo), encoding="utf-8") as f:
        linhas = f.read().split("\n")
    blocos, erros = [], []
    marca = None  # (text, line) of a marker waiting for its block
    k = 0
    while k < len(linhas):
        m = MARCADOR.match(linhas[k])
        if m:
            if marca:
                erros.append(f"{relativo}:{marca[1]}: marker not followed by a shell block")
            marca = (m.group(1), k + 1)
            k += 1
            continue
        c = CERCA.match(linhas[k])
        if not c:
            if marca and linhas[k].strip():
                erros.append(f"{relativo}:{marca[1]}: marker not followed by a shell block")
                marca = None
            k += 1
            continue
        recuo, cerca, linguagem = len(c.group(1)), c.group(2), c.group(3).lower()
        inicio = k + 1
        corpo = []
        k += 1
        while k < len(linhas) and not re.match(rf"^ {{0,3}}{cerca[0]}{{{len(cerca)},}}\s*$", linhas[k]):
            corpo.append(linhas[k][recuo:] if linhas[k][:recuo].isspace() else linhas[k].lstrip())
            k += 1
        k += 1
        if linguagem in LINGUAGENS:
            blocos.append(Bloco(relativo, inicio, "\n".join(corpo) + "\n", marca[0] if marca else None))
        elif marca:
            erros.append(f"{relativo}:{marca[1]}: marker followed by a block of '{linguagem or 'text'}', not of shell")
        marca = None
    if marca:
        erros.append(f"{relativo}:{marca[1]}: marker not followed by a shell block")
    return blocos, erros


def tipo(bloco):
    """What the marker asks: run, not run, set-up, build tree only, package only."""
    if bloco.marca is None:
        return "roda", ""
    if bloco.marca.startswith("not run:") and bloco.marca[len("not run:"):].strip():
        return "nao_roda", bloco.marca[len("not run:"):].strip()
    if bloco.marca.startswith("set-up"):
        return "instalacao", ""
    if bloco.marca == "build tree only":
        return "arvore", ""
    if bloco.marca == "package only":
        return "pacote", ""
    return "erro", f"{bloco.onde}: unknown marker '{bloco.marca}' (not run: REASON, set-up, build tree only, package only)"


def copia_do_checkout(destino):
    """What git tracks, and the new files it does not ignore, copied as they are in the working tree."""
    arquivos = subprocess.run(["git", "-C", RAIZ, "ls-files", "-z", "--cached", "--others", "--exclude-standard"],
                              check=True, capture_output=True).stdout.split(b"\0")
    for nome in (a.decode() for a in arquivos if a):
        origem = os.path.join(RAIZ, nome)
        if not os.path.lexists(origem):  # deleted in the working tree
            continue
        alvo = os.path.join(destino, nome)
        os.makedirs(os.path.dirname(alvo), exist_ok=True)
        shutil.copy2(origem, alvo, follow_symlinks=False)


def ambiente(casa):
    """A new user's login environment: nothing of this machine's shell leaks in."""
    return {"HOME": casa, "PATH": "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin", "TERM": "dumb",
            "LANG": "C.UTF-8", "USER": os.environ.get("USER", "root"), "DEBIAN_FRONTEND": "noninteractive"}


def completo(texto):
    """Whether the text is whole commands, as bash reads it: no open quote,
    compound command or here-document, no line left to continue."""
    if texto.rstrip("\n").endswith("\\"):
        return False
    r = subprocess.run(["/bin/bash", "-n"], input=texto, capture_output=True, text=True)
    return r.returncode == 0 and not r.stderr


def comandos(bloco):
    """The block cut into whole commands, each with the number of its first line."""
    partes, atual, primeira = [], [], None
    for k, linha in enumerate(bloco.texto.rstrip("\n").split("\n")):
        if primeira is None and not linha.strip():
            continue
        if primeira is None:
            primeira = bloco.linha + k
        atual.append(linha)
        if completo("\n".join(atual) + "\n"):
            partes.append((primeira, "\n".join(atual)))
            atual, primeira = [], None
    if atual:
        partes.append((primeira, "\n".join(atual)))
    return partes


def roteiro(blocos, preludio):
    """One bash script: the prelude's blocks, then each block, verbatim, one
    command after another, each announced. set -e alone would let a failure
    pass inside an && list (cp ... && cd ... goes on without the cd), so the
    status is also looked at after every command."""
    partes = ["set -eE -o pipefail", "onde=",
              "trap 'echo \"== FAILED: the command at $onde (status $?)\" >&2' ERR"]
    for b in preludio + blocos:
        for linha, comando in comandos(b):
            onde = f"{b.arquivo}:{linha}"
            primeira = comando.split("\n", 1)[0]
            partes.append(f"onde={shlex.quote(onde)}; echo {shlex.quote(f'== {onde}: {primeira}')}")
            partes.append(comando)
            partes.append("estado=$?; [ \"$estado\" -eq 0 ] || "
                          "{ echo \"== FAILED: the command at $onde (status $estado)\" >&2; exit \"$estado\"; }")
    return "\n".join(partes) + "\n"


def roda(nome, script, pasta, casa, registro):
    """Runs the script in pasta; returns (status, seconds). Its output goes to registro."""
    inicio = time.monotonic()
    with open(registro, "w") as saida:
        try:
            r = subprocess.run(["/bin/bash", "-c", script], cwd=pasta, env=ambiente(casa), stdin=subprocess.DEVNULL,
                               stdout=saida, stderr=subprocess.STDOUT, timeout=LIMITE_SEGUNDOS)
            estado = r.returncode
        except subprocess.TimeoutExpired:
            saida.write(f"\n== {nome}: stopped after {LIMITE_SEGUNDOS} s\n")
            estado = 124
    return estado, time.monotonic() - inicio


def mostra_falha(nome, registro):
    with open(registro, errors="replace") as f:
        texto = f.read()
    print(f"== {nome} failed; the end of its output:")
    print("\n".join(texto.rstrip().split("\n")[-60:]))


def main():
    pacote = sys.argv[1:] == ["--pacote"]
    if sys.argv[1:] not in ([], ["--pacote"]):
        sys.exit("usage: .ci/documentacao.py [--pacote]")
    ajuste = "pacote" if pacote else "arvore"
    outro = "arvore" if pacote else "pacote"

    arquivos = ["README.md"]
    for pasta, _, nomes in sorted(os.walk(os.path.join(RAIZ, "docs"))):
        arquivos += sorted(os.path.relpath(os.path.join(pasta, n), RAIZ) for n in nomes if n.endswith(".md"))
    por_arquivo, erros = {}, []
    for a in arquivos:
        blocos, e = blocos_de(a)
        erros += e
        por_arquivo[a] = blocos
        erros += [tipo(b)[1] for b in blocos if tipo(b)[0] == "erro"]
    instalacao = [b for b in por_arquivo["README.md"] if tipo(b)[0] == "instalacao"]
    if len(instalacao) != 1:
        erros.append(f"README.md: {len(instalacao)} blocks marked set-up; the README's first command must be one")
    if erros:
        print("\n".join(erros))
        sys.exit(1)
    preludio = [b for b in por_arquivo["README.md"] if tipo(b)[0] == ajuste]

    resumo, falhas = [], 0
    trabalho = tempfile.mkdtemp(prefix="malhas-documentacao.")
    try:
        if not pacote:
            b = instalacao[0]
            casa = tempfile.mkdtemp(dir=trabalho, prefix="casa.")
            registro = os.path.join(trabalho, "instalacao.log")
            print(f"== {b.onde}: the README's first set-up command, in {RAIZ}", flush=True)
            estado, segundos = roda(b.onde, roteiro([b], []), RAIZ, casa, registro)
            resumo.append(f"{b.onde}: the set-up command: status {estado}, {segundos:.0f} s")
            if estado != 0:
                mostra_falha(b.onde, registro)
                sys.exit(1)
        copia = os.path.join(trabalho, "checkout")
        copia_do_checkout(copia)
        if not pacote:
            os.symlink(os.path.join(RAIZ, "build"), os.path.join(copia, "build"))
        for a in arquivos:
            rodam, fora = [], []
            for b in por_arquivo[a]:
                t, razao = tipo(b)
                if t == "roda" or t == ajuste:
                    rodam.append(b)
                elif t == "nao_roda":
                    fora.append(f"{b.onde} not run: {razao}")
                elif t == outro:
                    fora.append(f"{b.onde} not run: for {'the package' if t == 'pacote' else 'the build tree'} only")
                elif t == "instalacao" and pacote:
                    fora.append(f"{b.onde} not run: the package takes the place of the set-up command")
            for linha in fora:
                resumo.append(f"   {linha}")
            if not rodam:
                continue
            casa = tempfile.mkdtemp(dir=trabalho, prefix="casa.")
            registro = os.path.join(trabalho, a.replace("/", "_") + ".log")
            print(f"== {a}: {len(rodam)} blocks", flush=True)
            estado, segundos = roda(a, roteiro(rodam, preludio if a != "README.md" else []), copia, casa, registro)
            resumo.append(f"{a}: {len(rodam)} blocks run: status {estado}, {segundos:.0f} s")
            if estado != 0:
                falhas += 1
                mostra_falha(a, registro)
    finally:
        shutil.rmtree(trabalho, ignore_errors=True)
    print(f"== the commands of the documents, {'with the package' if pacote else 'from the build tree'}:")
    print("\n".join(resumo))
    sys.exit(1 if falhas else 0)


if __name__ == "__main__":
    main()
