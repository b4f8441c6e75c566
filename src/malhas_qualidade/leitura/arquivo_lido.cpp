#include "malhas_qualidade/leitura/arquivo_lido.hpp"

#include <cerrno>

#include "malhas_qualidade/comum/erros.hpp"
#include "tempo_execucao/sistema.hpp"

namespace malhas_qualidade {

arquivo_lido::~arquivo_lido() {
    if (fd >= 0) sistema::fecha(fd);
}

void abre_lido(arquivo_lido& a, const std::string& nome, bool resultado) {
    a.nome = nome;
    sistema::recusa_leitura recusa;
    a.fd = sistema::abre_leitura_existente(nome.c_str(), resultado, recusa);
    switch (recusa) {
        case sistema::recusa_leitura::nenhuma:
            return;
        case sistema::recusa_leitura::ocupado:
            falha(nome, 0, "malhas_segmentos is writing it: run again once it has finished");
        case sistema::recusa_leitura::nao_regular:
            falha(nome, 0, "cannot open: not a regular file (a folder, FIFO, socket or device)");
        case sistema::recusa_leitura::sistema:
            break;
    }
    falha(nome, 0, "cannot open: " + sistema::descricao_erro(errno));
}

std::size_t le_bytes(arquivo_lido& a, char* destino, std::size_t n) {
    const long long lidos = sistema::le(a.fd, destino, n);
    if (lidos < 0) falha(a.nome, 0, "the system refused the read: " + sistema::descricao_erro(errno));
    return static_cast<std::size_t>(lidos);
}

}  // namespace malhas_qualidade
