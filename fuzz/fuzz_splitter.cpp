// Stream splitter: random receivers and bytes, with raw mode, suspend and sync switched from
// the input. Every receive call must match a small independent model of the parser, delivered
// frames must have their declared length, and id-0 receivers must see every byte that arrives
// while the splitter is not suspended.
//
// Input: byte 0: number of receivers (mod 7); two bytes per receiver: id (mod 6), then the low
// nibble - 1 as record length (-1..14) and the high nibble (mod 5) as length mode (0, 0, -2, -4,
// -3); one flag byte: bit 0 sync required, bits 1-2 filter (none, consume id 1, drop the last
// byte), bit 3 the default frame limit, else the next byte + 1 is the limit. The rest is the
// stream; 0xFE is an escape: 0xFE 0x00 is the byte 0xFE, 0xFE c toggles raw mode (c & 1),
// suspend (c & 2) and sync required (c & 4).
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "stream/SStreamSplitter.h"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

struct Event {
    int receiver;
    bool tap;
    uint32_t id;
    std::string bytes;
    uint32_t userValue;
    bool operator==(const Event&) const = default;
};

struct Definition {
    uint32_t id;
    int32_t length;
    int32_t mode;
};

class Recorder : public Receiver {
public:
    Recorder(int index, std::vector<Event>& log) : index_(index), log_(log) {}
    bool receive(const SMem& frame, int32_t length, uint32_t id, uint32_t userValue) override {
        check(length >= 0 && static_cast<std::size_t>(length) <= frame.getSize());
        // The raw-byte buffer holds exactly one byte; the frame buffer never fewer than five.
        log_.push_back(
            {index_, frame.getSize() == 1, id,
             std::string(reinterpret_cast<const char*>(frame.getData()), static_cast<std::size_t>(length)),
             userValue});
        return true;
    }

private:
    int index_;
    std::vector<Event>& log_;
};

class FuzzSplitter : public SStreamSplitter {
public:
    int filter = 0;
    bool onFrameFilter(SMem&, int32_t& length, uint32_t& id) override {
        if (filter == 1 && id == 1) return true;
        if (filter == 2 && length > 1) --length;
        return false;
    }
};

// The parser written out plainly.
class Model {
public:
    std::vector<Definition> receivers;
    uint32_t maxLength = 0;
    int filter = 0;
    bool syncRequired = false;
    bool waitingSync = false;
    bool raw = false;
    bool suspended = false;
    bool anyError = false;
    std::vector<Event> log;

    void byte(uint8_t b) {
        if (suspended) return;
        bool used = false;
        if (waitingSync) {
            if (b == 0xC5) {
                waitingSync = false;
                collecting = true;
                id = 0;
                used = true;
            }
        } else if (collecting) {
            id = b;
            collecting = false;
            started = false;
            used = true;
        }
        bool finished = false;
        if (!used && !raw) {
            if (!started) finished = !begin();
            if (!finished) finished = store(b);
        }
        for (std::size_t i = 0; i < receivers.size(); ++i)
            if (receivers[i].id == 0)
                log.push_back({static_cast<int>(i), true, 0, std::string(1, static_cast<char>(b)),
                               static_cast<uint32_t>(i)});
        if (finished) {
            started = false;
            id = 0;
            waitingSync = syncRequired;
            collecting = true;
        }
    }

private:
    bool begin() {
        for (const Definition& r : receivers) {
            if (r.id != id) continue;
            if (r.mode == 0 && r.length >= 1 && static_cast<uint32_t>(r.length) <= maxLength) {
                length = r.length;
            } else if (r.mode == -2 || r.mode == -4) {
                length = 0;
            } else {
                anyError = true;
                return false;
            }
            mode = r.mode;
            started = true;
            buffer.clear();
            return true;
        }
        anyError = true;
        return false;
    }

