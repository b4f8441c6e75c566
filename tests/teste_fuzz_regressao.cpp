// The fuzz target's inputs replayed in every build: the seed corpus, and
// each input that once found a fault in the readers (fuzz/regressoes), so a
// fault the fuzzer found stays found.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "alvo_leitura.hpp"
#include "apoio.hpp"

namespace {

// The inputs of a folder, its hidden files (.gitkeep) left out.
std::vector<std::filesystem::path> entradas_de(const std::filesystem::path& pasta) {
    std::vector<std::filesystem::path> arquivos;
    for (const auto& entrada : std::filesystem::directory_iterator(pasta)) {
        if (entrada.is_regular_file() && entrada.path().filename().string()[0] != '.')
            arquivos.push_back(entrada.path());
    }
    return arquivos;
}

void replay(const std::vector<std::filesystem::path>& arquivos) {
    for (const auto& arquivo : arquivos) {
        const std::string bytes = apoio::le_arquivo(arquivo);
        EXPECT_EQ(alvo_leitura::le(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), "")
            << arquivo;
    }
    variaveis::reinicia();
}

TEST(FuzzLeitura, CorpusInicialPassaPeloLeitor) {
    const auto arquivos = entradas_de(std::filesystem::path(MALHAS_FUZZ_DIR) / "corpus");
    EXPECT_GE(arquivos.size(), 10u);
    replay(arquivos);
}

TEST(FuzzLeitura, EntradasQueJaAcharamFalhasPassamPeloLeitor) {
    const auto arquivos = entradas_de(std::filesystem::path(MALHAS_FUZZ_DIR) / "regressoes");
    if (arquivos.empty()) GTEST_SKIP() << "fuzz/regressoes holds no input yet: the fuzzer has found no fault";
    replay(arquivos);
}

}  // namespace
