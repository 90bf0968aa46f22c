// The public header and the library's own records describe the same bytes.
#include "calc/records/records.h"

#include <gtest/gtest.h>

#include <cstddef>

#include "varnel.h"

namespace {

#define SAME_FIELD(Public, Internal, field)                                  \
    EXPECT_EQ(offsetof(Public, field), offsetof(Internal, field)) << #field; \
    EXPECT_EQ(sizeof(Public::field), sizeof(Internal::field)) << #field

TEST(Records, HeaderMatchesTheLibrary) {
    using C = ::WeatherCondition;
    using CI = varnel::WeatherCondition;
    SAME_FIELD(C, CI, name);
    SAME_FIELD(C, CI, iceThickness);
    SAME_FIELD(C, CI, windSpeed);
    SAME_FIELD(C, CI, temperature);
    EXPECT_EQ(sizeof(C), sizeof(CI));

    using L = ::LineAttrib;
    using LI = varnel::LineAttrib;
    SAME_FIELD(L, LI, name);
    SAME_FIELD(L, LI, area);
    SAME_FIELD(L, LI, diameter);
    SAME_FIELD(L, LI, unitMass);
    SAME_FIELD(L, LI, column4Value);
    SAME_FIELD(L, LI, elasticModulus);
    SAME_FIELD(L, LI, expansionCoeff);
    SAME_FIELD(L, LI, column7Value);
    SAME_FIELD(L, LI, ratedStrength);
    SAME_FIELD(L, LI, column9Number);
    SAME_FIELD(L, LI, column10Text);
    EXPECT_EQ(sizeof(L), sizeof(LI));

    using S = ::WeatherConditionSeq;
    using SI = varnel::WeatherConditionSeq;
    EXPECT_EQ(offsetof(S, allocatorTag), offsetof(SI, allocatorTag));
    EXPECT_EQ(offsetof(S, first), offsetof(SI, first));
    EXPECT_EQ(offsetof(S, last), offsetof(SI, last));
    EXPECT_EQ(offsetof(S, end), offsetof(SI, endOfStorage));
    EXPECT_EQ(sizeof(S), sizeof(SI));
}

}  // namespace
