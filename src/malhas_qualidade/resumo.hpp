// The summary on standard output: what a person reads at a glance.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "malhas_qualidade/arquivos_caso.hpp"
#include "malhas_qualidade/malha_lida.hpp"
#include "malhas_qualidade/malha_openfoam.hpp"
#include "malhas_qualidade/medidas.hpp"
#include "malhas_qualidade/residuo.hpp"

namespace malhas_qualidade {

// printf onto the end of a text: the summary's lines, and those of the parts
// other files add to it.
#if defined(__GNUC__)
__attribute__((format(printf, 2, 3)))
#endif
void acrescenta(std::string& s, const char* formato, ...);

// Smallest, mean and largest of the values 1 .. n that are finite, the
// position of the worst one (the largest, or the smallest when pior_menor),
// and how many are not finite (undefined: the arithmetic overflowed).
struct estatistica {
    double minimo = 0.0, media = 0.0, maximo = 0.0;
    std::int64_t pior = 0;  // 0 when no value is finite
    std::int64_t contados = 0;
    std::int64_t indefinidos = 0, primeiro_indefinido = 0;
};
estatistica estatistica_de(const std::vector<double>& v, bool pior_menor);

// The largest and the root mean square of a residual over the interior
// vertices that have one (not a number: undefined), in the order of the
// vertices, and the vertex of the largest: what the summary reports.
struct resumo_residuo {
    double maximo = 0.0, rms = 0.0;
    std::int64_t onde = 0, definidos = 0;
};
resumo_residuo resume_residuo(const malha_lida& m, const std::vector<double>& r);

// A move of the mesh smaller than this share of its shortest edge does not
// show in a plot of it.
inline constexpr double fracao_visivel = 1.0e-3;

struct dados_resumo {
    std::string nome_caso;  // trimmed
    std::string relatorio, volumes;
    std::int32_t tipo_malha = 0;  // 0 when unknown
    const malha_lida* malha = nullptr;
    const medidas_malha* medidas = nullptr;
    const parametros* parametros_lidos = nullptr;  // null: no residual
    const residuo_malha* residuo = nullptr;
    const figuras_checkmesh* checkmesh = nullptr;  // null: not computed
};

// The summary's text. indefinido is set when some measure or the residual is
// undefined somewhere, so that the summary gives no verdict there.
std::string texto_resumo(const dados_resumo& d, bool& indefinido);

// The summary's section of checkMesh's figures (resumo_solver.cpp).
void acrescenta_figuras_checkmesh(std::string& s, const dados_resumo& d, bool& indefinido);

// --verifica: every check checkMesh -allGeometry -allTopology (OpenFOAM
// 1912) makes of the mesh --openfoam writes (the figures computed with
// completas), as checkMesh counts them, and the companion's own checks (no
// inverted volume, a scaled Jacobian above zero everywhere), each a line
// with its figures. An undefined figure of any of them fails it: checkMesh
// would stop at a floating-point exception.
struct checagem {
    bool falhou = false;
    std::string texto;
};
struct verificacao {
    std::vector<checagem> simples;                 // those of a plain checkMesh
    std::vector<checagem> geometria;               // those -allGeometry adds
    std::vector<checagem> proprias;                // the companion's own
    std::string avisos;                            // checkMesh's warnings, which fail nothing
    int falhas_simples = 0, falhas_geometria = 0;  // checkMesh's "Failed n mesh checks"
    bool indefinida = false;                       // checkMesh would stop at an exception
    bool falhou = false;                           // exit status 3
};
verificacao verifica_malha(const dados_resumo& d);
std::string texto_verificacao(const verificacao& v);

}  // namespace malhas_qualidade
