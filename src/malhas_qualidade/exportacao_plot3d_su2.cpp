// Plot3D and SU2: the structured-grid format of the field's tools and SU2's
// native mesh.
#include "malhas_qualidade/exportacao_solver.hpp"
#include "malhas_qualidade/saida.hpp"

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

// Points and elements are numbered from 0: element k is volume k + 1, point k
// vertex k + 1. The marker lines follow each boundary line in increasing i
// or j, as the MSH export's.
void escreve_su2(const std::string& nome, const malha_lida& m, int orientacao) {
    const std::int64_t nk = m.nvert_ksi, ne = m.nvert_eta;
    saida_atomica s;
    abre_saida(s, nome);
    escreve(s, "% " + std::to_string(m.nvol_ksi) + " x " + std::to_string(m.nvol_eta) +
                   " volumes, written by malhas_qualidade\nNDIME= 2\nNELEM= " + std::to_string(m.nvol) +
                   "\n");
    for (std::int64_t j = 1; j < ne; ++j) {
        for (std::int64_t i = 1; i < nk; ++i) {
            const std::int64_t b = (j - 1) * nk + i - 1;
            // 9: VTK's quadrilateral.
            if (orientacao > 0)
                escreve_linha_inteiros(s, {9, b, b + 1, b + nk + 1, b + nk});
            else
                escreve_linha_inteiros(s, {9, b + nk, b + nk + 1, b + 1, b});
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
    struct linha {
        std::int64_t i0, j0, di, dj, n;
    };
    const linha linhas[4] = {{1, 1, 1, 0, nk}, {1, ne, 1, 0, nk}, {1, 1, 0, 1, ne}, {nk, 1, 0, 1, ne}};
    escreve(s, "NMARK= 4\n");
    for (int k = 0; k < 4; ++k) {
        const linha& l = linhas[k];
        escreve(s, std::string("MARKER_TAG= ") + nomes_patches[k] +
                       "\nMARKER_ELEMS= " + std::to_string(l.n - 1) + "\n");
        for (std::int64_t t = 0; t + 1 < l.n; ++t) {
            const std::int64_t a = vertice(m, l.i0 + t * l.di, l.j0 + t * l.dj) - 1;
            const std::int64_t b = vertice(m, l.i0 + (t + 1) * l.di, l.j0 + (t + 1) * l.dj) - 1;
            escreve_linha_inteiros(s, {3, a, b});  // 3: VTK's line
        }
    }
    conclui_saida(s);
}

}  // namespace malhas_qualidade
