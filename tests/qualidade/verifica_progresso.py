"""The progress of --historico: a line redrawn on a terminal (a pseudo-
terminal here) and cleared at the end, nothing when the standard error
stream is a pipe; SIGINT in the middle of the re-run leaves no file and no
temporary behind, ends with status 130 and leaves the terminal's line clean.
Usage: verifica_progresso.py MALHAS_SEGMENTOS MALHAS_QUALIDADE [EXAMPLE_FOLDER, not used]"""
import os
import pty
import select
import signal
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import comum

segmentos, qualidade = (os.path.abspath(a) for a in sys.argv[1:3])
LIMPA = b"\r" + b" " * 79 + b"\r"
falhas = []


def em_terminal(argumentos, interrompe_apos=None):
    """Runs malhas_qualidade with its standard error on a pseudo-terminal;
    with interrompe_apos, sends SIGINT once that text has shown there.
    Returns the exit status and what the terminal received."""
    mestre, escravo = pty.openpty()
    p = subprocess.Popen([qualidade, *argumentos], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                         stderr=escravo)
    os.close(escravo)
    recebido, limite = b"", time.time() + 120
    while time.time() < limite:
        prontos, _, _ = select.select([mestre], [], [], 0.1)
        if prontos:
            try:
                pedaco = os.read(mestre, 4096)
            except OSError:  # the other end closed
                break
            if not pedaco:
                break
            recebido += pedaco
            if interrompe_apos and interrompe_apos in recebido and p.poll() is None:
                p.send_signal(signal.SIGINT)
                interrompe_apos = None
        elif p.poll() is not None:
            break
    status = p.wait(timeout=60)
    os.close(mestre)
    return status, recebido


with comum.pasta_temporaria() as pasta:
    d = comum.caso(pasta, segmentos, "p", 60, 30, 2, niter_solver=20, niter=2)

    # Short: the line is drawn (the first count at once) and cleared.
    status, tela = em_terminal([d, "--historico", os.path.join(d, "h.csv")])
    if status != 0 or b"re-running the smoothing: 1 of 2" not in tela or not tela.endswith(LIMPA):
        falhas.append(f"terminal: status {status}, received {tela[-300:]!r}")
    r = subprocess.run([qualidade, d, "--historico", os.path.join(d, "h2.csv")], capture_output=True)
    if r.returncode != 0 or r.stderr != b"":
        falhas.append(f"pipe: status {r.returncode}, standard error {r.stderr[:300]!r}")

    # Long (the parameter file now asks for many more iterations than the
    # result files hold): interrupted once the progress shows.
    with open(os.path.join(d, "entrada_eq_elipticas.txt"), "w") as f:
        f.write("20\n100000\n0.001\n1.0\n1.0\n1\n1\n")
    antes = sorted(os.listdir(d))
    status, tela = em_terminal([d, "--historico", os.path.join(d, "longo.csv"), "--historico",
                                os.path.join(d, "longo.svg")], interrompe_apos=b"of 100000")
    if status != 130:
        falhas.append(f"SIGINT: status {status}")
    if sorted(os.listdir(d)) != antes:
        falhas.append(f"SIGINT: files left: {sorted(set(os.listdir(d)) - set(antes))}")
    if not tela.endswith(LIMPA):
        falhas.append(f"SIGINT: the progress line not cleared: {tela[-200:]!r}")

for f in falhas:
    print("FAIL:", f)
sys.exit(1 if falhas else 0)
