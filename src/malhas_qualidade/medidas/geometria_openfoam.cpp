// The faces and cells of a row of the extruded mesh, as OpenFOAM's
// primitiveMesh computes their centres, areas and volumes.
#include "malhas_qualidade/medidas/geometria_openfoam.hpp"

#include <algorithm>

namespace malhas_qualidade::checkmesh {

void calcula_faces(const contexto& x, std::int64_t j, linha_faces& l) {
    const std::int64_t nk = x.m.nvol_ksi;
    x.face(1, j, lado::oeste, l.leste[0]);
    for (std::int64_t i = 1; i <= nk; ++i) {
        const auto k = static_cast<std::size_t>(i - 1);
        x.face(i, j, lado::leste, l.leste[k + 1]);
        x.face(i, j, lado::norte, l.norte[k]);
        x.face(i, j, lado::fundo, l.fundo[k]);
        x.face(i, j, lado::frente, l.frente[k]);
    }
}

// The cells of row j, whose south faces are sul (the j = 1 boundary faces, or
// the row below's north faces). A cell's faces are summed as OpenFOAM sums
// them: the faces it owns by ascending face number (internal before
// boundary ones, boundary ones by patch), then the faces of which it is the
// neighbour, by ascending number.
void calcula_celulas(const contexto& x, std::int64_t j, linha_faces& l, const std::vector<face_dados>& sul,
                     bool completas) {
    const std::int64_t nk = x.m.nvol_ksi, ne = x.m.nvol_eta;
    for (std::int64_t i = 1; i <= nk; ++i) {
        const auto k = static_cast<std::size_t>(i - 1);
        const face_dados* faces[6];
        bool dono[6], interna[6];
        int n = 0;
        auto poe = [&](const face_dados& f, bool d, bool e_interna) {
            faces[n] = &f;
            dono[n] = d;
            interna[n] = e_interna;
            ++n;
        };
        if (i < nk) poe(l.leste[k + 1], true, true);
        if (j < ne) poe(l.norte[k], true, true);
        if (j == 1) poe(sul[k], true, false);
        if (j == ne) poe(l.norte[k], true, false);
        if (i == 1) poe(l.leste[0], true, false);
        if (i == nk) poe(l.leste[k + 1], true, false);
        poe(l.fundo[k], true, false);
        poe(l.frente[k], true, false);
        if (j > 1) poe(sul[k], false, true);
        if (i > 1) poe(l.leste[k], false, true);

        vetor estimativa{0.0, 0.0, 0.0};
        for (int f = 0; f < n; ++f)
            estimativa = estimativa + faces[f]->centro;
        estimativa = estimativa / static_cast<double>(n);
        vetor soma_centros{0.0, 0.0, 0.0}, soma_modulos{0.0, 0.0, 0.0};
        double soma_volumes = 0.0;
        for (int f = 0; f < n; ++f) {
            const face_dados& g = *faces[f];
            const double volume3 =
                dono[f] ? escalar(g.area, g.centro - estimativa) : escalar(g.area, estimativa - g.centro);
            const vetor centro_piramide = (3.0 / 4.0) * g.centro + (1.0 / 4.0) * estimativa;
            soma_centros = soma_centros + volume3 * centro_piramide;
            soma_volumes += volume3;
            soma_modulos =
                soma_modulos + vetor{std::fabs(g.area.x), std::fabs(g.area.y), std::fabs(g.area.z)};
        }
        celula_dados& c = l.celulas[k];
        c.centro = std::fabs(soma_volumes) > vsmall ? soma_centros / soma_volumes : estimativa;
        c.volume = soma_volumes * (1.0 / 3.0);
        // Two geometric directions (z is the empty one): the larger of the x
        // and y sums over the smaller.
        double menor = vgreat, maior = -vgreat;
        for (double s : {soma_modulos.x, soma_modulos.y}) {
            menor = std::min(menor, s);
            maior = std::max(maior, s);
        }
        c.razao_aspecto = maior / (menor + rootvsmall);
        if (completas) celula_completa(faces, dono, interna, n, soma_modulos, c);
    }
}

}  // namespace malhas_qualidade::checkmesh
