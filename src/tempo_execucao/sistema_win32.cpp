// The operating system's calls on Windows.
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

#include "tempo_execucao/sistema.hpp"

namespace sistema {

namespace {

constexpr DWORD comprimento_maximo_interpretador = 260;

identidade_arquivo identidade_handle(HANDLE h) {
    identidade_arquivo id;
    BY_HANDLE_FILE_INFORMATION info;
    if (h != INVALID_HANDLE_VALUE && GetFileInformationByHandle(h, &info)) {
        id.dispositivo = info.dwVolumeSerialNumber;
        id.numero = (static_cast<unsigned long long>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
        id.valida = true;
    }
    return id;
}

}  // namespace

// Binary, so the reader sees CR LF as the bytes they are and the CR LF
// written are the bytes on disk; not inherited, like O_CLOEXEC, since the
// editor and viewers are started with the caller's handles.
int abre_leitura(const char* nome) {
    return ::_open(nome, _O_RDONLY | _O_CREAT | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
}

// Others may read the file while this run writes it, but not write it: a
// second run that tries is refused with a sharing violation. The handle is
// not inheritable, so the viewers do not keep it.
int abre_escrita(const char* nome, bool& ocupado) {
    ocupado = false;
    HANDLE h = CreateFileA(nome, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD erro = GetLastError();
        ocupado = erro == ERROR_SHARING_VIOLATION || erro == ERROR_LOCK_VIOLATION;
        switch (erro) {
            case ERROR_FILE_NOT_FOUND:
            case ERROR_PATH_NOT_FOUND:
            case ERROR_INVALID_NAME:
                errno = ENOENT;
                break;
            case ERROR_ACCESS_DENIED:
            case ERROR_SHARING_VIOLATION:
            case ERROR_LOCK_VIOLATION:
                errno = EACCES;
                break;
            default:
                errno = EINVAL;
                break;
        }
        return -1;
    }
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(h), _O_WRONLY | _O_BINARY);
    if (fd < 0) CloseHandle(h);
    return fd;
}

bool arquivo_regular(int fd) {
    return GetFileType(reinterpret_cast<HANDLE>(::_get_osfhandle(fd))) == FILE_TYPE_DISK;
}

long long le(int fd, char* destino, std::size_t n) {
    const unsigned int parte = n > (1u << 30) ? (1u << 30) : static_cast<unsigned int>(n);
    return ::_read(fd, destino, parte);
}

long long escreve(int fd, const char* origem, std::size_t n) {
    const unsigned int parte = n > (1u << 30) ? (1u << 30) : static_cast<unsigned int>(n);
    return ::_write(fd, origem, parte);
}

int corta(int fd) {
    return ::_chsize_s(fd, 0) == 0 ? 0 : -1;
}

bool vazio(int fd) {
    return ::_filelengthi64(fd) == 0;
}

int fecha(int fd) {
    return ::_close(fd);
}

identidade_arquivo identidade(int fd) {
    return identidade_handle(reinterpret_cast<HANDLE>(::_get_osfhandle(fd)));
}

identidade_arquivo identidade(const std::string& nome) {
    HANDLE h = CreateFileA(nome.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    identidade_arquivo id = identidade_handle(h);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    return id;
}

bool nomes_ignoram_caixa() {
    return true;
}

tipo_nome tipo_do_nome(const std::string& nome) {
    const DWORD atributos = GetFileAttributesA(nome.c_str());
    if (atributos == INVALID_FILE_ATTRIBUTES) return tipo_nome::ausente;
    return (atributos & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) ? tipo_nome::outro
                                                                            : tipo_nome::regular;
}

bool nome_de_dispositivo(const std::string& nome) {
    // The last part of the path, up to its first dot, blanks and dots at its
    // end dropped: "nul", "NUL.txt", "Com1 .log" all name a device.
    const std::size_t barra = nome.find_last_of("/\\:");
    std::string parte = nome.substr(barra == std::string::npos ? 0 : barra + 1);
    parte = parte.substr(0, parte.find('.'));
    while (!parte.empty() && (parte.back() == ' ' || parte.back() == '.'))
        parte.pop_back();
    for (char& c : parte)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (parte == "CON" || parte == "PRN" || parte == "AUX" || parte == "NUL") return true;
    return parte.size() == 4 && (parte.compare(0, 3, "COM") == 0 || parte.compare(0, 3, "LPT") == 0) &&
           parte[3] >= '1' && parte[3] <= '9';
}

int processadores_disponiveis() {
    return static_cast<int>(std::thread::hardware_concurrency());
}

void prepara_processo() {}

std::string descricao_erro(int numero) {
    const char* texto = std::strerror(numero);
    return texto != nullptr ? std::string(texto) : "error " + std::to_string(numero);
}

void escreve_erro_padrao(const char* texto, std::size_t n) {
    std::fflush(stdout);
    // The C runtime opens stderr in text mode, which would put a second CR
    // before the LF of every CR LF the report already has.
    std::fflush(stderr);
    _setmode(_fileno(stderr), _O_BINARY);
    std::fwrite(texto, 1, n, stderr);
    std::fflush(stderr);
}

void termina_com(const char* texto, std::size_t n) {
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    DWORD escritos = 0;
    if (err != nullptr && err != INVALID_HANDLE_VALUE)
        WriteFile(err, texto, static_cast<DWORD>(n), &escritos, nullptr);
    ExitProcess(1);
}

bool interpretador_comandos(interpretador& resultado) {
    char valor[comprimento_maximo_interpretador + 1];
    const DWORD lido = GetEnvironmentVariableA("COMSPEC", valor, sizeof valor);
    if (lido > comprimento_maximo_interpretador) return false;  // too long for the buffer: the size it needs
    resultado = {lido == 0 ? std::string("cmd.exe") : std::string(valor, lido), true};
    return true;
}

std::int32_t executa_interpretador(const interpretador& interp, const std::string& comando) {
    std::string linha = interp.programa + " /c " + comando;
    STARTUPINFOA inicio{};
    inicio.cb = sizeof inicio;
    PROCESS_INFORMATION processo{};
    std::vector<char> mutavel(linha.begin(), linha.end());
    mutavel.push_back('\0');
    if (!CreateProcessA(nullptr, mutavel.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &inicio,
                        &processo)) {
        return -1;
    }
    CloseHandle(processo.hThread);
    WaitForSingleObject(processo.hProcess, INFINITE);
    DWORD codigo = 0;
    GetExitCodeProcess(processo.hProcess, &codigo);
    CloseHandle(processo.hProcess);
    return static_cast<std::int32_t>(codigo);
}

}  // namespace sistema
