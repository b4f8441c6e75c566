// The cells of a row as OpenFOAM's primitiveMesh computes their centres and
// volumes, and the checks checkMesh makes of a cell: aspect ratio, volume,
// closed cells, the cell determinant, concave cells.
#include <algorithm>

#include "malhas_qualidade/medidas/checkmesh_partes.hpp"

namespace malhas_qualidade::checkmesh {

namespace {

// The rest of checkMesh -allGeometry's figures of a cell, from its faces in
// OpenFOAM's order (dono: the cell owns the face; interna: an internal face)
// and the sums of the absolute components of their area vectors.
void celula_completa(const face_dados* const faces[], const bool dono[], const bool interna[], int n,
                     const vetor& soma_modulos, celula_dados& c) {
    // Openness: the area vectors pointing out of a closed cell sum to zero.
    vetor soma{0.0, 0.0, 0.0};
    for (int f = 0; f < n; ++f)
        soma = dono[f] ? soma + faces[f]->area : soma - faces[f]->area;
    c.abertura = 0.0;
    for (const double a : {std::fabs(soma.x) / (soma_modulos.x + rootvsmall),
                           std::fabs(soma.y) / (soma_modulos.y + rootvsmall),
                           std::fabs(soma.z) / (soma_modulos.z + rootvsmall)})
        c.abertura = c.abertura > a ? c.abertura : a;

    // The determinant of the sum of the squares of the internal faces' area
    // vectors over their mean magnitude, z (the empty direction) made a unit
    // eigenvector: how well the cell's neighbours determine a gradient in x
    // and y. A cell whose only neighbours lie along one line has none.
    double media = 0.0;
    int internas = 0;
    for (int f = 0; f < n; ++f)
        if (interna[f]) {
            media += modulo(faces[f]->area);
            ++internas;
        }
    if (internas == 0 || media < rootvsmall) {
        c.determinante = 0.0;
    } else {
        media /= internas;
        double xx = 0.0, xy = 0.0, xz = 0.0, yy = 0.0, yz = 0.0, zz = 0.0;
        for (int f = 0; f < n; ++f) {
            if (!interna[f]) continue;
            const vetor a = faces[f]->area / media;
            xx += a.x * a.x, xy += a.x * a.y, xz += a.x * a.z;
            yy += a.y * a.y, yz += a.y * a.z, zz += a.z * a.z;
        }
        zz = 1.0;
        const double det =
            xx * yy * zz + xy * yz * xz + xz * xy * yz - xx * yz * yz - xy * xy * zz - xz * yy * xz;
        c.determinante = std::fabs(det) / 8.0;
    }

    // Concave: the centre of some face of the cell is not behind the plane
    // of another (within a cosine of 1e-6). The way from face b's centre to
    // a's is the negated way from a's to b's, to the bit, and so is its
    // unit vector: each pair's is formed once.
    vetor normal[6], rumo[6][6];
    for (int a = 0; a < n; ++a) {
        const double m = modulo(faces[a]->area);
        normal[a] = faces[a]->area / (m > vsmall ? m : vsmall);
        if (!dono[a]) normal[a] = -1.0 * normal[a];
        for (int b = a + 1; b < n; ++b) {
            const vetor r = faces[b]->centro - faces[a]->centro;
            const double mr = modulo(r);
            rumo[a][b] = r / (mr > vsmall ? mr : vsmall);
            rumo[b][a] = -1.0 * rumo[a][b];
        }
    }
    c.concava = false;
    for (int a = 0; a < n && !c.concava; ++a)
        for (int b = 0; b < n && !c.concava; ++b)
            c.concava = b != a && escalar(rumo[a][b], normal[a]) > -cosseno_planar;
}

}  // namespace

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

void calculo::celula(parcial& p, const celula_dados& c, std::int64_t numero) const {
    volumes[static_cast<std::size_t>(numero - 1)] = c.volume;
    if (!std::isfinite(c.razao_aspecto) || !finito(c.centro)) {
        ++p.razao_aspecto_indefinida;
    } else {
        if (c.razao_aspecto > limite_razao_aspecto_celula) ++p.celulas_alongadas;
        if (pior(c.razao_aspecto, numero, p.razao_aspecto_max, nenhum_se_zero(p.pior_razao_aspecto), true)) {
            p.razao_aspecto_max = c.razao_aspecto;
            p.pior_razao_aspecto = numero;
        }
    }
    if (completas) {
        determinantes[static_cast<std::size_t>(numero - 1)] = c.determinante;
        if (!std::isfinite(c.abertura) || !std::isfinite(c.determinante) || !finito(c.centro)) {
            ++p.completas_indefinidas;
        } else {
            if (c.abertura > limite_abertura) ++p.abertura_celula.falhas;
            guarda(p.abertura_celula, c.abertura, numero, true);
            if (c.determinante < limite_determinante) ++p.determinante.falhas;
            guarda(p.determinante, c.determinante, numero, false);
            if (c.concava) {
                ++p.celulas_concavas.falhas;
                guarda(p.celulas_concavas, 0.0, numero, true);
            }
        }
    }
    if (!std::isfinite(c.volume)) {
        ++p.volume_indefinido;
        return;
    }
    if (c.volume < menor_volume_celula) ++p.volumes_nao_positivos;
    if (pior(c.volume, numero, p.volume_min, nenhum_se_zero(p.menor_volume), false)) {
        p.volume_min = c.volume;
        p.menor_volume = numero;
    }
    if (pior(c.volume, numero, p.volume_max, nenhum_se_zero(p.maior_volume), true)) {
        p.volume_max = c.volume;
        p.maior_volume = numero;
    }
}

}  // namespace malhas_qualidade::checkmesh
