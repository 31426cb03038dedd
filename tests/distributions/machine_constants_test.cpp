// Machine-constant table, floating-point limits and exponent limits.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>

#include "distributions/internal/machine_constants.h"

namespace {

using namespace distributions;

TEST(MachineConstants, TableHoldsTheDoubleFormat) {
  EXPECT_EQ(machine_int(4), 2);
  EXPECT_EQ(machine_int(8), 53);
  EXPECT_EQ(machine_int(9), -1021);
  EXPECT_EQ(machine_int(10), 1024);
  EXPECT_EQ(machine_int(3), 2147483647);
}

TEST(MachineConstants, IndexOutsideTheTableGivesZero) {
  EXPECT_EQ(machine_int(0), 0);
  EXPECT_EQ(machine_int(11), 0);
  EXPECT_EQ(machine_int(-2147483647 - 1), 0);
}

TEST(MachineConstants, RealLimitsAreExactAndSelectorsClamp) {
  EXPECT_EQ(machine_real(1), DBL_EPSILON);
  EXPECT_EQ(machine_real(2), DBL_MIN);
  EXPECT_EQ(machine_real(3), DBL_MAX);
  EXPECT_EQ(machine_real(0), DBL_EPSILON);
  EXPECT_EQ(machine_real(-5), DBL_EPSILON);
  EXPECT_EQ(machine_real(4), DBL_MAX);
  EXPECT_EQ(machine_real(1000), DBL_MAX);
}

TEST(MachineConstants, ExponentLimitsStayInsideTheRange) {
  EXPECT_NEAR(exp_limit(0), 709.7756150662599, 1e-12);
  EXPECT_NEAR(exp_limit(1), -708.3893345680835, 1e-12);
  EXPECT_EQ(exp_limit(-1), exp_limit(1));
  EXPECT_EQ(exp_limit(7), exp_limit(1));
  EXPECT_TRUE(std::isfinite(std::exp(exp_limit(0))));
  EXPECT_GE(std::exp(exp_limit(1)), DBL_MIN);
}

}  // namespace
