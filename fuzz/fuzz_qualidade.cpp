// libFuzzer entry for malhas_qualidade's parsers of the result files. Any
// exception other than the program's own failure escapes and ends the run as
// a finding, as does a broken rule that alvo_qualidade::le reports.
#include <cstdio>
#include <cstdlib>

#include "alvo_qualidade.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* dados, std::size_t n) {
    const std::string falha = alvo_qualidade::le(dados, n);
    if (!falha.empty()) {
        std::fprintf(stderr, "fuzz_qualidade: %s\n", falha.c_str());
        std::abort();
    }
    return 0;
}
