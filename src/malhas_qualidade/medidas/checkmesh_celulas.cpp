// The checks of a cell that checkMesh -allGeometry makes: closed cells, the
// cell determinant, concave cells.
#include "malhas_qualidade/medidas/geometria_openfoam.hpp"

namespace malhas_qualidade::checkmesh {

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

}  // namespace malhas_qualidade::checkmesh
