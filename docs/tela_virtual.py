"""Imported first by the figure scripts that draw with VTK. Debian's
python3-vtk9 draws through X alone (it has neither EGL nor OSMesa), so even
an offscreen render window needs an X display. On a machine without one the
script is started again under xvfb-run (Debian: xvfb and xauth), which lends
it a virtual display for the run; without xvfb-run it stops, saying what to
install."""
import os
import shutil
import sys

if not os.environ.get("DISPLAY"):
    xvfb_run = shutil.which("xvfb-run")
    # xvfb-run sets DISPLAY; the variable below stops a second start should
    # it ever fail to.
    if xvfb_run is None or os.environ.get("MALHAS_TELA_VIRTUAL"):
        sys.exit(f"{os.path.basename(sys.argv[0])}: VTK needs an X display, and there is none here;"
                 " install xvfb and xauth (Debian), which lend it a virtual one")
    os.environ["MALHAS_TELA_VIRTUAL"] = "1"
    sys.stdout.flush()
    os.execv(xvfb_run, [xvfb_run, "-a", sys.executable] + sys.argv)
