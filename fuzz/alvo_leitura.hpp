// One fuzz input through the free-format reader, from memory.
//
// The first byte chooses what reads the rest of the input: the reads of the
// case file, the reads of the parameter file, or a free sequence of integer,
// real and text reads that the second byte spells out. A read error is the
// expected end of most inputs; what must never happen is a crash, a
// floating-point trap (the run has them live while it reads), an error other
// than a READ report naming the file, a report carrying control characters
// from the input, or a text item of another length than asked for.
//
// Shared by the libFuzzer target and by the ordinary test suite, which
// replays the seed corpus and every input that once found a fault.
#pragma once

#include <cfenv>
#include <cstddef>
#include <cstdint>
#include <string>

#include "dados/dados.hpp"
#include "dados/leitura.hpp"
#include "tempo_execucao/armadilhas.hpp"
#include "tempo_execucao/relatorio_erro.hpp"
#include "variaveis/variaveis.hpp"

namespace alvo_leitura {

inline const char nome_entrada[] = "entradas.txt";

inline bool texto_limpo(const std::string& s) {
    for (unsigned char c : s) {
        if (c < 0x20 || c == 0x7f) return false;
    }
    return true;
}

// The reads the second byte spells out, two bits per read, lowest first.
inline std::string sequencia_livre(dados::arquivo_entrada& arq, unsigned char programa,
                                   std::size_t comprimento_texto) {
    for (int k = 0; k < 4; ++k) {
        switch ((programa >> (2 * k)) & 3) {
            case 0: {
                std::int32_t item = 12345;
                if (!dados::le_inteiro(arq, item) && item != 12345)
                    return "null integer read changed the item";
                break;
            }
            case 1: {
                double item = 0.5;
                if (!dados::le_real(arq, item) && item != 0.5) return "null real read changed the item";
                break;
            }
            default: {
                std::string item = "antes";
                const bool atribuido = dados::le_texto(arq, item, comprimento_texto);
                if (!atribuido && item != "antes") return "null text read changed the item";
                if (atribuido && item.size() != comprimento_texto) return "text item of the wrong length";
                break;
            }
        }
    }
    return "";
}

// Returns an empty text, or what went wrong.
inline std::string le(const std::uint8_t* dados, std::size_t n) {
    if (n == 0) return "";
    const unsigned modo = dados[0] % 3;
    std::size_t inicio = 1;
    unsigned char programa = 0;
    std::size_t comprimento_texto = variaveis::comprimento_nome_caso;
    if (modo == 2 && n >= 3) {
        programa = dados[1];
        comprimento_texto = dados[2];
        inicio = 3;
    }
    std::string bytes(reinterpret_cast<const char*>(dados) + inicio, n - inicio);

    // The traps of a run, live only while the reader works. Where the C
    // library has no call to unmask them, the reads run without.
    struct armadilhas {
        armadilhas() {
            std::feclearexcept(FE_ALL_EXCEPT);
#if defined(__GLIBC__)
            feenableexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
#endif
        }
        ~armadilhas() {
#if defined(__GLIBC__)
            fedisableexcept(FE_ALL_EXCEPT);
#endif
            std::feclearexcept(FE_ALL_EXCEPT);
        }
    };

    variaveis::reinicia();
    std::string falha;
    try {
        armadilhas guarda;
        dados::arquivo_entrada arq;
        dados::abre_entrada_memoria(arq, nome_entrada, std::move(bytes));
        if (modo == 0) {
            if (dados::le_valores_entradas(arq).nome_caso.size() != variaveis::comprimento_nome_caso)
                falha = "case name of the wrong length";
        } else if (modo == 1) {
            dados::le_valores_eq_elipticas(arq);
        } else {
            falha = sequencia_livre(arq, programa, comprimento_texto);
        }
        dados::fecha_entrada(arq);
    } catch (const tempo_execucao::erro_execucao& erro) {
        if (erro.instrucao() != std::string("READ (") + nome_entrada + ")") {
            falha = "unexpected statement: " + erro.instrucao();
        } else if (erro.codigo().size() != 4 || erro.codigo().compare(0, 2, "F2") != 0) {
            falha = "unexpected code: " + erro.codigo();
        } else if (!texto_limpo(erro.mensagem())) {
            falha = "control character in the report: " + erro.codigo();
        }
    }
    return falha;
}

}  // namespace alvo_leitura
