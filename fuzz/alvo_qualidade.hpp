// One fuzz input through malhas_qualidade's parsers of the result files,
// from memory.
//
// The first byte chooses the parser: even, the rest is a report file, and a
// report that parses is then measured and its residual computed; odd, the
// rest is a volume file checked against a mesh of (1 + second byte % 8) x
// (1 + third byte % 8) volumes. A failure naming the file is the expected end
// of most inputs; what must never happen is a crash, any other exception, or
// a failure that does not name the file.
//
// Shared by the libFuzzer target and by the test suite, which replays the
// seed corpus.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "malhas_qualidade/comum/erros.hpp"
#include "malhas_qualidade/leitura/arquivos_caso.hpp"
#include "malhas_qualidade/leitura/malha_lida.hpp"
#include "malhas_qualidade/medidas/medidas.hpp"
#include "malhas_qualidade/medidas/residuo.hpp"

namespace alvo_qualidade {

// Returns an empty text, or what went wrong.
inline std::string le(const std::uint8_t* dados, std::size_t n) {
    using namespace malhas_qualidade;
    if (n == 0) return "";
    const bool volumes = (dados[0] & 1) != 0;
    std::size_t inicio = 1;
    malha_lida m;
    if (volumes) {
        if (n < 3) return "";
        dimensiona(m, 1 + dados[1] % 8, 1 + dados[2] % 8);
        inicio = 3;
    }
    const std::string bytes(reinterpret_cast<const char*>(dados) + inicio, n - inicio);
    const std::string nome = volumes ? "caso_vert.txt" : "caso.txt";
    try {
        if (volumes) {
            le_volumes_memoria(nome, bytes, m);
        } else {
            le_relatorio_memoria(nome, bytes, m);
            if (static_cast<std::int64_t>(m.x.size()) != m.nvert + 1)
                return "vertex count differs from the sizes";
            medidas_malha med;
            calcula_medidas(m, med);
            parametros par;
            par.dksi = par.deta = 1.0;
            residuo_malha r;
            calcula_residuo(m, par, r);
        }
    } catch (const falha_qualidade& f) {
        if (f.arquivo != nome) return "failure not naming the file: " + f.texto;
    }
    return "";
}

}  // namespace alvo_qualidade
