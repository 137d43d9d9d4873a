#include "platform/format.h"

#include <gtest/gtest.h>

namespace ost {
namespace {

TEST(FormatTest, RoundHalfEvenSendsExactHalvesToTheEvenNeighbour) {
    EXPECT_EQ(RoundHalfEven(0.5), 0);
    EXPECT_EQ(RoundHalfEven(1.5), 2);
    EXPECT_EQ(RoundHalfEven(2.5), 2);
    EXPECT_EQ(RoundHalfEven(2.5000001), 3);
    EXPECT_EQ(RoundHalfEven(12.5), 12);
    EXPECT_EQ(RoundHalfEven(-0.5), 0);
    EXPECT_EQ(RoundHalfEven(-1.5), -2);
    EXPECT_EQ(RoundHalfEven(4194303.9990234375), 4194304);
}

TEST(FormatTest, FixedTwoPlacesRoundsHalvesAwayFromZero) {
    EXPECT_EQ(FormatFixed2(0, "."), "0.00");
    EXPECT_EQ(FormatFixed2(1.125, "."), "1.13");
    EXPECT_EQ(FormatFixed2(2.375, "."), "2.38");
    EXPECT_EQ(FormatFixed2(2.374, "."), "2.37");
    EXPECT_EQ(FormatFixed2(0.005, ","), "0,01");
    EXPECT_EQ(FormatFixed2(123456.5, "."), "123456.50");
    EXPECT_EQ(FormatFixed2(9.999, "."), "10.00");
    EXPECT_EQ(FormatFixed2(-1.125, "."), "-1.13");
}

}  // namespace
}  // namespace ost
