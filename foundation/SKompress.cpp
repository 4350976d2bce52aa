#include "foundation/SKompress.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>
#include <stdexcept>
#include <vector>

namespace {

constexpr std::size_t ringSize = 4096;
constexpr std::size_t ringMask = ringSize - 1;
constexpr std::size_t maxMatch = 18;
constexpr std::size_t minMatch = 3;
// The decoder starts writing here; the ring positions before it hold spaces.
constexpr std::size_t ringStart = ringSize - maxMatch;
constexpr uint8_t magic[3] = {'t', 'r', 0x0C};
// The decoder's output grows by at least this many bytes at a time.
constexpr std::size_t growStep = 10000;

SString allocationError(std::size_t size) {
    return SString("Fehler beim Anfordern von Speicher: ") + SString(std::to_string(size));
}

// Finds, for a position of the working buffer, the longest earlier string (at most 4096 bytes
// back) that matches it. Every position is entered into hash chains over its first three bytes.
// Positions are kept as 32-bit values and compared by their wrapping difference; every candidate
// is checked byte by byte, so a stale entry costs time but never yields a wrong match.
class MatchFinder {
public:
    explicit MatchFinder(const uint8_t* buf)
        : buf_(buf), head_(std::size_t(1) << hashBits, 0), prev_(ringSize, 0) {}

    void insert(std::size_t pos) {
        uint32_t h = hash(buf_ + pos);
        prev_[pos & ringMask] = head_[h];
        head_[h] = static_cast<uint32_t>(pos);
    }

    // Raises bestLen (and sets bestDist) when a longer match than bestLen exists; maxLen is at
    // most 18 and bestLen below it. Must run before pos itself is inserted.
    void search(std::size_t pos, std::size_t maxLen, std::size_t& bestLen, std::size_t& bestDist) const {
        const uint8_t* p = buf_ + pos;
        const uint32_t cur = static_cast<uint32_t>(pos);
        const uint32_t limit = static_cast<uint32_t>(std::min(pos, ringSize));
        uint32_t cand = head_[hash(p)];
        uint32_t lastDist = 0;
        for (int depth = maxChain; depth > 0; --depth) {
            uint32_t dist = cur - cand;
            // Chains run to older positions; anything else is a stale entry and ends the walk.
            if (dist <= lastDist || dist > limit) break;
            lastDist = dist;
            const uint8_t* src = p - dist;
            if (src[bestLen] == p[bestLen] && src[0] == p[0]) {
                std::size_t len = matchLength(src, p, maxLen);
                if (len > bestLen) {
                    bestLen = len;
                    bestDist = dist;
                    if (len >= maxLen) break;
                }
            }
            cand = prev_[cand & ringMask];
        }
    }

private:
    static constexpr int hashBits = 14;
    // How many candidates one search looks at: the longest match of text is nearly always among
    // the nearest ones, and the limit bounds the time on repetitive data.
    static constexpr int maxChain = 32;

    static uint32_t hash(const uint8_t* p) {
        uint32_t v = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
        return (v * 2654435761u) >> (32 - hashBits);
    }

    // Common prefix length, at most maxLen; reads up to 24 bytes behind p, which the padding of
    // the working buffer covers.
    static std::size_t matchLength(const uint8_t* src, const uint8_t* p, std::size_t maxLen) {
        std::size_t len = 0;
        if constexpr (std::endian::native == std::endian::little) {
            while (len < maxLen) {
                uint64_t a, b;
                std::memcpy(&a, src + len, 8);
                std::memcpy(&b, p + len, 8);
                if (uint64_t x = a ^ b) {
                    len += static_cast<std::size_t>(std::countr_zero(x)) >> 3;
                    break;
                }
                len += 8;
            }
        } else {
            while (len < maxLen && src[len] == p[len]) ++len;
        }
        return std::min(len, maxLen);
    }

    const uint8_t* buf_;
    std::vector<uint32_t> head_;
    std::vector<uint32_t> prev_;
};

// Collects items behind their flag bytes: bit set = literal, bit clear = reference.
class StreamWriter {
public:
    explicit StreamWriter(uint8_t* out) : out_(out) {}

