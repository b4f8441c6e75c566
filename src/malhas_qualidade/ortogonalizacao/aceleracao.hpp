// Anderson acceleration of a fixed-point iteration x <- G(x): the next
// iterate combines the last few values of G so that the combination of their
// residuals G(x) - x is the least in the least-squares sense (Anderson,
// "Iterative procedures for nonlinear integral equations", J. ACM 12, 1965;
// in the form of Walker & Ni, "Anderson acceleration for fixed-point
// iterations", SIAM J. Numer. Anal. 49, 2011, with their mixing parameter 1).
//
// The outer iterations of the solver-grade mesh are such a G: the metric
// terms, the control functions, a few point-iterative sweeps and the slide
// of the boundary. Their slow part is the smooth, nearly linear modes of the
// whole mesh, which a plain iteration damps by a fraction of a percent each
// time; a short history of residuals removes them as a Krylov method would.
//
// Everything is done in one thread, in a fixed order: the same iterates on
// every machine and for every thread count of the sweeps.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

namespace malhas_qualidade::ortogonalizacao {

class anderson {
  public:
    anderson(std::size_t tamanho, int profundidade)
        : n_(tamanho),
          m_(profundidade),
          df_(static_cast<std::size_t>(profundidade)),
          dg_(static_cast<std::size_t>(profundidade)),
          gram_(static_cast<std::size_t>(profundidade * profundidade), 0.0) {}

    // Forgets the history (after a step that had to be refused).
    void esquece() {
        usados_ = 0;
        tem_anterior_ = false;
    }

    // x holds x_k and g holds G(x_k); x becomes x_{k+1}. The first call
    // after esquece() gives G(x_k) itself.
    void proximo(std::vector<double>& x, const std::vector<double>& g) {
        f_.resize(n_);
        for (std::size_t i = 0; i < n_; ++i)
            f_[i] = g[i] - x[i];
        if (tem_anterior_) {
            // The newest differences take the place of the oldest.
            const std::size_t c = static_cast<std::size_t>(proxima_ % m_);
            df_[c].resize(n_);
            dg_[c].resize(n_);
            for (std::size_t i = 0; i < n_; ++i) {
                df_[c][i] = f_[i] - f_ant_[i];
                dg_[c][i] = g[i] - g_ant_[i];
            }
            ++proxima_;
            usados_ = std::min(usados_ + 1, m_);
            for (int k = 0; k < usados_; ++k) {
                const double p = produto(df_[c], df_[static_cast<std::size_t>(k)]);
                gram_[c * static_cast<std::size_t>(m_) + static_cast<std::size_t>(k)] = p;
                gram_[static_cast<std::size_t>(k) * static_cast<std::size_t>(m_) + c] = p;
            }
        }
        f_ant_ = f_;
        g_ant_ = g;
        tem_anterior_ = true;
        x = g;
        if (usados_ == 0) return;

        // The normal equations of min |f - dF gamma|, a little regularised:
        // the columns of the oldest differences grow alike as the iteration
        // settles.
        const auto u = static_cast<std::size_t>(usados_);
        std::vector<double> a(u * u), b(u), gama(u);
        double maior = 0.0;
        for (std::size_t i = 0; i < u; ++i) {
            for (std::size_t j = 0; j < u; ++j)
                a[i * u + j] = gram_[i * static_cast<std::size_t>(m_) + j];
            b[i] = produto(df_[i], f_);
            maior = std::max(maior, a[i * u + i]);
        }
        if (!(maior > 0.0)) return;
        for (std::size_t i = 0; i < u; ++i)
            a[i * u + i] += 1e-10 * maior;
        if (!resolve_sistema(a, b, gama, u)) {
            esquece();
            return;
        }
        for (std::size_t k = 0; k < u; ++k)
            for (std::size_t i = 0; i < n_; ++i)
                x[i] -= gama[k] * dg_[k][i];
    }

  private:
    double produto(const std::vector<double>& a, const std::vector<double>& b) const {
        double s = 0.0;
        for (std::size_t i = 0; i < n_; ++i)
            s += a[i] * b[i];
        return s;
    }

    // Gaussian elimination with partial pivoting; false when singular.
    static bool resolve_sistema(std::vector<double>& a, std::vector<double>& b, std::vector<double>& x,
                                std::size_t u) {
        for (std::size_t c = 0; c < u; ++c) {
            std::size_t piv = c;
            for (std::size_t l = c + 1; l < u; ++l)
                if (std::abs(a[l * u + c]) > std::abs(a[piv * u + c])) piv = l;
            if (!(std::abs(a[piv * u + c]) > 0.0)) return false;
            if (piv != c) {
                for (std::size_t j = 0; j < u; ++j)
                    std::swap(a[c * u + j], a[piv * u + j]);
                std::swap(b[c], b[piv]);
            }
            for (std::size_t l = c + 1; l < u; ++l) {
                const double f = a[l * u + c] / a[c * u + c];
                for (std::size_t j = c; j < u; ++j)
                    a[l * u + j] -= f * a[c * u + j];
                b[l] -= f * b[c];
            }
        }
        for (std::size_t c = u; c-- > 0;) {
            double s = b[c];
            for (std::size_t j = c + 1; j < u; ++j)
                s -= a[c * u + j] * x[j];
            x[c] = s / a[c * u + c];
            if (!std::isfinite(x[c])) return false;
        }
        return true;
    }

    std::size_t n_;
    int m_;
    int usados_ = 0;
    long long proxima_ = 0;
    bool tem_anterior_ = false;
    std::vector<std::vector<double>> df_, dg_;
    std::vector<double> gram_, f_, f_ant_, g_ant_;
};

}  // namespace malhas_qualidade::ortogonalizacao
