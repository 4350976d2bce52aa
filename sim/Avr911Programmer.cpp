#include "sim/Avr911Programmer.h"

#include <algorithm>

#define MSG(key, text) "\xB3\xB3" key "\xB3\xB3" text

Avr911Programmer::Avr911Programmer(AvrMemory& memory, const Options& options)
    : memory_(memory), options_(options), pageBuffer_(options.pageBufferSize, 0xFF) {}

void Avr911Programmer::reset() {
    in_.clear();
    out_.clear();
    command_.clear();
    inBlock_ = false;
    progMode_ = false;
    busyUntil_ = pageBusy_ = 0;
    pageBuffer_.assign(options_.pageBufferSize, 0xFF);
}

void Avr911Programmer::onByte(uint8_t byte, SimTime now) {
    if (realistic_) {
        // The adapter's UART runs at 19200 baud only: at another rate it sees framing errors.
        if (host_.baud != baud || host_.dataBits != 8 || host_.parity != 'N') return;
        SimTime arrival = std::max(now, lastArrival_) + host_.charTimeNs();
        lastArrival_ = arrival;
        in_.push_back({byte, arrival});
    } else {
        in_.push_back({byte, now});
    }
}

SimTime Avr911Programmer::nextDue() const {
    SimTime next = simNever;
    if (!out_.empty()) next = out_.front().due;
    if (!in_.empty()) next = std::min(next, std::max(in_.front().arrival, busyUntil_));
    return next;
}

void Avr911Programmer::poll(SimTime now) {
    for (;;) {
        bool progress = false;
        while (!out_.empty() && out_.front().due <= now) {
            send(out_.front().bytes.data(), out_.front().bytes.size());
            out_.pop_front();
            progress = true;
        }
        while (!in_.empty() && in_.front().arrival <= now && busyUntil_ <= now) {
            Incoming in = in_.front();
            in_.pop_front();
            take(in.byte, std::max(in.arrival, busyUntil_));
            progress = true;
        }
        if (!progress) break;
    }
}

void Avr911Programmer::answer(SimTime due, std::initializer_list<uint8_t> bytes) {
    answer(due, std::vector<uint8_t>(bytes));
}

void Avr911Programmer::answer(SimTime due, const std::vector<uint8_t>& bytes) {
    // Answers keep their order: one due earlier than its predecessor waits for it.
    if (!out_.empty()) due = std::max(due, out_.back().due);
    out_.push_back({due, bytes});
}

int Avr911Programmer::argumentCount(uint8_t command) {
    switch (command) {
        case 'A':
            return 2;
        case 'H':
            return 3;
        case 'c':
        case 'C':
        case 'D':
        case 'T':
        case 'x':
        case 'y':
        case 'f':
        case 'l':
        case 0xA2:
        case 0xA3:
            return 1;
        case ':':
            return 3;
        case '.':
            return 4;
        case 'B':
        case 'g':
            return 3;  // size high, size low, memory; 'B' then takes the data
        default:
            return 0;
    }
}

void Avr911Programmer::take(uint8_t byte, SimTime t) {
    if (inBlock_) {
        blockData(byte, t);
        return;
    }
    command_.push_back(byte);
    if (static_cast<int>(command_.size()) <= argumentCount(command_[0])) return;
    execute(t);
    command_.clear();
}

