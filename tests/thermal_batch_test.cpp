// The batch of heat balances: columns of one value or one per row, each row the scalar case to
// the bit, a row without an answer NaN with its reason while the others are solved.
#include "thermal/thermal_batch.h"

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <vector>

namespace varnel::thermal {
namespace {

Column one(const double& value) {
    return Column{&value, 1};
}
Column many(const std::vector<double>& values) {
    return Column{values.data(), values.size()};
}

struct Batch {
    std::vector<double> current{300, 600, 5e6, 900};
    std::vector<double> ambient{-10, 20, 25, 35};
    std::vector<double> direction{0, 45, 300, 170};
    std::vector<double> day{1, 100, 200, 365};
    double azimuth = 30, speed = 1.5, elevation = 500, latitude = 35, hour = 13, albedo = 0.2;
    double emissivity = 0.8, absorptivity = 0.7, diameter = 0.0216;
    double t1 = 20, r1 = 0.1181e-3, t2 = 120, r2 = 0.1181e-3 * 1.403;
    BatchInputs in;
    std::vector<double> out[9];

    Batch() {
        in.value = many(current);
        in.ambient = many(ambient);
        in.windSpeed = one(speed);
        in.windDirection = many(direction);
        in.lineAzimuth = one(azimuth);
        in.elevation = one(elevation);
        in.sunPosition = true;
        in.latitude = one(latitude);
        in.day = many(day);
        in.hour = one(hour);
        in.albedo = one(albedo);
        in.emissivity = one(emissivity);
        in.absorptivity = one(absorptivity);
        in.diameter = one(diameter);
        in.t1 = one(t1);
        in.r1 = one(r1);
        in.t2 = one(t2);
        in.r2 = one(r2);
        for (auto& o : out) o.assign(current.size(), -1);
    }
    BatchOutputs outputs() {
        return BatchOutputs{out[0].data(), out[1].data(), out[2].data(),
                            out[3].data(), out[4].data(), out[5].data(),
                            out[6].data(), out[7].data(), out[8].data()};
    }
};

TEST(ThermalBatch, RowsAreTheScalarCasesAndAFailedRowIsNan) {
    for (const Model m : {Model::ieee738, Model::cigre601}) {
        Batch b;
        const std::vector<RowFailure> failures =
            solveBatch(b.in, 4, Solve::temperature, m, b.outputs(), false);
        ASSERT_EQ(failures.size(), 1u);
        EXPECT_EQ(failures[0].row, 2u);
        EXPECT_NE(failures[0].reason.find("no steady temperature"), std::string::npos);
        for (std::size_t i = 0; i < 4; ++i) {
            if (i == 2) {
                for (const auto& o : b.out) EXPECT_TRUE(std::isnan(o[i]));
                continue;
            }
            Conductor c;
            c.diameter = b.diameter;
            c.emissivity = b.emissivity;
            c.absorptivity = b.absorptivity;
            c.resistance = resistanceFromR20(b.r1);
            Weather w;
            w.ambient = b.ambient[i];
            w.windSpeed = b.speed;
            w.elevation = b.elevation;
            w.sun.direct = false;
            w.sun.latitude = b.latitude;
            w.sun.day = static_cast<int>(b.day[i]);
            w.sun.hour = b.hour;
            w.sun.lineAzimuth = b.azimuth;
            w.sun.albedo = b.albedo;
            // The wind's direction less the line's, folded into [0, 180): by hand.
            const double angles[] = {150, 15, 90, 140};
            w.windAngle = angles[i];
            const HeatBalance alone = conductorTemperature(c, w, b.current[i], m);
            EXPECT_EQ(b.out[0][i], alone.temperature) << i;
            EXPECT_EQ(b.out[8][i], alone.radiation) << i;
        }
    }
}

TEST(ThermalBatch, StopsAtTheFirstFailureWhenAsked) {
    Batch b;
    b.ambient[1] = 150;
    const std::vector<RowFailure> failures =
        solveBatch(b.in, 4, Solve::temperature, Model::ieee738, b.outputs(), true);
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].row, 1u);
    EXPECT_NE(failures[0].reason.find("the ambient temperature must be"), std::string::npos);
}

TEST(ThermalBatch, ADayThatIsNotWholeHasNoAnswer) {
    Batch b;
    b.day[3] = 200.5;
    const std::vector<RowFailure> failures =
        solveBatch(b.in, 4, Solve::ampacity, Model::cigre601, b.outputs(), false);
    ASSERT_EQ(failures.size(), 2u);  // row 2's 5e6 °C is beyond the highest temperature too
    EXPECT_EQ(failures[1].row, 3u);
    EXPECT_NE(failures[1].reason.find("whole day"), std::string::npos);
}

TEST(ThermalBatch, AColumnOfAnotherLengthIsRefused) {
    Batch b;
    const std::vector<double> three{1, 2, 3};
    b.in.hour = many(three);
    EXPECT_THROW(solveBatch(b.in, 4, Solve::temperature, Model::ieee738, b.outputs(), false),
                 std::invalid_argument);
}

TEST(ThermalBatch, WindDirectionAgainstTheLine) {
    EXPECT_EQ(windAngleFromDirection(30, 90), 120);  // 60° off the line, from the other side
    EXPECT_EQ(windAngleFromDirection(270, 90), 0);
    EXPECT_EQ(windAngleFromDirection(0, 90), 90);
    EXPECT_EQ(windAngleFromDirection(-45, 0), 135);
    EXPECT_EQ(windAngleFromDirection(725, 0), 5);
}

}  // namespace
}  // namespace varnel::thermal
