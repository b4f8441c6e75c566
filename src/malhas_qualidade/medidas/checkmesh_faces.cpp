// The checks of a face that checkMesh makes: skewness, pyramids, the
// decomposition tets, concave corners and flatness.
#include "malhas_qualidade/medidas/geometria_openfoam.hpp"

namespace malhas_qualidade::checkmesh {

// checkMesh's skewness of a face: how far the face centre lies from where the
// line between the cell centres (for a boundary face, the normal through the
// owner's centre) crosses the face, over the face's extent in that direction.
double assimetria(const face_dados& g, const vetor& dono, const vetor* vizinho) {
    const vetor cpf = g.centro - dono;
    vetor d;
    double fator;
    if (vizinho != nullptr) {
        d = *vizinho - dono;
        fator = 0.2;
    } else {
        const vetor normal = g.area / (modulo(g.area) + rootvsmall);
        const double projecao = escalar(normal, cpf);
        d = {normal.x * projecao, normal.y * projecao, normal.z * projecao};
        fator = 0.4;
    }
    const vetor sv = cpf - (escalar(g.area, cpf) / (escalar(g.area, d) + rootvsmall)) * d;
    const double msv = modulo(sv);
    const vetor sv_unitario = sv / (msv + rootvsmall);
    double fd = fator * modulo(d) + rootvsmall;
    for (int k = 0; k < 4; ++k)
        fd = std::max(fd, std::fabs(escalar(sv_unitario, g.p[k] - g.centro)));
    return msv / fd;
}

// The centre and area vector of a face as OpenFOAM's face class computes
// them (its pyramid check takes these, not the mesh's): the triangles'
// areas and normals taken about the mean point in another order.
void centro_e_normal_da_face(const face_dados& g, vetor& centro, vetor& normal) {
    const vetor* p = g.p;
    vetor media{0.0, 0.0, 0.0};
    for (int k = 0; k < 4; ++k)
        media = media + p[k];
    media = media / 4.0;
    double soma_a = 0.0;
    vetor soma_ac{0.0, 0.0, 0.0};
    normal = {0.0, 0.0, 0.0};
    for (int k = 0; k < 4; ++k) {
        const vetor& seguinte = p[(k + 1) % 4];
        const vetor centro_triangulo = p[k] + seguinte + media;
        const double a = modulo(vetorial(p[k] - media, seguinte - media));
        soma_a += a;
        soma_ac = soma_ac + a * centro_triangulo;
        normal = normal + 0.5 * vetorial(seguinte - p[k], media - p[k]);
    }
    centro = soma_a > vsmall ? soma_ac / (3.0 * soma_a) : media;
}

// OpenFOAM's quality of the tet a, b, c, d: its signed volume over that of
// the regular tet of the same circumradius.
double qualidade_tetraedro(const vetor& a, const vetor& b, const vetor& c, const vetor& d) {
    const vetor ea = b - a, eb = c - a, ec = d - a;
    // OpenFOAM's circumradius takes eb x ea and ec . (eb x ea): the negated
    // ea x eb and triple product of the volume, to the bit (a product, a
    // difference and a sum of terms change only their sign), so they are
    // formed once, and (lambda (eb x ea) - mu (ec x ea)) / (ec . (eb x ea))
    // is (lambda (ea x eb) + mu (ec x ea)) / (ec . (ea x eb)).
    const vetor normal = vetorial(ea, eb);
    const double triplo = escalar(normal, ec);
    const double volume = (1.0 / 6.0) * triplo;
    const double lambda = escalar(ec, ec) - escalar(ea, ec);
    const double mu = escalar(eb, eb) - escalar(ea, eb);
    const vetor ca = vetorial(ec, ea);
    const vetor num = lambda * normal + mu * ca;
    // A degenerate tet has no circumsphere: OpenFOAM takes GREAT.
    const double raio = std::fabs(triplo) < rootvsmall ? great : modulo(0.5 * (ea + num / triplo));
    const double r = raio < great ? raio : great;
    return volume / (8.0 / (9.0 * std::sqrt(3.0)) * (r * r * r) + rootvsmall);
}

// The least quality of the tets that fan the face from its point base to the
// cell centre cc, the face's points taken in the order that makes them
// positive for the owner (dono) or for the neighbour.
namespace {

double menor_qualidade_leque(const face_dados& g, const vetor& cc, bool dono, int base) {
    double menor = vgreat;
    for (int t = 1; t < 3; ++t) {
        const int a = (t + base) % 4, b = (a + 1) % 4;
        const double q = dono ? qualidade_tetraedro(cc, g.p[base], g.p[a], g.p[b])
                              : qualidade_tetraedro(cc, g.p[base], g.p[b], g.p[a]);
        if (q < menor) menor = q;
    }
    return menor;
}

}  // namespace

// checkMesh's face tets: the tets on the face's edges with apexes at the face
// centre and a cell centre must have the sign of a sound cell, and some point
// of the face must fan it into good tets for both cells. Returns the
// failures as checkMesh counts them (0 to 3).
int falhas_tetraedros(const face_dados& g, const vetor& dono, const vetor* vizinho) {
    int falhas = 0;
    for (int k = 0; k < 4; ++k)
        if (qualidade_tetraedro(g.p[k], g.p[(k + 1) % 4], g.centro, dono) > -limite_qualidade_tetraedro) {
            ++falhas;
            break;
        }
    if (vizinho != nullptr)
        for (int k = 0; k < 4; ++k)
            if (qualidade_tetraedro(g.p[k], g.p[(k + 1) % 4], g.centro, *vizinho) <
                limite_qualidade_tetraedro) {
                ++falhas;
                break;
            }
    for (int base = 0; base < 4; ++base) {
        double q = menor_qualidade_leque(g, dono, true, base);
        if (vizinho != nullptr) {
            const double qv = menor_qualidade_leque(g, *vizinho, false, base);
            q = q < qv ? q : qv;
        }
        if (q > limite_qualidade_tetraedro) return falhas;
    }
    return falhas + 1;
}

// checkMesh's warnings of a face: the sine of its most concave corner
// beyond 10 degrees (0: none), and its flatness (its area over the sum of
// its triangles' areas about its centre; 1 when it has no area).
void forma_da_face(const face_dados& g, double seno_limite, double& seno, double& planicidade) {
    const double m = modulo(g.area);
    const vetor normal = g.area / (m + rootvsmall);
    vetor anterior = g.p[0] - g.p[3];
    double m_anterior = modulo(anterior);
    anterior = anterior / (m_anterior + rootvsmall);
    seno = 0.0;
    for (int k = 0; k < 4; ++k) {
        vetor aresta = g.p[(k + 1) % 4] - g.p[k];
        const double m_aresta = modulo(aresta);
        aresta = aresta / (m_aresta + rootvsmall);
        if (m_anterior > small && m_aresta > small) {
            vetor n = vetorial(anterior, aresta);
            const double mn = modulo(n);
            if (!(mn < seno_limite)) {
                n = n / mn;
                if (escalar(n, normal) < small) seno = seno > mn ? seno : mn;
            }
        }
        anterior = aresta;
        m_anterior = m_aresta;
    }
    planicidade = 1.0;
    if (m > rootvsmall) {
        double soma = 0.0;
        for (int k = 0; k < 4; ++k)
            soma += modulo(0.5 * vetorial(g.p[(k + 1) % 4] - g.p[k], g.centro - g.p[k]));
        planicidade = m / (soma + rootvsmall);
    }
}

}  // namespace malhas_qualidade::checkmesh
