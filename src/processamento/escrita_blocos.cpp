#include "processamento/escrita_blocos.hpp"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <stdexcept>

#include "tempo_execucao/alocacao.hpp"
#include "tempo_execucao/armadilhas.hpp"

namespace processamento {

namespace {

constexpr std::size_t bytes_por_bloco = std::size_t{1} << 20;
constexpr int maximo_trabalhadores = 8;

std::int64_t numero_de_blocos(std::int64_t n_itens, std::size_t bytes_por_item) {
    const std::int64_t por_bloco = itens_por_bloco(bytes_por_item);
    return n_itens > 0 ? (n_itens + por_bloco - 1) / por_bloco : 0;
}

// The threads besides this one that format the blocks of a write: this one
// formats too whenever the block it is to write next is not ready, so it and
// fios - 1 others keep as many cores busy.
int trabalhadores_para(std::int64_t n_blocos, int fios) {
    return static_cast<int>(
        std::max<std::int64_t>(0, std::min<std::int64_t>({fios - 1, maximo_trabalhadores, n_blocos - 1})));
}

// Block k goes to slot k % n_slots, which is free again once block
// k - n_slots has been written: a few blocks per thread in flight.
int slots_para(int trabalhadores) {
    return trabalhadores < 1 ? 1 : 2 * (trabalhadores + 1) + 2;
}

}  // namespace

std::int64_t itens_por_bloco(std::size_t bytes_por_item) {
    return static_cast<std::int64_t>(std::max<std::size_t>(1, bytes_por_bloco / bytes_por_item));
}

void prepara_blocos(blocos_escrita& b, std::initializer_list<escrita_prevista> escritas,
                    std::size_t bytes_rascunho, int fios) {
    int trabalhadores = 0;
    std::size_t bytes_bloco = 0;
    for (const escrita_prevista& e : escritas) {
        const std::int64_t n_blocos = numero_de_blocos(e.n_itens, e.bytes_por_item);
        if (n_blocos == 0) continue;
        trabalhadores = std::max(trabalhadores, trabalhadores_para(n_blocos, fios));
        bytes_bloco = std::max(
            bytes_bloco, static_cast<std::size_t>(itens_por_bloco(e.bytes_por_item)) * e.bytes_por_item);
    }
    b.n_fios = fios;
    b.bytes_bloco = bytes_bloco;
    if (bytes_bloco == 0) return;  // no write has an item
    {
        tempo_execucao::alocando nome("result line blocks");
        b.blocos.resize(static_cast<std::size_t>(slots_para(trabalhadores)));
        for (auto& s : b.blocos)
            s.dados = std::make_unique<char[]>(bytes_bloco + bytes_rascunho);
    }
    tempo_execucao::alocando nome("helper threads");
    b.fios.reserve(static_cast<std::size_t>(trabalhadores));
}

namespace {

// One write: its blocks formatted by the helper threads and by the writer,
// the writer writing them in order. The blocks are taken in order, so the
// one the writer waits for is always being formatted, by a worker or by the
// writer itself.
class escrita {
  public:
    escrita(arquivo_saida& arq, std::int64_t n_itens, std::size_t bytes_por_item, formatador_itens formata,
            blocos_escrita& b)
        : arq_(arq),
          n_itens_(n_itens),
          bytes_por_item_(bytes_por_item),
          formata_(formata),
          b_(b),
          por_bloco_(itens_por_bloco(bytes_por_item)),
          n_blocos_(numero_de_blocos(n_itens, bytes_por_item)) {}

    std::int64_t n_blocos() const { return n_blocos_; }

    void formata_bloco(std::int64_t k, blocos_escrita::bloco& s) {
        const std::int64_t primeiro = k * por_bloco_, ultimo = std::min(n_itens_, primeiro + por_bloco_);
        formata_(primeiro, ultimo, s.dados.get(), s.dados.get() + b_.bytes_bloco);
        s.bytes = static_cast<std::size_t>(ultimo - primeiro) * bytes_por_item_;
    }

    // This thread alone, in the first block buffer.
    void sozinho() {
        blocos_escrita::bloco& s = b_.blocos.front();
        for (std::int64_t k = 0; k < n_blocos_; ++k) {
            formata_bloco(k, s);
            escreve_direto(arq_, s.dados.get(), s.bytes);
        }
    }

