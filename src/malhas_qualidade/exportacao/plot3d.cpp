// Plot3D: the structured-grid format of the field's tools.
#include "malhas_qualidade/comum/numeros.hpp"
#include "malhas_qualidade/comum/saida.hpp"
#include "malhas_qualidade/exportacao/exportacao.hpp"

namespace malhas_qualidade {

namespace {

void escreve_reais(saida_atomica& s, const std::vector<double>& v, std::int64_t n) {
    for (std::int64_t k = 1; k <= n; ++k) {
        char* const inicio = reserva(s, 40);
        char* q = escreve_real(inicio, v[static_cast<std::size_t>(k)]);
        *q++ = '\n';
        confirma(s, static_cast<std::size_t>(q - inicio));
    }
}

}  // namespace

// One value a line, each the shortest text that reads back as the same
// double: VTK's reader (in double precision), plot3dToFoam and Fortran's
// list-directed reads take any blank between values.
void escreve_plot3d(const std::string& nome, const malha_lida& m) {
    saida_atomica s;
    abre_saida(s, nome);
    escreve_linha_inteiros(s, {1});
    escreve_linha_inteiros(s, {m.nvert_ksi, m.nvert_eta});
    escreve_reais(s, m.x, m.nvert);
    escreve_reais(s, m.y, m.nvert);
    conclui_saida(s);
}

}  // namespace malhas_qualidade
