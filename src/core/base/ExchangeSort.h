#pragma once

// The lists of this program (the zone map, the object list, the distance lists) are
// ordered by the simple exchange procedure
//
//     for v = 0 .. n-1:  for i = v+1 .. n-1:  if before(x[i], x[v]): swap(x[v], x[i])
//
// which never swaps equal keys directly but is not stable: [2a, 2b, 1] ends as
// [1, 2b, 2a]. Which of two equal zones comes first decides which one a name or a point
// finds, so the order it leaves must be kept exactly; doing the n²/2 comparisons is
// what must not stay. ExchangeSortOrder computes that very order in O(n log n).

#include <algorithm>
#include <cstddef>
#include <numeric>
#include <vector>

// `rank[i]` is the key class of element i: equal ranks are equal keys, a lower rank
// comes before a higher one. Returns order[p] = the element the procedure leaves at p.
std::vector<std::size_t> ExchangeSortOrder(const std::vector<std::size_t>& rank);

// The same for keys and a strict weak ordering `before` (std::less for ascending).
template <typename Key, typename Before>
std::vector<std::size_t> ExchangeSortOrder(const std::vector<Key>& keys, Before before) {
    std::vector<std::size_t> byKey(keys.size());
    std::iota(byKey.begin(), byKey.end(), std::size_t{0});
    std::stable_sort(byKey.begin(), byKey.end(),
                     [&](std::size_t a, std::size_t b) { return before(keys[a], keys[b]); });
    std::vector<std::size_t> rank(keys.size(), 0);
    std::size_t r = 0;
    for (std::size_t k = 1; k < byKey.size(); ++k) {
        if (before(keys[byKey[k - 1]], keys[byKey[k]]))
            ++r;
        rank[byKey[k]] = r;
    }
    return ExchangeSortOrder(rank);
}
