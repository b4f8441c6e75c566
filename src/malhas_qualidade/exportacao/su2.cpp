// SU2's native mesh.
#include "malhas_qualidade/comum/numeros.hpp"
#include "malhas_qualidade/comum/saida.hpp"
#include "malhas_qualidade/exportacao/exportacao.hpp"

namespace malhas_qualidade {

// Points and elements are numbered from 0: element k is volume k + 1, point k
// vertex k + 1. The marker lines follow each boundary line in increasing i
// or j, as the MSH export's.
void escreve_su2(const std::string& nome, const malha_lida& m, int orientacao, const fronteiras& f) {
    saida_atomica s;
    abre_saida(s, nome);
    escreve(s, "% " + std::to_string(m.nvol_ksi) + " x " + std::to_string(m.nvol_eta) +
                   " volumes, written by malhas_qualidade\nNDIME= 2\nNELEM= " + std::to_string(m.nvol) +
                   "\n");
    for (std::int64_t j = 1; j <= m.nvol_eta; ++j) {
        for (std::int64_t i = 1; i <= m.nvol_ksi; ++i) {
            const auto c = cantos(m, vertice(m, i, j) - 1);
            // 9: VTK's quadrilateral.
            if (orientacao > 0)
                escreve_linha_inteiros(s, {9, c[0], c[1], c[2], c[3]});
            else
                escreve_linha_inteiros(s, {9, c[3], c[2], c[1], c[0]});
        }
    }
    escreve(s, "NPOIN= " + std::to_string(m.nvert) + "\n");
    for (std::int64_t v = 1; v <= m.nvert; ++v) {
        char* const inicio = reserva(s, 80);
        char* q = escreve_real(inicio, m.x[static_cast<std::size_t>(v)]);
        *q++ = ' ';
        q = escreve_real(q, m.y[static_cast<std::size_t>(v)]);
        *q++ = '\n';
        confirma(s, static_cast<std::size_t>(q - inicio));
    }
    escreve(s, "NMARK= " + std::to_string(n_linhas_fronteira) + "\n");
    for (int k = 0; k < n_linhas_fronteira; ++k) {
        const percurso_fronteira p = percurso(m, k);
        escreve(s, "MARKER_TAG= " + f.de[k].nome + "\nMARKER_ELEMS= " + std::to_string(p.n - 1) + "\n");
        for (std::int64_t t = 0; t + 1 < p.n; ++t)
            escreve_linha_inteiros(s, {3, p.vertice(m, t) - 1, p.vertice(m, t + 1) - 1});  // 3: VTK's line
    }
    conclui_saida(s);
}

}  // namespace malhas_qualidade
