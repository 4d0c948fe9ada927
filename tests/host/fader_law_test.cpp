// The fader law offered as DB2SLIDER and SLIDER2DB.
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "host/fader_law.h"

namespace tolvar {
namespace {

TEST(FaderLaw, HandComputedPoints) {
    EXPECT_EQ(Db2Slider(12.0), 1.0);
    EXPECT_NEAR(Db2Slider(0.0), 0.70794578438413791, 1e-15);  // 10^(-12/80)
    EXPECT_NEAR(Db2Slider(-68.0), 0.1, 1e-15);
    EXPECT_NEAR(Db2Slider(-148.0), 0.01, 1e-16);
    EXPECT_NEAR(Slider2Db(0.5), 12.0 + 80.0 * -0.30102999566398120, 1e-12);
    EXPECT_NEAR(Slider2Db(0.1), -68.0, 1e-12);
    EXPECT_EQ(Slider2Db(1.0), 12.0);
}

TEST(FaderLaw, InverseAndMonotonicOverTheRange) {
    double previous = -1.0;
    for (double db = -200.0; db <= 12.0; db += 0.25) {
        const double position = Db2Slider(db);
        EXPECT_GT(position, previous) << db;
        EXPECT_NEAR(Slider2Db(position), db, 1e-9) << db;
        previous = position;
    }
    for (double position = 0.001; position <= 1.0; position += 0.001)
        EXPECT_NEAR(Db2Slider(Slider2Db(position)), position, 1e-12) << position;
}

TEST(FaderLaw, OutsideTheRange) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(Db2Slider(24.0), 1.0);
    EXPECT_EQ(Db2Slider(inf), 1.0);
    EXPECT_EQ(Db2Slider(-inf), 0.0);
    EXPECT_EQ(Db2Slider(nan), 0.0);
    EXPECT_EQ(Slider2Db(2.0), 12.0);
    EXPECT_EQ(Slider2Db(0.0), -inf);
    EXPECT_EQ(Slider2Db(-0.5), -inf);
    EXPECT_EQ(Slider2Db(nan), -inf);
}

}  // namespace
}  // namespace tolvar
