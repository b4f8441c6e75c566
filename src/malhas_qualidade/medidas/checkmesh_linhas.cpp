// checkMesh's figures over a run of rows of cells: each face and cell
// measured once, on whichever thread has the rows.
#include "malhas_qualidade/medidas/checkmesh_partes.hpp"

#include <utility>

namespace malhas_qualidade::checkmesh {

// The rows de to ate. A cell needs the faces of the row below it, and a
// row's north faces the cells of the row above: both are made here too.
void calculo::faixa(parcial& p, std::int64_t de, std::int64_t ate) const {
    const std::int64_t nk = x.m.nvol_ksi, ne = x.m.nvol_eta;
    const std::vector<face_dados>* sul = &p.sul;
    if (de == 1) {
        for (std::int64_t i = 1; i <= nk; ++i)
            x.face(i, 1, lado::sul, p.sul[static_cast<std::size_t>(i - 1)]);
    } else {
        calcula_faces(x, de - 1, p.abaixo);
        sul = &p.abaixo.norte;
    }
    calcula_faces(x, de, p.atual);
    calcula_celulas(x, de, p.atual, *sul, completas);
    for (std::int64_t j = de; j <= ate; ++j) {
        if (j < ne) {
            calcula_faces(x, j + 1, p.proxima);
            calcula_celulas(x, j + 1, p.proxima, p.atual.norte, completas);
        }
        const linha_faces& l = p.atual;
        for (std::int64_t i = 1; i <= nk; ++i) {
            const auto k = static_cast<std::size_t>(i - 1);
            const celula_dados& c = l.celulas[k];
            celula(p, c, volume(x.m, i, j));
            if (i < nk) face_interna(p, i, j, lado::leste, l.leste[k + 1], c, l.celulas[k + 1]);
            if (j < ne) face_interna(p, i, j, lado::norte, l.norte[k], c, p.proxima.celulas[k]);
            if (j == 1) face_fronteira(p, i, j, lado::sul, (*sul)[k], c.centro);
            if (j == ne) face_fronteira(p, i, j, lado::norte, l.norte[k], c.centro);
            if (i == 1) face_fronteira(p, i, j, lado::oeste, l.leste[0], c.centro);
            if (i == nk) face_fronteira(p, i, j, lado::leste, l.leste[k + 1], c.centro);
            face_fronteira(p, i, j, lado::fundo, l.fundo[k], c.centro);
            face_fronteira(p, i, j, lado::frente, l.frente[k], c.centro);
        }
        std::swap(p.atual, p.proxima);
    }
}

}  // namespace malhas_qualidade::checkmesh