void Avr911Programmer::execute(SimTime t) {
    const uint8_t c = command_[0];
    // Every command but a further block write waits for the page still being written.
    if (c != 'B') t = std::max(t, pageBusy_);
    ++commands_;
    ++counts_[c];
    if (options_.silentCommands.find(static_cast<char>(c)) != std::string::npos) {
        log(SString::printf(MSG("simProgSilent", "Programmer: Befehl 0x%02X ohne Antwort"), c));
        return;
    }
    const uint8_t cr = '\r';
    // The target's memories are reached only in programming mode ('P'); the identification
    // works without it.
    static const std::string needsProgMode = "ecCmRDdBgFNQrfls:.\xA2\xA3";
    if (!progMode_ && needsProgMode.find(static_cast<char>(c)) != std::string::npos) {
        answer(t, {'?'});
        return;
    }
    switch (c) {
        case 'S':
            answer(t, {'A', 'V', 'R', ' ', 'I', 'S', 'P'});
            return;
        case 'V':
            answer(t, {static_cast<uint8_t>(options_.softwareVersion[0]),
                       static_cast<uint8_t>(options_.softwareVersion[1])});
            return;
        case 'v':
            answer(t, {static_cast<uint8_t>(options_.hardwareVersion[0]),
                       static_cast<uint8_t>(options_.hardwareVersion[1])});
            return;
        case 'p':
            answer(t, {'S'});
            return;
        case 'a':
            answer(t, {'Y'});
            return;
        case 'b':
            if (options_.blockMode)
                answer(t, {'Y', static_cast<uint8_t>(options_.blockSize >> 8),
                           static_cast<uint8_t>(options_.blockSize)});
            else
                answer(t, {'?'});
            return;
        case 't':
            answer(t, {deviceCode, 0x00});
            return;
        case 'T':
        case 'x':
        case 'y':
            answer(t, {cr});
            return;
        case 'P':
            if (enterCount_++ < options_.ignoredEnterCount) {
                log(MSG("simProgNoEnter", "Programmer: 'P' ohne Antwort"));
                return;
            }
            progMode_ = true;
            log(MSG("simProgEnter", "Programmer: Programmiermodus"));
            answer(t, {cr});
            return;
        case 'L':
            progMode_ = false;
            log(MSG("simProgLeave", "Programmer: Programmiermodus verlassen"));
            answer(t, {cr});
            return;
        case 'E':
            progMode_ = false;
            answer(t, {cr});
            return;
        case 'e':
            memory_.erase();
            log(MSG("simProgErased", "Programmer: Chip gel\xF6scht"));
            busyUntil_ = t + cost(chipEraseNs);
            answer(busyUntil_, {cr});
            return;
        case 'A':
            address_ = static_cast<uint32_t>(command_[1]) << 8 | command_[2];
            answer(t, {cr});
            return;
        case 'H':
            address_ = static_cast<uint32_t>(command_[1]) << 16 | static_cast<uint32_t>(command_[2]) << 8 |
                       command_[3];
            answer(t, {cr});
            return;
        case 'c':
            lowByte_ = command_[1];
            answer(t, {cr});
            return;
        case 'C':
            if (options_.pageBufferSize > 0) {
                const uint32_t offset = (address_ * 2) % options_.pageBufferSize;
                pageBuffer_[offset] = lowByte_;
                pageBuffer_[offset + 1] = command_[1];
            } else {
                // The word goes into the flash at once (the adapter buffers and writes the page).
                program(address_ * 2, lowByte_);
                program(address_ * 2 + 1, command_[1]);
            }
            ++address_;
            lowByte_ = 0xFF;
            answer(t, {cr});
            return;
        case 'm':
            if (options_.pageBufferSize > 0) {
                const uint32_t size = options_.pageBufferSize;
                const uint32_t page = (address_ * 2) / size * size;
                for (uint32_t i = 0; i < size; ++i) program(page + i, pageBuffer_[i]);
                pageBuffer_.assign(options_.pageBufferSize, 0xFF);
            }
            busyUntil_ = t + cost(pageWriteNs);
            answer(busyUntil_, {cr});
            return;
        case 'R': {
            const uint32_t a = address_ * 2;
            ++address_;
            answer(t, {memory_.readFlash(a + 1), memory_.readFlash(a)});
            return;
        }
        case 'D':
            memory_.writeEeprom(address_++, command_[1]);
            busyUntil_ = t + cost(eepromWriteNs);
            answer(busyUntil_, {cr});
            return;
        case 'd':
            answer(t, {memory_.readEeprom(address_++)});
            return;
        case 'F':
            answer(t, {memory_.getLowFuse()});
            return;
        case 'N':
            answer(t, {memory_.getHighFuse()});
            return;
        case 'Q':
            answer(t, {0xFF});  // the ATmega8 has no extended fuse
            return;
        case 'r':
            answer(t, {memory_.getLock()});
            return;
        case 'f':
            memory_.setLowFuse(command_[1]);
            answer(t, {cr});
            return;
        case 0xA2:
            memory_.setHighFuse(command_[1]);
            answer(t, {cr});
            return;
        case 0xA3:
            answer(t, {cr});
            return;
        case 'l':
            memory_.setLock(command_[1]);
            answer(t, {cr});
            return;
        case 's':
            // AVR109 sends the signature's last byte first.
            answer(t, {options_.signature[2], options_.signature[1], options_.signature[0]});
            return;
        case ':':
        case '.': {
            uint8_t value = 0;
            if (command_[1] == 0x38 && command_[3] < 4) value = calibration[command_[3]];
            if (command_[1] == 0x30) value = options_.signature[std::min<uint8_t>(command_[3], 2)];
            answer(t, {value, cr});
            return;
        }
        case 'B': {
            const uint32_t size = static_cast<uint32_t>(command_[1]) << 8 | command_[2];
            blockMemory_ = command_[3];
            if ((blockMemory_ != 'F' && blockMemory_ != 'E') || size == 0 || !options_.blockMode) {
                answer(t, {'?'});
                return;
            }
            inBlock_ = true;
            blockLeft_ = size;
            pageFill_ = 0;
            return;
        }
        case 'g': {
            const uint32_t size = static_cast<uint32_t>(command_[1]) << 8 | command_[2];
            const uint8_t memory = command_[3];
            std::vector<uint8_t> bytes;
            if (memory == 'F') {
                for (uint32_t i = 0; i < size; ++i) bytes.push_back(memory_.readFlash(address_ * 2 + i));
                address_ += size / 2;
            } else if (memory == 'E') {
                for (uint32_t i = 0; i < size; ++i) bytes.push_back(memory_.readEeprom(address_ + i));
                address_ += size;
            } else if (memory == 'f' && options_.softwareVersion >= "23") {
                uint32_t sum = 0;
                for (uint32_t i = 0; i < size; ++i) sum += memory_.readFlash(address_ * 2 + i);
                address_ += size / 2;
                bytes = {static_cast<uint8_t>(sum >> 24), static_cast<uint8_t>(sum >> 16),
                         static_cast<uint8_t>(sum >> 8), static_cast<uint8_t>(sum)};
            } else {
                bytes = {'?'};
            }
            answer(t, bytes);
            return;
        }
        case 0x1B:  // escape: synchronisation, no answer
            return;
        default:
            answer(t, {'?'});
            return;
    }
}