    void literal(uint8_t c) {
        flag(true);
        out_[size_++] = c;
    }
    void reference(std::size_t ringPos, std::size_t len) {
        flag(false);
        out_[size_++] = static_cast<uint8_t>(ringPos & 0xFF);
        out_[size_++] = static_cast<uint8_t>(((ringPos >> 4) & 0xF0) | (len - minMatch));
    }
    std::size_t size() const { return size_; }
    void setSize(std::size_t size) { size_ = size; }

private:
    void flag(bool literal) {
        if (mask_ == 0) {
            flagPos_ = size_++;
            out_[flagPos_] = 0;
            mask_ = 1;
        }
        if (literal) out_[flagPos_] |= static_cast<uint8_t>(mask_);
        mask_ = (mask_ << 1) & 0xFF;
    }

    uint8_t* out_;
    std::size_t size_ = 0;
    std::size_t flagPos_ = 0;
    unsigned mask_ = 0;
};

}  // namespace

SMem SKompress::decompress(const SMem& input) {
    SMem output;
    decompress(input, output);
    return output;
}

bool SKompress::decompress(const SMem& input, SMem& output) {
    error_.clear();
    progress_ = 0;
    output = SMem();
    const std::size_t total = input.getSize();
    const uint8_t* in = input.getData();
    if (total < sizeof magic || std::memcmp(in, magic, sizeof magic) != 0) {
        error_ = "Ung\xFCltige komprimierte Daten bzw. fehlerhafte Kennung.";
        return false;
    }

    // The output is written in place and grows ahead of need, so that one group of eight
    // items (at most 8 * 18 bytes) always fits.
    std::size_t capacity = 0;
    uint8_t* out = nullptr;
    auto reserve = [&](std::size_t need) {
        if (need <= capacity) return true;
        std::size_t size = std::max({need, capacity + growStep, capacity + capacity / 2});
        try {
            output.setSize(size);
        } catch (const std::bad_alloc&) {
            error_ = allocationError(size);
            return false;
        } catch (const std::length_error&) {
            error_ = allocationError(size);
            return false;
        }
        capacity = size;
        out = output.getData();
        return true;
    };
    // A first guess from the usual ratio of text saves most of the later steps; it stays modest,
    // so that a large input does not fail on the guess alone.
    if (!reserve(std::min(total, std::size_t(1) << 24) * 3 + growStep)) {
        output = SMem();
        return false;
    }

    std::size_t o = 0;
    std::size_t i = sizeof magic;
    std::size_t nextProgress = 0;
    while (i < total) {
        if (i >= nextProgress) {
            progress_ = static_cast<int>(static_cast<double>(i) * 100.0 / static_cast<double>(total));
            nextProgress = i + 65536;
        }
        if (!reserve(o + 8 * maxMatch)) {
            output = SMem();
            return false;
        }
        unsigned flags = in[i++];
        for (int item = 0; item < 8 && i < total; ++item, flags >>= 1) {
            if (flags & 1) {
                out[o++] = in[i++];
                continue;
            }
            // A reference cut off at the end of the input ends the stream.
            if (total - i < 2) {
                i = total;
                break;
            }
            const std::size_t b0 = in[i], b1 = in[i + 1];
            i += 2;
            const std::size_t pos = b0 | ((b1 & 0xF0) << 4);
            const std::size_t len = (b1 & 0x0F) + minMatch;
            // The ring holds the last 4096 output bytes: position pos lies dist bytes back
            // (1..4096). Reading and writing advance together, so dist stays the same over the
            // copy, and a copy that overlaps its own output repeats bytes as the ring would.
            const std::size_t dist = ((ringStart + o - pos - 1) & ringMask) + 1;
            if (dist >= maxMatch && dist <= o) {
                // Source and target cannot overlap: one fixed-size copy, the bytes behind the
                // match are overwritten later (the reserve covers them).
                std::memcpy(out + o, out + o - dist, maxMatch);
            } else if (dist <= o) {
                const uint8_t* src = out + o - dist;
                for (std::size_t k = 0; k < len; ++k) out[o + k] = src[k];
            } else {
                // Near the start the ring still holds its initial bytes: spaces before the first
                // write position, zero bytes behind it until they are written.
                for (std::size_t k = 0; k < len; ++k) {
                    if (o + k >= dist)
                        out[o + k] = out[o + k - dist];
                    else
                        out[o + k] = ((pos + k) & ringMask) < ringStart ? ' ' : 0;
                }
            }
            o += len;
        }
    }
    output.setSize(o);
    progress_ = 100;
    return true;
}

