// The records of the history: each iteration's row of the table, kept for
// the summary, the plot and the recommendation.
#include <cstdio>

#include "malhas_qualidade/comum/numeros.hpp"
#include "malhas_qualidade/historico/reexecucao.hpp"
#include "malhas_qualidade/medidas/medidas.hpp"

namespace malhas_qualidade {

namespace historico_interno {

namespace {

void escreve_registro_csv(saida_atomica& s, const registro_historico& l) {
    char* const inicio = reserva(s, 512);
    char* q = escreve_inteiro(inicio, l.k);
    const double valores[] = {l.residuo_x_max,
                              l.residuo_x_rms,
                              l.residuo_y_max,
                              l.residuo_y_rms,
                              l.movimento,
                              l.movimento_relativo,
                              l.deslocamento,
                              l.menor_aresta,
                              l.jacobiano_minimo,
                              l.assimetria_maxima,
                              l.nao_ortogonalidade_maxima};
    for (double x : valores) {
        *q++ = ',';
        q = escreve_real(q, x);
    }
    q += std::snprintf(q, 32, ",%.6f,", l.segundos);
    q = escreve_real(q, l.distancia_final);
    *q++ = '\r';
    *q++ = '\n';
    confirma(s, static_cast<std::size_t>(q - inicio));
}

// Each series' least and greatest over the rows of one step of the plot.
void abrange_extremos(registro_historico& menor_l, registro_historico& maior_l, const registro_historico& l) {
    double registro_historico::*const campos[] = {&registro_historico::residuo_x_max,
                                                  &registro_historico::residuo_x_rms,
                                                  &registro_historico::residuo_y_max,
                                                  &registro_historico::residuo_y_rms,
                                                  &registro_historico::movimento,
                                                  &registro_historico::movimento_relativo,
                                                  &registro_historico::deslocamento,
                                                  &registro_historico::menor_aresta,
                                                  &registro_historico::jacobiano_minimo,
                                                  &registro_historico::assimetria_maxima,
                                                  &registro_historico::nao_ortogonalidade_maxima,
                                                  &registro_historico::distancia_final};
    for (auto campo : campos) {
        // A row without a value (not a number) shows in the plot as a gap.
        if (std::isnan(l.*campo) || l.*campo < menor_l.*campo) menor_l.*campo = l.*campo;
        if (std::isnan(l.*campo) || l.*campo > maior_l.*campo) maior_l.*campo = l.*campo;
    }
    maior_l.k = l.k;
    maior_l.segundos = l.segundos;
}

}  // namespace

void guarda_registro(reexecucao& c, const registro_historico& l) {
    historico& h = c.h;
    for (auto& s : c.csvs)
        escreve_registro_csv(*s, l);
    if (l.k <= 1 || l.k % c.passo_curtas == 0) h.curtas.push_back(l);
    if (h.passo_grafico == 1) {
        h.grafico.push_back(l);
    } else if (l.k / h.passo_grafico != c.balde) {
        c.balde = l.k / h.passo_grafico;
        h.grafico.push_back(l);
        h.grafico.push_back(l);
    } else {
        abrange_extremos(h.grafico[h.grafico.size() - 2], h.grafico.back(), l);
    }
    h.ultima = l;
    ++h.registros;

    // The least k from which every row is within the tolerance of the final
    // mesh: a row that is not (an undefined one is not) starts the search
    // again after it.
    if (!(l.distancia_final < c.p.tolerancia)) {
        h.recomendado = -1;
        h.registro_anterior = l;
    } else if (h.recomendado < 0) {
        h.recomendado = l.k;
        h.registro_recomendado = l;
    }
    if (l.k > 0) {
        if (c.ultimos.size() == maximo_ultimos) c.ultimos.erase(c.ultimos.begin());
        c.ultimos.push_back(l.deslocamento);
    }
}

}  // namespace historico_interno

std::string cabecalho_csv_historico() {
    return std::string("k,") + nome::residuo_x + "_max," + nome::residuo_x + "_rms," + nome::residuo_y +
           "_max," + nome::residuo_y +
           "_rms,largest_move,largest_move_per_shortest_edge,displacement,shortest_edge," +
           nome::jacobiano_escalado + "_min," + nome::assimetria + "_max," + nome::nao_ortogonalidade +
           "_max,seconds,distance_from_final_per_shortest_edge\r\n";
}

}  // namespace malhas_qualidade
