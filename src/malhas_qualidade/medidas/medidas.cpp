#include "malhas_qualidade/medidas/medidas.hpp"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <limits>

#include "tempo_execucao/fios.hpp"

namespace malhas_qualidade {

namespace {

constexpr double nao_numero = std::numeric_limits<double>::quiet_NaN();

}  // namespace

medidas_quadrilatero mede_quadrilatero(const double px[4], const double py[4], bool com_angulos) {
    medidas_quadrilatero q;
    // Edges L0 .. L3 leave the corners 0 .. 3.
    double ex[4], ey[4], l[4];
    for (int k = 0; k < 4; ++k) {
        ex[k] = px[(k + 1) % 4] - px[k];
        ey[k] = py[(k + 1) % 4] - py[k];
        l[k] = std::sqrt(ex[k] * ex[k] + ey[k] * ey[k]);
    }
    q.menor_aresta = std::min(std::min(l[0], l[1]), std::min(l[2], l[3]));
    bool finito = true;
    for (int k = 0; k < 4; ++k) {
        const int a = (k + 3) % 4;  // the edge that arrives at corner k
        q.c[k] = ex[a] * ey[k] - ey[a] * ex[k];
        finito = finito && std::isfinite(l[k]) && std::isfinite(q.c[k]);
    }
    // Coordinates whose differences, squares or products leave the double
    // range give no measure at all: a value made of infinities would be
    // a number the quadrilateral does not have.
    if (!finito) {
        q.area = q.razao_aspecto = q.assimetria = q.jacobiano_escalado = nao_numero;
        q.angulo_minimo = q.angulo_maximo = q.menor_aresta = nao_numero;
        return q;
    }

    // The quadrilateral's own normal is that of its two principal axes,
    // X1 = L0 - L2 and X2 = L1 - L3: its sign in z decides how every corner
    // is measured, so a clockwise volume measures like its mirror image.
    const double x1x = ex[0] - ex[2], x1y = ey[0] - ey[2];
    const double x2x = ex[1] - ex[3], x2y = ey[1] - ey[3];
    const double normal = x1x * x2y - x1y * x2x;
    const double sinal = normal > 0.0 ? 1.0 : (normal < 0.0 ? -1.0 : 0.0);
    double a[4];
    for (int k = 0; k < 4; ++k)
        a[k] = sinal * q.c[k];

    q.area = 0.25 * (a[0] + a[1] + a[2] + a[3]);

    // For a convex quadrilateral |c1| + |c3| is twice the area; Verdict
    // takes this form, which stays positive for a non-convex one too.
    const double maior = std::max(std::max(l[0], l[1]), std::max(l[2], l[3]));
    const double denominador = std::fabs(q.c[1]) + std::fabs(q.c[3]);
    q.razao_aspecto = denominador < DBL_MIN
                          ? valor_enorme
                          : std::min(0.5 * maior * (l[0] + l[1] + l[2] + l[3]) / denominador, valor_enorme);

    const double n1 = std::sqrt(x1x * x1x + x1y * x1y);
    const double n2 = std::sqrt(x2x * x2x + x2y * x2y);
    q.assimetria =
        (n1 < DBL_MIN || n2 < DBL_MIN) ? 0.0 : std::fabs((x1x / n1) * (x2x / n2) + (x1y / n1) * (x2y / n2));

    if (q.menor_aresta < DBL_MIN) {
        // A collapsed edge: Verdict's conventions.
        q.jacobiano_escalado = 0.0;
        q.angulo_minimo = 360.0;
        q.angulo_maximo = 0.0;
        return q;
    }
    double menor_jac = std::numeric_limits<double>::max();
    double maior_cos = -2.0, menor_cos = 2.0;
    for (int k = 0; k < 4; ++k) {
        const int e = (k + 3) % 4;
        menor_jac = std::min(menor_jac, a[k] / (l[e] * l[k]));
        if (!com_angulos) continue;
        // The angle between -L(k-1) and L(k); rounding may carry the cosine
        // of a straight corner just past 1.
        const double cosseno = std::clamp(-(ex[e] * ex[k] + ey[e] * ey[k]) / (l[e] * l[k]), -1.0, 1.0);
        maior_cos = std::max(maior_cos, cosseno);
        menor_cos = std::min(menor_cos, cosseno);
    }
    q.jacobiano_escalado = menor_jac;
    if (!com_angulos) return q;
    // acos falls as the cosine grows: the smallest angle has the largest cosine.
    q.angulo_minimo = graus(std::acos(maior_cos));
    q.angulo_maximo = graus(std::acos(menor_cos));
    // A corner turning against the quadrilateral's normal is a reflex one:
    // Verdict reports its angle as the largest, measured round the outside.
    if (a[0] < 0.0 || a[1] < 0.0 || a[2] < 0.0 || a[3] < 0.0) q.angulo_maximo = 360.0 - q.angulo_maximo;
    return q;
}

bool invertido(const medidas_quadrilatero& q, int orientacao) {
    for (double c : q.c) {
        if (c * orientacao < 0.0) return true;
    }
    return false;
}

double nao_ortogonalidade(double xe, double ye, double xw, double yw, double xn, double yn, double xs,
                          double ys) {
    double vetorial = 0.0, escalar = 0.0;
    termos_nao_ortogonalidade(xe, ye, xw, yw, xn, yn, xs, ys, vetorial, escalar);
    // Infinite terms would give an angle of the infinities, not of the grid.
    if (!std::isfinite(vetorial) || !std::isfinite(escalar)) return nao_numero;
    return std::fabs(90.0 - graus(std::atan2(std::fabs(vetorial), escalar)));
}

double nao_ortogonalidade_volume(const malha_lida& m, const medidas_malha& med, std::int64_t b) {
    double maior = nao_numero;
    for (std::int64_t k : cantos(m, b)) {
        const double n = med.nao_ortogonalidade[static_cast<std::size_t>(k)];
        if (!std::isnan(n) && !(n <= maior)) maior = n;
    }
    return maior;
}

double razao_crescimento(double a, double b) {
    if (std::isnan(a) || std::isnan(b)) return nao_numero;
    a = std::fabs(a);
    b = std::fabs(b);
    if (a == b) return 1.0;
    if (a == 0.0 || b == 0.0) return valor_enorme;
    return std::min(a > b ? a / b : b / a, valor_enorme);
}

namespace {

// The volumes of rows de .. ate: their measures, the signs of their corners
// in med.invertido, and in med.crescimento_ksi, which is filled only later,
// the sum of their corner cross products; per row, the shortest edge.
// Writes what these rows alone decide, so that it may be run again.
void mede_volumes(const malha_lida& m, medidas_malha& med, std::vector<double>& aresta_linha, std::int64_t de,
                  std::int64_t ate) {
    for (std::int64_t j = de; j <= ate; ++j) {
        double menor_aresta = std::numeric_limits<double>::infinity();
        for (std::int64_t i = 1; i <= m.nvol_ksi; ++i) {
            const std::int64_t p = volume(m, i, j);
            const auto v = cantos(m, vertice(m, i, j));
            const double px[4] = {m.x[v[0]], m.x[v[1]], m.x[v[2]], m.x[v[3]]};
            const double py[4] = {m.y[v[0]], m.y[v[1]], m.y[v[2]], m.y[v[3]]};
            const medidas_quadrilatero q = mede_quadrilatero(px, py);
            med.area[p] = q.area;
            med.razao_aspecto[p] = q.razao_aspecto;
            med.assimetria[p] = q.assimetria;
            med.jacobiano_escalado[p] = q.jacobiano_escalado;
            med.angulo_minimo[p] = q.angulo_minimo;
            med.angulo_maximo[p] = q.angulo_maximo;
            std::uint8_t sinais = 0;
            for (int k = 0; k < 4; ++k) {
                if (q.c[k] < 0.0) sinais |= static_cast<std::uint8_t>(1u << k);
                if (q.c[k] > 0.0) sinais |= static_cast<std::uint8_t>(16u << k);
            }
            med.invertido[p] = sinais;
            med.crescimento_ksi[p] = q.c[0] + q.c[1] + q.c[2] + q.c[3];
            if (q.menor_aresta < menor_aresta) menor_aresta = q.menor_aresta;  // NaN: no edge to measure
        }
        aresta_linha[static_cast<std::size_t>(j)] = menor_aresta;
    }
}

// The growth ratios of the volumes of rows de .. ate, from their areas.
void mede_crescimento(const malha_lida& m, medidas_malha& med, std::int64_t de, std::int64_t ate) {
    for (std::int64_t j = de; j <= ate; ++j) {
        for (std::int64_t i = 1; i <= m.nvol_ksi; ++i) {
            const std::int64_t p = volume(m, i, j);
            // An undefined ratio to any neighbour leaves the largest undefined.
            auto maior = [](double g, double r) {
                return std::isnan(g) || std::isnan(r) ? nao_numero : std::max(g, r);
            };
            double gk = std::isnan(med.area[p]) ? nao_numero : 1.0, ge = gk;
            if (i > 1) gk = maior(gk, razao_crescimento(med.area[p], med.area[p - 1]));
            if (i < m.nvol_ksi) gk = maior(gk, razao_crescimento(med.area[p], med.area[p + 1]));
            if (j > 1) ge = maior(ge, razao_crescimento(med.area[p], med.area[p - m.nvol_ksi]));
            if (j < m.nvol_eta) ge = maior(ge, razao_crescimento(med.area[p], med.area[p + m.nvol_ksi]));
            med.crescimento_ksi[p] = gk;
            med.crescimento_eta[p] = ge;
        }
    }
}

// The non-orthogonality at the interior vertices of rows de .. ate.
void mede_vertices(const malha_lida& m, medidas_malha& med, std::int64_t de, std::int64_t ate) {
    const std::int64_t nk = m.nvert_ksi;
    for (std::int64_t j = de; j <= ate; ++j) {
        for (std::int64_t i = 2; i <= nk - 1; ++i) {
            const std::int64_t v = vertice(m, i, j);
            med.nao_ortogonalidade[v] =
                nao_ortogonalidade(m.x[v + 1], m.y[v + 1], m.x[v - 1], m.y[v - 1], m.x[v + nk], m.y[v + nk],
                                   m.x[v - nk], m.y[v - nk]);
        }
    }
}

// The arrays of the measures at their sizes, zero (not a number at the
// vertices): taken here, where a want of memory is reported, and filled on
// the run's threads, one array each in turn, since writing a few hundred
// megabytes for the first time costs about as much as measuring.
void dimensiona_medidas(medidas_malha& med, std::size_t nvol, std::size_t nvert) {
    // Bits 0-3 of invertido: corners turning clockwise; bits 4-7:
    // counter-clockwise. Which of them is inverted is known once the whole
    // mesh's orientation is.
    std::vector<double>* const por_volume[] = {
        &med.area,          &med.razao_aspecto, &med.assimetria,      &med.jacobiano_escalado,
        &med.angulo_minimo, &med.angulo_maximo, &med.crescimento_ksi, &med.crescimento_eta};
    constexpr int n_arrays = 10;
    for (auto* v : por_volume) {
        v->clear();
        v->reserve(nvol);
    }
    med.invertido.clear();
    med.invertido.reserve(nvol);
    med.nao_ortogonalidade.clear();
    med.nao_ortogonalidade.reserve(nvert);
    // Within what was reserved, resize allocates nothing and cannot throw.
    auto enche = [&](int k) {
        if (k < 8)
            por_volume[k]->resize(nvol, 0.0);
        else if (k == 8)
            med.invertido.resize(nvol, 0);
        else
            med.nao_ortogonalidade.resize(nvert, nao_numero);
    };
    constexpr std::size_t minimo_por_fio = std::size_t{1} << 16;
    const int n =
        nvol < minimo_por_fio ? 1 : tempo_execucao::reserva_fios(tempo_execucao::fios_de_execucao());
    if (n < 2) {
        for (int k = 0; k < n_arrays; ++k)
            enche(k);
        return;
    }
    tempo_execucao::em_fios_mascarados(n, [&](int fio) {
        for (int k = fio; k < n_arrays; k += n)
            enche(k);
    });
}

}  // namespace

// Rows of volumes and of vertices on the run's threads; what is summed over
// the whole mesh (the signed area that gives the orientation) is summed
// afterwards in volume order, and the shortest edge is taken over the rows
// in their order by the same rule as over the volumes: the one-thread
// result, to the bit.
void calcula_medidas(const malha_lida& m, medidas_malha& med) {
    const std::size_t nvol = static_cast<std::size_t>(m.nvol) + 1;
    dimensiona_medidas(med, nvol, static_cast<std::size_t>(m.nvert) + 1);
    std::vector<double> aresta_linha(static_cast<std::size_t>(m.nvol_eta) + 1);

    tempo_execucao::linhas_independentes(
        1, m.nvol_eta, 4 * std::int64_t{m.nvol_ksi},
        [&](std::int64_t de, std::int64_t ate) { mede_volumes(m, med, aresta_linha, de, ate); });
    double area_com_sinal = 0.0;
    for (std::size_t p = 1; p < nvol; ++p)
        if (const double c = med.crescimento_ksi[p]; std::isfinite(c)) area_com_sinal += c;
    double menor_aresta = std::numeric_limits<double>::infinity();
    for (std::int64_t j = 1; j <= m.nvol_eta; ++j)
        if (aresta_linha[static_cast<std::size_t>(j)] < menor_aresta)
            menor_aresta = aresta_linha[static_cast<std::size_t>(j)];
    med.orientacao = area_com_sinal < 0.0 ? -1 : 1;
    med.menor_aresta = menor_aresta;
    const std::uint8_t contra = med.orientacao > 0 ? 0x0F : 0xF0;
    for (std::size_t p = 1; p < nvol; ++p)
        med.invertido[p] = (med.invertido[p] & contra) != 0 ? 1 : 0;

    tempo_execucao::linhas_independentes(1, m.nvol_eta, m.nvol_ksi, [&](std::int64_t de, std::int64_t ate) {
        mede_crescimento(m, med, de, ate);
    });
    tempo_execucao::linhas_independentes(
        2, m.nvert_eta - 1, 2 * std::int64_t{m.nvert_ksi},
        [&](std::int64_t de, std::int64_t ate) { mede_vertices(m, med, de, ate); });
}

}  // namespace malhas_qualidade
