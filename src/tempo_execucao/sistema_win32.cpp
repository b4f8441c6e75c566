// The operating system's calls on Windows: files, names and folders. The
// process's own calls are in sistema_processo_win32.cpp.
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "tempo_execucao/sistema.hpp"

namespace sistema {

namespace {

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

// The errno value closest to a Windows error, for the reports' texts.
int errno_de(DWORD erro) {
    switch (erro) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
            return ENOENT;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return EACCES;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return EEXIST;
        case ERROR_DIR_NOT_EMPTY:
            return ENOTEMPTY;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        default:
            return EINVAL;
    }
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
        errno = errno_de(erro);
        return -1;
    }
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(h), _O_WRONLY | _O_BINARY);
    if (fd < 0) CloseHandle(h);
    return fd;
}

// A file the system cannot describe (FILE_TYPE_UNKNOWN) counts as not
// regular: nothing is written to what may not be a file.
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

// A length the system cannot tell (-1) counts as not empty: the file is cut,
// as a file with contents is.
bool vazio(int fd) {
    return ::_filelengthi64(fd) == 0;
}

int fecha(int fd) {
    return ::_close(fd);
}

int abre_leitura_existente(const char* nome, bool partilhada, recusa_leitura& recusa) {
    recusa = recusa_leitura::sistema;
    const DWORD atributos = GetFileAttributesA(nome);
    if (atributos != INVALID_FILE_ATTRIBUTES && (atributos & FILE_ATTRIBUTE_DIRECTORY)) {
        recusa = recusa_leitura::nao_regular;
        return -1;
    }
    // Without FILE_SHARE_WRITE the open fails while another process has the
    // file open for writing, and no one can open it for writing meanwhile.
    const DWORD partilha =
        partilhada ? FILE_SHARE_READ : FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    HANDLE h =
        CreateFileA(nome, GENERIC_READ, partilha, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD erro = GetLastError();
        if (partilhada && erro == ERROR_SHARING_VIOLATION) recusa = recusa_leitura::ocupado;
        errno = errno_de(erro);
        return -1;
    }
    if (GetFileType(h) != FILE_TYPE_DISK) {
        CloseHandle(h);
        recusa = recusa_leitura::nao_regular;
        return -1;
    }
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(h), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(h);
        return -1;
    }
    recusa = recusa_leitura::nenhuma;
    return fd;
}

unsigned long numero_processo() {
    return static_cast<unsigned long>(GetCurrentProcessId());
}

int abre_novo(const char* nome) {
    // CREATE_NEW never opens what is there already; a reparse point of that
    // name is there already too.
    HANDLE h = CreateFileA(nome, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        errno = errno_de(GetLastError());
        return -1;
    }
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(h), _O_WRONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(h);
        DeleteFileA(nome);
        errno = EMFILE;
    }
    return fd;
}

int cria_pasta(const char* nome) {
    if (CreateDirectoryA(nome, nullptr)) return 0;
    errno = errno_de(GetLastError());
    return -1;
}

