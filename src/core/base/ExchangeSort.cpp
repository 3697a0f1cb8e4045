#include "base/ExchangeSort.h"

#include <cstdint>

// Why this reproduces the procedure. Take one key class K and call every element with a
// smaller key "small"; larger keys never move a K nor change whether one moves, so
// they can be left out. A pass of the procedure moves the strict running minima of the
// remaining elements one step along their chain and puts the last of them in front. If
// the remaining elements begin with a run of Ks followed by a small one, the first K of
// the run is such a minimum: it moves to where that small element was, i.e. to the end
// of the run, and one small element leaves. If they begin with a small element, no K
// moves. Once no small element is left, the Ks leave in the order they then stand in.
//
// So the class's final order depends only on how many small elements stand after each K
// (up to the next K): start with an empty ring, and for every K in original order append
// it at the end and rotate the ring left by that count. The ring is kept as a list with
// a start offset, appending means inserting at the offset, and the insertion positions
// are resolved offline with a Fenwick tree. Every class costs O(m log n).

namespace {

class Fenwick {
public:
    explicit Fenwick(std::size_t n) : tree_(n + 1, 0) {}

    // All counts one, built in O(n).
    void FillOnes() {
        for (std::size_t i = 1; i < tree_.size(); ++i) {
            tree_[i] += 1;
            const std::size_t parent = i + (i & (~i + 1));
            if (parent < tree_.size())
                tree_[parent] += tree_[i];
        }
    }
    void Add(std::size_t index, int64_t delta) {
        for (std::size_t i = index + 1; i < tree_.size(); i += i & (~i + 1))
            tree_[i] += delta;
    }
    // Sum of the counts at [0, end).
    int64_t Prefix(std::size_t end) const {
        int64_t s = 0;
        for (std::size_t i = end; i > 0; i -= i & (~i + 1))
            s += tree_[i];
        return s;
    }
    // The index at which the (k+1)-th unit lies (counts are 0 or 1).
    std::size_t FindKth(int64_t k) const {
        std::size_t pos = 0;
        std::size_t step = 1;
        while (step * 2 < tree_.size())
            step *= 2;
        for (; step > 0; step /= 2) {
            if (pos + step < tree_.size() && tree_[pos + step] <= k) {
                pos += step;
                k -= tree_[pos];
            }
        }
        return pos;
    }

private:
    std::vector<int64_t> tree_;
};

}  // namespace

std::vector<std::size_t> ExchangeSortOrder(const std::vector<std::size_t>& rank) {
    const std::size_t n = rank.size();
    std::vector<std::size_t> order;
    order.reserve(n);
    if (n == 0)
        return order;

    // The positions of every class, ascending, by a counting sort on the rank.
    const std::size_t classes = *std::max_element(rank.begin(), rank.end()) + 1;
    std::vector<std::size_t> start(classes + 1, 0);
    for (const std::size_t r : rank)
        ++start[r + 1];
    for (std::size_t c = 0; c < classes; ++c)
        start[c + 1] += start[c];
    std::vector<std::size_t> positions(n);
    {
        std::vector<std::size_t> fill(start.begin(), start.end() - 1);
        for (std::size_t p = 0; p < n; ++p)
            positions[fill[rank[p]]++] = p;
    }

    Fenwick smaller(n);  // the elements of the classes already placed
    std::vector<int64_t> inserted;
    std::vector<std::size_t> ring;
    for (std::size_t c = 0; c < classes; ++c) {
        const std::size_t* pos = positions.data() + start[c];
        const std::size_t m = start[c + 1] - start[c];
        if (m == 0)
            continue;

        inserted.assign(m, 0);
        int64_t offset = 0;
        for (std::size_t j = 0; j < m; ++j) {
            inserted[j] = offset;
            const std::size_t next = j + 1 < m ? pos[j + 1] : n;
            const int64_t between = smaller.Prefix(next) - smaller.Prefix(pos[j] + 1);
            offset = (offset + 1 + between) % static_cast<int64_t>(j + 1);
        }

        Fenwick free(m);
        free.FillOnes();
        ring.assign(m, 0);
        for (std::size_t j = m; j-- > 0;) {
            const std::size_t slot = free.FindKth(inserted[j]);
            ring[slot] = pos[j];
            free.Add(slot, -1);
        }
        for (std::size_t t = 0; t < m; ++t)
            order.push_back(ring[(static_cast<std::size_t>(offset) + t) % m]);

        for (std::size_t j = 0; j < m; ++j)
            smaller.Add(pos[j], 1);
    }
    return order;
}
