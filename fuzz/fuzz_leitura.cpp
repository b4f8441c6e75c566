// libFuzzer entry for the input readers. Any exception other than the READ
// report escapes and ends the run as a finding, as does a broken rule that
// alvo_leitura::le reports.
#include <cstdio>
#include <cstdlib>

#include "alvo_leitura.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* dados, std::size_t n) {
    const std::string falha = alvo_leitura::le(dados, n);
    if (!falha.empty()) {
        std::fprintf(stderr, "fuzz_leitura: %s\n", falha.c_str());
        std::abort();
    }
    return 0;
}
