// The CSV table: one row per volume, with every measure.
#include "malhas_qualidade/comum/numeros.hpp"
#include "malhas_qualidade/comum/saida.hpp"
#include "malhas_qualidade/exportacao/exportacao.hpp"

namespace malhas_qualidade {

void escreve_csv(const std::string& nome, const malha_lida& m, const medidas_malha& med) {
    saida_atomica s;
    abre_saida(s, nome);
    escreve(s, std::string("volume,i,j,") + nome::area + "," + nome::razao_aspecto + "," + nome::assimetria +
                   "," + nome::jacobiano_escalado + "," + nome::angulo_minimo + "," + nome::angulo_maximo +
                   "," + nome::invertido + "," + nome::crescimento_ksi + "," + nome::crescimento_eta + "," +
                   nome::nao_ortogonalidade_max + "\r\n");
    const std::vector<double>* const colunas[] = {&med.area,          &med.razao_aspecto,
                                                  &med.assimetria,    &med.jacobiano_escalado,
                                                  &med.angulo_minimo, &med.angulo_maximo};
    for (std::int64_t j = 1; j <= m.nvol_eta; ++j) {
        for (std::int64_t i = 1; i <= m.nvol_ksi; ++i) {
            const std::int64_t p = volume(m, i, j);
            const auto k = static_cast<std::size_t>(p);
            char* const inicio = reserva(s, 512);
            char* q = inicio;
            q = escreve_inteiro(q, p);
            *q++ = ',';
            q = escreve_inteiro(q, i);
            *q++ = ',';
            q = escreve_inteiro(q, j);
            for (const auto* c : colunas) {
                *q++ = ',';
                q = escreve_real(q, (*c)[k]);
            }
            *q++ = ',';
            *q++ = med.invertido[k] ? '1' : '0';
            *q++ = ',';
            q = escreve_real(q, med.crescimento_ksi[k]);
            *q++ = ',';
            q = escreve_real(q, med.crescimento_eta[k]);
            *q++ = ',';
            const double n = nao_ortogonalidade_volume(m, med, vertice(m, i, j));
            if (!std::isnan(n)) q = escreve_real(q, n);  // empty: no interior corner
            *q++ = '\r';
            *q++ = '\n';
            confirma(s, static_cast<std::size_t>(q - inicio));
        }
    }
    conclui_saida(s);
}

}  // namespace malhas_qualidade
