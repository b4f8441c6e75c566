// The sweep of faixas.hpp on one kernel's lanes; compiled once per kernel.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>

#include "solvers/equacao_ponto.hpp"
#include "solvers/faixas.hpp"
#include "tempo_execucao/nucleo_compilado.hpp"
#include "variaveis/numeracao.hpp"

namespace solvers::faixas::MALHAS_NUCLEO {

namespace {

using T = tempo_execucao::MALHAS_NUCLEO::pistas;
using valor = T::valor;
constexpr int L = T::largura;
constexpr unsigned todas = (1u << L) - 1;

// Bands through the steps at once. A step's chain (the west neighbour's
// product, four additions and the division) is some thirty cycles long, and
// a band's step of any kernel takes less, so one band would leave the
// processor waiting; with two, the divisions, which no kernel may replace,
// keep the divider busy on every kernel measured (AMD Zen 4: one vector of
// eight divisions in about ten cycles, as many per cycle as with four).
// Three or more run out of registers.
constexpr int em_voo = 2;
static_assert(em_voo <= maximo_em_voo);

// What a band carries from step to step, for each coordinate: the results
// of the last three steps moved up a lane (the south-east, south and
// south-west neighbours of the next step), the old values of the next two
// steps moved down a lane (its north-west and north neighbours), and the
// result of the last step (its west neighbour).
template <int C>
struct estado {
    valor u1[C], u2[C], u3[C];
    valor d1[C], d2[C];
    valor r1[C];
};

// One band of one sweep: its step 0, those of the bands below and above, its
// packed coefficients (step 2 first), and the lanes that hold interior rows.
struct faixa_em_voo {
    double* f;
    const double* abaixo;
    const double* acima;
    const double* a;
    unsigned linhas;
};

// The lanes whose column at step t is interior.
inline unsigned colunas_interiores(std::int64_t t, std::int64_t n_ksi) {
    unsigned bits = 0;
    for (int r = 0; r < L; ++r) {
        const std::int64_t c = t - 2 * r;
        if (c >= 2 && c <= n_ksi - 1) bits |= 1u << r;
    }
    return bits;
}

// The state before step 2: the values in the copy, which no update of this
// band has touched.
template <int C>
MALHAS_SEMPRE_INLINE void inicia(const faixa_em_voo& s, estado<C>& e) {
    constexpr std::int64_t pp = C * L;
    for (int c = 0; c < C; ++c) {
        const std::int64_t o = c * L;
        e.r1[c] = T::carrega(s.f + pp + o);
        e.u3[c] = T::sobe(T::carrega(s.f - pp + o), s.abaixo + (2 * L - 1) * pp + o + (L - 1));
        e.u2[c] = T::sobe(T::carrega(s.f + o), s.abaixo + (2 * L) * pp + o + (L - 1));
        e.u1[c] = T::sobe(e.r1[c], s.abaixo + (2 * L + 1) * pp + o + (L - 1));
        e.d1[c] = T::desce(T::carrega(s.f + 3 * pp + o), s.acima + (3 - 2 * L) * pp + o);
        e.d2[c] = T::desce(T::carrega(s.f + 4 * pp + o), s.acima + (4 - 2 * L) * pp + o);
    }
}

// The nine coefficients of a step, in the order of the sum, from a full or a
// compact pack.
template <bool compacto>
struct coeficientes_do_passo {
    valor a[coeficientes_por_vertice];
    MALHAS_SEMPRE_INLINE explicit coeficientes_do_passo(const double* p) {
        if constexpr (compacto) {
            const valor asw = T::carrega(p), as = T::carrega(p + L), an = T::carrega(p + 2 * L);
            const valor aw = T::carrega(p + 3 * L), ae = T::carrega(p + 4 * L), menos = T::troca_sinal(asw);
            a[0] = asw;
            a[1] = as;
            a[2] = an;
            a[3] = menos;  // anw
            a[4] = aw;
            a[5] = ae;
            a[6] = menos;  // ase
            a[7] = asw;    // ane
            a[8] = T::soma(T::soma(T::soma(aw, an), ae), as);
        } else {
            for (int k = 0; k < coeficientes_por_vertice; ++k)
                a[k] = T::carrega(p + k * L);
        }
    }
};

// Step t of a band. With mascarado, only the lanes of bits take their new
// value.
template <int C, bool mascarado, bool compacto>
MALHAS_SEMPRE_INLINE void passo(const faixa_em_voo& s, std::int64_t t, estado<C>& e, unsigned bits) {
    constexpr std::int64_t pp = C * L;
    constexpr std::int64_t no_pacote = compacto ? coeficientes_compactos : coeficientes_por_vertice;
    double* const p = s.f + t * pp;
    const coeficientes_do_passo<compacto> a(s.a + (t - 2) * (no_pacote * L));
    // The top lane of the north-east neighbours: row jb + L at column
    // t + 3 - 2L, lane 0 of the band above. The bottom lane of the south
    // neighbours that this step's result gives: row jb - 1 at column t + 2,
    // the top lane of the band below.
    const double* const norte = s.acima + (t + 3 - 2 * L) * pp;
    const double* const sul = s.abaixo + (t + 2 * L) * pp + (L - 1);
    for (int c = 0; c < C; ++c) {
        const std::int64_t o = c * L;
        const valor d3 = T::desce(T::carrega(p + 3 * pp + o), norte + o);
        valor novo = equacao_ponto<T>([&](int k) { return a.a[k]; },
                                      [&](int k) -> valor {
                                          switch (k) {
                                              case 0:
                                                  return e.u3[c];
                                              case 1:
                                                  return e.u2[c];
                                              case 2:
                                                  return e.d2[c];
                                              case 3:
                                                  return e.d1[c];
                                              case 5:
                                                  return T::carrega(p + pp + o);
                                              case 6:
                                                  return e.u1[c];
                                              default:
                                                  return d3;
                                          }
                                      },
                                      e.r1[c]);
        if constexpr (mascarado) novo = T::mistura(bits, novo, T::carrega(p + o));
        T::guarda(p + o, novo);
        e.u3[c] = e.u2[c];
        e.u2[c] = e.u1[c];
        e.u1[c] = T::sobe(novo, sul + o);
        e.d1[c] = e.d2[c];
        e.d2[c] = d3;
        e.r1[c] = novo;
    }
}

// Step t of a band in flight, if it has one.
template <int C, bool compacto>
MALHAS_SEMPRE_INLINE void passo_em_voo(const geometria& g, const faixa_em_voo& s, estado<C>& e,
                                       std::int64_t t) {
    if (t < 2 || t > g.ultimo_passo) return;
    if (t == 2) inicia<C>(s, e);
    if (s.linhas == todas && t >= 2 * L && t <= g.n_ksi - 1) {
        passo<C, false, compacto>(s, t, e, todas);
    } else {
        passo<C, true, compacto>(s, t, e, s.linhas & colunas_interiores(t, g.n_ksi));
    }
}

// K bands through the steps, each 2L steps behind the one before.
template <int C, bool compacto, int K>
void em_voo_de(const geometria& g, const faixa_em_voo (&s)[K]) {
    estado<C> e[K];
    const std::int64_t fim = g.ultimo_passo + 2 * L * (K - 1);
    for (std::int64_t t = 2; t <= fim; ++t) {
        [&]<int... k>(std::integer_sequence<int, k...>) {
            (passo_em_voo<C, compacto>(g, s[k], e[k], t - 2 * L * k), ...);
        }
        (std::make_integer_sequence<int, K>{});
    }
}

// The steps of a band, from primeiro to ultimo, in blocks of L whose every
// lane lies between columns de and ate of an existing row, and the steps
// before and after those blocks; the blocks are then one transposition each.
struct blocos {
    std::int64_t de = 0, ate = -1;  // the first step of the first and of the last block
};
blocos blocos_inteiros(std::int64_t primeiro, std::int64_t ultimo, std::int64_t de, std::int64_t ate) {
    blocos b;
    b.de = std::max(primeiro, de + 2 * (L - 1));     // lane L - 1 from column de
    const std::int64_t fim = std::min(ultimo, ate);  // lane 0 up to column ate
    b.ate = b.de + (fim - b.de + 1) / L * L - L;
    return b;
}

// Lane r of step t from its vertex, for the steps outside the blocks.
template <class F>
inline void fora_dos_blocos(std::int64_t primeiro, std::int64_t ultimo, const blocos& b, F&& faz) {
    for (std::int64_t t = primeiro; t <= ultimo; ++t) {
        if (b.ate >= b.de && t >= b.de && t < b.ate + L) t = b.ate + L;
        if (t > ultimo) break;
        for (int r = 0; r < L; ++r)
            faz(t, r);
    }
}

}  // namespace

namespace {

// Whether vertices w to w + P::largura - 1 have the compact shape.
template <class P>
inline bool compacto_em(const coeficientes& c, std::int64_t w) {
    const auto asw = P::carrega_u(c.asw + w), menos = P::troca_sinal(asw);
    const auto soma =
        P::soma(P::soma(P::soma(P::carrega_u(c.aw + w), P::carrega_u(c.an + w)), P::carrega_u(c.ae + w)),
                P::carrega_u(c.as + w));
    return P::iguais(P::carrega_u(c.ane + w), asw) && P::iguais(P::carrega_u(c.anw + w), menos) &&
           P::iguais(P::carrega_u(c.ase + w), menos) && P::iguais(P::carrega_u(c.ap + w), soma);
}

}  // namespace

bool compactaveis(const varredura& v, std::int64_t b) {
    const geometria& g = v.g;
    const std::int64_t n_ksi = g.n_ksi;
    bool sim = true;
    for (std::int64_t j = 2 + b * L; j <= std::min(2 + b * L + L - 1, g.n_eta - 1); ++j) {
        tempo_execucao::em_pistas<T>(variaveis::numero_vertice(2, j, n_ksi),
                                     variaveis::numero_vertice(n_ksi - 1, j, n_ksi),
                                     [&]<class P>(std::int64_t w) { sim = compacto_em<P>(v.c, w) && sim; });
        if (!sim) return false;
    }
    return true;
}

void empacota(const varredura& v, std::int64_t b, double* destino) {
    const geometria& g = v.g;
    const std::int64_t n_ksi = g.n_ksi, jb = 2 + b * L;
    const bool compacto = g.no_pacote == coeficientes_compactos;
    // The arrays in the order of the pack, and what a lane with nothing to
    // update takes: no term but its own west value (compact, as ap is then
    // aw), or no term and a divisor of 1.
    const double* const completos[coeficientes_por_vertice] = {v.c.asw, v.c.as,  v.c.an,  v.c.anw, v.c.aw,
                                                               v.c.ae,  v.c.ase, v.c.ane, v.c.ap};
    const double* const compactos[coeficientes_compactos] = {v.c.asw, v.c.as, v.c.an, v.c.aw, v.c.ae};
    const double* const* const a = compacto ? compactos : completos;
    const std::int64_t n = g.no_pacote, por_passo = n * L;
    auto vazio = [&](std::int64_t k) {
        return k == (compacto ? 3 : coeficientes_por_vertice - 1) ? 1.0 : 0.0;
    };
    const bool inteira = jb + L - 1 <= g.n_eta - 1;
    const blocos bl = inteira ? blocos_inteiros(2, g.ultimo_passo, 2, n_ksi - 1) : blocos{};
    for (std::int64_t k = 0; k < n; ++k) {
        for (std::int64_t t0 = bl.de; t0 <= bl.ate; t0 += L) {
            valor m[L];
            for (int r = 0; r < L; ++r)
                m[r] = T::carrega_u(a[k] + (jb + r - 1) * n_ksi + t0 - 2 * r);
            T::transpoe(m);
            for (int q = 0; q < L; ++q)
                T::guarda(destino + (t0 + q - 2) * por_passo + k * L, m[q]);
        }
    }
    fora_dos_blocos(2, g.ultimo_passo, bl, [&](std::int64_t t, int r) {
        const std::int64_t j = jb + r, i = t - 2 * r;
        const bool interior = j <= g.n_eta - 1 && i >= 2 && i <= n_ksi - 1;
        double* const d = destino + (t - 2) * por_passo + r;
        for (std::int64_t k = 0; k < n; ++k)
            d[k * L] = interior ? a[k][variaveis::numero_vertice(i, j, n_ksi)] : vazio(k);
    });
}

void copia_para_faixas(const geometria& g, double* malha, double* const* phi, std::int64_t de,
                       std::int64_t ate) {
    const std::int64_t n_ksi = g.n_ksi, pp = g.por_passo();
    for (std::int64_t b = de; b <= ate; ++b) {
        const std::int64_t jb = 2 + b * L;
        const bool inteira = jb >= 1 && jb + L - 1 <= g.n_eta;
        const std::int64_t ultimo = n_ksi + 2 * (L - 1);
        const blocos bl = inteira ? blocos_inteiros(1, ultimo, 1, n_ksi) : blocos{};
        double* const f = malha + g.posicao(b, 0);
        for (std::int64_t c = 0; c < g.coordenadas; ++c) {
            for (std::int64_t t0 = bl.de; t0 <= bl.ate; t0 += L) {
                valor m[L];
                for (int r = 0; r < L; ++r)
                    m[r] = T::carrega_u(phi[c] + (jb + r - 1) * n_ksi + t0 - 2 * r);
                T::transpoe(m);
                for (int q = 0; q < L; ++q)
                    T::guarda(f + (t0 + q) * pp + c * L, m[q]);
            }
        }
        fora_dos_blocos(1, ultimo, bl, [&](std::int64_t t, int r) {
            const std::int64_t j = jb + r, i = t - 2 * r;
            if (j < 1 || j > g.n_eta || i < 1 || i > n_ksi) return;  // no vertex: stays clear
            for (std::int64_t c = 0; c < g.coordenadas; ++c)
                f[t * pp + c * L + r] = phi[c][variaveis::numero_vertice(i, j, n_ksi)];
        });
    }
}

void copia_das_faixas(const geometria& g, const double* malha, double* const* phi, std::int64_t de,
                      std::int64_t ate) {
    const std::int64_t n_ksi = g.n_ksi, pp = g.por_passo();
    for (std::int64_t b = de; b <= ate; ++b) {
        const std::int64_t jb = 2 + b * L;
        const bool inteira = jb + L - 1 <= g.n_eta - 1;
        const blocos bl = inteira ? blocos_inteiros(2, g.ultimo_passo, 2, n_ksi - 1) : blocos{};
        const double* const f = malha + g.posicao(b, 0);
        for (std::int64_t c = 0; c < g.coordenadas; ++c) {
            for (std::int64_t t0 = bl.de; t0 <= bl.ate; t0 += L) {
                valor m[L];
                for (int q = 0; q < L; ++q)
                    m[q] = T::carrega(f + (t0 + q) * pp + c * L);
                T::transpoe(m);
                for (int r = 0; r < L; ++r)
                    T::guarda_u(phi[c] + (jb + r - 1) * n_ksi + t0 - 2 * r, m[r]);
            }
        }
        fora_dos_blocos(2, g.ultimo_passo, bl, [&](std::int64_t t, int r) {
            const std::int64_t j = jb + r, i = t - 2 * r;
            if (j > g.n_eta - 1 || i < 2 || i > n_ksi - 1) return;
            for (std::int64_t c = 0; c < g.coordenadas; ++c)
                phi[c][variaveis::numero_vertice(i, j, n_ksi)] = f[t * pp + c * L + r];
        });
    }
}

namespace {

template <int C, bool compacto>
void varre_grupo_de(const varredura& v, double* anel, std::int64_t g, espera_faixa espera,
                    espera_faixa avancou) {
    const geometria& G = v.g;
    const std::int64_t no_anel = faixas_no_anel(g);
    auto faixa = [&](std::int64_t b) {
        faixa_em_voo s;
        s.f = v.malha + G.posicao(b, 0);
        s.abaixo = v.malha + G.posicao(b - 1, 0);
        s.acima = v.malha + G.posicao(b + 1, 0);
        s.a = anel != nullptr ? anel + (b % no_anel) * G.por_pacote() : v.pacotes + b * G.por_pacote();
        const std::int64_t alem = 2 + b * L + L - G.n_eta;  // lanes beyond the last interior row
        s.linhas = alem <= 0 ? todas : todas >> alem;
        return s;
    };
    std::int64_t banda[em_voo], varredura_de[em_voo];
    int pendentes = 0;
    auto passa = [&](int de, int ate, auto&& executa) {
        std::int64_t primeira = -1, ultima = -1;
        for (int k = de; k < ate; ++k) {
            if (varredura_de[k] == 0 && banda[k] > primeira) primeira = banda[k];
            if (varredura_de[k] == g - 1 && banda[k] > ultima) ultima = banda[k];
        }
        if (primeira >= 0) espera(primeira);
        executa();
        if (ultima >= 0) avancou(ultima);
    };
    for (std::int64_t ordem = 0; ordem <= G.faixas + g - 2; ++ordem) {
        for (std::int64_t s = 0; s < g; ++s) {
            const std::int64_t b = ordem - s;
            if (b < 0) break;
            if (b >= G.faixas) continue;
            if (s == 0 && anel != nullptr) empacota(v, b, anel + (b % no_anel) * G.por_pacote());
            banda[pendentes] = b;
            varredura_de[pendentes] = s;
            if (++pendentes == em_voo) {
                passa(0, em_voo, [&] {
                    faixa_em_voo f[em_voo];
                    for (int k = 0; k < em_voo; ++k)
                        f[k] = faixa(banda[k]);
                    em_voo_de<C, compacto, em_voo>(G, f);
                });
                pendentes = 0;
            }
        }
    }
    for (int k = 0; k < pendentes; ++k) {
        passa(k, k + 1, [&] {
            const faixa_em_voo f[1] = {faixa(banda[k])};
            em_voo_de<C, compacto, 1>(G, f);
        });
    }
}

}  // namespace

void varre_grupo(const varredura& v, double* anel, std::int64_t g, espera_faixa espera,
                 espera_faixa avancou) {
    const bool compacto = v.g.no_pacote == coeficientes_compactos;
    if (v.g.coordenadas == 2) {
        if (compacto) {
            varre_grupo_de<2, true>(v, anel, g, espera, avancou);
        } else {
            varre_grupo_de<2, false>(v, anel, g, espera, avancou);
        }
    } else {
        if (compacto) {
            varre_grupo_de<1, true>(v, anel, g, espera, avancou);
        } else {
            varre_grupo_de<1, false>(v, anel, g, espera, avancou);
        }
    }
}

}  // namespace solvers::faixas::MALHAS_NUCLEO
