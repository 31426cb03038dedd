// Public entry points of the adaptive integrator: DQDAGS (own workspace) and DQ2AGS (caller's).
#include "quadrature/dqdags.h"

#include "quadrature/internal/adaptive_kernel.h"
#include "quadrature/internal/error_state.h"
#include "textio/one_based.h"

namespace quadrature {

namespace {

// Workspace of DQDAGS: fixed library-wide storage, so a call allocates nothing and
// cannot fail for lack of memory.
struct DqdagsWorkspace {
  double lefts[dqdags_max_subintervals];
  double rights[dqdags_max_subintervals];
  double areas[dqdags_max_subintervals];
  double errs[dqdags_max_subintervals];
  int order[dqdags_max_subintervals];
  int ncalls;  // evaluation count of the last call, not passed back
  int nintv;   // subinterval count of the last call, not passed back
};
DqdagsWorkspace workspace;

}  // namespace

void DQDAGS(Integrand F, double A, double B, double ERRABS, double ERRREL, double& RESULT, double& ESTERR) {
  E1PSH("DQDAGS");
  DQ2AGS(F, A, B, ERRABS, ERRREL, RESULT, ESTERR, dqdags_max_subintervals, workspace.ncalls, workspace.nintv,
         workspace.lefts, workspace.rights, workspace.areas, workspace.errs, workspace.order);
  E1POP("DQDAGS");
}

// Checks the arguments (each failure a TERMINAL message), runs the kernel and turns
// its status into a WARNING or FATAL message for the caller.
void DQ2AGS(Integrand F, double A, double B, double ERRABS, double ERRREL, double& RESULT, double& ESTERR, int MAXSUB,
            int& NCALLS, int& NINTV, double* LEFTS, double* RIGHTS, double* AREAS, double* ERRS, int* ORDER) {
  E1PSH("DQ2AGS");
  if (MAXSUB <= 0) {
    E1VALI(1, MAXSUB);
    E1MES(TERMINAL, 1, "The maximum number of subintervals MAXSUB = %(I1).  It must be at least 1.");
  }
  if (ERRABS < 0.0) {
    E1VALD(1, ERRABS);
    E1MES(TERMINAL, 2, "The absolute error desired ERRABS = %(D1).  It must be at least zero.");
  }
  if (ERRREL < 0.0) {
    E1VALD(1, ERRREL);
    E1MES(TERMINAL, 3, "The relative error desired ERRREL = %(D1).  It must be at least zero.");
  }
  if (ERRABS == 0.0 && ERRREL == 0.0) {
    E1MES(TERMINAL, 4,
          "The error tolerance arguments ERRABS and ERRREL are both equal to zero.  At least one of "
          "them must be greater than zero.");
  }
  if (ERRREL >= 1.0) {
    E1VALD(1, ERRREL);
    E1MES(TERMINAL, 5,
          "The relative error desired ERRREL = %(D1).  When ERRREL is greater than or equal to one, "
          "zero can always be returned as an answer.");
  }
  if (N1RTY(0) == 0) {
    int status = 0;
    DQCORE(F, A, B, ERRABS, ERRREL, MAXSUB, RESULT, ESTERR, NCALLS, status, LEFTS, RIGHTS, AREAS, ERRS, ORDER, NINTV);
    switch (status) {
      case 1:
        E1VALI(1, MAXSUB);
        E1MES(FATAL, 1,
              "The maximum number of subintervals allowed MAXSUB = %(I1) has been reached.  Use "
              "DQ2AGS and increase MAXSUB.  Dimension adjustments may be necessary.");
        break;
      case 2:
        E1VALD(1, ERRABS);
        E1VALD(2, ERRREL);
        E1MES(WARNING, 2,
              "Roundoff error has been detected.  The requested tolerances, ERRABS = %(D1) and "
              "ERRREL = %(D2), cannot be reached.");
        break;
      case 3: {
        const int worst = textio::OneBased<int>{ORDER, MAXSUB}(1);  // subinterval with the largest error estimate
        E1VALD(1, textio::OneBased<double>{LEFTS, MAXSUB}(worst));
        E1VALD(2, textio::OneBased<double>{RIGHTS, MAXSUB}(worst));
        E1MES(WARNING, 3,
              "Precision is degraded due to too fine a subdivision relative to the requested "
              "tolerance.  This may be due to bad integrand behavior in the interval (%(D1),%(D2)).  "
              "Higher precision may alleviate this problem.");
        break;
      }
      case 4:
        E1VALD(1, ERRABS);
        E1VALD(2, ERRREL);
        E1MES(WARNING, 4,
              "Roundoff error has been detected in the extrapolation table.  The requested "
              "tolerances, ERRABS = %(D1) and ERRREL = %(D2) cannot be reached.");
        break;
      case 5:
        E1MES(FATAL, 5, "Integral is probably divergent or slowly convergent.");
        break;
      default:  // 0 done; 6 tolerances refused, no message
        break;
    }
  }
  E1POP("DQ2AGS");
}

}  // namespace quadrature
