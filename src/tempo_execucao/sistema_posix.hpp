// What the POSIX files of the runtime layer share.
#pragma once

#include <cerrno>

namespace sistema {

// A call made again for as long as a signal cuts it short (EINTR).
template <class F>
auto repete_se_interrompido(F&& f) {
    for (;;) {
        const auto r = f();
        if (!(r < 0 && errno == EINTR)) return r;
    }
}

}  // namespace sistema
