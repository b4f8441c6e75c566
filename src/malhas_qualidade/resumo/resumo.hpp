// The summary on standard output: what a person reads at a glance.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "malhas_qualidade/leitura/arquivos_caso.hpp"
#include "malhas_qualidade/leitura/malha_lida.hpp"
#include "malhas_qualidade/medidas/checkmesh.hpp"
#include "malhas_qualidade/medidas/medidas.hpp"
#include "malhas_qualidade/medidas/residuo.hpp"

namespace malhas_qualidade {

// printf onto the end of a text: the summary's lines, and those of the parts
// other files add to it.
#if defined(__GNUC__)
__attribute__((format(printf, 2, 3)))
#endif
void acrescenta(std::string& s, const char* formato, ...);

// Values of a measure or a figure are undefined only where the arithmetic
// overflowed: coordinates whose squares or products leave the double range.
inline constexpr char causa_indefinida_medida[] = "coordinates too large for double arithmetic";
// "; undefined at n UNITS (the cause)", when n is not 0.
void acrescenta_indefinidos(std::string& s, std::int64_t n, const char* unidades);

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

// The summary's section of checkMesh's figures (checkmesh.cpp).
void acrescenta_figuras_checkmesh(std::string& s, const dados_resumo& d, bool& indefinido);

}  // namespace malhas_qualidade