void Avr911Programmer::program(uint32_t address, uint8_t value) {
    if (static_cast<int64_t>(address) == options_.brokenFlashAddress) return;
    memory_.programFlash(address, value);
}

void Avr911Programmer::blockData(uint8_t byte, SimTime t) {
    if (blockMemory_ == 'F') {
        const uint32_t a = address_ * 2 + pageFill_;
        program(a, byte);
        ++pageFill_;
        // A full page is written while the next one arrives.
        if ((a + 1) % AvrMemory::flashPageSize == 0) {
            pageBusy_ = std::max(t, pageBusy_) + cost(pageWriteNs);
        }
    } else {
        memory_.writeEeprom(address_ + pageFill_, byte);
        ++pageFill_;
        pageBusy_ = std::max(t, pageBusy_) + cost(eepromWriteNs);
    }
    if (--blockLeft_ == 0) finishBlock(t);
}

void Avr911Programmer::finishBlock(SimTime t) {
    inBlock_ = false;
    if (blockMemory_ == 'F') {
        const uint32_t end = address_ * 2 + pageFill_;
        // A page left incomplete is written at the end of the block.
        if (end % AvrMemory::flashPageSize != 0) pageBusy_ = std::max(t, pageBusy_) + cost(pageWriteNs);
        address_ += (pageFill_ + 1) / 2;
    } else {
        address_ += pageFill_;
    }
    // The adapter acknowledges once only the page in its buffer is left to write; that page is
    // written while the next block arrives.
    const SimTime buffered = blockMemory_ == 'F' ? cost(pageWriteNs) : 0;
    busyUntil_ = std::max(t, pageBusy_ - buffered);
    answer(busyUntil_, {'\r'});
}
