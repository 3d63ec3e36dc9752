// The -lh5- compressor: a hash-chain match finder with one step of lazy evaluation
// and the block coder.
#include "archive/lh5_encoder.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "archive/huffman.h"

namespace {

constexpr int kWindowBits = 13;
constexpr uint32_t kWindow = 1u << kWindowBits;
constexpr uint32_t kWindowMask = kWindow - 1;
constexpr uint32_t kMaxDistance = kWindow - 1;   // the position code's j = distance - 1
constexpr int kMinMatch = 3;
constexpr int kMaxMatch = 256;
constexpr int kNC = 256 + kMaxMatch - kMinMatch + 1;   // 510 literal/length symbols
constexpr int kNP = kWindowBits + 1;                   // 14 position symbols
constexpr int kNT = 19;                                // code-length symbols
constexpr int kCBits = 9, kPBits = 4, kTBits = 5;
constexpr int kHashBits = 15;
constexpr uint32_t kBlockSymbols = 1u << 15;
// Search effort, in the manner of common LZ77 coders at their default level.
constexpr int kMaxChain = 128;
constexpr int kGoodLength = 8;     // a previous match this long quarters the search
constexpr int kNiceLength = 128;   // a match this long ends the search
constexpr int kMaxLazy = 16;       // a previous match this long is taken without a look ahead

class TBitWriter {
public:
    std::string Out;
    void Put(int n, uint32_t v)
    {
        if (n == 0)
            return;
        acc_ = (acc_ << n) | (v & ((n == 32) ? 0xFFFFFFFFu : ((1u << n) - 1)));
        bits_ += n;
        while (bits_ >= 8) {
            bits_ -= 8;
            Out.push_back(static_cast<char>((acc_ >> bits_) & 0xFF));
        }
    }
    // Pads the last byte with zero bits.
    void Flush()
    {
        if (bits_ > 0)
            Put(8 - bits_, 0);
    }

private:
    uint64_t acc_ = 0;
    int bits_ = 0;
};

int BitLength(uint32_t v)
{
    return v == 0 ? 0 : 32 - __builtin_clz(v);
}

struct TTable {
    uint8_t Len[kNC] = {};
    uint16_t Code[kNC] = {};
    int Used = 0;     // used symbols
    int Single = 0;   // the symbol when fewer than two are used
};

void BuildTable(const uint32_t* freq, int n, TTable& t)
{
    t.Used = HuffmanLengths(freq, n, 16, t.Len);
    t.Single = 0;
    if (t.Used < 2) {
        for (int i = 0; i < n; ++i)
            if (freq[i])
                t.Single = i;
        return;
    }
    CanonicalCodes(t.Len, n, t.Code);
}

class TEncoder {
public:
    TEncoder(const uint8_t* data, size_t n, uint64_t limit, const TLh5Encoder::TSink& sink)
        : data_(data), n_(n), limit_(limit), sink_(sink), head_(new uint32_t[1u << kHashBits]()),
          prev_(new uint32_t[kWindow]()), sym_(new uint16_t[kBlockSymbols]), dist_(new uint16_t[kBlockSymbols])
    {
    }

    bool Run();

private:
    const uint8_t* data_;
    size_t n_;
    uint64_t limit_;
    const TLh5Encoder::TSink& sink_;
    std::unique_ptr<uint32_t[]> head_;   // position + 1 of the newest string per hash, 0 none
    std::unique_ptr<uint32_t[]> prev_;   // position + 1 of the previous string with its hash
    std::unique_ptr<uint16_t[]> sym_;
    std::unique_ptr<uint16_t[]> dist_;
    uint32_t count_ = 0;
    uint64_t written_ = 0;
    bool stopped_ = false;
    TBitWriter bits_;

