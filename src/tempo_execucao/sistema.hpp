// The operating system, as the modules need it: files by descriptor, the
// identity of a file, the text of a system error, the standard error stream,
// and starting the command interpreter. Each platform's calls are in a file
// of their own (sistema_posix.cpp, sistema_win32.cpp), chosen by the build,
// and those that are the same everywhere in sistema.cpp; no other file of the
// program asks which platform it is on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace sistema {

// Files. Each call returns -1 on failure, errno then telling why; a call
// interrupted by a signal is made again.

// For reading: a missing file is created empty, a file that may not be written
// is accepted. Binary; not inherited by the programs the run starts.
int abre_leitura(const char* nome);
// For writing: a missing file is created empty, an existing one is left as it
// is. Binary; not inherited. The open never blocks (a FIFO without a reader
// fails at once). The file is held for writing by this process until it is
// closed: an advisory lock on POSIX, a share mode that lets others only read
// on Windows. When another process holds it, the call fails with ocupado set.
int abre_escrita(const char* nome, bool& ocupado);
// Whether the open file is a regular file (not a FIFO, socket or device).
bool arquivo_regular(int fd);
// Up to n bytes; 0 at the end of the file.
long long le(int fd, char* destino, std::size_t n);
// Up to n bytes; how many were written.
long long escreve(int fd, const char* origem, std::size_t n);
// Cuts the file to nothing.
int corta(int fd);
// Whether the open file is empty.
bool vazio(int fd);
// An interrupted close has released the descriptor all the same, so it counts
// as done.
int fecha(int fd);

// An existing file opened for reading: never created, never waited for. The
// open does not block (a FIFO without a writer, a device) and refuses what is
// not a regular file. With partilhada, the file is also held against
// writers for as long as it is open (a shared advisory lock on POSIX, a
// share mode that lets others only read on Windows); when a writer holds it,
// the open fails with ocupado. On failure -1, with the reason in recusa and,
// for recusa_leitura::sistema, errno.
enum class recusa_leitura { nenhuma, sistema, nao_regular, ocupado };
int abre_leitura_existente(const char* nome, bool partilhada, recusa_leitura& recusa);

// A new file or folder with a name of its own in the folder pasta (empty:
// the current one), made from base: created exclusively, so never an
// existing file and never through a link. The file is open for writing,
// binary, not inherited. It is in the table of temporaries an interruption
// removes (below) from before it exists, under registro, which the caller
// forgets once the file is renamed or removed. On failure -1, errno telling
// why, and nothing registered.
int cria_exclusivo(const std::string& pasta, const std::string& base, std::string& nome, int& registro);
// The platform's steps of those two: a new file (open for writing) or folder
// of exactly that name, -1 with errno EEXIST when something has the name.
int abre_novo(const char* nome);
int cria_pasta(const char* nome);
// The name those two try: in pasta, "." + base + the process's number, a
// count and bits of the clock + ".tmp", a name no other process picks at the
// same moment (exclusive creation settles any clash all the same).
std::string nome_unico(const std::string& pasta, const std::string& base);
unsigned long numero_processo();
int cria_pasta_exclusiva(const std::string& pasta, const std::string& base, std::string& nome, int& registro);

// Gives the file temporario the name destino, replacing a file of that name
// in one step (on Windows as well). 0 or -1, errno telling why.
int substitui(const char* temporario, const char* destino);
// Gives the file temporario the name destino only while no file has that
// name, in one step: a file that appeared there meanwhile stays, and the
// call fails with EEXIST. 0 or -1, errno telling why.
int nomeia_sem_substituir(const char* temporario, const char* destino);
// Puts the folder nova in the place of the folder destino. When destino
// exists, its former contents end up under a name of their own, given in
// antiga, which the caller removes; antiga is empty when there were none.
// 0 or -1, errno telling why (and destino as it was).
int substitui_pasta(const char* nova, const char* destino, std::string& antiga);
int remove_arquivo(const char* nome);
int remove_pasta_vazia(const char* nome);
// Removes the folder and everything under it, never through a link (a link
// is removed itself, not what it leads to; a name that is not a folder is
// removed as a file). On Linux it allocates nothing, so that it finishes
// when memory has run out. 0 or -1, errno telling why.
int remove_arvore(const char* nome);

// Names as the file system has them, in fixed buffers. Each returns 0, or
// -1 with errno (ENOMEM when the system had no memory for the answer).
// The current folder.
int pasta_atual(std::string& pasta);
// nome made absolute: the current folder before a relative name (on
// Windows, the system's full name of it).
int caminho_absoluto(const std::string& nome, std::string& absoluto);
// The absolute name of an existing file or folder with every link resolved
// (ENOENT, ENOTDIR when some part does not exist).
int caminho_real(const std::string& nome, std::string& real);
// The text of the symbolic link nome (EINVAL: nome is not one). Windows
// gives none: its links are told by e_link only.
int le_link(const std::string& nome, std::string& alvo);
// The separator a joined name gets ('/', '\\' on Windows), and whether c
// separates the parts of a name ('/', also '\\' on Windows).
char separador_nativo();
bool e_separador(char c);
// The length of the root at the start of a name whose separators are all
// '/': "/" on POSIX; "C:/", "C:", "/" or "//server/share/" on Windows; 0
// for a relative name.
std::size_t tamanho_raiz(const std::string& nome);
// Whether nome itself is a symbolic link (on Windows, any reparse point: a
// link or a junction), not followed.
bool e_link(const std::string& nome);
// Whether nome leads to a folder, links followed.
bool e_pasta(const std::string& nome);

