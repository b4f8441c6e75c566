// The algebraic initial mesh of the L-shaped domain. Every operation is done
// in the order written, in double precision, with the integers converted to
// double before they take part: the result files depend on each rounding.
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
        const std::int64_t base = (j - 1) * static_cast<std::int64_t>(nvert_ksi);
        for (std::int64_t i = 1; i <= h; ++i) {
            const std::int64_t v = base + i;
            x[v] = a;
            y[v] = static_cast<double>(1 - i) * s + 1.0;
        }
        for (std::int64_t i = static_cast<std::int64_t>(h) + 1; i <= nvert_ksi; ++i) {
            const std::int64_t v = base + i;
            x[v] = static_cast<double>(i - h) * s + a;
            y[v] = a;
        }
    }

    for (std::int64_t j = 1; j <= nvol_eta; ++j) {
        for (std::int64_t i = 1; i <= nvol_ksi; ++i) {
            const std::int64_t p = (j - 1) * static_cast<std::int64_t>(nvol_ksi) + i;
            const std::int32_t b =
                static_cast<std::int32_t>((j - 1) * static_cast<std::int64_t>(nvert_ksi) + i);
            vert_vol[p][0] = b;
            vert_vol[p][1] = b + 1;
            vert_vol[p][2] = b + nvert_ksi + 1;
            vert_vol[p][3] = b + nvert_ksi;
        }
    }
}

}  // namespace malhas_segmentos
