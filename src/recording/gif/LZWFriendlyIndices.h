#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace zorv
{

// Trades a little colour accuracy for a much smaller GIF. It follows the LZW
// compressor a GIF writer runs over `indices` (greedy longest match, table
// cleared when full, as giflib does) and, where the string being extended
// cannot continue with the pixel's own index, lets the pixel take the index of
// an existing continuation when that shows nearly as well: its error
// `cost(pixel, index)` is at most `loss(pixel)` above the own index's error. Longer
// matches mean fewer codes; dithered areas shrink the most.
class LZWFriendlyIndices
{
  public:
    // `colourBits`: bits of the frame's colour table (the writer's code size).
    template <typename Cost, typename Loss>
    void apply(std::vector<uint8_t> &indices, int colourBits, Loss loss, Cost cost)
    {
        if (indices.empty())
            return;
        m_roots = 1 << std::max(2, colourBits);
        reset();
        int prefix = indices[0];
        for (std::size_t i = 1; i < indices.size(); ++i) {
            const uint8_t own = indices[i];
            int match = -1;
            for (int c = m_firstChild[prefix]; c >= 0; c = m_nextSibling[c])
                if (m_key[c] == own) {
                    match = c;
                    break;
                }
            if (match < 0 && m_firstChild[prefix] >= 0) {
                int bestCost = cost(i, own) + loss(i) + 1;
                for (int c = m_firstChild[prefix]; c >= 0; c = m_nextSibling[c]) {
                    const int e = cost(i, m_key[c]);
                    if (e < bestCost)
                        bestCost = e, match = c;
                }
                if (match >= 0)
                    indices[i] = m_key[match];
            }
            if (match >= 0) {
                prefix = match;
                continue;
            }
            add(prefix, own);
            prefix = own;
        }
    }

  private:
    static constexpr int tableSize = 4096;

    void reset()
    {
        std::fill(m_firstChild.begin(), m_firstChild.begin() + m_roots, -1);
        m_next = m_roots + 2; // after the clear and end codes
    }

    void add(int prefix, uint8_t key)
    {
        if (m_next >= tableSize - 1) {
            reset();
            return;
        }
        m_key[m_next] = key;
        m_firstChild[m_next] = -1;
        m_nextSibling[m_next] = m_firstChild[prefix];
        m_firstChild[prefix] = m_next;
        ++m_next;
    }

    int m_roots = 4;
    int m_next = 0;
    std::vector<int> m_firstChild = std::vector<int>(tableSize, -1);
    std::vector<int> m_nextSibling = std::vector<int>(tableSize, -1);
    std::vector<uint8_t> m_key = std::vector<uint8_t>(tableSize, 0);
};

} // namespace zorv
