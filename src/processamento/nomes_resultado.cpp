#include "processamento/nomes_resultado.hpp"

#include <cctype>
#include <filesystem>

#include "tempo_execucao/relatorio_erro.hpp"

namespace processamento {

namespace {

// Two names that lead to the same file, as far as the names alone tell.
bool mesmo_nome(const std::string& a, const std::string& b) {
    std::string na = std::filesystem::path(a).lexically_normal().generic_string();
    std::string nb = std::filesystem::path(b).lexically_normal().generic_string();
    if (sistema::nomes_ignoram_caixa()) {
        auto minusculas = [](std::string s) {
            for (char& c : s)
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            return s;
        };
        na = minusculas(na);
        nb = minusculas(nb);
    }
    return na == nb;
}

bool mesmo_destino(const std::string& a, const std::string& b) {
    return mesmo_nome(destino_resolvido(a), destino_resolvido(b));
}

[[noreturn]] void recusa_colisao(const std::string& resultado, const std::string& outro) {
    tempo_execucao::falha_es(tempo_execucao::codigo_mesmo_arquivo, "OPEN", resultado,
                             "the result file would be the same file as " + outro);
}

}  // namespace

// A dangling last link counts too, since opening for writing creates its
// target.
std::string destino_resolvido(const std::string& nome) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path p = fs::absolute(fs::path(nome), ec).lexically_normal();
    for (int saltos = 0; saltos < 40; ++saltos) {
        const fs::path pasta = fs::weakly_canonical(p.parent_path(), ec);
        if (!ec) p = pasta / p.filename();
        if (!fs::is_symlink(fs::symlink_status(p, ec))) break;
        const fs::path alvo = fs::read_symlink(p, ec);
        if (ec) break;
        p = (alvo.is_absolute() ? alvo : p.parent_path() / alvo).lexically_normal();
    }
    return p.string();
}

bool leva_ao_mesmo_arquivo(const std::string& a, const std::string& b) {
    if (mesmo_nome(a, b) || mesmo_destino(a, b)) return true;
    const sistema::identidade_arquivo id_a = sistema::identidade(a);
    return id_a.valida && id_a == sistema::identidade(b);
}

std::string sem_brancos_finais(const std::string& s) {
    const auto fim = s.find_last_not_of(' ');
    return fim == std::string::npos ? std::string() : s.substr(0, fim + 1);
}

std::string base_do_nome(const std::string& nome_caso) {
    const auto inicio = nome_caso.find_first_not_of(' ');
    if (inicio == std::string::npos) return std::string();
    return sem_brancos_finais(nome_caso.substr(inicio));
}

std::string nome_relatorio(const std::string& nome_caso) {
    return base_do_nome(nome_caso) + ".txt";
}

std::string nome_volumes(const std::string& nome_caso) {
    return base_do_nome(nome_caso) + "_vert.txt";
}

void confere_nomes_distintos(const std::string resultados[3]) {
    const std::string entradas[] = {nome_entradas, nome_eq_elipticas};
    for (int a = 0; a < 3; ++a) {
        for (const std::string& entrada : entradas) {
            if (leva_ao_mesmo_arquivo(resultados[a], entrada)) recusa_colisao(resultados[a], entrada);
        }
        for (int b = a + 1; b < 3; ++b) {
            if (leva_ao_mesmo_arquivo(resultados[a], resultados[b]))
                recusa_colisao(resultados[a], resultados[b]);
        }
    }
}

void confere_nomes_abriveis(const std::string resultados[3]) {
    for (int a = 0; a < 3; ++a) {
        const std::string& nome = resultados[a];
        auto recusa = [&](const char* razao) {
            tempo_execucao::falha_es(tempo_execucao::codigo_abrir, "OPEN", nome,
                                     std::string("cannot open the file: ") + razao);
        };
        if (sistema::nome_de_dispositivo(nome)) recusa("the name of a device, not of a file");
        // A folder is left to the open, whose reason the report gives.
        std::error_code ec;
        if (sistema::tipo_do_nome(nome) == sistema::tipo_nome::outro &&
            !std::filesystem::is_directory(nome, ec))
            recusa("not a regular file");
    }
}

void confere_abertos_distintos(arquivo_saida* arquivos[3], const std::string entradas[2]) {
    for (int a = 0; a < 3; ++a) {
        const sistema::identidade_arquivo id_a = identidade(*arquivos[a]);
        if (!id_a.valida) continue;
        for (int e = 0; e < 2; ++e) {
            if (id_a == sistema::identidade(entradas[e])) recusa_colisao(arquivos[a]->nome, entradas[e]);
        }
        for (int b = a + 1; b < 3; ++b) {
            if (id_a == identidade(*arquivos[b])) recusa_colisao(arquivos[a]->nome, arquivos[b]->nome);
        }
    }
}

}  // namespace processamento
