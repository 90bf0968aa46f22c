#include "calc/records/sequence.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using varnel::Sequence;

TEST(Sequence, ConstantInitialisedEmpty) {
    static constinit Sequence<int> seq{};
    EXPECT_EQ(seq.first, nullptr);
    EXPECT_EQ(seq.size(), 0u);
    EXPECT_EQ(seq.capacity(), 0u);
}

TEST(Sequence, NullFirstCountsNothingWhateverTheOtherPointersHold) {
    int storage[3] = {1, 2, 3};
    Sequence<int> seq{};
    seq.last = storage + 3;
    seq.endOfStorage = storage + 3;
    EXPECT_EQ(seq.size(), 0u);
}

TEST(Sequence, CapacityDoublesFromOneAndKeepsElements) {
    Sequence<int> seq{};
    std::vector<std::size_t> capacities;
    for (int i = 0; i < 9; ++i) {
        seq.append(i * 10);
        capacities.push_back(seq.capacity());
    }
    EXPECT_EQ(capacities, (std::vector<std::size_t>{1, 2, 4, 4, 8, 8, 8, 8, 16}));
    ASSERT_EQ(seq.size(), 9u);
    for (int i = 0; i < 9; ++i) EXPECT_EQ(seq[static_cast<std::size_t>(i)], i * 10);
    seq.release();
}

TEST(Sequence, ClearKeepsStorageReleaseGivesItBack) {
    Sequence<double> seq{};
    seq.append(1.5);
    seq.append(2.5);
    double* const storage = seq.first;
    seq.clear();
    EXPECT_EQ(seq.size(), 0u);
    EXPECT_EQ(seq.first, storage);
    EXPECT_EQ(seq.last, storage);
    EXPECT_EQ(seq.capacity(), 2u);
    seq.append(3.5);
    EXPECT_EQ(seq.first, storage) << "a later append reuses the reserved storage";
    seq.release();
    EXPECT_EQ(seq.first, nullptr);
    EXPECT_EQ(seq.last, nullptr);
    EXPECT_EQ(seq.endOfStorage, nullptr);
}

TEST(Sequence, ReserveExactAndTruncate) {
    Sequence<int> seq{};
    seq.reserveExact(9);
    EXPECT_EQ(seq.capacity(), 9u);
    for (int i = 0; i < 9; ++i) seq.append(i);
    EXPECT_EQ(seq.endOfStorage, seq.last) << "exactly full, no regrowth";
    seq.truncate(4);
    EXPECT_EQ(seq.size(), 4u);
    EXPECT_EQ(seq[3], 3);
    seq.release();
}

}  // namespace
