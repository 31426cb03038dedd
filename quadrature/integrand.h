// The integrand: a non-owning reference to a plain function or to a callable object that may carry data.
#pragma once

#include <type_traits>

namespace quadrature {

class Integrand;

// An object that can stand for the integrand: called with the abscissa, it gives a double. Functions and
// pointers to them take the plain-function form instead.
template <typename F>
concept CallableIntegrand = !std::is_same_v<F, Integrand> && !std::is_function_v<F> && !std::is_pointer_v<F> &&
                            std::is_invocable_r_v<double, const F&, const double&>;

// Receives the abscissa, returns the function value there. Built from a plain function
// `double f(const double&)` or from any object callable that way; an object is referred
// to, not copied, so it must outlive the integration (a temporary in the call's own
// expression does). Evaluating an object is one indirect call to a thunk that calls the
// object inline, as cheap as a call through a function pointer; a plain function is
// called through a thunk of its own.
class Integrand {
 public:
  using Function = double (*)(const double& x);

  Integrand(Function f) : target_{.function = f}, call_(&call_function) {}

  template <CallableIntegrand F>
  Integrand(const F& f) : target_{.object = &f}, call_(&call_object<F>) {}

  double operator()(const double& x) const { return call_(target_, x); }

 private:
  union Target {
    Function function;
    const void* object;
  };

  static double call_function(Target t, const double& x) { return t.function(x); }

  template <typename F>
  static double call_object(Target t, const double& x) {
    return (*static_cast<const F*>(t.object))(x);
  }

  Target target_;
  double (*call_)(Target, const double&);  // the thunk that reads target_ as it was built
};

}  // namespace quadrature
