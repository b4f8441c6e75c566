#!/usr/bin/env python3
"""The shape of src/: every file at most 450 lines, every function at most
100, and the include graph of the modules and the companion's rooms without
a cycle, so that every arrow runs down. Prints the figures: rooms, floors,
arrows running back up, the largest file and the largest function.

Usage: estrutura.py SRC [--figuras]

A function is found as clang-format lays the code out: a line ending in '{'
whose text before it is a declarator (a name and a parameter list, not a
control statement, a lambda or an initialiser), up to the brace that closes
it. Lambdas count as part of the function they are written in.
"""
import os
import re
import sys

MAXIMO_ARQUIVO = 450
MAXIMO_FUNCAO = 100

CONTROLE = re.compile(r"^\s*(\}?\s*else\b|if\b|for\b|while\b|switch\b|do\b|try\b|catch\b|namespace\b|"
                      r"struct\b|class\b|union\b|enum\b|extern\b|return\b|case\b|default\b|#)")
INCLUSAO = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def fontes(src):
    for pasta, _, arquivos in os.walk(src):
        for a in sorted(arquivos):
            if a.endswith((".cpp", ".hpp")):
                yield os.path.join(pasta, a)


def sala(caminho, src):
    """The module, or the companion's room, a file belongs to."""
    partes = os.path.relpath(caminho, src).replace(os.sep, "/").split("/")
    if partes[0] == "malhas_qualidade" and len(partes) > 2:
        return "malhas_qualidade/" + partes[1]
    return partes[0]


def sem_literais(linha):
    linha = re.sub(r'"(\\.|[^"\\])*"', '""', linha)
    linha = re.sub(r"'(\\.|[^'\\])*'", "''", linha)
    return linha.split("//")[0]


def funcoes(linhas):
    """(name, first line, length) of every function definition."""
    achadas = []
    k = 0
    while k < len(linhas):
        texto = sem_literais(linhas[k]).rstrip()
        if not texto.endswith("{") or CONTROLE.match(texto) or "=" in texto.split("(")[0]:
            k += 1
            continue
        # The declarator may span several lines: back to the line after the
        # previous statement's end.
        inicio = k
        while inicio > 0 and not re.search(r"[;{}]\s*$|^\s*(public|private|protected):\s*$|^\s*$|^\s*//",
                                           sem_literais(linhas[inicio - 1])) and not \
                sem_literais(linhas[inicio - 1]).lstrip().startswith("#"):
            inicio -= 1
        cabeca = " ".join(sem_literais(l).strip() for l in linhas[inicio:k + 1])
        cabeca = re.sub(r"^template\s*<[^>]*>\s*", "", cabeca)
        m = re.search(r"([~\w:]+|operator\S+)\s*\([^;]*\)[^;()]*\{$", cabeca)
        if not m or "[" in cabeca.split("(")[0] or cabeca.lstrip().startswith(("requires", ":")):
            k += 1
            continue
        profundidade = 0
        fim = k
        for fim in range(k, len(linhas)):
            t = sem_literais(linhas[fim])
            profundidade += t.count("{") - t.count("}")
            if profundidade <= 0:
                break
        achadas.append((m.group(1), inicio + 1, fim - inicio + 1))
        k = fim + 1
    return achadas


def main():
    src = sys.argv[1]
    figuras = "--figuras" in sys.argv
    falhas = []
    maior_arquivo = (0, "")
    maior_funcao = (0, "")
    arestas = {}
    for caminho in fontes(src):
        with open(caminho, encoding="latin-1") as f:
            linhas = f.read().split("\n")
        if linhas and linhas[-1] == "":
            linhas.pop()
        nome = os.path.relpath(caminho, src)
        if len(linhas) > maior_arquivo[0]:
            maior_arquivo = (len(linhas), nome)
        if len(linhas) > MAXIMO_ARQUIVO:
            falhas.append(f"{nome}: {len(linhas)} lines (at most {MAXIMO_ARQUIVO})")
        for funcao, linha, tamanho in funcoes(linhas):
            if tamanho > maior_funcao[0]:
                maior_funcao = (tamanho, f"{funcao} ({nome}:{linha})")
            if tamanho > MAXIMO_FUNCAO:
                falhas.append(f"{nome}:{linha}: {funcao} has {tamanho} lines (at most {MAXIMO_FUNCAO})")
        de = sala(caminho, src)
        arestas.setdefault(de, set())
        for l in linhas:
            m = INCLUSAO.match(l)
            if m:
                alvo = os.path.join(src, m.group(1))
                if os.path.exists(alvo) and sala(alvo, src) != de:
                    arestas[de].add(sala(alvo, src))

    # Floors: a room stands one floor above the highest room it includes. A
    # room met again while its own floor is sought closes a cycle: some
    # arrow of it runs back up.
    andar = {}
    acima = []

    def andar_de(s, caminho):
        if s in andar:
            return andar[s]
        if s in caminho:
            acima.append(" -> ".join(caminho[caminho.index(s):] + [s]))
            return 0
        a = 1 + max((andar_de(t, caminho + [s]) for t in arestas.get(s, ())), default=-1)
        andar[s] = a
        return a

    for s in sorted(arestas):
        andar_de(s, [])
    for ciclo in acima:
        falhas.append("include cycle (an arrow running back up): " + ciclo)

    if figuras or falhas:
        print(f"rooms (modules and the companion's rooms): {len(arestas)}")
        print(f"floors: {1 + max(andar.values(), default=0)}")
        for a in range(max(andar.values(), default=0), -1, -1):
            print(f"  floor {a}: " + ", ".join(sorted(s for s in andar if andar[s] == a)))
        print(f"arrows running back up: {len(acima)}")
        print(f"largest file: {maior_arquivo[1]} ({maior_arquivo[0]} lines)")
        print(f"largest function: {maior_funcao[1]}, {maior_funcao[0]} lines")
    for f in falhas:
        print("FAIL: " + f)
    return 1 if falhas else 0


if __name__ == "__main__":
    sys.exit(main())
