// The output rule of malhas_qualidade, for every file it writes.
//
// An output is written to a temporary file of a name of its own, created
// exclusively in the destination's folder (never an existing file, never
// through a link), and renamed over the destination only when it is
// complete. The destination is the file its name leads to, links followed,
// and only a regular file is ever replaced. So a failed, interrupted or
// concurrent run never leaves a partial file under the destination's name,
// an older file of that name stays as it was until the new one is whole, two
// runs exporting to one name leave one run's complete output, and no
// temporary file stays behind (an interruption by SIGINT, SIGTERM or SIGHUP
// removes it too).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace malhas_qualidade {

struct saida_atomica {
    std::string nome;        // as the user gave it, for the messages
    std::string destino;     // the file it replaces, links followed
    std::string temporario;  // where the bytes go until it is complete
    int fd = -1;
    int registro = -1;  // in the table of temporaries an interruption removes
    std::vector<char> buffer;
    std::size_t usado = 0;

    saida_atomica() = default;
    saida_atomica(const saida_atomica&) = delete;
    saida_atomica& operator=(const saida_atomica&) = delete;
    ~saida_atomica();  // removes the temporary file of an output not completed
};

// Fails, naming the output, when its name leads to something that exists and
// is not a regular file (a folder, FIFO, socket or device), or to a device
// name on Windows. Called for every output before anything is written.
void confere_destino(const std::string& nome);

void abre_saida(saida_atomica& s, const std::string& nome);
// The part of a destination's name that its temporary's name repeats: the
// name, cut short where the temporary's would be longer than a file system
// takes.
std::string base_temporario(std::string nome);
void escreve(saida_atomica& s, const void* bytes, std::size_t n);
inline void escreve(saida_atomica& s, std::string_view texto) {
    escreve(s, texto.data(), texto.size());
}
// Room for at least n bytes at the end of the buffer, written by the caller,
// who then adds them with confirma: saves a copy for the bulk of the data.
char* reserva(saida_atomica& s, std::size_t n);
inline void confirma(saida_atomica& s, std::size_t n) {
    s.usado += n;
}
// Writes what is left and closes the temporary file, which keeps its
// temporary name: a set of files all written before any takes its name.
void fecha_saida(saida_atomica& s);
// Writes what is left, closes, and gives the file its name.
void conclui_saida(saida_atomica& s);
// The same for a file that must not replace one of the user's: false, the
// new file removed, when a file of that name appeared since it was opened.
bool conclui_saida_nova(saida_atomica& s);

// Text for a person (the summary, messages): every control character but
// the line feed shown as '?', by the rule the run-time error report follows,
// so that bytes a user typed (a case name, a file name) cannot drive the
// terminal. False when the stream refused the bytes.
bool escreve_visivel(std::FILE* f, std::string_view texto);

}  // namespace malhas_qualidade
