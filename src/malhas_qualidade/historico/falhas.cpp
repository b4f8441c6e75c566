// The faults the program's own run of the case files would end at: where
// and how, replayed by the program's own routines.
#include <utility>

#include "coef/coef.hpp"
#include "malhas_qualidade/historico/reexecucao.hpp"
#include "metricas/metricas.hpp"
#include "solvers/varreduras_xy.hpp"
#include "tempo_execucao/armadilhas.hpp"
#include "variaveis/variaveis.hpp"

namespace malhas_qualidade::historico_interno {

namespace v = variaveis;

// Whether the metric terms or the coefficients of this iteration faulted.
// The flag may have been cleared by a later step run on helper threads, but
// a fault there always leaves a value out of the double range in jac, ap or
// ane (an overflow in the metric terms makes alfa or gama infinite, and so
// ap; a zero determinant makes jac infinite), and from finite coordinates
// nothing else does.
bool coeficientes_falharam() {
    if (tempo_execucao::falha_fp_sinalizada()) return true;
    const std::int64_t nk = v::nvert_ksi;
    for (std::int64_t j = 2; j <= v::nvert_eta - 1; ++j)
        for (std::int64_t e = v::numero_vertice(2, j, nk); e <= v::numero_vertice(nk - 1, j, nk); ++e)
            if (!std::isfinite(v::jac[e]) || !std::isfinite(v::ap[e]) || !std::isfinite(v::ane[e]))
                return true;
    return false;
}

// The first interior vertex, in the order of the run's loops, at which the
// metric terms (and, with coeficientes, the coefficients) raise a fault flag,
// each replayed on a copy of the vertex and its eight neighbours by the
// program's own routines; -1 when the metric terms' factors (0.5/dksi,
// 0.5/deta), computed before any vertex, fault; 0 when none does.
namespace {

std::int64_t primeira_falha(bool coeficientes, int& sinalizadas) {
    const variaveis::estado corrida = v::estado_atual();
    double x3[10] = {}, y3[10] = {};
    double trabalho[variaveis::n_arrays_trabalho][10] = {};
    auto copia_de = [&](std::int32_t n) {
        variaveis::estado copia = variaveis::estado_de_malha(n, n, x3, y3);
        copia.dksi = corrida.dksi;
        copia.deta = corrida.deta;
        copia.tipo_p = corrida.tipo_p;
        copia.tipo_q = corrida.tipo_q;
        for (int k = 0; k < variaveis::n_arrays_trabalho; ++k)
            copia.trabalho[k] = trabalho[k];
        return copia;
    };
    {
        // One volume: no interior vertex, only the factors.
        const variaveis::estado_emprestado emprestimo(copia_de(1));
        std::feclearexcept(FE_ALL_EXCEPT);
        metricas::calcula_metricas();
        sinalizadas = std::fetestexcept(falhas_fp);
        if (sinalizadas != 0) return -1;
    }
    const variaveis::estado copia = copia_de(2);
    const std::int64_t nk = corrida.nvert_ksi;
    for (std::int64_t j = 2; j <= corrida.nvert_eta - 1; ++j) {
        for (std::int64_t i = 2; i <= nk - 1; ++i) {
            const std::int64_t vv = v::numero_vertice(i, j, nk);
            for (int dj = -1; dj <= 1; ++dj)
                for (int di = -1; di <= 1; ++di) {
                    x3[1 + (dj + 1) * 3 + (di + 1)] = corrida.x[vv + dj * nk + di];
                    y3[1 + (dj + 1) * 3 + (di + 1)] = corrida.y[vv + dj * nk + di];
                }
            const variaveis::estado_emprestado emprestimo(copia);
            std::feclearexcept(FE_ALL_EXCEPT);
            metricas::calcula_metricas();
            if (coeficientes) {
                coef::zera_fontes();
                coef::calcula_coef();
            }
            sinalizadas = std::fetestexcept(falhas_fp);
            if (sinalizadas != 0) return vv;
        }
    }
    return 0;
}

}  // namespace

void falha_nos_coeficientes(reexecucao& c, std::int64_t k) {
    falha_reexecucao& f = c.h.falha;
    f.etapa = falha_reexecucao::onde::coeficientes;
    f.k = k;
    f.sinalizadas = std::fetestexcept(falhas_fp);
    // The run computes every metric term before any coefficient: a fault of
    // the metric terms anywhere comes first.
    int sinalizadas = 0;
    f.vertice = primeira_falha(false, sinalizadas);
    if (f.vertice == 0) f.vertice = primeira_falha(true, sinalizadas);
    if (f.vertice != 0) f.sinalizadas = sinalizadas;
}

// The sweeps of this iteration faulted: x and y went through them in order
// (varreduras_xy.hpp), one sweep at a time replayed from the mesh before
// them tells which coordinate and which sweep faulted first.
void falha_nas_varreduras(reexecucao& c, std::int64_t k) {
    falha_reexecucao& f = c.h.falha;
    f.etapa = falha_reexecucao::onde::varreduras;
    f.k = k;
    f.sinalizadas = std::fetestexcept(falhas_fp);
    std::vector<double> phi;
    for (const auto& [coordenada, origem] : {std::pair{'x', &c.ex}, std::pair{'y', &c.ey}}) {
        phi = *origem;
        for (std::int32_t s = 1; s <= v::niter_solver; ++s) {
            std::feclearexcept(FE_ALL_EXCEPT);
            solvers::gauss_seidel_em_ordem(phi.data(), v::ap, v::ae, v::aw, v::an, v::as, v::ane, v::anw,
                                           v::ase, v::asw, v::nvert_ksi, v::nvert_eta, 1);
            const int sinalizadas = std::fetestexcept(falhas_fp);
            if (sinalizadas == 0) continue;
            f.sinalizadas = sinalizadas;
            f.coordenada = coordenada;
            f.varredura = s;
            return;
        }
    }
}

}  // namespace malhas_qualidade::historico_interno
