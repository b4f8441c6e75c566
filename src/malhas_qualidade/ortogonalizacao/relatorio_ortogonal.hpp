// The companion's side of the solver-grade mesh: its run with a progress
// line, the figures a solver cares about at the boundary, and the summary's
// section on it.
#pragma once

#include <cstdint>
#include <string>

#include "malhas_qualidade/medidas/medidas.hpp"
#include "malhas_qualidade/ortogonalizacao/ortogonaliza.hpp"

namespace malhas_qualidade::ortogonalizacao {

// faz_malha with a progress line on the standard error stream when it is a
// terminal (else a note when the run is to take long), as --historico shows
// its own.
resultado faz_malha_com_progresso(const pedido& p, bool progresso, bool terminal);

// The boundary faces' non-orthogonality as a finite-volume solver meets it
// (OpenFOAM computes it only for internal faces): the angle between the
// face's normal and the line from its volume's centre to the face's centre,
// in degrees, the volumes' centres and the faces' centres those of the
// one-layer mesh --openfoam writes. The largest over the faces that touch
// none of the six corners of the L, and over those that do.
struct figuras_fronteira {
    double maximo = 0.0;         // faces away from the corners
    std::int64_t volume = 0;     // the volume of the worst of them
    double maximo_cantos = 0.0;  // faces at the corners
    std::int64_t faces = 0, faces_cantos = 0;
    // The aspect ratio of the two volumes at the convex corner (0, 0), as
    // the summary measures it.
    double razao_canto_convexo[2] = {0.0, 0.0};
};
figuras_fronteira mede_fronteira(const malha_lida& m, const medidas_malha& med);

// The summary's section: how the mesh was made and whether it settled, the
// boundary figures. origem names the case file the sizes came from.
std::string texto_ortogonalizacao(const resultado& r, const pedido& p, const std::string& origem,
                                  const figuras_fronteira& f);

}  // namespace malhas_qualidade::ortogonalizacao
