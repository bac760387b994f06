#include "script/parameter.h"

#include <gtest/gtest.h>

namespace {

TEST(Parameter, ConversionsBetweenTheThreeKinds) {
  EXPECT_EQ(ParameterToInteger(ParameterBoolean(true)), 1);
  EXPECT_EQ(ParameterToInteger(ParameterText("-42")), -42);
  EXPECT_EQ(ParameterToInteger(ParameterText("-")), 0);
  EXPECT_EQ(ParameterToInteger(ParameterText(" 7")), 0);
  EXPECT_EQ(ParameterToInteger(ParameterText("2147483648")), 0) << "outside 32 bits is no integer";
  EXPECT_EQ(ParameterToInteger(ParameterText("-2147483648")), INT32_MIN);
  EXPECT_TRUE(ParameterToBoolean(ParameterInteger(-3)));
  EXPECT_FALSE(ParameterToBoolean(ParameterInteger(0)));
  EXPECT_TRUE(ParameterToBoolean(ParameterText("tRuE")));
  EXPECT_FALSE(ParameterToBoolean(ParameterText("1")));
  EXPECT_EQ(ParameterToText(ParameterInteger(-15)), "-15");
  EXPECT_EQ(ParameterToText(ParameterBoolean(false)), "false");
  parameter odd;
  odd.kind = 9;
  EXPECT_EQ(ParameterToInteger(odd), 0);
  EXPECT_FALSE(ParameterToBoolean(odd));
  EXPECT_EQ(ParameterToText(odd), "");
}

}  // namespace
