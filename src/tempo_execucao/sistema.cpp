// The calls of sistema.hpp that are the same on every platform.
#include <atomic>
#include <cerrno>
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

namespace {

// Names are tried until one is free; each is registered before it exists,
// so that no interruption finds it made and not yet registered.
int cria_registrado(const std::string& pasta, const std::string& base, bool pasta_nova, std::string& nome,
                    int& registro, int (*cria)(const char*)) {
    for (int tentativa = 0; tentativa < 100; ++tentativa) {
        nome = nome_unico(pasta, base);
        registro = registra_temporario(nome.c_str(), pasta_nova);
        if (registro < 0) {
            errno = ENAMETOOLONG;
            return -1;
        }
        const int r = cria(nome.c_str());
        if (r >= 0) return r;
        const int erro = errno;
        esquece_temporario(registro);
        registro = -1;
        errno = erro;
        if (erro != EEXIST) return -1;
    }
    return -1;
}

}  // namespace

int cria_exclusivo(const std::string& pasta, const std::string& base, std::string& nome, int& registro) {
    return cria_registrado(pasta, base, false, nome, registro, abre_novo);
}

int cria_pasta_exclusiva(const std::string& pasta, const std::string& base, std::string& nome,
                         int& registro) {
    return cria_registrado(pasta, base, true, nome, registro, cria_pasta);
}

}  // namespace sistema
