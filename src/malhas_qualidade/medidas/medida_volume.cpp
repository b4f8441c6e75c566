#include "malhas_qualidade/medidas/medida_volume.hpp"

#include <cmath>
#include <limits>

namespace malhas_qualidade {

namespace {

template <std::vector<double> medidas_malha::*campo>
void copia(const fontes_medida& f, std::vector<double>& valores) {
    valores = f.medidas->*campo;
}

void invertido(const fontes_medida& f, std::vector<double>& valores) {
    valores.assign(f.medidas->invertido.size(), 0.0);
    for (std::size_t p = 1; p < valores.size(); ++p)
        valores[p] = f.medidas->invertido[p] ? 1.0 : 0.0;
}

// Per volume from per vertex: the given function of its four corners.
template <class F>
void por_cantos(const malha_lida& m, std::vector<double>& valores, F&& de_cantos) {
    valores.assign(static_cast<std::size_t>(m.nvol) + 1, 0.0);
    for (std::int64_t j = 1; j <= m.nvol_eta; ++j)
        for (std::int64_t i = 1; i <= m.nvol_ksi; ++i)
            valores[static_cast<std::size_t>(volume(m, i, j))] = de_cantos(vertice(m, i, j));
}

void nao_ortogonalidade(const fontes_medida& f, std::vector<double>& valores) {
    por_cantos(*f.malha, valores,
               [&](std::int64_t b) { return nao_ortogonalidade_volume(*f.malha, *f.medidas, b); });
}

// The largest residual at a volume's corners (0 at boundary ones, which
// never move); undefined when it is at any corner.
template <std::vector<double> residuo_malha::*campo>
void residuo(const fontes_medida& f, std::vector<double>& valores) {
    const malha_lida& m = *f.malha;
    const std::vector<double>& r = f.residuo->*campo;
    por_cantos(m, valores, [&](std::int64_t b) {
        double maior = 0.0;
        for (std::int64_t k : cantos(m, b)) {
            const double x = r[static_cast<std::size_t>(k)];
            if (std::isnan(x)) return std::numeric_limits<double>::quiet_NaN();
            if (x > maior) maior = x;
        }
        return maior;
    });
}

}  // namespace

const std::vector<medida_volume>& medidas_volume() {
    static const std::vector<medida_volume> tabela = {
        {nome::assimetria, "", false, false, copia<&medidas_malha::assimetria>},
        {nome::area, "", true, false, copia<&medidas_malha::area>},
        {nome::razao_aspecto, "", false, false, copia<&medidas_malha::razao_aspecto>},
        {nome::jacobiano_escalado, "", true, false, copia<&medidas_malha::jacobiano_escalado>},
        {nome::angulo_minimo, "degrees", true, false, copia<&medidas_malha::angulo_minimo>},
        {nome::angulo_maximo, "degrees", false, false, copia<&medidas_malha::angulo_maximo>},
        {nome::invertido, "", false, false, invertido},
        {nome::crescimento_ksi, "", false, false, copia<&medidas_malha::crescimento_ksi>},
        {nome::crescimento_eta, "", false, false, copia<&medidas_malha::crescimento_eta>},
        {nome::nao_ortogonalidade_max, "degrees", false, false, nao_ortogonalidade},
        {nome::residuo_x, "", false, true, residuo<&residuo_malha::x>},
        {nome::residuo_y, "", false, true, residuo<&residuo_malha::y>},
    };
    return tabela;
}

const medida_volume* procura_medida_volume(std::string_view nome) {
    // The summary's name of the vertex measure stands for its volume form.
    if (nome == nome::nao_ortogonalidade) nome = nome::nao_ortogonalidade_max;
    for (const medida_volume& m : medidas_volume())
        if (nome == m.nome) return &m;
    return nullptr;
}

std::string nomes_medidas_volume() {
    std::string s;
    for (const medida_volume& m : medidas_volume()) {
        if (!s.empty()) s += ", ";
        s += m.nome;
    }
    return s;
}

}  // namespace malhas_qualidade