    bool store(uint8_t b) {
        buffer.push_back(static_cast<char>(b));
        if (mode != 0 && length == 0) {
            const std::size_t prefix = mode == -4 ? 4 : 2;
            if (buffer.size() < prefix) return false;
            uint64_t n = 0;
            for (std::size_t i = prefix; i-- > 0;) n = n << 8 | static_cast<uint8_t>(buffer[i]);
            buffer.clear();
            if (n > maxLength) {
                anyError = true;
                return true;
            }
            length = static_cast<int64_t>(n);
            return false;
        }
        if (static_cast<int64_t>(buffer.size()) != length) return false;
        std::string frame = buffer;
        if (filter == 1 && id == 1) return true;
        if (filter == 2 && frame.size() > 1) frame.pop_back();
        for (std::size_t i = 0; i < receivers.size(); ++i)
            if (receivers[i].id == id)
                log.push_back({static_cast<int>(i), false, id, frame, static_cast<uint32_t>(i)});
        return true;
    }

    bool collecting = true;
    bool started = false;
    uint32_t id = 0;
    int32_t mode = 0;
    int64_t length = 0;
    std::string buffer;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::size_t pos = 0;
    auto next = [&](uint8_t fallback) { return pos < size ? data[pos++] : fallback; };

    Model model;
    std::vector<Event> log;
    FuzzSplitter splitter;
    std::vector<Recorder> recorders;
    const int count = next(0) % 7;
    recorders.reserve(static_cast<std::size_t>(count));
    static const int32_t modes[] = {0, 0, -2, -4, -3};
    for (int i = 0; i < count; ++i) {
        const uint8_t a = next(1), b = next(2);
        Definition d{static_cast<uint32_t>(a % 6), (b & 0x0F) - 1, modes[(b >> 4) % 5]};
        model.receivers.push_back(d);
        recorders.emplace_back(i, log);
        recorders.back().setup(d.id, d.length, d.mode);
        check(splitter.connect(&recorders.back(), static_cast<uint32_t>(i)));
    }
    const uint8_t flags = next(0);
    model.syncRequired = model.waitingSync = flags & 1;
    splitter.setSyncRequired(flags & 1);
    model.filter = splitter.filter = (flags >> 1 & 3) % 3;
    model.maxLength = (flags & 8) ? SStreamSplitter::defaultMaxFrameLength : next(0) + 1u;
    splitter.setMaxFrameLength(model.maxLength);

    std::size_t fedUnsuspended = 0;
    while (pos < size) {
        uint8_t b = data[pos++];
        if (b == 0xFE && pos < size && data[pos] != 0) {
            const uint8_t c = data[pos++];
            if (c & 1) {
                check(splitter.setRawMode(model.raw ? 0 : 1) == (model.raw ? 1 : 0));
                model.raw = !model.raw;
            }
            if (c & 2) {
                model.suspended = !model.suspended;
                splitter.setSuspended(model.suspended ? 1 : 0);
            }
            if (c & 4) {
                model.syncRequired = model.waitingSync = !model.syncRequired;
                splitter.setSyncRequired(model.syncRequired);
            }
            continue;
        }
        if (b == 0xFE) ++pos;  // the escaped 0xFE
        if (!model.suspended) ++fedUnsuspended;
        model.byte(b);
        splitter.onStreamData(b);
    }

    check(log == model.log);
    check(!splitter.getError().isEmpty() == model.anyError);

    // The same facts without the model: every tap receiver saw each unsuspended byte once, and
    // frames have the length of the first receiver of their id (fixed mode) or at most the limit.
    for (int i = 0; i < count; ++i) {
        std::size_t taps = 0;
        for (const Event& e : log) taps += e.tap && e.receiver == i;
        check(taps == (model.receivers[static_cast<std::size_t>(i)].id == 0 ? fedUnsuspended : 0));
    }
    for (const Event& e : log) {
        if (e.tap) continue;
        for (const Definition& r : model.receivers) {
            if (r.id != e.id) continue;
            const std::size_t declared =
                static_cast<std::size_t>(r.length) - (model.filter == 2 && r.length > 1);
            if (r.mode == 0) check(e.bytes.size() == declared);
            check(e.bytes.size() <= model.maxLength);
            break;
        }
    }
    return 0;
}
