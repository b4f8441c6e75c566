// The history's measures on one kernel's lanes; compiled once per kernel.
#include "malhas_qualidade/historico/medidas_pistas.hpp"

#include <cfloat>
#include <cmath>

#include "tempo_execucao/nucleo_compilado.hpp"

namespace malhas_qualidade::historico_interno::MALHAS_NUCLEO {

namespace {

// T::largura volumes, each by mede_quadrilatero's operations in its order;
// its branches become lane selections, and a volume it gives no measure
// (a length or corner product beyond the double range) not a number.
template <class T>
MALHAS_SEMPRE_INLINE void volumes(const double* ax, const double* ay, std::int64_t b, std::int64_t nk,
                                  double* jacobiano, double* assimetria, double* aresta) {
    using V = typename T::valor;
    // The corners (i, j), (i + 1, j), (i + 1, j + 1), (i, j + 1).
    const std::int64_t canto[4] = {b, b + 1, b + 1 + nk, b + nk};
    V px[4], py[4], ex[4], ey[4], l[4], c[4];
    for (int k = 0; k < 4; ++k) {
        px[k] = T::carrega_u(ax + canto[k]);
        py[k] = T::carrega_u(ay + canto[k]);
    }
    for (int k = 0; k < 4; ++k) {
        ex[k] = T::sub(px[(k + 1) % 4], px[k]);
        ey[k] = T::sub(py[(k + 1) % 4], py[k]);
        l[k] = T::raiz(T::soma(T::mul(ex[k], ex[k]), T::mul(ey[k], ey[k])));
    }
    const V menor_aresta = T::menor(T::menor(l[0], l[1]), T::menor(l[2], l[3]));
    unsigned finitos = ~0u;
    for (int k = 0; k < 4; ++k) {
        const int a = (k + 3) % 4;
        c[k] = T::sub(T::mul(ex[a], ey[k]), T::mul(ey[a], ex[k]));
        finitos &= T::finitos(l[k]) & T::finitos(c[k]);
    }
    const V x1x = T::sub(ex[0], ex[2]), x1y = T::sub(ey[0], ey[2]);
    const V x2x = T::sub(ex[1], ex[3]), x2y = T::sub(ey[1], ey[3]);
    const V normal = T::sub(T::mul(x1x, x2y), T::mul(x1y, x2x));
    const V zero = T::difunde(0.0);
    const V sinal = T::mistura(T::maior_que(normal, zero), T::difunde(1.0),
                               T::mistura(T::menor_que(normal, zero), T::difunde(-1.0), zero));
    const V n1 = T::raiz(T::soma(T::mul(x1x, x1x), T::mul(x1y, x1y)));
    const V n2 = T::raiz(T::soma(T::mul(x2x, x2x), T::mul(x2y, x2y)));
    const V minimo = T::difunde(DBL_MIN);
    const V s = T::absoluto(
        T::soma(T::mul(T::div(x1x, n1), T::div(x2x, n2)), T::mul(T::div(x1y, n1), T::div(x2y, n2))));
    V as = T::mistura(T::menor_que(n1, minimo) | T::menor_que(n2, minimo), zero, s);
    V j = T::difunde(DBL_MAX);
    for (int k = 0; k < 4; ++k) {
        const int e = (k + 3) % 4;
        j = T::menor(j, T::div(T::mul(sinal, c[k]), T::mul(l[e], l[k])));
    }
    j = T::mistura(T::menor_que(menor_aresta, minimo), zero, j);
    const V nan = T::difunde(static_cast<double>(NAN));
    const unsigned sem_medida = ~finitos & ((1u << T::largura) - 1u);
    T::guarda_u(jacobiano, T::mistura(sem_medida, nan, j));
    T::guarda_u(assimetria, T::mistura(sem_medida, nan, as));
    T::guarda_u(aresta, T::mistura(sem_medida, nan, menor_aresta));
}

// T::largura vertices' moves, by movimentos_vertice's operations.
template <class T>
MALHAS_SEMPRE_INLINE void vertices(const double* ax, const double* ay, const solvers::coeficientes& c,
                                   std::int64_t e, std::int64_t nk, double* rx, double* ry) {
    using V = typename T::valor;
    const double* const a[] = {c.asw, c.as, c.an, c.anw, c.aw, c.ae, c.ase, c.ane, c.ap};
    // The neighbours in the order of the sum (equacao_ponto.hpp); 4, the
    // west one, is passed apart.
    const std::int64_t vizinho[8] = {-nk - 1, -nk, nk, nk - 1, -1, 1, -nk + 1, nk + 1};
    auto move = [&](const double* phi) {
        const V novo = solvers::equacao_ponto<T>([&](int k) { return T::carrega_u(a[k] + e); },
                                                 [&](int k) { return T::carrega_u(phi + e + vizinho[k]); },
                                                 T::carrega_u(phi + e - 1));
        return T::absoluto(T::sub(novo, T::carrega_u(phi + e)));
    };
    const V mx = move(ax), my = move(ay);
    const V ap = T::carrega_u(c.ap + e), zero = T::difunde(0.0);
    const unsigned definidos =
        T::finitos(ap) & (T::menor_que(ap, zero) | T::maior_que(ap, zero)) & T::finitos(mx) & T::finitos(my);
    const V nan = T::difunde(static_cast<double>(NAN));
    T::guarda_u(rx + e, T::mistura(definidos, mx, nan));
    T::guarda_u(ry + e, T::mistura(definidos, my, nan));
}

}  // namespace

void mede_volumes(const double* ax, const double* ay, std::int64_t b, std::int64_t nk, std::int64_t n,
                  double* jacobiano, double* assimetria, double* aresta) {
    using T = tempo_execucao::MALHAS_NUCLEO::pistas;
    tempo_execucao::em_pistas<T>(0, n - 1, [&]<class P>(std::int64_t k) {
        volumes<P>(ax, ay, b + k, nk, jacobiano + k, assimetria + k, aresta + k);
    });
}

void movimentos(const double* ax, const double* ay, const solvers::coeficientes& c, std::int64_t e,
                std::int64_t nk, std::int64_t n, double* rx, double* ry) {
    using T = tempo_execucao::MALHAS_NUCLEO::pistas;
    tempo_execucao::em_pistas<T>(0, n - 1,
                                 [&]<class P>(std::int64_t k) { vertices<P>(ax, ay, c, e + k, nk, rx, ry); });
}

}  // namespace malhas_qualidade::historico_interno::MALHAS_NUCLEO
