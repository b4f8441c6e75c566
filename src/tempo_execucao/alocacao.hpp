// Failed allocations and what they were for.
//
// When the system refuses memory, the report names what was being allocated
// ("ALLOCATE (y)", "ALLOCATE (result file buffers)"), and it must get out
// when nothing more can be allocated at all: the name is a static text, the
// exception that carries it holds nothing else, and the report is made in a
// fixed buffer.
//
// The code that allocates says what it allocates with an alocando object for
// as long as it does; the new handler that nomeia_falhas_de_alocacao installs
// turns every failure of operator new into a falta_memoria carrying the
// innermost name at that moment. The name is taken when the allocation
// fails, not when the exception arrives at the program's entry: by then the
// objects that named it are gone.
#pragma once

#include <new>

namespace tempo_execucao {

// A failed allocation. o_que is a static text: making, copying and reporting
// the exception allocates nothing.
class falta_memoria : public std::bad_alloc {
  public:
    explicit falta_memoria(const char* o_que) noexcept : o_que_(o_que) {}
    const char* what() const noexcept override { return "insufficient memory"; }
    const char* o_que() const noexcept { return o_que_; }

  private:
    const char* o_que_;
};

// Names what the calling code allocates while the object lives; objects
// nest, the inner name standing for the time it lives. Only the run's own
// thread names: the helper threads allocate nothing (their failures would
// carry the name of the moment, all the same).
class alocando {
  public:
    explicit alocando(const char* o_que) noexcept;
    ~alocando();
    alocando(const alocando&) = delete;
    alocando& operator=(const alocando&) = delete;

  private:
    const char* anterior_;
};

// What is being allocated now: the innermost name, or "working memory" when
// no code has named anything.
const char* alocando_agora() noexcept;

// Makes every failure of operator new throw falta_memoria with the name of
// that moment. Each program calls it first thing in main.
void nomeia_falhas_de_alocacao() noexcept;

// What a failed allocation names: the name the exception carries, or, for a
// bad_alloc that did not come through the handler, the name of the moment.
const char* o_que_faltou(const std::bad_alloc& falha) noexcept;

// The F501 report of a failed allocation, written on the standard error
// stream without allocating:
//   <CR LF>run-time error F501: ALLOCATE (<o_que>)<CR LF>- insufficient memory<CR LF>
void escreve_relatorio_memoria(const char* o_que) noexcept;

}  // namespace tempo_execucao
