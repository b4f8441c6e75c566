// The faces of a row as OpenFOAM's primitiveMesh computes their centres and
// area vectors (geometria_openfoam.hpp), and the checks of a face that
// checkMesh makes: orthogonality, skewness, pyramids, the decomposition
// tets, concave corners, flatness, the interpolation weight; each face's
// figures kept for the whole.
#include "malhas_qualidade/medidas/checkmesh_partes.hpp"

namespace malhas_qualidade::checkmesh {

namespace {

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

}  // namespace

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

void calculo::face_interna(parcial& p, std::int64_t i, std::int64_t j, lado l, const face_dados& g,
                           const celula_dados& dono, const celula_dados& vizinho) const {
    const std::int64_t indice = x.indice(i, j, l, true);
    const face_extrudida onde{indice, i, j, l, true};
    const vetor d = vizinho.centro - dono.centro;
    const double cosseno = escalar(d, g.area) / (modulo(d) * modulo(g.area) + rootvsmall);
    cossenos[static_cast<std::size_t>(indice)] = cosseno;
    if (!std::isfinite(cosseno)) {
        ++p.nao_ortogonalidade_indefinida;
    } else {
        if (cosseno < limite_cosseno) {
            ++p.faces_nao_ortogonais;
            if (!(cosseno > small)) ++p.faces_acima_de_90;
        }
        if (pior(cosseno, indice, p.menor_cosseno, p.pior_nao_ortogonal.indice, false)) {
            p.menor_cosseno = cosseno;
            p.pior_nao_ortogonal = onde;
        }
    }
    assimetria_face(p, assimetria(g, dono.centro, &vizinho.centro), onde);
    if (!completas) return;
    face_completa(p, g, dono.centro, &vizinho.centro, onde);
    // The interpolation weight: the nearer cell centre's distance from
    // the face's plane over the sum of both.
    const double d_dono = std::fabs(escalar(g.area, g.centro - dono.centro));
    const double d_vizinho = std::fabs(escalar(g.area, vizinho.centro - g.centro));
    const double peso = (d_vizinho < d_dono ? d_vizinho : d_dono) / (d_vizinho + d_dono + vsmall);
    pesos[static_cast<std::size_t>(indice)] = peso;
    if (!std::isfinite(peso)) {
        ++p.completas_indefinidas;
        return;
    }
    if (peso < limite_peso_face) ++p.peso_face.falhas;
    guarda(p.peso_face, peso, onde, false);
}

void calculo::face_fronteira(parcial& p, std::int64_t i, std::int64_t j, lado l, const face_dados& g,
                             const vetor& dono) const {
    const std::int64_t indice = x.indice(i, j, l, false);
    const face_extrudida onde{indice, i, j, l, false};
    assimetria_face(p, assimetria(g, dono, nullptr), onde);
    if (l != lado::fundo && l != lado::frente) {
        const vetor d = g.centro - dono;
        const double cosseno = escalar(d, g.area) / (modulo(d) * modulo(g.area) + rootvsmall);
        cossenos_fronteira[static_cast<std::size_t>(indice - x.c.internas)] = cosseno;
        if (!std::isfinite(cosseno))
            ++p.nao_ortogonalidade_fronteira_indefinida;
        else if (pior(cosseno, indice, p.menor_cosseno_fronteira, p.pior_nao_ortogonal_fronteira.indice,
                      false)) {
            p.menor_cosseno_fronteira = cosseno;
            p.pior_nao_ortogonal_fronteira = onde;
        }
    }
    if (!completas) return;
    face_completa(p, g, dono, nullptr, onde);
    soma_fronteira& s = fronteira[static_cast<std::size_t>(j)];
    s.soma = s.soma + g.area;
    s.soma_modulos += modulo(g.area);
}

// The checks of every face: its area, its pyramids, its tets and its
// shape.
void calculo::face_completa(parcial& p, const face_dados& g, const vetor& dono, const vetor* vizinho,
                            const face_extrudida& onde) const {
    const double area = modulo(g.area);
    vetor centro, normal;
    centro_e_normal_da_face(g, centro, normal);
    const double piramide_dono = -((1.0 / 3.0) * escalar(normal, dono - centro));
    const double piramide_vizinho =
        vizinho != nullptr ? (1.0 / 3.0) * escalar(normal, *vizinho - centro) : 0.0;
    double seno = 0.0, planicidade = 1.0;
    forma_da_face(g, seno_concavo, seno, planicidade);
    if (!std::isfinite(area) || !std::isfinite(piramide_dono) || !std::isfinite(piramide_vizinho) ||
        !std::isfinite(planicidade)) {
        ++p.completas_indefinidas;
        return;
    }
    if (area < menor_area_face) ++p.area_face.falhas;
    guarda(p.area_face, area, onde, false);
    if (area > p.area_face_max) p.area_face_max = area;
    falha(p.piramides,
          (piramide_dono < limite_piramide ? 1 : 0) + (piramide_vizinho < limite_piramide ? 1 : 0), onde);
    falha(p.tetraedros, falhas_tetraedros(g, dono, vizinho), onde);
    if (seno > small) {
        ++p.angulo_concavo.falhas;
        guarda(p.angulo_concavo, graus(std::asin(seno < 1.0 ? seno : 1.0)), onde, true);
    }
    // checkMesh judges the flatness of faces with an area only.
    if (area > vsmall) {
        if (planicidade < limite_planicidade) ++p.planicidade.falhas;
        guarda(p.planicidade, planicidade, onde, false);
    }
}

void calculo::assimetria_face(parcial& p, double s, const face_extrudida& f) {
    if (!std::isfinite(s)) {
        ++p.assimetria_indefinida;
        return;
    }
    if (s > limite_assimetria_face) ++p.faces_assimetricas;
    if (pior(s, f.indice, p.assimetria_max, p.pior_assimetria.indice, true)) {
        p.assimetria_max = s;
        p.pior_assimetria = f;
    }
}

}  // namespace malhas_qualidade::checkmesh
