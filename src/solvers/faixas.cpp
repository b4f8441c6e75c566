// The banded copy of faixas.hpp: its geometry, the same for every kernel.
#include "solvers/faixas.hpp"

namespace solvers::faixas {

geometria geometria_de(std::int64_t n_ksi, std::int64_t n_eta, int largura, int coordenadas) {
    geometria g;
    g.n_ksi = n_ksi;
    g.n_eta = n_eta;
    g.largura = largura;
    g.coordenadas = coordenadas;
    g.faixas = (n_eta - 2 + largura - 1) / largura;
    g.passos = n_ksi + 6 * std::int64_t{largura};
    g.ultimo_passo = n_ksi - 1 + 2 * (std::int64_t{largura} - 1);
    return g;
}

int largura_de(tempo_execucao::nucleo n) {
    switch (n) {
        case tempo_execucao::nucleo::avx512:
            return 8;
        case tempo_execucao::nucleo::avx2:
            return 4;
        case tempo_execucao::nucleo::sse2:
        case tempo_execucao::nucleo::generico:
            return 2;
    }
    return 2;
}

}  // namespace solvers::faixas
