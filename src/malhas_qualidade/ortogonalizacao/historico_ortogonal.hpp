// --historico with --ortogonaliza: how the solver-grade mesh settled, after
// every outer iteration of every level: the largest move against the
// shortest edge, and the quality extremes of the mesh as it stands. A .csv
// file gets every row as the run goes, a .svg file the plot, the summary a
// short form.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "malhas_qualidade/comum/saida.hpp"
#include "malhas_qualidade/ortogonalizacao/ortogonaliza.hpp"

namespace malhas_qualidade::ortogonalizacao {

struct registro_convergencia {
    int nivel = 0;
    std::int32_t nvol_ksi = 0, nvol_eta = 0;
    std::int64_t k = 0;
    double movimento = 0.0, menor_aresta = 0.0, relativo = 0.0;
    double jacobiano_minimo = 0.0, assimetria_maxima = 0.0, nao_ortogonalidade_maxima = 0.0;
};

class historico_convergencia {
  public:
    // The outputs, each ending in .csv or .svg, opened at once (a .csv one
    // then grows as the run goes); nothing replaces a file before conclui.
    explicit historico_convergencia(const std::vector<std::string>& saidas);
    // The observer to hand faz_malha (pedido::observa), with this as its
    // context.
    static void observa(void* contexto, const iteracao& it);
    // The files completed and given their names; the summary's part.
    void conclui(const pedido& p, const std::string& nome_caso);
    std::string texto(const pedido& p) const;

  private:
    std::vector<std::string> svgs_;
    std::vector<std::unique_ptr<saida_atomica>> csvs_;
    std::vector<registro_convergencia> registros_;
};

}  // namespace malhas_qualidade::ortogonalizacao
