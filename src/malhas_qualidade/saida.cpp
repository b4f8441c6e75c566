#include "malhas_qualidade/saida.hpp"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "malhas_qualidade/erros.hpp"

namespace malhas_qualidade {

namespace {

constexpr std::size_t tamanho_buffer = std::size_t{1} << 20;

void descarrega(arquivo_saida& s) {
    if (s.usado == 0) return;
    if (std::fwrite(s.buffer.data(), 1, s.usado, s.f) != s.usado) {
        const int numero = errno;
        falha(s.nome, 0, std::string("cannot write: ") + std::strerror(numero));
    }
    s.usado = 0;
}

}  // namespace

arquivo_saida::~arquivo_saida() {
    if (f != nullptr) {
        std::fclose(f);
        std::error_code ec;
        std::filesystem::remove(temporario, ec);
    }
}

void abre_saida(arquivo_saida& s, const std::string& nome) {
    s.nome = nome;
    s.temporario = nome + ".tmp";
    std::error_code ec;
    if (std::filesystem::is_directory(nome, ec)) falha(nome, 0, "cannot write: it is a folder");
    s.f = std::fopen(s.temporario.c_str(), "wb");
    if (s.f == nullptr) {
        const int numero = errno;
        falha(nome, 0, "cannot write (" + s.temporario + "): " + std::strerror(numero));
    }
    s.buffer.resize(tamanho_buffer);
    s.usado = 0;
}

void escreve(arquivo_saida& s, const void* bytes, std::size_t n) {
    const char* p = static_cast<const char*>(bytes);
    while (n > 0) {
        if (s.usado == s.buffer.size()) descarrega(s);
        const std::size_t parte = std::min(n, s.buffer.size() - s.usado);
        std::memcpy(s.buffer.data() + s.usado, p, parte);
        s.usado += parte;
        p += parte;
        n -= parte;
    }
}

char* reserva(arquivo_saida& s, std::size_t n) {
    if (s.buffer.size() - s.usado < n) descarrega(s);
    if (s.buffer.size() < n) s.buffer.resize(n);
    return s.buffer.data() + s.usado;
}

void conclui_saida(arquivo_saida& s) {
    descarrega(s);
    std::FILE* f = s.f;
    s.f = nullptr;
    const bool erro = std::fflush(f) != 0 || std::ferror(f) != 0;
    const int numero = errno;
    const bool erro_fechar = std::fclose(f) != 0;
    std::error_code ec;
    if (erro || erro_fechar) {
        std::filesystem::remove(s.temporario, ec);
        falha(s.nome, 0, std::string("cannot write: ") + std::strerror(numero));
    }
    // Replaces an existing file of that name, on Windows as well.
    std::filesystem::rename(s.temporario, s.nome, ec);
    if (ec) {
        std::error_code ec2;
        std::filesystem::remove(s.temporario, ec2);
        falha(s.nome, 0, "cannot give the file its name: " + ec.message());
    }
}

char* escreve_real(char* p, double v) {
    if (std::isnan(v)) {
        std::memcpy(p, "nan", 3);
        return p + 3;
    }
    return std::to_chars(p, p + 32, v).ptr;
}

char* escreve_inteiro(char* p, std::int64_t v) {
    return std::to_chars(p, p + 24, v).ptr;
}

}  // namespace malhas_qualidade
