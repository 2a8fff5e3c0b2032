#pragma once
// A replaceable platform call. Production code calls the real function; a test installs a
// stand-in for the lifetime of a scope object (message boxes, file dialogs, help, shell).

#include <functional>
#include <utility>

namespace common {

template <typename Signature>
class Seam;

template <typename R, typename... Args>
class Seam<R(Args...)> {
 public:
  using Function = std::function<R(Args...)>;

  explicit Seam(R (*real)(Args...)) : real_(real) {}

  // Calls the installed stand-in, or the real function when none is installed.
  R operator()(Args... args) const {
    if (standIn_) return standIn_(std::forward<Args>(args)...);
    return real_(std::forward<Args>(args)...);
  }
  // Calls the real function whatever is installed (a stand-in that only observes).
  R Real(Args... args) const { return real_(std::forward<Args>(args)...); }

  // Keeps a stand-in installed while it lives; restores the previous one afterwards.
  class [[nodiscard]] Scope {
   public:
    Scope(Seam& seam, Function f) : seam_(seam), previous_(std::exchange(seam.standIn_, std::move(f))) {}
    ~Scope() { seam_.standIn_ = std::move(previous_); }
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    Seam& seam_;
    Function previous_;
  };

  // Installs f until the returned scope ends.
  Scope Replace(Function f) { return Scope(*this, std::move(f)); }

 private:
  R (*real_)(Args...);
  Function standIn_;
};

}  // namespace common
