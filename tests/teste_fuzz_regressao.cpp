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

void replay(const std::filesystem::path& pasta, std::size_t minimo) {
    ASSERT_TRUE(std::filesystem::is_directory(pasta)) << pasta;
    std::size_t n = 0;
    for (const auto& entrada : std::filesystem::directory_iterator(pasta)) {
        if (!entrada.is_regular_file() || entrada.path().filename().string()[0] == '.') continue;
        const std::string bytes = apoio::le_arquivo(entrada.path());
        EXPECT_EQ(alvo_leitura::le(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), "")
            << entrada.path();
        ++n;
    }
    EXPECT_GE(n, minimo) << pasta;
    variaveis::reinicia();
}

TEST(FuzzLeitura, CorpusInicialPassaPeloLeitor) {
    replay(std::filesystem::path(MALHAS_FUZZ_DIR) / "corpus", 10);
}

TEST(FuzzLeitura, EntradasQueJaAcharamFalhasPassamPeloLeitor) {
    replay(std::filesystem::path(MALHAS_FUZZ_DIR) / "regressoes", 0);
}

}  // namespace
