// The calls of sistema.hpp that are the same on every platform.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "tempo_execucao/sistema.hpp"

namespace sistema {

// The Windows calls set errno from their own error codes (sistema_win32.cpp),
// so one C library text serves both platforms.
std::string descricao_erro(int numero) {
    const char* texto = std::strerror(numero);
    return texto != nullptr ? std::string(texto) : "error " + std::to_string(numero);
}

std::string nome_unico(const std::string& pasta, const std::string& base) {
    static std::atomic<unsigned> contador{0};
    const auto relogio =
        static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
    char sufixo[64];
    std::snprintf(sufixo, sizeof sufixo, ".%lu.%u.%06llx.tmp", numero_processo(), contador.fetch_add(1),
                  (relogio >> 4) & 0xFFFFFFull);
    std::string nome = pasta;
    // Both separators are taken on Windows, '/' everywhere.
    if (!nome.empty() && nome.back() != '/' && nome.back() != '\\') nome += '/';
    return nome + "." + base + sufixo;
}

}  // namespace sistema
