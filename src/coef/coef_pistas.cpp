// The stencil coefficients on one kernel's lanes; compiled once per kernel.
#include "coef/coef_pistas.hpp"

#include "tempo_execucao/nucleo_compilado.hpp"
#include "variaveis/variaveis.hpp"

namespace coef::MALHAS_NUCLEO {

namespace {

// The vertices v to v + T::largura - 1, each by the plain loop's expressions:
// f from the stored jac, the halves of the control functions times f and -f,
// and ap summed from the four diagonal coefficients in the plain loop's order.
template <class T>
inline void vertices(std::int64_t v) {
    using namespace variaveis;
    const auto meio = T::difunde(0.5), menos_meio = T::difunde(-0.5);
    const auto j = T::carrega_u(jac + v);
    const auto f = T::div(T::difunde(1.0), T::mul(j, j));
    const auto menos_f = T::troca_sinal(f);
    const auto a = T::carrega_u(alfa + v), g = T::carrega_u(gama + v), b = T::carrega_u(beta + v);
    const auto meio_p = T::mul(meio, T::carrega_u(p_fonte + v)),
               meio_q = T::mul(meio, T::carrega_u(q_fonte + v));
    const auto e = T::soma(a, T::mul(meio_p, f));
    const auto w = T::soma(a, T::mul(meio_p, menos_f));
    const auto n = T::soma(g, T::mul(meio_q, f));
    const auto s = T::soma(g, T::mul(meio_q, menos_f));
    T::guarda_u(ae + v, e);
    T::guarda_u(aw + v, w);
    T::guarda_u(an + v, n);
    T::guarda_u(as + v, s);
    T::guarda_u(ane + v, T::mul(menos_meio, b));
    T::guarda_u(anw + v, T::mul(meio, b));
    T::guarda_u(ase + v, T::mul(meio, b));
    T::guarda_u(asw + v, T::mul(menos_meio, b));
    T::guarda_u(ap + v, T::soma(T::soma(T::soma(w, n), e), s));
}

}  // namespace

void calcula_linhas(std::int64_t de, std::int64_t ate) {
    using T = tempo_execucao::MALHAS_NUCLEO::pistas;
    const std::int64_t n_ksi = variaveis::nvert_ksi;
    for (std::int64_t j = de; j <= ate; ++j) {
        tempo_execucao::em_pistas<T>(variaveis::numero_vertice(2, j, n_ksi),
                                     variaveis::numero_vertice(n_ksi - 1, j, n_ksi),
                                     []<class P>(std::int64_t v) { vertices<P>(v); });
    }
}

}  // namespace coef::MALHAS_NUCLEO