SMem SKompress::compress(const SMem& input) {
    error_.clear();
    progress_ = 0;
    const std::size_t n = input.getSize();
    // Stream size when nothing repeats: magic, all bytes as literals, one flag byte per eight.
    const std::size_t worst = sizeof magic + n + (n + 7) / 8;
    // Working copy: the decoder's initial spaces before the data, so that matches into them are
    // found like any other; zero padding behind lets the comparison read eight bytes at a time.
    const std::size_t begin = ringStart;
    const std::size_t end = begin + n;
    std::vector<uint8_t> buf;
    SMem output;
    try {
        buf.resize(end + 32, 0);
        output.setSize(worst);
    } catch (const std::bad_alloc&) {
        error_ = allocationError(buf.empty() ? end + 32 : worst);
        return SMem();
    } catch (const std::length_error&) {
        error_ = allocationError(buf.empty() ? end + 32 : worst);
        return SMem();
    }
    std::memset(buf.data(), ' ', begin);
    if (n) std::memcpy(buf.data() + begin, input.getData(), n);
    std::memcpy(output.getData(), magic, sizeof magic);

    StreamWriter writer(output.getData());
    writer.setSize(sizeof magic);
    MatchFinder finder(buf.data());
    for (std::size_t pos = 0; pos < begin; ++pos) finder.insert(pos);

    // Every item costs one flag bit, a literal 8 more bits and a reference 16 more, whatever
    // its length and distance. With the longest match known at every position, a backward pass
    // over a block finds the cheapest choice of items exactly. A match may run over the end of
    // its block; the next block starts where it ends.
    const std::size_t blockSize = std::min(std::size_t(1) << 15, n);
    std::vector<uint8_t> lens(blockSize), choice(blockSize);
    std::vector<uint16_t> dists(blockSize);
    std::vector<uint32_t> cost(blockSize + maxMatch, 0);
    std::size_t prevLen = 0, prevDist = 0;
    for (std::size_t b = begin; b < end;) {
        progress_ = static_cast<int>(static_cast<double>(b - begin) * 100.0 / static_cast<double>(n));
        const std::size_t e = std::min(end, b + blockSize);
        for (std::size_t pos = b; pos < e; ++pos) {
            const std::size_t maxLen = std::min(maxMatch, end - pos);
            std::size_t len = 0, dist = 0;
            if (maxLen >= minMatch) {
                // The match found one position earlier, shifted by one, is a lower bound.
                len = minMatch - 1;
                if (prevLen > minMatch) {
                    len = prevLen - 1;
                    dist = prevDist;
                }
                if (len < maxLen) finder.search(pos, maxLen, len, dist);
                if (len < minMatch) len = 0;
            }
            lens[pos - b] = static_cast<uint8_t>(len);
            dists[pos - b] = static_cast<uint16_t>(dist);
            prevLen = len;
            prevDist = dist;
            finder.insert(pos);
        }
        // Behind the block the costs count as zero: they belong to the next block.
        const std::size_t count = e - b;
        std::fill(cost.begin() + static_cast<std::ptrdiff_t>(count), cost.end(), 0);
        for (std::size_t k = count; k-- > 0;) {
            uint32_t best = 9 + cost[k + 1];
            uint8_t pick = 1;
            for (std::size_t l = lens[k]; l >= minMatch; --l) {
                uint32_t c = 17 + cost[k + l];
                if (c < best) {
                    best = c;
                    pick = static_cast<uint8_t>(l);
                }
            }
            cost[k] = best;
            choice[k] = pick;
        }
        std::size_t k = 0;
        while (k < count) {
            const std::size_t pos = b + k;
            if (choice[k] == 1) {
                writer.literal(buf[pos]);
                ++k;
            } else {
                // A buffer index maps to the ring position it occupies in the decoder.
                writer.reference((pos - dists[k]) & ringMask, choice[k]);
                k += choice[k];
            }
        }
        // The positions the last match covered behind the block still enter the chains.
        for (std::size_t pos = e; pos < b + k; ++pos) finder.insert(pos);
        b += k;
        prevLen = 0;
    }
    output.setSize(writer.size());
    progress_ = 100;
    return output;
}
