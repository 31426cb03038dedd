// Public entry points of the adaptive integrator: DQDAGS (the context's workspace) and DQ2AGS (caller's).
#include "quadrature/dqdags.h"

#include "quadrature/internal/adaptive_kernel.h"
#include "quadrature/internal/error_state.h"
#include "textio/one_based.h"

namespace quadrature {

Flow DQDAGS(Context& ctx, Integrand F, double A, double B, double ERRABS, double ERRREL, double& RESULT,
            double& ESTERR) {
  DqdagsWorkspace& w = ctx.workspace;
  if (E1PSH(ctx, "DQDAGS") == Flow::stopped) return Flow::stopped;
  if (DQ2AGS(ctx, F, A, B, ERRABS, ERRREL, RESULT, ESTERR, dqdags_max_subintervals, w.ncalls, w.nintv, w.lefts,
             w.rights, w.areas, w.errs, w.order) == Flow::stopped)
    return Flow::stopped;
  return E1POP(ctx, "DQDAGS");
}

// Checks the arguments (each failure a TERMINAL message), runs the kernel and turns
// its status into a WARNING or FATAL message for the caller.
Flow DQ2AGS(Context& ctx, Integrand F, double A, double B, double ERRABS, double ERRREL, double& RESULT, double& ESTERR,
            int MAXSUB, int& NCALLS, int& NINTV, double* LEFTS, double* RIGHTS, double* AREAS, double* ERRS,
            int* ORDER) {
  if (E1PSH(ctx, "DQ2AGS") == Flow::stopped) return Flow::stopped;
  // An argument error is recorded and printed at once; the TERMINAL stop comes at the pop.
  if (MAXSUB <= 0) {
    E1VALI(ctx, 1, MAXSUB);
    if (E1MES(ctx, TERMINAL, 1, "The maximum number of subintervals MAXSUB = %(I1).  It must be at least 1.") ==
        Flow::stopped)
      return Flow::stopped;
  }
  if (ERRABS < 0.0) {
    E1VALD(ctx, 1, ERRABS);
    if (E1MES(ctx, TERMINAL, 2, "The absolute error desired ERRABS = %(D1).  It must be at least zero.") ==
        Flow::stopped)
      return Flow::stopped;
  }
  if (ERRREL < 0.0) {
    E1VALD(ctx, 1, ERRREL);
    if (E1MES(ctx, TERMINAL, 3, "The relative error desired ERRREL = %(D1).  It must be at least zero.") ==
        Flow::stopped)
      return Flow::stopped;
  }
  if (ERRABS == 0.0 && ERRREL == 0.0) {
    if (E1MES(ctx, TERMINAL, 4,
              "The error tolerance arguments ERRABS and ERRREL are both equal to zero.  At least one of "
              "them must be greater than zero.") == Flow::stopped)
      return Flow::stopped;
  }
  if (ERRREL >= 1.0) {
    E1VALD(ctx, 1, ERRREL);
    if (E1MES(ctx, TERMINAL, 5,
              "The relative error desired ERRREL = %(D1).  When ERRREL is greater than or equal to one, "
              "zero can always be returned as an answer.") == Flow::stopped)
      return Flow::stopped;
  }
  int type = 0;
  if (N1RTY(ctx, 0, type) == Flow::stopped) return Flow::stopped;
  if (type == 0) {
    int status = 0;
    if (DQCORE(ctx, F, A, B, ERRABS, ERRREL, MAXSUB, RESULT, ESTERR, NCALLS, status, LEFTS, RIGHTS, AREAS, ERRS, ORDER,
               NINTV) == Flow::stopped)
      return Flow::stopped;
    Flow flow = Flow::go_on;
    switch (status) {
      case 1:
        E1VALI(ctx, 1, MAXSUB);
        flow = E1MES(ctx, FATAL, 1,
                     "The maximum number of subintervals allowed MAXSUB = %(I1) has been reached.  Use "
                     "DQ2AGS and increase MAXSUB.  Dimension adjustments may be necessary.");
        break;
      case 2:
        E1VALD(ctx, 1, ERRABS);
        E1VALD(ctx, 2, ERRREL);
        flow = E1MES(ctx, WARNING, 2,
                     "Roundoff error has been detected.  The requested tolerances, ERRABS = %(D1) and "
                     "ERRREL = %(D2), cannot be reached.");
        break;
      case 3: {
        const int worst = textio::OneBased<int>{ORDER, MAXSUB}(1);  // subinterval with the largest error estimate
        E1VALD(ctx, 1, textio::OneBased<double>{LEFTS, MAXSUB}(worst));
        E1VALD(ctx, 2, textio::OneBased<double>{RIGHTS, MAXSUB}(worst));
        flow = E1MES(ctx, WARNING, 3,
                     "Precision is degraded due to too fine a subdivision relative to the requested "
                     "tolerance.  This may be due to bad integrand behavior in the interval (%(D1),%(D2)).  "
                     "Higher precision may alleviate this problem.");
        break;
      }
      case 4:
        E1VALD(ctx, 1, ERRABS);
        E1VALD(ctx, 2, ERRREL);
        flow = E1MES(ctx, WARNING, 4,
                     "Roundoff error has been detected in the extrapolation table.  The requested "
                     "tolerances, ERRABS = %(D1) and ERRREL = %(D2) cannot be reached.");
        break;
      case 5:
        flow = E1MES(ctx, FATAL, 5, "Integral is probably divergent or slowly convergent.");
        break;
      default:  // 0 done; 6 tolerances refused, no message
        break;
    }
    if (flow == Flow::stopped) return Flow::stopped;
  }
  return E1POP(ctx, "DQ2AGS");
}

}  // namespace quadrature
