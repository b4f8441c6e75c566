#include "malhas_qualidade/medidas/extrusao.hpp"

namespace malhas_qualidade {

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

}  // namespace malhas_qualidade