    // With up to trabalhadores helper threads; alone when none starts.
    void em_fios(int trabalhadores) {
        n_slots_ = slots_para(trabalhadores);
        for (int k = 0; k < n_slots_; ++k)
            b_.blocos[static_cast<std::size_t>(k)].pronto = false;
        ambiente_ = tempo_execucao::ambiente_fp_atual();
        // The room is there, so only the start of a thread can fail (the
        // system gives no more, or not the memory for its state): the
        // threads already running are then enough, and a failed start
        // leaves none behind.
        for (int t = 0; t < trabalhadores; ++t) {
            try {
                b_.fios.emplace_back([this] { trabalha(); });
            } catch (const std::exception&) {
                break;
            }
        }
        if (b_.fios.empty()) {
            sozinho();
            return;
        }
        try {
            escreve_em_ordem();
        } catch (...) {
            para_todos();
            throw;
        }
        para_todos();
    }

  private:
    void trabalha() {
        tempo_execucao::adota_ambiente_fp(ambiente_);
        for (;;) {
            std::int64_t k;
            blocos_escrita::bloco* s;
            {
                std::unique_lock<std::mutex> l(trava_);
                if (parar_ || proximo_ == n_blocos_) return;
                k = proximo_++;
                mudou_.wait(l, [&] { return parar_ || k < escritos_ + n_slots_; });
                if (parar_) return;
                s = &b_.blocos[static_cast<std::size_t>(k % n_slots_)];
            }
            try {
                formata_bloco(k, *s);
            } catch (...) {
                std::lock_guard<std::mutex> l(trava_);
                if (!erro_) erro_ = std::current_exception();
                parar_ = true;
                mudou_.notify_all();
                return;
            }
            std::lock_guard<std::mutex> l(trava_);
            s->pronto = true;
            mudou_.notify_all();
        }
    }

    // Each block in order: written once ready, formatted here meanwhile
    // when another is free to be taken.
    void escreve_em_ordem() {
        for (std::int64_t k = 0; k < n_blocos_; ++k) {
            blocos_escrita::bloco& s = b_.blocos[static_cast<std::size_t>(k % n_slots_)];
            for (;;) {
                std::int64_t meu;
                {
                    std::unique_lock<std::mutex> l(trava_);
                    auto ha_bloco_livre = [&] {
                        return proximo_ < n_blocos_ && proximo_ < escritos_ + n_slots_;
                    };
                    mudou_.wait(l, [&] { return s.pronto || erro_ || ha_bloco_livre(); });
                    if (erro_) std::rethrow_exception(erro_);
                    if (s.pronto) break;
                    meu = proximo_++;
                }
                blocos_escrita::bloco& t = b_.blocos[static_cast<std::size_t>(meu % n_slots_)];
                formata_bloco(meu, t);
                std::lock_guard<std::mutex> l(trava_);
                t.pronto = true;
            }
            escreve_direto(arq_, s.dados.get(), s.bytes);
            std::lock_guard<std::mutex> l(trava_);
            s.pronto = false;
            escritos_ = k + 1;
            mudou_.notify_all();
        }
    }

    void para_todos() {
        {
            std::lock_guard<std::mutex> l(trava_);
            parar_ = true;
        }
        mudou_.notify_all();
        for (auto& t : b_.fios)
            t.join();
        b_.fios.clear();
    }

    arquivo_saida& arq_;
    const std::int64_t n_itens_;
    const std::size_t bytes_por_item_;
    formatador_itens formata_;
    blocos_escrita& b_;
    const std::int64_t por_bloco_, n_blocos_;
    int n_slots_ = 1;
    tempo_execucao::ambiente_fp ambiente_{};
    std::mutex trava_;
    std::condition_variable mudou_;
    std::int64_t proximo_ = 0;   // the next block to be taken
    std::int64_t escritos_ = 0;  // blocks written
    bool parar_ = false;
    std::exception_ptr erro_;
};

}  // namespace

void escreve_itens(arquivo_saida& arq, std::int64_t n_itens, std::size_t bytes_por_item,
                   formatador_itens formata, blocos_escrita& b) {
    if (n_itens <= 0) return;
    escrita e(arq, n_itens, bytes_por_item, formata, b);
    if (b.blocos.empty() ||
        static_cast<std::size_t>(itens_por_bloco(bytes_por_item)) * bytes_por_item > b.bytes_bloco)
        throw std::logic_error("escreve_itens: a write that prepara_blocos was not told of");
    // As many helpers as the write repays and the prepared slots and room allow.
    int trabalhadores = trabalhadores_para(e.n_blocos(), b.n_fios);
    while (trabalhadores > 0 && (static_cast<std::size_t>(slots_para(trabalhadores)) > b.blocos.size() ||
                                 static_cast<std::size_t>(trabalhadores) > b.fios.capacity()))
        --trabalhadores;
    if (trabalhadores < 1)
        e.sozinho();
    else
        e.em_fios(trabalhadores);
}

}  // namespace processamento
