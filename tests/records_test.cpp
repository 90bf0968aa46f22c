// The public header and the library's own records describe the same bytes.
#include "calc/records/records.h"

#include <gtest/gtest.h>

#include <cstddef>

#include "calc/records/library_records.h"
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

TEST(Records, LibraryRecordsMatchTheLibrary) {
    using A = ::WeatherArea;
    using AI = varnel::WeatherArea;
    SAME_FIELD(A, AI, name);
    EXPECT_EQ(offsetof(A, conditions), offsetof(AI, conditions));
    EXPECT_EQ(sizeof(A), sizeof(AI));

    using H = ::HBLineAttrib;
    using HI = varnel::HBLineAttrib;
    SAME_FIELD(H, HI, name);
    SAME_FIELD(H, HI, column9Number);
    SAME_FIELD(H, HI, column1Value);
    SAME_FIELD(H, HI, column3Value);
    SAME_FIELD(H, HI, column2Value);
    SAME_FIELD(H, HI, column5Value);
    SAME_FIELD(H, HI, column6Value);
    SAME_FIELD(H, HI, column8Value);
    SAME_FIELD(H, HI, column11Value);
    SAME_FIELD(H, HI, column4Value);
    SAME_FIELD(H, HI, column7Value);
    SAME_FIELD(H, HI, column10Text);
    EXPECT_EQ(sizeof(H), sizeof(HI));

    using I = ::InsulatorAttrib;
    using II = varnel::InsulatorAttrib;
    SAME_FIELD(I, II, column4Value);
    SAME_FIELD(I, II, column5Text);
    SAME_FIELD(I, II, column6Number);
    SAME_FIELD(I, II, column7Value);
    SAME_FIELD(I, II, column8Value);
    SAME_FIELD(I, II, column9Number);
    SAME_FIELD(I, II, column10Value);
    SAME_FIELD(I, II, column11Text);
    SAME_FIELD(I, II, column12Value);
    SAME_FIELD(I, II, column13Number);
    SAME_FIELD(I, II, column14Value);
    SAME_FIELD(I, II, column15Value);
    SAME_FIELD(I, II, column16Number);
    SAME_FIELD(I, II, column17Value);
    SAME_FIELD(I, II, column18Text);
    SAME_FIELD(I, II, column19Value);
    SAME_FIELD(I, II, column20Value);
    SAME_FIELD(I, II, column21Value);
    SAME_FIELD(I, II, column22Value);
    SAME_FIELD(I, II, column23Number);
    SAME_FIELD(I, II, column24Text);
    SAME_FIELD(I, II, column0Value);
    SAME_FIELD(I, II, column1Value);
    SAME_FIELD(I, II, column2Value);
    SAME_FIELD(I, II, column3Value);
    EXPECT_EQ(sizeof(I), sizeof(II));

    EXPECT_EQ(sizeof(::WeatherAreaSeq), sizeof(varnel::WeatherAreaLib));
    EXPECT_EQ(sizeof(::LineAttribSeq), sizeof(varnel::LineAttribLib));
}

}  // namespace