int substitui(const char* temporario, const char* destino) {
    if (MoveFileExA(temporario, destino, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return 0;
    errno = errno_de(GetLastError());
    return -1;
}

int nomeia_sem_substituir(const char* temporario, const char* destino) {
    // Without MOVEFILE_REPLACE_EXISTING the move fails when the name is taken.
    if (MoveFileExA(temporario, destino, MOVEFILE_WRITE_THROUGH)) return 0;
    errno = errno_de(GetLastError());
    return -1;
}

int substitui_pasta(const char* nova, const char* destino, std::string& antiga) {
    antiga.clear();
    if (MoveFileExA(nova, destino, 0)) return 0;
    // Windows moves no folder over another: the old one moves aside under a
    // name of its own, and comes back if the new one cannot go in.
    const std::string texto = destino;
    const auto barra = texto.find_last_of("/\\");
    const std::string pasta = barra == std::string::npos ? std::string() : texto.substr(0, barra);
    const std::string base = barra == std::string::npos ? texto : texto.substr(barra + 1);
    std::string lado;
    int registro = -1;
    if (cria_pasta_exclusiva(pasta, base, lado, registro) != 0) return -1;
    // Room for the old folder's name is taken before anything moves: once
    // the folders are exchanged, no failure may leave the caller unaware.
    try {
        antiga.reserve(lado.size());
    } catch (...) {
        RemoveDirectoryA(lado.c_str());
        esquece_temporario(registro);
        throw;
    }
    // The empty folder only reserved the name, and must go before the old
    // folder can take it: MoveFileEx moves nothing over a folder.
    const bool liberado = RemoveDirectoryA(lado.c_str());
    const DWORD erro_liberacao = GetLastError();
    esquece_temporario(registro);
    if (!liberado) {
        errno = errno_de(erro_liberacao);
        return -1;
    }
    if (!MoveFileExA(destino, lado.c_str(), 0)) {
        errno = errno_de(GetLastError());
        return -1;
    }
    if (!MoveFileExA(nova, destino, 0)) {
        const DWORD erro = GetLastError();
        // The way back is a move within the same folder, just made the other
        // way; should it fail all the same, the old folder keeps the name of
        // its own, never removed, and the failure reported is the one that
        // came first.
        MoveFileExA(lado.c_str(), destino, 0);
        errno = errno_de(erro);
        return -1;
    }
    antiga = lado;
    return 0;
}

int remove_arquivo(const char* nome) {
    if (DeleteFileA(nome)) return 0;
    errno = errno_de(GetLastError());
    return -1;
}

int remove_pasta_vazia(const char* nome) {
    if (RemoveDirectoryA(nome)) return 0;
    errno = errno_de(GetLastError());
    return -1;
}

namespace {

// As on POSIX: a polyMesh holds sets and zones one level down.
constexpr int profundidade_maxima = 32;

int remove_arvore_em(const std::string& nome, int profundidade) {
    const DWORD atributos = GetFileAttributesA(nome.c_str());
    if (atributos == INVALID_FILE_ATTRIBUTES) {
        errno = errno_de(GetLastError());
        return -1;
    }
    // A link or a junction is removed itself, never what it leads to.
    if ((atributos & FILE_ATTRIBUTE_DIRECTORY) == 0) return remove_arquivo(nome.c_str());
    if ((atributos & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return remove_pasta_vazia(nome.c_str());
    if (profundidade >= profundidade_maxima) {
        errno = ELOOP;
        return -1;
    }
    WIN32_FIND_DATAA entrada;
    HANDLE busca = FindFirstFileA((nome + "\\*").c_str(), &entrada);
    if (busca != INVALID_HANDLE_VALUE) {
        do {
            if (std::strcmp(entrada.cFileName, ".") == 0 || std::strcmp(entrada.cFileName, "..") == 0)
                continue;
            if (remove_arvore_em(nome + "\\" + entrada.cFileName, profundidade + 1) != 0) {
                const int erro = errno;
                FindClose(busca);
                errno = erro;
                return -1;
            }
        } while (FindNextFileA(busca, &entrada));
        FindClose(busca);
    }
    return remove_pasta_vazia(nome.c_str());
}

}  // namespace

int remove_arvore(const char* nome) {
    return remove_arvore_em(nome, 0);
}

int pasta_atual(std::string& pasta) {
    char buffer[MAX_PATH + 1];
    const DWORD n = GetCurrentDirectoryA(sizeof buffer, buffer);
    if (n == 0 || n > MAX_PATH) {
        errno = n == 0 ? errno_de(GetLastError()) : ENAMETOOLONG;
        return -1;
    }
    pasta.assign(buffer, n);
    return 0;
}

int caminho_absoluto(const std::string& nome, std::string& absoluto) {
    char buffer[MAX_PATH + 1];
    const DWORD n = GetFullPathNameA(nome.c_str(), sizeof buffer, buffer, nullptr);
    if (n == 0 || n > MAX_PATH) {
        errno = n == 0 ? errno_de(GetLastError()) : ENAMETOOLONG;
        return -1;
    }
    absoluto.assign(buffer, n);
    return 0;
}

// Windows resolves no links here (nor did the library calls this replaces):
// the full name of what exists.
int caminho_real(const std::string& nome, std::string& real) {
    if (caminho_absoluto(nome, real) != 0) return -1;
    if (GetFileAttributesA(real.c_str()) == INVALID_FILE_ATTRIBUTES) {
        errno = errno_de(GetLastError());
        return -1;
    }
    return 0;
}

int le_link(const std::string&, std::string&) {
    errno = EINVAL;
    return -1;
}

char separador_nativo() {
    return '\\';
}

bool e_separador(char c) {
    return c == '/' || c == '\\';
}

std::size_t tamanho_raiz(const std::string& nome) {
    const std::size_t n = nome.size();
    if (n >= 2 && std::isalpha(static_cast<unsigned char>(nome[0])) && nome[1] == ':')
        return n >= 3 && nome[2] == '/' ? 3 : 2;
    if (n >= 2 && nome[0] == '/' && nome[1] == '/') {
        // //server/share/: the share is part of the root.
        std::size_t k = nome.find('/', 2);
        if (k == std::string::npos) return n;
        k = nome.find('/', k + 1);
        return k == std::string::npos ? n : k + 1;
    }
    return n >= 1 && nome[0] == '/' ? 1 : 0;
}

bool e_link(const std::string& nome) {
    const DWORD atributos = GetFileAttributesA(nome.c_str());
    return atributos != INVALID_FILE_ATTRIBUTES && (atributos & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool e_pasta(const std::string& nome) {
    const DWORD atributos = GetFileAttributesA(nome.c_str());
    return atributos != INVALID_FILE_ATTRIBUTES && (atributos & FILE_ATTRIBUTE_DIRECTORY) != 0;
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

}  // namespace sistema
