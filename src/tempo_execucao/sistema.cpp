// The calls of sistema.hpp that are the same on every platform.
#include <cstring>

#include "tempo_execucao/sistema.hpp"

namespace sistema {

// The Windows calls set errno from their own error codes (sistema_win32.cpp),
// so one C library text serves both platforms.
std::string descricao_erro(int numero) {
    const char* texto = std::strerror(numero);
    return texto != nullptr ? std::string(texto) : "error " + std::to_string(numero);
}

}  // namespace sistema
