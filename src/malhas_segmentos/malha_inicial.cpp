// The algebraic initial mesh of the L-shaped domain. Every operation is done
// in the order written, in double precision, with the integers converted to
// double before they take part: the result files depend on each rounding.
#include <array>
#include <cstdint>

#include "malhas_segmentos/malha_inicial.hpp"
#include "variaveis/variaveis.hpp"

namespace malhas_segmentos {

using namespace variaveis;

void gera_malha_inicial() {
    // Corner index of every eta line; the sum wraps like the sizes do.
    const std::int32_t h = soma32(nvert_ksi, 1) / 2;

    // 64-bit counters: a bound of 2147483647 must still end the loop.
    for (std::int64_t j = 1; j <= nvert_eta; ++j) {
        const double t = (static_cast<double>(j) - 1.0) / (static_cast<double>(nvert_eta) - 1.0);
        const double a = 0.5 * t;
        const double s = (1.0 - a) / (static_cast<double>(h) - 1.0);
        for (std::int64_t i = 1; i <= h; ++i) {
            const std::int64_t v = numero_vertice(i, j, nvert_ksi);
            x[v] = a;
            y[v] = static_cast<double>(1 - i) * s + 1.0;
        }
        for (std::int64_t i = static_cast<std::int64_t>(h) + 1; i <= nvert_ksi; ++i) {
            const std::int64_t v = numero_vertice(i, j, nvert_ksi);
            x[v] = static_cast<double>(i - h) * s + a;
            y[v] = a;
        }
    }

    for (std::int64_t j = 1; j <= nvol_eta; ++j) {
        for (std::int64_t i = 1; i <= nvol_ksi; ++i) {
            const std::int64_t p = numero_volume(i, j, nvol_ksi);
            const auto b = static_cast<std::int32_t>(numero_vertice(i, j, nvert_ksi));
            const std::array<std::int32_t, 4> c = cantos_volume(b, nvert_ksi);
            for (int s = 0; s < 4; ++s)
                vert_vol[p][s] = c[static_cast<std::size_t>(s)];
        }
    }
}

}  // namespace malhas_segmentos
