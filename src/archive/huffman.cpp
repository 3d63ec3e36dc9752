// Length-limited Huffman code lengths and canonical codes.
#include "archive/huffman.h"

#include <algorithm>
#include <vector>

int HuffmanLengths(const uint32_t* freq, int n, int limit, uint8_t* lens)
{
    std::vector<int> used;
    for (int i = 0; i < n; ++i) {
        lens[i] = 0;
        if (freq[i] != 0)
            used.push_back(i);
    }
    const int m = static_cast<int>(used.size());
    if (m < 2)
        return m;

    // Leaves by increasing frequency; the tree is built from two queues (sorted
    // leaves and the internal nodes, which are made in increasing weight order).
    std::stable_sort(used.begin(), used.end(), [&](int a, int b) { return freq[a] < freq[b]; });
    std::vector<uint64_t> weight(2 * m);
    std::vector<int> parent(2 * m, -1);
    for (int i = 0; i < m; ++i)
        weight[i] = freq[used[i]];
    int leaf = 0, node = m, made = m;
    auto take = [&]() {
        if (leaf < m && (node >= made || weight[leaf] <= weight[node]))
            return leaf++;
        return node++;
    };
    while (made < 2 * m - 1) {
        const int a = take();
        const int b = take();
        weight[made] = weight[a] + weight[b];
        parent[a] = parent[b] = made;
        ++made;
    }
    // Depths: the root is the last node made; parents come after their children.
    std::vector<int> depth(2 * m, 0);
    for (int i = 2 * m - 3; i >= 0; --i)
        depth[i] = depth[parent[i]] + 1;

    std::vector<int> count(limit + 2, 0);
    for (int i = 0; i < m; ++i)
        ++count[std::min(depth[i], limit)];
    // Clamping made the code over-full; each step moves one leaf a level down and
    // pairs it with one taken from the deepest level, lowering the Kraft sum (in
    // units of 2^-limit) by one, until the code is exactly complete.
    uint64_t kraft = 0;
    for (int l = 1; l <= limit; ++l)
        kraft += static_cast<uint64_t>(count[l]) << (limit - l);
    const uint64_t full = uint64_t(1) << limit;
    while (kraft > full) {
        int l = limit - 1;
        while (l > 0 && count[l] == 0)
            --l;
        if (l == 0 || count[limit] == 0)
            break;   // cannot happen for a limit with 2^limit >= m
        --count[l];
        count[l + 1] += 2;
        --count[limit];
        --kraft;
    }
    // The shortest lengths go to the most frequent symbols (the end of `used`).
    int idx = m - 1;
    for (int l = 1; l <= limit; ++l)
        for (int k = 0; k < count[l]; ++k)
            lens[used[idx--]] = static_cast<uint8_t>(l);
    return m;
}

void CanonicalCodes(const uint8_t* lens, int n, uint16_t* codes)
{
    uint32_t count[18] = {};
    for (int i = 0; i < n; ++i)
        ++count[lens[i]];
    count[0] = 0;   // unused symbols take no code space
    uint32_t next[18] = {};
    uint32_t code = 0;
    for (int l = 1; l <= 16; ++l) {
        code = (code + count[l - 1]) << 1;
        next[l] = code;
    }
    for (int i = 0; i < n; ++i)
        codes[i] = lens[i] ? static_cast<uint16_t>(next[lens[i]]++) : 0;
}
