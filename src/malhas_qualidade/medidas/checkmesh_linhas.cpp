// checkMesh's figures over a run of rows of cells: each face and cell
// measured once, on whichever thread has the rows.
#include "malhas_qualidade/medidas/checkmesh_partes.hpp"

#include <utility>

namespace malhas_qualidade::checkmesh {

void calculo::face_interna(parcial& p, std::int64_t i, std::int64_t j, lado l, const face_dados& g,
                           const celula_dados& dono, const celula_dados& vizinho) const {
    const std::int64_t indice = x.indice(i, j, l, true);
    const face_extrudida onde{indice, i, j, l, true};
    const vetor d = vizinho.centro - dono.centro;
    const double cosseno = escalar(d, g.area) / (modulo(d) * modulo(g.area) + rootvsmall);
    cossenos[static_cast<std::size_t>(indice)] = cosseno;
    if (!std::isfinite(cosseno)) {
        ++p.nao_ortogonalidade_indefinida;
    } else {
        if (cosseno < limite_cosseno) {
            ++p.faces_nao_ortogonais;
            if (!(cosseno > small)) ++p.faces_acima_de_90;
        }
        if (pior(cosseno, indice, p.menor_cosseno, p.pior_nao_ortogonal.indice, false)) {
            p.menor_cosseno = cosseno;
            p.pior_nao_ortogonal = onde;
        }
    }
    assimetria_face(p, assimetria(g, dono.centro, &vizinho.centro), onde);
    if (!completas) return;
    face_completa(p, g, dono.centro, &vizinho.centro, onde);
    // The interpolation weight: the nearer cell centre's distance from
    // the face's plane over the sum of both.
    const double d_dono = std::fabs(escalar(g.area, g.centro - dono.centro));
    const double d_vizinho = std::fabs(escalar(g.area, vizinho.centro - g.centro));
    const double peso = (d_vizinho < d_dono ? d_vizinho : d_dono) / (d_vizinho + d_dono + vsmall);
    pesos[static_cast<std::size_t>(indice)] = peso;
    if (!std::isfinite(peso)) {
        ++p.completas_indefinidas;
        return;
    }
    if (peso < limite_peso_face) ++p.peso_face.falhas;
    guarda(p.peso_face, peso, onde, false);
}

void calculo::face_fronteira(parcial& p, std::int64_t i, std::int64_t j, lado l, const face_dados& g,
                             const vetor& dono) const {
    const std::int64_t indice = x.indice(i, j, l, false);
    const face_extrudida onde{indice, i, j, l, false};
    assimetria_face(p, assimetria(g, dono, nullptr), onde);
    if (l != lado::fundo && l != lado::frente) {
        const vetor d = g.centro - dono;
        const double cosseno = escalar(d, g.area) / (modulo(d) * modulo(g.area) + rootvsmall);
        cossenos_fronteira[static_cast<std::size_t>(indice - x.c.internas)] = cosseno;
        if (!std::isfinite(cosseno))
            ++p.nao_ortogonalidade_fronteira_indefinida;
        else if (pior(cosseno, indice, p.menor_cosseno_fronteira, p.pior_nao_ortogonal_fronteira.indice,
                      false)) {
            p.menor_cosseno_fronteira = cosseno;
            p.pior_nao_ortogonal_fronteira = onde;
        }
    }
    if (!completas) return;
    face_completa(p, g, dono, nullptr, onde);
    soma_fronteira& s = fronteira[static_cast<std::size_t>(j)];
    s.soma = s.soma + g.area;
    s.soma_modulos += modulo(g.area);
}

// The checks of every face: its area, its pyramids, its tets and its
// shape.
void calculo::face_completa(parcial& p, const face_dados& g, const vetor& dono, const vetor* vizinho,
                            const face_extrudida& onde) const {
    const double area = modulo(g.area);
    vetor centro, normal;
    centro_e_normal_da_face(g, centro, normal);
    const double piramide_dono = -((1.0 / 3.0) * escalar(normal, dono - centro));
    const double piramide_vizinho =
        vizinho != nullptr ? (1.0 / 3.0) * escalar(normal, *vizinho - centro) : 0.0;
    double seno = 0.0, planicidade = 1.0;
    forma_da_face(g, seno_concavo, seno, planicidade);
    if (!std::isfinite(area) || !std::isfinite(piramide_dono) || !std::isfinite(piramide_vizinho) ||
        !std::isfinite(planicidade)) {
        ++p.completas_indefinidas;
        return;
    }
    if (area < menor_area_face) ++p.area_face.falhas;
    guarda(p.area_face, area, onde, false);
    if (area > p.area_face_max) p.area_face_max = area;
    falha(p.piramides,
          (piramide_dono < limite_piramide ? 1 : 0) + (piramide_vizinho < limite_piramide ? 1 : 0), onde);
    falha(p.tetraedros, falhas_tetraedros(g, dono, vizinho), onde);
    if (seno > small) {
        ++p.angulo_concavo.falhas;
        guarda(p.angulo_concavo, graus(std::asin(seno < 1.0 ? seno : 1.0)), onde, true);
    }
    // checkMesh judges the flatness of faces with an area only.
    if (area > vsmall) {
        if (planicidade < limite_planicidade) ++p.planicidade.falhas;
        guarda(p.planicidade, planicidade, onde, false);
    }
}

void calculo::assimetria_face(parcial& p, double s, const face_extrudida& f) {
    if (!std::isfinite(s)) {
        ++p.assimetria_indefinida;
        return;
    }
    if (s > limite_assimetria_face) ++p.faces_assimetricas;
    if (pior(s, f.indice, p.assimetria_max, p.pior_assimetria.indice, true)) {
        p.assimetria_max = s;
        p.pior_assimetria = f;
    }
}

void calculo::celula(parcial& p, const celula_dados& c, std::int64_t numero) const {
    volumes[static_cast<std::size_t>(numero - 1)] = c.volume;
    if (!std::isfinite(c.razao_aspecto) || !finito(c.centro)) {
        ++p.razao_aspecto_indefinida;
    } else {
        if (c.razao_aspecto > limite_razao_aspecto_celula) ++p.celulas_alongadas;
        if (pior(c.razao_aspecto, numero, p.razao_aspecto_max, nenhum_se_zero(p.pior_razao_aspecto), true)) {
            p.razao_aspecto_max = c.razao_aspecto;
            p.pior_razao_aspecto = numero;
        }
    }
    if (completas) {
        determinantes[static_cast<std::size_t>(numero - 1)] = c.determinante;
        if (!std::isfinite(c.abertura) || !std::isfinite(c.determinante) || !finito(c.centro)) {
            ++p.completas_indefinidas;
        } else {
            if (c.abertura > limite_abertura) ++p.abertura_celula.falhas;
            guarda(p.abertura_celula, c.abertura, numero, true);
            if (c.determinante < limite_determinante) ++p.determinante.falhas;
            guarda(p.determinante, c.determinante, numero, false);
            if (c.concava) {
                ++p.celulas_concavas.falhas;
                guarda(p.celulas_concavas, 0.0, numero, true);
            }
        }
    }
    if (!std::isfinite(c.volume)) {
        ++p.volume_indefinido;
        return;
    }
    if (c.volume < menor_volume_celula) ++p.volumes_nao_positivos;
    if (pior(c.volume, numero, p.volume_min, nenhum_se_zero(p.menor_volume), false)) {
        p.volume_min = c.volume;
        p.menor_volume = numero;
    }
    if (pior(c.volume, numero, p.volume_max, nenhum_se_zero(p.maior_volume), true)) {
        p.volume_max = c.volume;
        p.maior_volume = numero;
    }
}

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
