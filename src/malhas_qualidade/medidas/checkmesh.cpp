#include "malhas_qualidade/medidas/checkmesh.hpp"

#include <algorithm>
#include <utility>
#include <vector>

#include "malhas_qualidade/medidas/checkmesh_partes.hpp"
#include "tempo_execucao/fios.hpp"

namespace malhas_qualidade {

namespace checkmesh {

namespace {

// A part's worst value and failures into the whole's: the first of equal
// worst values, in face or cell order, is kept.
void acumula_pior(pior_face& f, const pior_face& p, bool maior) {
    f.falhas += p.falhas;
    if (p.onde.indice >= 0) calculo::guarda(f, p.valor, p.onde, maior);
}
void acumula_pior(pior_celula& f, const pior_celula& p, bool maior) {
    f.falhas += p.falhas;
    if (p.onde > 0) calculo::guarda(f, p.valor, p.onde, maior);
}

// The runs' findings in row order: the first of equal worst values is kept.
void acumula(figuras_checkmesh& f, const parcial& p, double& menor_cosseno, double& menor_cosseno_fronteira) {
    f.faces_nao_ortogonais += p.faces_nao_ortogonais;
    f.faces_acima_de_90 += p.faces_acima_de_90;
    f.nao_ortogonalidade_indefinida += p.nao_ortogonalidade_indefinida;
    if (p.pior_nao_ortogonal.indice >= 0 &&
        (f.pior_nao_ortogonal.indice < 0 || p.menor_cosseno < menor_cosseno)) {
        menor_cosseno = p.menor_cosseno;
        f.pior_nao_ortogonal = p.pior_nao_ortogonal;
    }
    f.nao_ortogonalidade_fronteira_indefinida += p.nao_ortogonalidade_fronteira_indefinida;
    if (p.pior_nao_ortogonal_fronteira.indice >= 0 &&
        calculo::pior(p.menor_cosseno_fronteira, p.pior_nao_ortogonal_fronteira.indice,
                      menor_cosseno_fronteira, f.pior_nao_ortogonal_fronteira.indice, false)) {
        menor_cosseno_fronteira = p.menor_cosseno_fronteira;
        f.pior_nao_ortogonal_fronteira = p.pior_nao_ortogonal_fronteira;
    }
    f.faces_assimetricas += p.faces_assimetricas;
    f.assimetria_indefinida += p.assimetria_indefinida;
    if (p.pior_assimetria.indice >= 0 && calculo::pior(p.assimetria_max, p.pior_assimetria.indice,
                                                       f.assimetria_max, f.pior_assimetria.indice, true)) {
        f.assimetria_max = p.assimetria_max;
        f.pior_assimetria = p.pior_assimetria;
    }
    f.celulas_alongadas += p.celulas_alongadas;
    f.razao_aspecto_indefinida += p.razao_aspecto_indefinida;
    if (p.pior_razao_aspecto > 0 &&
        (f.pior_razao_aspecto == 0 || p.razao_aspecto_max > f.razao_aspecto_max)) {
        f.razao_aspecto_max = p.razao_aspecto_max;
        f.pior_razao_aspecto = p.pior_razao_aspecto;
    }
    f.volumes_nao_positivos += p.volumes_nao_positivos;
    f.volume_indefinido += p.volume_indefinido;
    if (p.menor_volume > 0 && (f.menor_volume == 0 || p.volume_min < f.volume_min)) {
        f.volume_min = p.volume_min;
        f.menor_volume = p.menor_volume;
    }
    if (p.maior_volume > 0 && (f.maior_volume == 0 || p.volume_max > f.volume_max)) {
        f.volume_max = p.volume_max;
        f.maior_volume = p.maior_volume;
    }
    if (!f.completas) return;
    acumula_pior(f.abertura_celula, p.abertura_celula, true);
    acumula_pior(f.determinante, p.determinante, false);
    acumula_pior(f.celulas_concavas, p.celulas_concavas, true);
    if (p.area_face_max > f.area_face_max) f.area_face_max = p.area_face_max;
    acumula_pior(f.area_face, p.area_face, false);
    acumula_pior(f.piramides, p.piramides, true);
    acumula_pior(f.tetraedros, p.tetraedros, true);
    acumula_pior(f.peso_face, p.peso_face, false);
    acumula_pior(f.angulo_concavo, p.angulo_concavo, true);
    acumula_pior(f.planicidade, p.planicidade, false);
    f.completas_indefinidas += p.completas_indefinidas;
}

}  // namespace

}  // namespace checkmesh

using namespace checkmesh;

int figuras_checkmesh::falhas_checkmesh_simples() const {
    return (abertura_fronteira > limite_abertura ? 1 : 0) +
           (abertura_celula.falhas + celulas_alongadas > 0 ? 1 : 0) + (area_face.falhas > 0 ? 1 : 0) +
           (volumes_nao_positivos > 0 ? 1 : 0) + (faces_acima_de_90 > 0 ? 1 : 0) +
           (piramides.falhas > 0 ? 1 : 0) + (faces_assimetricas > 0 ? 1 : 0);
}

int figuras_checkmesh::falhas_checkmesh_geometria() const {
    return falhas_checkmesh_simples() + (tetraedros.falhas > 0 ? 1 : 0) + (determinante.falhas > 0 ? 1 : 0) +
           (celulas_concavas.falhas > 0 ? 1 : 0) + (peso_face.falhas > 0 ? 1 : 0) +
           (razao_volumes.falhas > 0 ? 1 : 0);
}

void calcula_figuras_checkmesh(const extrusao& e, figuras_checkmesh& f, bool completas) {
    const malha_lida& m = *e.m;
    f = figuras_checkmesh{};
    f.espessura = e.espessura;
    f.completas = completas;
    const contexto x{e, m, conta_faces(m)};
    f.faces = x.c;
    const std::int64_t nk = m.nvol_ksi, ne = m.nvol_eta;
    if (nk < 1 || ne < 1) return;

    const auto n_internas = static_cast<std::size_t>(x.c.internas);
    std::vector<double> cossenos(n_internas), volumes(static_cast<std::size_t>(m.nvol)),
        cossenos_fronteira(static_cast<std::size_t>(2 * (nk + ne))), pesos, determinantes;
    std::vector<soma_fronteira> fronteira;
    if (completas) {
        pesos.resize(n_internas);
        determinantes.resize(static_cast<std::size_t>(m.nvol));
        fronteira.resize(static_cast<std::size_t>(ne) + 1);
    }
    const calculo calc{x,
                       std::cos(limite_nao_ortogonalidade * pi / 180.0),
                       completas,
                       std::sin(limite_angulo_concavo * pi / 180.0),
                       cossenos,
                       cossenos_fronteira,
                       volumes,
                       pesos,
                       determinantes,
                       fronteira};
    // Each thread beyond the first wants enough rows to repay waking it.
    constexpr std::int64_t minimo_por_fio = std::int64_t{1} << 15;
    const std::int64_t repagam = std::min(ne, 1 + m.nvol / minimo_por_fio);
    const int n = repagam >= 2 ? tempo_execucao::reserva_fios(static_cast<int>(
                                     std::min<std::int64_t>(tempo_execucao::fios_de_execucao(), repagam)))
                               : 1;
    std::vector<parcial> partes(static_cast<std::size_t>(n));
    for (parcial& p : partes) {
        p.abaixo.dimensiona(nk);
        p.atual.dimensiona(nk);
        p.proxima.dimensiona(nk);
        p.sul.resize(static_cast<std::size_t>(nk));
    }
    // Part k takes the rows from 1 + k * ne / n up to the next part's first.
    // No trap is live here: an overflow gives the undefined values counted.
    auto parte = [&](int k) {
        calc.faixa(partes[static_cast<std::size_t>(k)], 1 + k * ne / n, (k + 1) * ne / n);
    };
    if (n < 2)
        parte(0);
    else
        tempo_execucao::em_fios_mascarados(n, parte);

    double menor_cosseno = great, menor_cosseno_fronteira = great;
    for (const parcial& p : partes)
        acumula(f, p, menor_cosseno, menor_cosseno_fronteira);
    // The sums in face and cell order, as checkMesh forms them.
    auto angulo = [](double c) { return graus(std::acos(std::min(1.0, std::max(-1.0, c)))); };
    auto media = [&](const std::vector<double>& cs, double menor, double& maximo, double& medio) {
        double soma = 0.0;
        std::int64_t contados = 0;
        for (double c : cs) {
            if (!std::isfinite(c)) continue;
            soma += c;
            ++contados;
        }
        if (contados == 0) return;
        maximo = angulo(menor);
        medio = angulo(soma / static_cast<double>(contados));
    };
    media(cossenos, menor_cosseno, f.nao_ortogonalidade_max, f.nao_ortogonalidade_media);
    media(cossenos_fronteira, menor_cosseno_fronteira, f.nao_ortogonalidade_fronteira_max,
          f.nao_ortogonalidade_fronteira_media);
    for (double v : volumes)
        if (std::isfinite(v)) f.volume_total += v;
    // checkMesh starts its smallest volume at GREAT (1e15) and its largest
    // at -GREAT, so it prints 1e+15 as the smallest of cells that are all
    // larger: the figure is checkMesh's, the cells named stay the real ones.
    if (f.menor_volume > 0) f.volume_min = std::min(great, f.volume_min);
    if (f.maior_volume > 0) f.volume_max = std::max(-great, f.volume_max);
    if (completas) conclui_completas(x, f, volumes, pesos, determinantes, fronteira);
}

std::string descreve_face(const malha_lida& m, const face_extrudida& f) {
    if (f.indice < 0) return "-";
    auto nome = [&](std::int64_t i, std::int64_t j) { return descreve_volume(volume(m, i, j), m.nvol_ksi); };
    if (f.interna) {
        const std::int64_t i2 = f.l == lado::leste ? f.i + 1 : f.i, j2 = f.l == lado::leste ? f.j : f.j + 1;
        return "the face between " + nome(f.i, f.j) + " and " + nome(i2, j2);
    }
    const char* onde = "";
    switch (f.l) {
        case lado::sul:
            onde = nomes_patches[0];
            break;
        case lado::norte:
            onde = nomes_patches[1];
            break;
        case lado::oeste:
            onde = nomes_patches[2];
            break;
        case lado::leste:
            onde = nomes_patches[3];
            break;
        case lado::fundo:
            return "the z = 0 face of " + nome(f.i, f.j) + " (" + nomes_patches[4] + ")";
        case lado::frente:
            return "the z = thickness face of " + nome(f.i, f.j) + " (" + nomes_patches[4] + ")";
    }
    return "the face of " + nome(f.i, f.j) + " on " + onde;
}

}  // namespace malhas_qualidade
