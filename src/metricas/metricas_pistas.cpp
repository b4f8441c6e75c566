// The metric terms on one kernel's lanes; compiled once per kernel.
#include "metricas/metricas_pistas.hpp"

#include "metricas/metricas.hpp"
#include "tempo_execucao/nucleo_compilado.hpp"
#include "variaveis/variaveis.hpp"

namespace metricas::MALHAS_NUCLEO {

namespace {

// The vertices v to v + T::largura - 1 of one row, each by the plain loop's
// expressions: the differences times the factors, then the combinations of
// the four derivatives just computed.
template <class T>
inline void vertices(std::int64_t v, std::int64_t n_ksi) {
    using namespace variaveis;
    const auto fk = T::difunde(fator_ksi), fe = T::difunde(fator_eta);
    const auto xe = T::mul(T::sub(T::carrega_u(x + v + n_ksi), T::carrega_u(x + v - n_ksi)), fe);
    const auto ye = T::mul(T::sub(T::carrega_u(y + v + n_ksi), T::carrega_u(y + v - n_ksi)), fe);
    const auto xk = T::mul(T::sub(T::carrega_u(x + v + 1), T::carrega_u(x + v - 1)), fk);
    const auto yk = T::mul(T::sub(T::carrega_u(y + v + 1), T::carrega_u(y + v - 1)), fk);
    T::guarda_u(x_eta + v, xe);
    T::guarda_u(y_eta + v, ye);
    T::guarda_u(x_ksi + v, xk);
    T::guarda_u(y_ksi + v, yk);
    T::guarda_u(alfa + v, T::soma(T::mul(xe, xe), T::mul(ye, ye)));
    T::guarda_u(beta + v, T::soma(T::mul(xk, xe), T::mul(yk, ye)));
    T::guarda_u(gama + v, T::soma(T::mul(xk, xk), T::mul(yk, yk)));
    T::guarda_u(jac + v, T::div(T::difunde(1.0), T::sub(T::mul(xk, ye), T::mul(xe, yk))));
}

}  // namespace

void calcula_linhas(std::int64_t de, std::int64_t ate) {
    using T = tempo_execucao::MALHAS_NUCLEO::pistas;
    const std::int64_t n_ksi = variaveis::nvert_ksi;
    for (std::int64_t j = de; j <= ate; ++j) {
        tempo_execucao::em_pistas<T>(variaveis::numero_vertice(2, j, n_ksi),
                                     variaveis::numero_vertice(n_ksi - 1, j, n_ksi),
                                     [n_ksi]<class P>(std::int64_t v) { vertices<P>(v, n_ksi); });
    }
}

}  // namespace metricas::MALHAS_NUCLEO
