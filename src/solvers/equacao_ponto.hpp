// The point equation of the elliptic smoothing, written once: every sweep
// (one array, x and y side by side, the plain loop that gives the faults
// their order) and the companion program's residual compute a vertex through
// it, so that the terms, their order and the division can never differ
// between them.
//
// The new value of interior vertex v is the weighted sum of its eight
// neighbours divided by ap(v):
//
//   (asw·phi(SW) + as·phi(S) + an·phi(N) + anw·phi(NW) + aw·phi(W) + ae·phi(E)
//    + ase·phi(SE) + ane·phi(NE)) / ap,
//
// the coefficients taken at v, the terms added strictly from left to right.
#pragma once

#include <cstdint>

namespace solvers {

// The value of one vertex in one array: a traits class, so that the values
// themselves are plain doubles (or vector registers) that the compiler keeps
// in registers through the wavefront.
struct escalar {
    static constexpr int largura = 1;  // doubles per vertex
    using valor = double;
    static valor carrega(const double* p) { return *p; }
    static valor coeficiente(const double* a) { return *a; }
    static void guarda(double* p, valor v) { *p = v; }
    static valor mul(valor a, valor b) { return a * b; }
    static valor soma(valor a, valor b) { return a + b; }
    static valor div(valor a, valor b) { return a / b; }
};

// The nine coefficient arrays, indexed by vertex number.
struct coeficientes {
    const double* ap;
    const double* ae;
    const double* aw;
    const double* an;
    const double* as;
    const double* ane;
    const double* anw;
    const double* ase;
    const double* asw;
};

// The eight terms of a vertex, added strictly left to right, then one
// division by ap: c(k) is the k-th coefficient of the sum, q(k) the
// neighbour it weighs (the west one, k = 4, is w).
template <class T, class C, class Q>
inline typename T::valor equacao_ponto(C&& c, Q&& q, typename T::valor w) {
    typename T::valor soma = T::mul(c(0), q(0));
    soma = T::soma(soma, T::mul(c(1), q(1)));
    soma = T::soma(soma, T::mul(c(2), q(2)));
    soma = T::soma(soma, T::mul(c(3), q(3)));
    soma = T::soma(soma, T::mul(c(4), w));
    soma = T::soma(soma, T::mul(c(5), q(5)));
    soma = T::soma(soma, T::mul(c(6), q(6)));
    soma = T::soma(soma, T::mul(c(7), q(7)));
    return T::div(soma, c(8));
}

// The neighbours in the order of the sum: south-west, south, north,
// north-west, (west), east, south-east, north-east; passo is one row.
template <class T>
inline typename T::valor vizinho(const double* p, std::int64_t passo, int k) {
    constexpr int l = T::largura;
    switch (k) {
        case 0:
            return T::carrega(p - passo - l);
        case 1:
            return T::carrega(p - passo);
        case 2:
            return T::carrega(p + passo);
        case 3:
            return T::carrega(p + passo - l);
        case 5:
            return T::carrega(p + l);
        case 6:
            return T::carrega(p - passo + l);
        default:
            return T::carrega(p + passo + l);
    }
}

// The new value of vertex v of phi (laid out as T lays out a vertex) from the
// coefficient arrays; w is the value of its west neighbour, which the
// wavefront keeps in a register.
template <class T>
inline typename T::valor atualizacao(const double* phi, const coeficientes& c, std::int64_t v,
                                     std::int64_t n_ksi, typename T::valor w) {
    const double* const a[] = {c.asw, c.as, c.an, c.anw, c.aw, c.ae, c.ase, c.ane, c.ap};
    const double* const p = phi + v * T::largura;
    return equacao_ponto<T>([&](int k) { return T::coeficiente(a[k] + v); },
                            [&](int k) { return vizinho<T>(p, n_ksi * T::largura, k); }, w);
}

// The same for one array, its west neighbour read from phi.
inline double atualizacao(const double* phi, const coeficientes& c, std::int64_t v, std::int64_t n_ksi) {
    return atualizacao<escalar>(phi, c, v, n_ksi, phi[v - 1]);
}

}  // namespace solvers
