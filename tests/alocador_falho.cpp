// A memory allocator that refuses on request, put in front of the C library
// with LD_PRELOAD (Linux, glibc), so that the real programs meet a failed
// allocation at any point of a run, threads and library code included.
//
//   MALHAS_FALHA_ALOCACAO=N        the N-th allocation after main starts fails
//                                  (1 is the first); unset or 0: none fails
//   MALHAS_FALHA_ALOCACAO_TODAS=1  every allocation from the N-th on fails
//   MALHAS_CONTA_ALOCACOES=FILE    at exit, the number of allocations made
//                                  after main started is written to FILE
//
// malloc, calloc, realloc and the aligned forms are counted (operator new
// reaches malloc in libstdc++); free is not. Allocations before main (the
// C and C++ runtimes setting up) are neither counted nor refused. The
// variables, LD_PRELOAD included, are removed from the environment before
// main, so the programs that the run starts (the editor, the viewers) run
// with the allocator they would have anyway.
//
// Everything here is plain C underneath: the counter is one atomic, and no
// call allocates.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>

extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void* __libc_memalign(std::size_t, std::size_t);
}

namespace {

bool contando = false;             // set once main is about to start
unsigned long long contagem = 0;   // allocations since then
unsigned long long falha_em = 0;   // 0: none fails
bool falham_todas = false;         // every one from falha_em on
char arquivo_contagem[4096] = "";  // where the count goes at exit

// Whether this allocation is refused.
bool recusa() {
    if (!__atomic_load_n(&contando, __ATOMIC_RELAXED)) return false;
    const unsigned long long n = __atomic_add_fetch(&contagem, 1, __ATOMIC_RELAXED);
    if (falha_em == 0) return false;
    if (n == falha_em || (falham_todas && n > falha_em)) {
        errno = ENOMEM;
        return true;
    }
    return false;
}

unsigned long long numero(const char* texto) {
    unsigned long long n = 0;
    for (; texto != nullptr && *texto >= '0' && *texto <= '9'; ++texto)
        n = n * 10 + static_cast<unsigned long long>(*texto - '0');
    return n;
}

void escreve_contagem() {
    if (arquivo_contagem[0] == '\0') return;
    char texto[32];
    int k = sizeof texto;
    unsigned long long n = __atomic_load_n(&contagem, __ATOMIC_RELAXED);
    texto[--k] = '\n';
    do {
        texto[--k] = static_cast<char>('0' + n % 10);
        n /= 10;
    } while (n != 0);
    const int fd = ::open(arquivo_contagem, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return;
    const ssize_t escritos = ::write(fd, texto + k, sizeof texto - static_cast<std::size_t>(k));
    static_cast<void>(escritos);
    ::close(fd);
}

using funcao_main = int (*)(int, char**, char**);
funcao_main main_real = nullptr;

int main_contado(int argc, char** argv, char** envp) {
    __atomic_store_n(&contando, true, __ATOMIC_RELAXED);
    return main_real(argc, argv, envp);
}

}  // namespace

extern "C" {

void* malloc(std::size_t n) {
    return recusa() ? nullptr : __libc_malloc(n);
}

void* calloc(std::size_t n, std::size_t tamanho) {
    return recusa() ? nullptr : __libc_calloc(n, tamanho);
}

void* realloc(void* p, std::size_t n) {
    return recusa() ? nullptr : __libc_realloc(p, n);
}

void* memalign(std::size_t alinhamento, std::size_t n) {
    return recusa() ? nullptr : __libc_memalign(alinhamento, n);
}

void* aligned_alloc(std::size_t alinhamento, std::size_t n) {
    return recusa() ? nullptr : __libc_memalign(alinhamento, n);
}

int posix_memalign(void** p, std::size_t alinhamento, std::size_t n) {
    if (alinhamento % sizeof(void*) != 0 || (alinhamento & (alinhamento - 1)) != 0) return EINVAL;
    if (recusa()) return ENOMEM;
    void* q = __libc_memalign(alinhamento, n);
    if (q == nullptr) return ENOMEM;
    *p = q;
    return 0;
}

void* valloc(std::size_t n) {
    return recusa() ? nullptr : __libc_memalign(static_cast<std::size_t>(::sysconf(_SC_PAGESIZE)), n);
}

// The C library's start of every program: main is wrapped so that counting
// starts with it.
using funcao_inicio = int (*)(funcao_main, int, char**, void (*)(), void (*)(), void (*)(), void*);

int __libc_start_main(funcao_main principal, int argc, char** argv, void (*inicia)(), void (*termina)(),
                      void (*termina_carregador)(), void* pilha) {
    const char* n = std::getenv("MALHAS_FALHA_ALOCACAO");
    falha_em = numero(n);
    const char* todas = std::getenv("MALHAS_FALHA_ALOCACAO_TODAS");
    falham_todas = todas != nullptr && std::strcmp(todas, "1") == 0;
    if (const char* arquivo = std::getenv("MALHAS_CONTA_ALOCACOES")) {
        if (std::strlen(arquivo) < sizeof arquivo_contagem) {
            std::strcpy(arquivo_contagem, arquivo);
            std::atexit(escreve_contagem);
        }
    }
    const char* const variaveis[] = {"LD_PRELOAD", "MALHAS_FALHA_ALOCACAO", "MALHAS_FALHA_ALOCACAO_TODAS",
                                     "MALHAS_CONTA_ALOCACOES"};
    for (const char* v : variaveis)
        ::unsetenv(v);
    main_real = principal;
    auto* real = reinterpret_cast<funcao_inicio>(::dlsym(RTLD_NEXT, "__libc_start_main"));
    return real(main_contado, argc, argv, inicia, termina, termina_carregador, pilha);
}

}  // extern "C"
