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

// A cell's centre, volume and aspect ratio.
struct celula_dados {
    vetor centro;
    double volume, razao_aspecto;
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

// The cells of row j, whose south faces are sul (the j = 1 boundary faces, or
// the row below's north faces). A cell's faces are summed as OpenFOAM sums
// them: the faces it owns by ascending face number (internal before
// boundary ones, boundary ones by patch), then the faces of which it is the
// neighbour, by ascending number.
void calcula_celulas(const contexto& x, std::int64_t j, linha_faces& l, const std::vector<face_dados>& sul) {
    const std::int64_t nk = x.m.nvol_ksi, ne = x.m.nvol_eta;
    for (std::int64_t i = 1; i <= nk; ++i) {
        const auto k = static_cast<std::size_t>(i - 1);
        const face_dados* faces[6];
        bool dono[6];
        int n = 0;
        auto junta = [&](const face_dados& f, bool d) {
            faces[n] = &f;
            dono[n] = d;
            ++n;
        };
        if (i < nk) junta(l.leste[k + 1], true);
        if (j < ne) junta(l.norte[k], true);
        if (j == 1) junta(sul[k], true);
        if (j == ne) junta(l.norte[k], true);
        if (i == 1) junta(l.leste[0], true);
        if (i == nk) junta(l.leste[k + 1], true);
        junta(l.fundo[k], true);
        junta(l.frente[k], true);
        if (j > 1) junta(sul[k], false);
        if (i > 1) junta(l.leste[k], false);

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

// What one run of rows finds. The sums that checkMesh forms in face or cell
// order are formed afterwards, over the whole mesh, from the values stored
// in cossenos and volumes: a sum split between threads would round
// differently.
struct parcial {
    std::int64_t faces_nao_ortogonais = 0, faces_acima_de_90 = 0, nao_ortogonalidade_indefinida = 0;
    double menor_cosseno = 0.0;
    face_extrudida pior_nao_ortogonal;
    double assimetria_max = 0.0;
    std::int64_t faces_assimetricas = 0, assimetria_indefinida = 0;
    face_extrudida pior_assimetria;
    double razao_aspecto_max = 0.0;
    std::int64_t celulas_alongadas = 0, pior_razao_aspecto = 0, razao_aspecto_indefinida = 0;
    double volume_min = 0.0, volume_max = 0.0;
    std::int64_t volumes_nao_positivos = 0, menor_volume = 0, maior_volume = 0, volume_indefinido = 0;

    // Scratch rows, made before the threads start: a part may not throw.
    linha_faces abaixo, atual, proxima;
    std::vector<face_dados> sul;
};

struct calculo {
    const contexto& x;
    double limite_cosseno;
    std::vector<double>& cossenos;  // by internal face
    std::vector<double>& volumes;   // by cell

    // Volume numbers start at 1; 0 is none.
    static std::int64_t nenhum_se_zero(std::int64_t numero) { return numero == 0 ? -1 : numero; }

    // The first of equal values, in face or cell order, is the worst; a
    // negative indice_atual is none yet.
    static bool pior(double v, std::int64_t indice, double atual, std::int64_t indice_atual, bool maior) {
        if (indice_atual < 0) return true;
        if (v == atual) return indice < indice_atual;
        return maior ? v > atual : v < atual;
    }

    void face_interna(parcial& p, std::int64_t i, std::int64_t j, lado l, const face_dados& g,
                      const vetor& dono, const vetor& vizinho) const {
        const std::int64_t indice = x.indice(i, j, l, true);
        const vetor d = vizinho - dono;
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
                p.pior_nao_ortogonal = {indice, i, j, l, true};
            }
        }
        assimetria_face(p, assimetria(g, dono, &vizinho), {indice, i, j, l, true});
    }

    void face_fronteira(parcial& p, std::int64_t i, std::int64_t j, lado l, const face_dados& g,
                        const vetor& dono) const {
        assimetria_face(p, assimetria(g, dono, nullptr), {x.indice(i, j, l, false), i, j, l, false});
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
        calcula_celulas(x, de, p.atual, *sul);
        for (std::int64_t j = de; j <= ate; ++j) {
            if (j < ne) {
                calcula_faces(x, j + 1, p.proxima);
                calcula_celulas(x, j + 1, p.proxima, p.atual.norte);
            }
            const linha_faces& l = p.atual;
            for (std::int64_t i = 1; i <= nk; ++i) {
                const auto k = static_cast<std::size_t>(i - 1);
                const vetor& centro = l.celulas[k].centro;
                celula(p, l.celulas[k], (j - 1) * nk + i);
                if (i < nk)
                    face_interna(p, i, j, lado::leste, l.leste[k + 1], centro, l.celulas[k + 1].centro);
                if (j < ne)
                    face_interna(p, i, j, lado::norte, l.norte[k], centro, p.proxima.celulas[k].centro);
                if (j == 1) face_fronteira(p, i, j, lado::sul, (*sul)[k], centro);
                if (j == ne) face_fronteira(p, i, j, lado::norte, l.norte[k], centro);
                if (i == 1) face_fronteira(p, i, j, lado::oeste, l.leste[0], centro);
                if (i == nk) face_fronteira(p, i, j, lado::leste, l.leste[k + 1], centro);
                face_fronteira(p, i, j, lado::fundo, l.fundo[k], centro);
                face_fronteira(p, i, j, lado::frente, l.frente[k], centro);
            }
            std::swap(p.atual, p.proxima);
        }
    }
};

// The runs' findings in row order: the first of equal worst values is kept.
void junta(figuras_checkmesh& f, const parcial& p, double& menor_cosseno) {
    f.faces_nao_ortogonais += p.faces_nao_ortogonais;
    f.faces_acima_de_90 += p.faces_acima_de_90;
    f.nao_ortogonalidade_indefinida += p.nao_ortogonalidade_indefinida;
    if (p.pior_nao_ortogonal.indice >= 0 &&
        (f.pior_nao_ortogonal.indice < 0 || p.menor_cosseno < menor_cosseno)) {
        menor_cosseno = p.menor_cosseno;
        f.pior_nao_ortogonal = p.pior_nao_ortogonal;
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
}

}  // namespace

void calcula_figuras_checkmesh(const extrusao& e, figuras_checkmesh& f) {
    const malha_lida& m = *e.m;
    f = figuras_checkmesh{};
    f.espessura = e.espessura;
    const contexto x{e, m, conta_faces(m)};
    f.faces = x.c;
    const std::int64_t nk = m.nvol_ksi, ne = m.nvol_eta;
    if (nk < 1 || ne < 1) return;

    std::vector<double> cossenos(static_cast<std::size_t>(x.c.internas)),
        volumes(static_cast<std::size_t>(m.nvol));
    const calculo calc{x, std::cos(limite_nao_ortogonalidade * pi / 180.0), cossenos, volumes};
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

    double menor_cosseno = great;
    for (const parcial& p : partes)
        junta(f, p, menor_cosseno);
    // The sums in face and cell order, as checkMesh forms them.
    double soma = 0.0;
    std::int64_t contados = 0;
    for (double c : cossenos) {
        if (!std::isfinite(c)) continue;
        soma += c;
        ++contados;
    }
    if (contados > 0) {
        auto angulo = [](double c) { return graus(std::acos(std::min(1.0, std::max(-1.0, c)))); };
        f.nao_ortogonalidade_max = angulo(menor_cosseno);
        f.nao_ortogonalidade_media = angulo(soma / static_cast<double>(contados));
    }
    for (double v : volumes)
        if (std::isfinite(v)) f.volume_total += v;
    // checkMesh starts its smallest volume at GREAT (1e15) and its largest
    // at -GREAT, so it prints 1e+15 as the smallest of cells that are all
    // larger: the figure is checkMesh's, the cells named stay the real ones.
    if (f.menor_volume > 0) f.volume_min = std::min(great, f.volume_min);
    if (f.maior_volume > 0) f.volume_max = std::max(-great, f.volume_max);
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
