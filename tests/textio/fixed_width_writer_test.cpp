// Fixed-width fields: rounding, signs, the optional leading zero, overflow and non-finite values.
#include "textio/fixed_width_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using textio::fixed_field;
using textio::free_double_field;

TEST(FixedField, RoundsRightJustifiesAndSigns) {
  EXPECT_EQ(fixed_field(18.855963, 10, 2), "     18.86");
  EXPECT_EQ(fixed_field(9.999, 10, 2), "     10.00");
  EXPECT_EQ(fixed_field(0.25, 11, 7), "  0.2500000");
  EXPECT_EQ(fixed_field(-1.0, 11, 7), " -1.0000000");
  EXPECT_EQ(fixed_field(-9.0, 10, 3), "    -9.000");
  EXPECT_EQ(fixed_field(-0.001, 10, 2), "     -0.00");  // rounds to zero, keeps its sign
  EXPECT_EQ(fixed_field(0.0, 10, 3), "     0.000");
  EXPECT_EQ(fixed_field(0.0005, 10, 3), "     0.001");
  EXPECT_EQ(fixed_field(0.0625, 10, 3), "     0.062");  // an exact tie goes to even
}

TEST(FixedField, DropsTheLeadingZeroOnlyWhenNeededAndOverflowsToAsterisks) {
  EXPECT_EQ(fixed_field(0.5, 5, 3), "0.500");
  EXPECT_EQ(fixed_field(0.5, 4, 3), ".500");
  EXPECT_EQ(fixed_field(-0.5, 5, 3), "-.500");
  EXPECT_EQ(fixed_field(-0.5, 4, 3), "****");
  EXPECT_EQ(fixed_field(123456.789, 10, 3), "123456.789");
  EXPECT_EQ(fixed_field(1234567.0, 10, 3), "**********");
  EXPECT_EQ(fixed_field(99999.99999, 10, 4), "**********");  // the carry makes it too wide
  EXPECT_EQ(fixed_field(1e300, 10, 2), "**********");
}

TEST(FixedField, ShowsNonFiniteValuesInWords) {
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(fixed_field(std::nan(""), 11, 7), "        NaN");
  EXPECT_EQ(fixed_field(inf, 10, 3), "  Infinity");
  EXPECT_EQ(fixed_field(-inf, 10, 3), " -Infinity");
  EXPECT_EQ(fixed_field(inf, 6, 2), "   Inf");
  EXPECT_EQ(fixed_field(-inf, 8, 2), "    -Inf");
  EXPECT_EQ(fixed_field(-inf, 3, 1), "***");
}

TEST(FreeDoubleField, UsesFixedFormBetweenATenthAndTenToTheFifteenth) {
  EXPECT_EQ(free_double_field(1.0), "   1.00000000000000     ");
  EXPECT_EQ(free_double_field(std::log(1.2)), "  0.182321556793955     ");
  EXPECT_EQ(free_double_field(std::log(0.9)), " -0.105360515657826     ");
  EXPECT_EQ(free_double_field(0.1), "  0.100000000000000     ");
  EXPECT_EQ(free_double_field(-0.1), " -0.100000000000000     ");
  EXPECT_EQ(free_double_field(999999999999999.0), "   999999999999999.     ");
  EXPECT_EQ(free_double_field(-123456789012345.0), "  -123456789012345.     ");
  EXPECT_EQ(free_double_field(9.9999999999999995), "   10.0000000000000     ");  // rounding carries
}

TEST(FreeDoubleField, JudgesTheBoundariesAfterRoundingToFifteenDigits) {
  EXPECT_EQ(free_double_field(0.09999999999999999), "  0.100000000000000     ");
  EXPECT_EQ(free_double_field(0.0999999999999994), "  9.999999999999939E-002");
  EXPECT_EQ(free_double_field(1e15), "  1.000000000000000E+015");
  EXPECT_EQ(free_double_field(999999999999999.9), "  9.999999999999999E+014");
  EXPECT_EQ(free_double_field(999999999999999.4), "   999999999999999.     ");
}

TEST(FreeDoubleField, UsesTheExponentFormElsewhere) {
  EXPECT_EQ(free_double_field(0.0), "  0.000000000000000E+000");
  EXPECT_EQ(free_double_field(1.0e-7), "  1.000000000000000E-007");
  EXPECT_EQ(free_double_field(-1.0e-7), " -1.000000000000000E-007");
  EXPECT_EQ(free_double_field(std::log(1.1)), "  9.531017980432493E-002");
  EXPECT_EQ(free_double_field(1e300), "  1.000000000000000E+300");
  EXPECT_EQ(free_double_field(4.9406564584124654e-324), "  4.940656458412465E-324");
  EXPECT_EQ(free_double_field(-1.7976931348623157e308), " -1.797693134862316E+308");
}

TEST(FreeDoubleField, ShowsNonFiniteValuesInWords) {
  EXPECT_EQ(free_double_field(std::nan("")), std::string(21, ' ') + "NaN");
  EXPECT_EQ(free_double_field(-std::numeric_limits<double>::infinity()), std::string(15, ' ') + "-Infinity");
}

TEST(IntegerField, RightJustifies) {
  EXPECT_EQ(textio::integer_field(10, 12), "          10");
  EXPECT_EQ(textio::integer_field(-2147483648LL, 12), " -2147483648");
  EXPECT_EQ(textio::integer_field(123, 2), "**");
}

}  // namespace
