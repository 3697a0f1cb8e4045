#include "base/ExchangeSort.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

// The procedure itself, on the element numbers, as the lists did it before.
template <typename Key, typename Before>
std::vector<std::size_t> Exchanged(const std::vector<Key>& keys, Before before) {
    std::vector<std::size_t> order(keys.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    for (std::size_t v = 0; v < order.size(); ++v) {
        for (std::size_t i = v + 1; i < order.size(); ++i) {
            if (before(keys[order[i]], keys[order[v]]))
                std::swap(order[v], order[i]);
        }
    }
    return order;
}

TEST(ExchangeSort, SmallCasesWorkedByHand) {
    // [2a, 2b, 1] -> [1, 2b, 2a]: the procedure is not stable.
    EXPECT_EQ(ExchangeSortOrder(std::vector<int>{2, 2, 1}, std::less<int>()),
              (std::vector<std::size_t>{2, 1, 0}));
    // [3, 2a, 1, 2b] -> [1, 2a, 2b, 3].
    EXPECT_EQ(ExchangeSortOrder(std::vector<int>{3, 2, 1, 2}, std::less<int>()),
              (std::vector<std::size_t>{2, 1, 3, 0}));
    EXPECT_TRUE(ExchangeSortOrder(std::vector<int>{}, std::less<int>()).empty());
    EXPECT_EQ(ExchangeSortOrder(std::vector<int>{7}, std::less<int>()),
              (std::vector<std::size_t>{0}));
}

// Every length up to 9 over three key values, both directions: all 3^n sequences for
// the short ones, so every arrangement of ties is met.
TEST(ExchangeSort, EveryShortSequenceMatchesTheProcedure) {
    for (std::size_t n = 1; n <= 9; ++n) {
        std::size_t total = 1;
        for (std::size_t k = 0; k < n; ++k)
            total *= 3;
        std::vector<int> keys(n);
        for (std::size_t code = 0; code < total; ++code) {
            std::size_t c = code;
            for (std::size_t k = 0; k < n; ++k, c /= 3)
                keys[k] = static_cast<int>(c % 3);
            ASSERT_EQ(ExchangeSortOrder(keys, std::less<int>()), Exchanged(keys, std::less<int>()))
                << "n=" << n << " code=" << code;
            ASSERT_EQ(ExchangeSortOrder(keys, std::greater<int>()),
                      Exchanged(keys, std::greater<int>()))
                << "n=" << n << " code=" << code;
        }
    }
}

TEST(ExchangeSort, LongRandomSequencesWithManyTiesMatchTheProcedure) {
    std::mt19937 random(77);
    for (int round = 0; round < 60; ++round) {
        const std::size_t n = 1 + random() % 1500;
        const int values = 1 + static_cast<int>(random() % (round % 3 == 0 ? 4 : 200));
        std::vector<double> keys(n);
        for (double& k : keys)
            k = static_cast<double>(random() % static_cast<unsigned>(values));
        if (round % 5 == 0)
            std::sort(keys.begin(), keys.end(), std::greater<double>());  // worst case
        SCOPED_TRACE(round);
        ASSERT_EQ(ExchangeSortOrder(keys, std::less<double>()),
                  Exchanged(keys, std::less<double>()));
        ASSERT_EQ(ExchangeSortOrder(keys, std::greater<double>()),
                  Exchanged(keys, std::greater<double>()));
    }
}

TEST(ExchangeSort, TextKeysCompareByteForByte) {
    const std::vector<std::string> keys = {"b", "\xC0", "a", "b", "A", "\xC0", "a"};
    const auto bytes = [](const std::string& x, const std::string& y) {
        return std::lexicographical_compare(
            x.begin(), x.end(), y.begin(), y.end(), [](char p, char q) {
                return static_cast<unsigned char>(p) < static_cast<unsigned char>(q);
            });
    };
    EXPECT_EQ(ExchangeSortOrder(keys, bytes), Exchanged(keys, bytes));
}

}  // namespace