    uint32_t Hash(size_t pos) const
    {
        const uint32_t v = data_[pos] | (data_[pos + 1] << 8) | (data_[pos + 2] << 16);
        return (v * 2654435761u) >> (32 - kHashBits);
    }
    // Enters the string at pos into its chain; returns the previous head.
    uint32_t Insert(size_t pos)
    {
        const uint32_t h = Hash(pos);
        const uint32_t old = head_[h];
        prev_[pos & kWindowMask] = old;
        head_[h] = static_cast<uint32_t>(pos + 1);
        return old;
    }
    int MatchLength(size_t a, size_t b, int max) const;
    int FindMatch(size_t pos, uint32_t cand, int prevLen, uint32_t& dist) const;
    void Literal(uint8_t c) { Symbol(c, 0); }
    void Match(int len, uint32_t distance)
    {
        Symbol(static_cast<uint16_t>(len - kMinMatch + 256), static_cast<uint16_t>(distance - 1));
    }
    void Symbol(uint16_t c, uint16_t d)
    {
        sym_[count_] = c;
        dist_[count_] = d;
        if (++count_ == kBlockSymbols)
            SendBlock();
    }
    void SendBlock();
    void WriteLengths(const TTable& t, int n, int nbits, int special);
    void WriteCodeLengths(const TTable& c, const TTable& tt);
};

int TEncoder::MatchLength(size_t a, size_t b, int max) const
{
    int len = 0;
    while (len + 8 <= max) {
        uint64_t x, y;
        std::memcpy(&x, data_ + a + len, 8);
        std::memcpy(&y, data_ + b + len, 8);
        if (x != y)
            return len + (__builtin_ctzll(x ^ y) >> 3);
        len += 8;
    }
    while (len < max && data_[a + len] == data_[b + len])
        ++len;
    return len;
}

// The longest match for pos longer than prevLen along the chain starting at cand.
int TEncoder::FindMatch(size_t pos, uint32_t cand, int prevLen, uint32_t& dist) const
{
    const int max = static_cast<int>(std::min<size_t>(kMaxMatch, n_ - pos));
    if (max < kMinMatch)
        return 0;
    int best = std::max(prevLen, kMinMatch - 1);
    if (best >= max)
        return 0;
    int chain = prevLen >= kGoodLength ? kMaxChain / 4 : kMaxChain;
    int found = 0;
    while (cand != 0 && chain-- > 0) {
        const size_t c = cand - 1;
        if (pos - c > kMaxDistance)
            break;
        if (data_[c + best] == data_[pos + best]) {
            const int len = MatchLength(c, pos, max);
            if (len > best) {
                best = len;
                found = len;
                dist = static_cast<uint32_t>(pos - c);
                if (len >= kNiceLength || len >= max)
                    break;   // best < max holds for the next comparison
            }
        }
        const uint32_t next = prev_[c & kWindowMask];
        if (next >= cand)
            break;   // the slot was reused by a newer string
        cand = next;
    }
    return found;
}

bool TEncoder::Run()
{
    size_t pos = 0;
    bool havePrev = false;
    int prevLen = 0;
    uint32_t prevDist = 0;
    while (pos < n_ && !stopped_) {
        int len = 0;
        uint32_t dist = 0;
        if (pos + kMinMatch <= n_) {
            const uint32_t cand = Insert(pos);
            if (!(havePrev && prevLen >= kMaxLazy))
                len = FindMatch(pos, cand, havePrev ? prevLen : 0, dist);
        }
        if (havePrev && prevLen >= kMinMatch && len <= prevLen) {
            Match(prevLen, prevDist);
            const size_t end = pos - 1 + prevLen;
            for (size_t q = pos + 1; q < end; ++q)
                if (q + kMinMatch <= n_)
                    Insert(q);
            pos = end;
            havePrev = false;
            prevLen = 0;
        } else {
            if (havePrev)
                Literal(data_[pos - 1]);
            havePrev = true;
            prevLen = len;
            prevDist = dist;
            ++pos;
        }
    }
    if (havePrev && !stopped_)
        Literal(data_[pos - 1]);
    if (count_ > 0 && !stopped_)
        SendBlock();
    if (!stopped_) {
        bits_.Flush();
        written_ += bits_.Out.size();
        if (written_ >= limit_)
            return false;
        if (!bits_.Out.empty() && !sink_(bits_.Out))
            return false;
    }
    return !stopped_;
}

// A length table as read back by the decoder: the count of entries, then 3 bits per
// length (7 and more as 111 followed by length-7 one bits and a zero); after the
// entry numbered `special` a 2-bit count of zero entries that follow.
void TEncoder::WriteLengths(const TTable& t, int n, int nbits, int special)
{
    while (n > 0 && t.Len[n - 1] == 0)
        --n;
    bits_.Put(nbits, static_cast<uint32_t>(n));
    int i = 0;
    while (i < n) {
        const int k = t.Len[i++];
        if (k <= 6)
            bits_.Put(3, static_cast<uint32_t>(k));
        else
            bits_.Put(k - 3, (1u << (k - 3)) - 2);
        if (i == special) {
            while (i < 6 && i < n && t.Len[i] == 0)
                ++i;
            bits_.Put(2, static_cast<uint32_t>(i - special));
        }
    }
}

// The literal/length code lengths, coded with the code-length code: symbol k + 2 for
// a length k, symbols 0 to 2 for runs of zero lengths (0: one; 1 + 4 bits: 3 to 18;
// 2 + 9 bits: 20 and more).
void TEncoder::WriteCodeLengths(const TTable& c, const TTable& tt)
{
    int n = kNC;
    while (n > 0 && c.Len[n - 1] == 0)
        --n;
    bits_.Put(kCBits, static_cast<uint32_t>(n));
    auto put = [&](int sym) { bits_.Put(tt.Used < 2 ? 0 : tt.Len[sym], tt.Code[sym]); };
    int i = 0;
    while (i < n) {
        const int k = c.Len[i++];
        if (k != 0) {
            put(k + 2);
            continue;
        }
        int run = 1;
        while (i < n && c.Len[i] == 0) {
            ++i;
            ++run;
        }
        if (run <= 2) {
            for (int r = 0; r < run; ++r)
                put(0);
        } else if (run <= 18) {
            put(1);
            bits_.Put(4, static_cast<uint32_t>(run - 3));
        } else if (run == 19) {
            put(0);
            put(1);
            bits_.Put(4, 15);
        } else {
            put(2);
            bits_.Put(kCBits, static_cast<uint32_t>(run - 20));
        }
    }
}

void TEncoder::SendBlock()
{
    uint32_t freqC[kNC] = {};
    uint32_t freqP[kNP] = {};
    for (uint32_t i = 0; i < count_; ++i) {
        ++freqC[sym_[i]];
        if (sym_[i] >= 256)
            ++freqP[BitLength(dist_[i])];
    }
    TTable c, p, t;
    BuildTable(freqC, kNC, c);
    BuildTable(freqP, kNP, p);

    bits_.Put(16, count_);
    if (c.Used >= 2) {
        uint32_t freqT[kNT] = {};
        int n = kNC;
        while (n > 0 && c.Len[n - 1] == 0)
            --n;
        for (int i = 0; i < n;) {
            const int k = c.Len[i++];
            if (k != 0) {
                ++freqT[k + 2];
                continue;
            }
            int run = 1;
            while (i < n && c.Len[i] == 0) {
                ++i;
                ++run;
            }
            if (run <= 2)
                freqT[0] += run;
            else if (run <= 18)
                ++freqT[1];
            else if (run == 19) {
                ++freqT[0];
                ++freqT[1];
            } else
                ++freqT[2];
        }
        BuildTable(freqT, kNT, t);
        if (t.Used >= 2) {
            WriteLengths(t, kNT, kTBits, 3);
        } else {
            bits_.Put(kTBits, 0);
            bits_.Put(kTBits, static_cast<uint32_t>(t.Single));
        }
        WriteCodeLengths(c, t);
    } else {
        bits_.Put(kTBits, 0);
        bits_.Put(kTBits, 0);
        bits_.Put(kCBits, 0);
        bits_.Put(kCBits, static_cast<uint32_t>(c.Single));
    }
    if (p.Used >= 2) {
        WriteLengths(p, kNP, kPBits, -1);
    } else {
        bits_.Put(kPBits, 0);
        bits_.Put(kPBits, static_cast<uint32_t>(p.Single));
    }

    const bool cCoded = c.Used >= 2, pCoded = p.Used >= 2;
    for (uint32_t i = 0; i < count_; ++i) {
        const uint16_t s = sym_[i];
        if (cCoded)
            bits_.Put(c.Len[s], c.Code[s]);
        if (s < 256)
            continue;
        const uint32_t j = dist_[i];
        const int pc = BitLength(j);
        if (pCoded)
            bits_.Put(p.Len[pc], p.Code[pc]);
        if (pc > 1)
            bits_.Put(pc - 1, j - (1u << (pc - 1)));
    }
    count_ = 0;

    // Hand over the whole bytes; the partial last byte stays in the writer.
    std::string done;
    done.swap(bits_.Out);
    written_ += done.size();
    if (written_ >= limit_ || !sink_(done))
        stopped_ = true;
}

}   // namespace

bool TLh5Encoder::Encode(const uint8_t* data, size_t n, uint64_t limit, const TSink& sink)
{
    TEncoder e(data, n, limit, sink);
    return e.Run();
}