// Temporary files and folders that an interruption must not leave behind.
// Once limpa_temporarios_ao_interromper has run, SIGINT, SIGTERM and SIGHUP
// (Ctrl-C, Ctrl-Break and closing the console on Windows) remove every one
// still registered, files before folders, and end the process with status
// 128 + the signal's number (130 for Ctrl-C). registra_temporario returns a
// handle for esquece_temporario, or -1 when the table is full or the name
// too long; neither call allocates.
int registra_temporario(const char* nome, bool pasta);
void esquece_temporario(int registro);
void limpa_temporarios_ao_interromper();
// Removes every one registered, now: the handlers' step, safe in a signal
// handler and on any thread.
void remove_temporarios_registrados();
// A step that must not be cut in two (a folder put in place and the old one
// removed): from adia_interrupcoes on, an interruption is only noted, and
// retoma_interrupcoes, which ends the step, returns its signal (SIGINT 2 for
// Ctrl-C, 15 for the others on Windows), or 0 when none came. The caller
// then ends the process with termina_interrompido, or goes on when nothing
// is left to stop. Neither call allocates.
void adia_interrupcoes();
int retoma_interrupcoes();
// What an interruption by the signal does: the text, the temporaries
// removed, status 128 + the signal.
[[noreturn]] void termina_interrompido(int sinal);
// The handlers' test: true when the signal is to be noted, not acted on.
bool guarda_interrupcao(int sinal);

// A line on the terminal that a long computation redraws (its progress), and
// the text that clears it when an interruption ends the process.
// Whether the standard error stream is a terminal (a console on Windows).
bool erro_padrao_e_terminal();
// Writes bytes to the standard error stream with the system's own call, at
// once and unbuffered: safe in a signal handler and on any thread.
void escreve_erro_direto(const char* texto, std::size_t n);
// The text, ended by a NUL, that the interruption handlers write to the
// standard error stream before they remove the temporaries; null for none.
// It must stay in place until it is replaced. Neither call allocates.
void define_texto_interrupcao(const char* texto);
void escreve_texto_interrupcao();

// Identity of a file (device and file number), for telling whether two names
// lead to the same file.
struct identidade_arquivo {
    unsigned long long dispositivo = 0;
    unsigned long long numero = 0;
    bool valida = false;
    bool operator==(const identidade_arquivo&) const = default;
};
identidade_arquivo identidade(int fd);
identidade_arquivo identidade(const std::string& nome);  // not valida when the name leads to no file

// Whether the file system takes "A.txt" and "a.txt" for one name.
bool nomes_ignoram_caixa();

// What a name leads to, links followed: a regular file, something else (a
// folder, FIFO, socket or device), or nothing the system can tell of (a
// missing file, or a path the open will refuse with its own reason).
enum class tipo_nome { ausente, regular, outro };
tipo_nome tipo_do_nome(const std::string& nome);

// Whether the last part of the name is one the system keeps for a device
// (NUL, CON, PRN, AUX, COM1 to COM9, LPT1 to LPT9 on Windows, in any case,
// with any extension and trailing blanks or dots); never on POSIX.
bool nome_de_dispositivo(const std::string& nome);

// The processors this process may run on (a run confined by taskset or a
// container's CPU set gets no more threads than it has processors).
int processadores_disponiveis();

// Sets the process up for a run: on POSIX a closed pipe or a file-size limit
// must give a failed write, which the run reports, not a death by signal.
void prepara_processo();

// The system's text for an errno value.
std::string descricao_erro(int numero);

// Writes bytes to the standard error stream as they are (no CR is added
// before an LF).
void escreve_erro_padrao(const char* texto, std::size_t n);

// Writes bytes to the standard error stream and ends the process with status
// 1, using only calls that are safe inside a signal or exception handler.
[[noreturn]] void termina_com(const char* texto, std::size_t n);

// The command interpreter that runs the editor and viewer commands: the one
// COMSPEC names, started as "<interpreter> /c <command>", else cmd.exe on
// Windows and the platform's shell (/bin/sh -c) elsewhere. Decided here once,
// for the launch and for the quoting of file names alike.
struct interpretador {
    std::string programa;
    bool estilo_cmd = true;  // takes "/c" and cmd.exe's quoting; false for a POSIX shell
};
// False when COMSPEC is longer than 260 characters: no command is then run.
bool interpretador_comandos(interpretador& resultado);

// Runs one command through the interpreter, waits for it without a time
// limit and returns its exit code, or -1 when it could not be started (or,
// once started, could not be waited for).
std::int32_t executa_interpretador(const interpretador& interp, const std::string& comando);

}  // namespace sistema
