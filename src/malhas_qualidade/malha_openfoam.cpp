#include "malhas_qualidade/malha_openfoam.hpp"

#include <algorithm>
#include <utility>
#include <vector>

#include "tempo_execucao/linhas_execucao.hpp"

#include "malhas_qualidade/exportacao.hpp"

namespace malhas_qualidade {

const char* const nomes_patches[n_patches] = {nomes_grupos[0], nomes_grupos[1], nomes_grupos[2],
                                              nomes_grupos[3], "frente_e_tras"};

contagem_faces conta_faces(const malha_lida& m) {
    contagem_faces c;
    const std::int64_t nk = m.nvol_ksi, ne = m.nvol_eta;
    c.internas = (nk - 1) * ne + nk * (ne - 1);
    const std::int64_t tamanhos[n_patches] = {nk, nk, ne, ne, 2 * m.nvol};
    std::int64_t inicio = c.internas;
    for (int k = 0; k < n_patches; ++k) {
        c.inicio[k] = inicio;
        c.tamanho[k] = tamanhos[k];
        inicio += tamanhos[k];
    }
    c.total = inicio;
    c.pontos = 2 * m.nvert;
    c.celulas = m.nvol;
    return c;
}

namespace {

// OpenFOAM's constants of the checks (double precision).
constexpr double pi = 3.14159265358979323846;
constexpr double rootvsmall = 1.0e-150;
constexpr double vsmall = 1.0e-300;
constexpr double small = 1.0e-15;
constexpr double great = 1.0e15;
constexpr double vgreat = 1.0e300;
// The cosine within which checkMesh calls a face's plane and another face's
// centre coplanar, for the concave cells.
constexpr double cosseno_planar = 1.0e-6;

// Vector arithmetic written out as OpenFOAM's vector operations evaluate it,
// component by component and in the same order, so that every rounding is
// the same.
struct vetor {
    double x, y, z;
};
inline vetor operator+(vetor a, vetor b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline vetor operator-(vetor a, vetor b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline vetor operator*(double s, vetor a) {
    return {s * a.x, s * a.y, s * a.z};
}
inline vetor operator/(vetor a, double s) {
    return {a.x / s, a.y / s, a.z / s};
}
inline double escalar(vetor a, vetor b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline vetor vetorial(vetor a, vetor b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double modulo(vetor a) {
    return std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z);
}
inline bool finito(vetor a) {
    return std::isfinite(a.x) && std::isfinite(a.y) && std::isfinite(a.z);
}

double graus(double radianos) {
    return radianos * 180.0 / pi;
}

// A face: its points in the file's order, its centre and its area vector.
struct face_dados {
    vetor p[4];
    vetor centro, area;
};

// A cell's centre, volume and aspect ratio; for the complete checks also
// its openness, its determinant and whether it is concave.
struct celula_dados {
    vetor centro;
    double volume, razao_aspecto;
    double abertura = 0.0, determinante = 0.0;
    bool concava = false;
};

struct contexto {
    const extrusao& e;
    const malha_lida& m;
    contagem_faces c;

    vetor ponto(std::int64_t r) const {
        const bool topo = r >= m.nvert;
        const auto v = static_cast<std::size_t>(topo ? r - m.nvert + 1 : r + 1);
        return {m.x[v], m.y[v], topo ? e.espessura : 0.0};
    }

    // The centre and area vector of a face from its points in the file's
    // order: triangles fanned from the mean of the points, the centre
    // weighted by their areas.
    void face(std::int64_t i, std::int64_t j, lado l, face_dados& f) const {
        std::int64_t r[4];
        pontos_face(e, i, j, l, r);
        const vetor* p = f.p;
        for (int k = 0; k < 4; ++k)
            f.p[k] = ponto(r[k]);
        vetor media = p[0];
        for (int k = 1; k < 4; ++k)
            media = media + p[k];
        media = media / 4.0;
        vetor soma_n{0.0, 0.0, 0.0}, soma_ac{0.0, 0.0, 0.0};
        double soma_a = 0.0;
        for (int k = 0; k < 4; ++k) {
            const vetor& seguinte = p[(k + 1) % 4];
            const vetor centro = p[k] + seguinte + media;
            const vetor n = vetorial(seguinte - p[k], media - p[k]);
            const double a = modulo(n);
            soma_n = soma_n + n;
            soma_a += a;
            soma_ac = soma_ac + a * centro;
        }
        if (soma_a < rootvsmall) {
            f.centro = media;
            f.area = {0.0, 0.0, 0.0};
        } else {
            f.centro = ((1.0 / 3.0) * soma_ac) / soma_a;
            f.area = 0.5 * soma_n;
        }
    }

    std::int64_t indice(std::int64_t i, std::int64_t j, lado l, bool interna) const {
        const std::int64_t nk = m.nvol_ksi, ne = m.nvol_eta;
        if (interna) {
            const std::int64_t antes = (j - 1) * (2 * nk - 1) + (i - 1) * (j < ne ? 2 : 1);
            return l == lado::leste ? antes : antes + (i < nk ? 1 : 0);
        }
        const std::int64_t celula = (j - 1) * nk + i - 1;
        switch (l) {
            case lado::sul:
                return c.inicio[0] + i - 1;
            case lado::norte:
                return c.inicio[1] + i - 1;
            case lado::oeste:
                return c.inicio[2] + j - 1;
            case lado::leste:
                return c.inicio[3] + j - 1;
            case lado::fundo:
                return c.inicio[4] + celula;
            case lado::frente:
                return c.inicio[4] + m.nvol + celula;
        }
        return -1;
    }
};

// The faces of one row of cells, each computed once: leste[0] is the i = 1
// boundary face, leste[i] the face east of volume (i, j).
struct linha_faces {
    std::vector<face_dados> leste, norte, fundo, frente;
    std::vector<celula_dados> celulas;

    void dimensiona(std::int64_t nk) {
        const auto n = static_cast<std::size_t>(nk);
        leste.resize(n + 1);
        norte.resize(n);
        fundo.resize(n);
        frente.resize(n);
        celulas.resize(n);
    }
};

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
        auto junta = [&](const face_dados& f, bool d, bool i) {
            faces[n] = &f;
            dono[n] = d;
            interna[n] = i;
            ++n;
        };
        if (i < nk) junta(l.leste[k + 1], true, true);
        if (j < ne) junta(l.norte[k], true, true);
        if (j == 1) junta(sul[k], true, false);
        if (j == ne) junta(l.norte[k], true, false);
        if (i == 1) junta(l.leste[0], true, false);
        if (i == nk) junta(l.leste[k + 1], true, false);
        junta(l.fundo[k], true, false);
        junta(l.frente[k], true, false);
        if (j > 1) junta(sul[k], false, true);
        if (i > 1) junta(l.leste[k], false, true);

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

// The boundary's area vectors, summed row by row of cells, so that the sum
// does not depend on how the rows are shared between threads.
struct soma_fronteira {
    vetor soma{0.0, 0.0, 0.0};
    double soma_modulos = 0.0;
};

// What one run of rows finds. The sums that checkMesh forms in face or cell
// order are formed afterwards, over the whole mesh, from the values stored
// in the arrays of calculo: a sum split between threads would round
// differently.
struct parcial {
    std::int64_t faces_nao_ortogonais = 0, faces_acima_de_90 = 0, nao_ortogonalidade_indefinida = 0;
    double menor_cosseno = 0.0;
    face_extrudida pior_nao_ortogonal;
    double menor_cosseno_fronteira = 0.0;
    face_extrudida pior_nao_ortogonal_fronteira;
    std::int64_t nao_ortogonalidade_fronteira_indefinida = 0;
    double assimetria_max = 0.0;
    std::int64_t faces_assimetricas = 0, assimetria_indefinida = 0;
    face_extrudida pior_assimetria;
    double razao_aspecto_max = 0.0;
    std::int64_t celulas_alongadas = 0, pior_razao_aspecto = 0, razao_aspecto_indefinida = 0;
    double volume_min = 0.0, volume_max = 0.0;
    std::int64_t volumes_nao_positivos = 0, menor_volume = 0, maior_volume = 0, volume_indefinido = 0;
    // The complete checks.
    pior_celula abertura_celula, determinante, celulas_concavas;
    pior_face area_face, piramides, tetraedros, peso_face, angulo_concavo, planicidade;
    double area_face_max = 0.0;
    std::int64_t completas_indefinidas = 0;

    // Scratch rows, made before the threads start: a part may not throw.
    linha_faces abaixo, atual, proxima;
    std::vector<face_dados> sul;
};

struct calculo {
    const contexto& x;
    double limite_cosseno;
    bool completas;
    double seno_concavo;                      // the sine of the concave corners' limit
    std::vector<double>& cossenos;            // by internal face
    std::vector<double>& cossenos_fronteira;  // by face of the four boundary lines
    std::vector<double>& volumes;             // by cell
    std::vector<double>& pesos;               // by internal face, with the complete checks
    std::vector<double>& determinantes;       // by cell, with the complete checks
    std::vector<soma_fronteira>& fronteira;   // by row, with the complete checks

    // Volume numbers start at 1; 0 is none.
    static std::int64_t nenhum_se_zero(std::int64_t numero) { return numero == 0 ? -1 : numero; }

    // The first of equal values, in face or cell order, is the worst; a
    // negative indice_atual is none yet.
    static bool pior(double v, std::int64_t indice, double atual, std::int64_t indice_atual, bool maior) {
        if (indice_atual < 0) return true;
        if (v == atual) return indice < indice_atual;
        return maior ? v > atual : v < atual;
    }
    static void guarda(pior_face& w, double v, const face_extrudida& onde, bool maior) {
        if (pior(v, onde.indice, w.valor, w.onde.indice, maior)) {
            w.valor = v;
            w.onde = onde;
        }
    }
    static void guarda(pior_celula& w, double v, std::int64_t numero, bool maior) {
        if (pior(v, numero, w.valor, nenhum_se_zero(w.onde), maior)) {
            w.valor = v;
            w.onde = numero;
        }
    }
    // A failure: the first failing face (cell) is the one named.
    static void falha(pior_face& w, std::int64_t n, const face_extrudida& onde) {
        if (n == 0) return;
        w.falhas += n;
        guarda(w, 0.0, onde, true);
    }

    void face_interna(parcial& p, std::int64_t i, std::int64_t j, lado l, const face_dados& g,
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

    void face_fronteira(parcial& p, std::int64_t i, std::int64_t j, lado l, const face_dados& g,
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
    void face_completa(parcial& p, const face_dados& g, const vetor& dono, const vetor* vizinho,
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

    static void assimetria_face(parcial& p, double s, const face_extrudida& f) {
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

    void celula(parcial& p, const celula_dados& c, std::int64_t numero) const {
        volumes[static_cast<std::size_t>(numero - 1)] = c.volume;
        if (!std::isfinite(c.razao_aspecto) || !finito(c.centro)) {
            ++p.razao_aspecto_indefinida;
        } else {
            if (c.razao_aspecto > limite_razao_aspecto_celula) ++p.celulas_alongadas;
            if (pior(c.razao_aspecto, numero, p.razao_aspecto_max, nenhum_se_zero(p.pior_razao_aspecto),
                     true)) {
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

    // The rows de to ate. A cell needs the faces of the row below it, and a
    // row's north faces the cells of the row above: both are made here too.
    void faixa(parcial& p, std::int64_t de, std::int64_t ate) const {
        const std::int64_t nk = x.m.nvol_ksi, ne = x.m.nvol_eta;
        const std::vector<face_dados>* sul = &p.sul;
        if (de == 1) {
            for (std::int64_t i = 1; i <= nk; ++i)
                x.face(i, 1, lado::sul, p.sul[static_cast<std::size_t>(i - 1)]);
        } else {
            calcula_faces(x, de - 1, p.abaixo);
            sul = &p.abaixo.norte;
        }
        calcula_faces(x, de, p.atual);
        calcula_celulas(x, de, p.atual, *sul, completas);
        for (std::int64_t j = de; j <= ate; ++j) {
            if (j < ne) {
                calcula_faces(x, j + 1, p.proxima);
                calcula_celulas(x, j + 1, p.proxima, p.atual.norte, completas);
            }
            const linha_faces& l = p.atual;
            for (std::int64_t i = 1; i <= nk; ++i) {
                const auto k = static_cast<std::size_t>(i - 1);
                const celula_dados& c = l.celulas[k];
                celula(p, c, (j - 1) * nk + i);
                if (i < nk) face_interna(p, i, j, lado::leste, l.leste[k + 1], c, l.celulas[k + 1]);
                if (j < ne) face_interna(p, i, j, lado::norte, l.norte[k], c, p.proxima.celulas[k]);
                if (j == 1) face_fronteira(p, i, j, lado::sul, (*sul)[k], c.centro);
                if (j == ne) face_fronteira(p, i, j, lado::norte, l.norte[k], c.centro);
                if (i == 1) face_fronteira(p, i, j, lado::oeste, l.leste[0], c.centro);
                if (i == nk) face_fronteira(p, i, j, lado::leste, l.leste[k + 1], c.centro);
                face_fronteira(p, i, j, lado::fundo, l.fundo[k], c.centro);
                face_fronteira(p, i, j, lado::frente, l.frente[k], c.centro);
            }
            std::swap(p.atual, p.proxima);
        }
    }
};

// A part's worst value and failures into the whole's: the first of equal
// worst values, in face or cell order, is kept.
void junta_pior(pior_face& f, const pior_face& p, bool maior) {
    f.falhas += p.falhas;
    if (p.onde.indice >= 0) calculo::guarda(f, p.valor, p.onde, maior);
}
void junta_pior(pior_celula& f, const pior_celula& p, bool maior) {
    f.falhas += p.falhas;
    if (p.onde > 0) calculo::guarda(f, p.valor, p.onde, maior);
}

// The runs' findings in row order: the first of equal worst values is kept.
void junta(figuras_checkmesh& f, const parcial& p, double& menor_cosseno, double& menor_cosseno_fronteira) {
    f.faces_nao_ortogonais += p.faces_nao_ortogonais;
    f.faces_acima_de_90 += p.faces_acima_de_90;
    f.nao_ortogonalidade_indefinida += p.nao_ortogonalidade_indefinida;
    if (p.pior_nao_ortogonal.indice >= 0 &&
        (f.pior_nao_ortogonal.indice < 0 || p.menor_cosseno < menor_cosseno)) {
        menor_cosseno = p.menor_cosseno;
        f.pior_nao_ortogonal = p.pior_nao_ortogonal;
    }
    f.nao_ortogonalidade_fronteira_indefinida += p.nao_ortogonalidade_fronteira_indefinida;
    if (p.pior_nao_ortogonal_fronteira.indice >= 0 &&
        calculo::pior(p.menor_cosseno_fronteira, p.pior_nao_ortogonal_fronteira.indice,
                      menor_cosseno_fronteira, f.pior_nao_ortogonal_fronteira.indice, false)) {
        menor_cosseno_fronteira = p.menor_cosseno_fronteira;
        f.pior_nao_ortogonal_fronteira = p.pior_nao_ortogonal_fronteira;
    }
    f.faces_assimetricas += p.faces_assimetricas;
    f.assimetria_indefinida += p.assimetria_indefinida;
    if (p.pior_assimetria.indice >= 0 && calculo::pior(p.assimetria_max, p.pior_assimetria.indice,
                                                       f.assimetria_max, f.pior_assimetria.indice, true)) {
        f.assimetria_max = p.assimetria_max;
        f.pior_assimetria = p.pior_assimetria;
    }
    f.celulas_alongadas += p.celulas_alongadas;
    f.razao_aspecto_indefinida += p.razao_aspecto_indefinida;
    if (p.pior_razao_aspecto > 0 &&
        (f.pior_razao_aspecto == 0 || p.razao_aspecto_max > f.razao_aspecto_max)) {
        f.razao_aspecto_max = p.razao_aspecto_max;
        f.pior_razao_aspecto = p.pior_razao_aspecto;
    }
    f.volumes_nao_positivos += p.volumes_nao_positivos;
    f.volume_indefinido += p.volume_indefinido;
    if (p.menor_volume > 0 && (f.menor_volume == 0 || p.volume_min < f.volume_min)) {
        f.volume_min = p.volume_min;
        f.menor_volume = p.menor_volume;
    }
    if (p.maior_volume > 0 && (f.maior_volume == 0 || p.volume_max > f.volume_max)) {
        f.volume_max = p.volume_max;
        f.maior_volume = p.maior_volume;
    }
    if (!f.completas) return;
    junta_pior(f.abertura_celula, p.abertura_celula, true);
    junta_pior(f.determinante, p.determinante, false);
    junta_pior(f.celulas_concavas, p.celulas_concavas, true);
    if (p.area_face_max > f.area_face_max) f.area_face_max = p.area_face_max;
    junta_pior(f.area_face, p.area_face, false);
    junta_pior(f.piramides, p.piramides, true);
    junta_pior(f.tetraedros, p.tetraedros, true);
    junta_pior(f.peso_face, p.peso_face, false);
    junta_pior(f.angulo_concavo, p.angulo_concavo, true);
    junta_pior(f.planicidade, p.planicidade, false);
    f.completas_indefinidas += p.completas_indefinidas;
}

// The checks over the whole mesh at once, after the rows: the volume ratio
// of every internal face, the boundary's openness, the edges' lengths, and
// the means checkMesh forms in face or cell order.
void conclui_completas(const contexto& x, figuras_checkmesh& f, const std::vector<double>& volumes,
                       const std::vector<double>& pesos, const std::vector<double>& determinantes,
                       const std::vector<soma_fronteira>& fronteira) {
    const malha_lida& m = x.m;
    const std::int64_t nk = m.nvol_ksi, ne = m.nvol_eta;
    double soma = 0.0;
    for (double d : determinantes)
        soma += d;
    f.determinante_medio = soma / static_cast<double>(determinantes.size());
    soma = 0.0;
    for (double p : pesos)
        soma += p;
    f.peso_face_medio = pesos.empty() ? 0.0 : soma / static_cast<double>(pesos.size());

    // The volume ratio: the smaller of the two cells' volumes over the larger.
    soma = 0.0;
    for (std::int64_t j = 1; j <= ne; ++j)
        for (std::int64_t i = 1; i <= nk; ++i) {
            const std::int64_t c = (j - 1) * nk + i - 1;
            for (const lado l : {lado::leste, lado::norte}) {
                if (l == lado::leste ? i == nk : j == ne) continue;
                const double a = volumes[static_cast<std::size_t>(c)];
                const double b = volumes[static_cast<std::size_t>(l == lado::leste ? c + 1 : c + nk)];
                const double razao = (a < b ? a : b) / ((a > b ? a : b) + vsmall);
                soma += razao;
                if (!std::isfinite(razao)) {
                    ++f.completas_indefinidas;
                    continue;
                }
                if (razao < limite_razao_volumes) ++f.razao_volumes.falhas;
                calculo::guarda(f.razao_volumes, razao, {x.indice(i, j, l, true), i, j, l, true}, false);
            }
        }
    f.razao_volumes_media = pesos.empty() ? 0.0 : soma / static_cast<double>(pesos.size());

    vetor aberta{0.0, 0.0, 0.0};
    double modulos = 0.0;
    for (const soma_fronteira& s : fronteira) {
        aberta = aberta + s.soma;
        modulos += s.soma_modulos;
    }
    f.abertura_fronteira = 0.0;
    for (const double c : {aberta.x, aberta.y, aberta.z}) {
        const double a = std::fabs(c / (modulos + vsmall));
        f.abertura_fronteira = f.abertura_fronteira > a ? f.abertura_fronteira : a;
    }
    if (!std::isfinite(f.abertura_fronteira)) ++f.completas_indefinidas;

    // The edges: those of the grid, the same at z = 0 and at the top, and
    // the thickness. An edge is short below 1e-6 of the bounding box's
    // diagonal; checkMesh counts the points on short edges.
    double x_min = m.x[1], x_max = m.x[1], y_min = m.y[1], y_max = m.y[1];
    for (std::int64_t v = 1; v <= m.nvert; ++v) {
        const auto k = static_cast<std::size_t>(v);
        x_min = std::min(x_min, m.x[k]), x_max = std::max(x_max, m.x[k]);
        y_min = std::min(y_min, m.y[k]), y_max = std::max(y_max, m.y[k]);
    }
    const double t = x.e.espessura;
    const vetor lado_caixa = fracao_aresta_curta * vetor{x_max - x_min, y_max - y_min, t};
    const double curta2 = escalar(lado_caixa, lado_caixa);
    f.aresta_curta = std::sqrt(curta2);
    double menor2 = t * t, maior2 = t * t;
    std::vector<std::uint8_t> curto(static_cast<std::size_t>(m.nvert) + 1, t * t < curta2 ? 1 : 0);
    const std::int64_t nvk = m.nvert_ksi;
    for (std::int64_t v = 1; v <= m.nvert; ++v) {
        const auto a = static_cast<std::size_t>(v);
        const std::int64_t i = (v - 1) % nvk + 1, j = (v - 1) / nvk + 1;
        for (const std::int64_t w : {i < nvk ? v + 1 : 0, j < m.nvert_eta ? v + nvk : 0}) {
            if (w == 0) continue;
            const auto b = static_cast<std::size_t>(w);
            const double dx = m.x[a] - m.x[b], dy = m.y[a] - m.y[b];
            const double l2 = dx * dx + dy * dy;
            menor2 = std::min(menor2, l2), maior2 = std::max(maior2, l2);
            if (l2 < curta2) curto[a] = curto[b] = 1;
        }
    }
    f.aresta_min = std::sqrt(menor2);
    f.aresta_max = std::sqrt(maior2);
    for (std::int64_t v = 1; v <= m.nvert; ++v)
        f.pontos_arestas_curtas += 2 * curto[static_cast<std::size_t>(v)];
}

}  // namespace

int figuras_checkmesh::falhas_checkmesh_simples() const {
    return (abertura_fronteira > limite_abertura ? 1 : 0) +
           (abertura_celula.falhas + celulas_alongadas > 0 ? 1 : 0) + (area_face.falhas > 0 ? 1 : 0) +
           (volumes_nao_positivos > 0 ? 1 : 0) + (faces_acima_de_90 > 0 ? 1 : 0) +
           (piramides.falhas > 0 ? 1 : 0) + (faces_assimetricas > 0 ? 1 : 0);
}

int figuras_checkmesh::falhas_checkmesh_geometria() const {
    return falhas_checkmesh_simples() + (tetraedros.falhas > 0 ? 1 : 0) + (determinante.falhas > 0 ? 1 : 0) +
           (celulas_concavas.falhas > 0 ? 1 : 0) + (peso_face.falhas > 0 ? 1 : 0) +
           (razao_volumes.falhas > 0 ? 1 : 0);
}

void calcula_figuras_checkmesh(const extrusao& e, figuras_checkmesh& f, bool completas) {
    const malha_lida& m = *e.m;
    f = figuras_checkmesh{};
    f.espessura = e.espessura;
    f.completas = completas;
    const contexto x{e, m, conta_faces(m)};
    f.faces = x.c;
    const std::int64_t nk = m.nvol_ksi, ne = m.nvol_eta;
    if (nk < 1 || ne < 1) return;

    const auto n_internas = static_cast<std::size_t>(x.c.internas);
    std::vector<double> cossenos(n_internas), volumes(static_cast<std::size_t>(m.nvol)),
        cossenos_fronteira(static_cast<std::size_t>(2 * (nk + ne))), pesos, determinantes;
    std::vector<soma_fronteira> fronteira;
    if (completas) {
        pesos.resize(n_internas);
        determinantes.resize(static_cast<std::size_t>(m.nvol));
        fronteira.resize(static_cast<std::size_t>(ne) + 1);
    }
    const calculo calc{x,
                       std::cos(limite_nao_ortogonalidade * pi / 180.0),
                       completas,
                       std::sin(limite_angulo_concavo * pi / 180.0),
                       cossenos,
                       cossenos_fronteira,
                       volumes,
                       pesos,
                       determinantes,
                       fronteira};
    // Each thread beyond the first wants enough rows to repay waking it.
    constexpr std::int64_t minimo_por_linha_execucao = std::int64_t{1} << 15;
    const std::int64_t repagam = std::min(ne, 1 + m.nvol / minimo_por_linha_execucao);
    const int n = repagam >= 2 ? tempo_execucao::reserva_linhas(static_cast<int>(
                                     std::min<std::int64_t>(tempo_execucao::linhas_de_execucao(), repagam)))
                               : 1;
    std::vector<parcial> partes(static_cast<std::size_t>(n));
    for (parcial& p : partes) {
        p.abaixo.dimensiona(nk);
        p.atual.dimensiona(nk);
        p.proxima.dimensiona(nk);
        p.sul.resize(static_cast<std::size_t>(nk));
    }
    // Part k takes the rows from 1 + k * ne / n up to the next part's first.
    // No trap is live here: an overflow gives the undefined values counted.
    auto parte = [&](int k) {
        calc.faixa(partes[static_cast<std::size_t>(k)], 1 + k * ne / n, (k + 1) * ne / n);
    };
    if (n < 2)
        parte(0);
    else
        tempo_execucao::em_linhas_mascaradas(n, parte);

    double menor_cosseno = great, menor_cosseno_fronteira = great;
    for (const parcial& p : partes)
        junta(f, p, menor_cosseno, menor_cosseno_fronteira);
    // The sums in face and cell order, as checkMesh forms them.
    auto angulo = [](double c) { return graus(std::acos(std::min(1.0, std::max(-1.0, c)))); };
    auto media = [&](const std::vector<double>& cs, double menor, double& maximo, double& medio) {
        double soma = 0.0;
        std::int64_t contados = 0;
        for (double c : cs) {
            if (!std::isfinite(c)) continue;
            soma += c;
            ++contados;
        }
        if (contados == 0) return;
        maximo = angulo(menor);
        medio = angulo(soma / static_cast<double>(contados));
    };
    media(cossenos, menor_cosseno, f.nao_ortogonalidade_max, f.nao_ortogonalidade_media);
    media(cossenos_fronteira, menor_cosseno_fronteira, f.nao_ortogonalidade_fronteira_max,
          f.nao_ortogonalidade_fronteira_media);
    for (double v : volumes)
        if (std::isfinite(v)) f.volume_total += v;
    // checkMesh starts its smallest volume at GREAT (1e15) and its largest
    // at -GREAT, so it prints 1e+15 as the smallest of cells that are all
    // larger: the figure is checkMesh's, the cells named stay the real ones.
    if (f.menor_volume > 0) f.volume_min = std::min(great, f.volume_min);
    if (f.maior_volume > 0) f.volume_max = std::max(-great, f.volume_max);
    if (completas) conclui_completas(x, f, volumes, pesos, determinantes, fronteira);
}

std::string descreve_face(const malha_lida& m, const face_extrudida& f) {
    if (f.indice < 0) return "-";
    auto volume = [&](std::int64_t i, std::int64_t j) {
        return "volume " + std::to_string((j - 1) * m.nvol_ksi + i) + " (" + std::to_string(i) + ", " +
               std::to_string(j) + ")";
    };
    if (f.interna) {
        const std::int64_t i2 = f.l == lado::leste ? f.i + 1 : f.i, j2 = f.l == lado::leste ? f.j : f.j + 1;
        return "the face between " + volume(f.i, f.j) + " and " + volume(i2, j2);
    }
    const char* onde = "";
    switch (f.l) {
        case lado::sul:
            onde = nomes_patches[0];
            break;
        case lado::norte:
            onde = nomes_patches[1];
            break;
        case lado::oeste:
            onde = nomes_patches[2];
            break;
        case lado::leste:
            onde = nomes_patches[3];
            break;
        case lado::fundo:
            return "the z = 0 face of " + volume(f.i, f.j) + " (" + nomes_patches[4] + ")";
        case lado::frente:
            return "the z = thickness face of " + volume(f.i, f.j) + " (" + nomes_patches[4] + ")";
    }
    return "the face of " + volume(f.i, f.j) + " on " + onde;
}

}  // namespace malhas_qualidade
