// A callable passed down without being copied: a pointer to it and a
// function that calls it. Unlike std::function it never allocates, so code
// that hands work to helper threads in the middle of a run cannot fail for
// want of memory. It refers to the callable, which must outlive it: made
// from the argument of a call, as every use here is, it lives as long as the
// call.
#pragma once

#include <functional>
#include <memory>
#include <type_traits>
#include <utility>

namespace tempo_execucao {

template <class Assinatura>
class referencia_funcao;

template <class R, class... A>
class referencia_funcao<R(A...)> {
  public:
    template <class F>
    requires(!std::is_same_v<std::remove_cvref_t<F>, referencia_funcao> && std::is_invocable_r_v<R, F&, A...>)
        referencia_funcao(F&& f)
    noexcept {  // NOLINT: implicit, as a callable is passed
        if constexpr (std::is_function_v<std::remove_reference_t<F>>) {
            // A function: its address, as a function pointer of another type
            // and back, which the language allows.
            alvo_.funcao = reinterpret_cast<void (*)()>(&f);
            chama_ = [](alvo a, A... args) -> R {
                return std::invoke(reinterpret_cast<std::remove_reference_t<F>*>(a.funcao),
                                   std::forward<A>(args)...);
            };
        } else {
            alvo_.objeto = const_cast<void*>(static_cast<const void*>(std::addressof(f)));
            chama_ = [](alvo a, A... args) -> R {
                return std::invoke(*static_cast<std::remove_reference_t<F>*>(a.objeto),
                                   std::forward<A>(args)...);
            };
        }
    }

    R operator()(A... args) const { return chama_(alvo_, std::forward<A>(args)...); }

  private:
    union alvo {
        void* objeto;
        void (*funcao)();
    };
    alvo alvo_{};
    R (*chama_)(alvo, A...) = nullptr;
};

}  // namespace tempo_execucao
