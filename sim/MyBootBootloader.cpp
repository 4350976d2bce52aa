#include "sim/MyBootBootloader.h"

#include <algorithm>
#include <cstdio>

#define MSG(key, text) "\xB3\xB3" key "\xB3\xB3" text

MyBootBootloader::MyBootBootloader(const BootloaderOptions& options, AvrMemory& memory)
    : SimBootloader(options, memory) {}

void MyBootBootloader::onEnter(SimTime now) {
    state_ = waiting;
    heard_.clear();
    cmd_.clear();
    block_.clear();
    erased_ = false;
    leaveAfterReply_ = false;
    reply_.clear();
    replyDue_ = simNever;
    nextGreeting_ = now;
}

SimTime MyBootBootloader::nextDue() const {
    return std::min({replyDue_, state_ == waiting ? nextGreeting_ : simNever, applicationDue()});
}

void MyBootBootloader::reply(const std::string& bytes, SimTime due) {
    reply_ = bytes;
    replyDue_ = due;
}

void MyBootBootloader::poll(SimTime now) {
    if (state_ == waiting && waitedOut(now)) return;
    if (state_ == waiting && now >= nextGreeting_) {
        send(greeting);
        nextGreeting_ = now + greetPeriod;
    }
    if (replyDue_ == simNever || now < replyDue_) return;
    replyDue_ = simNever;
    std::string bytes;
    bytes.swap(reply_);
    send(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    if (leaveAfterReply_) {
        leaveAfterReply_ = false;
        leave();
    }
}

void MyBootBootloader::onByte(uint8_t byte, SimTime now) {
    if (state_ == waiting) {
        heard_ += static_cast<char>(byte);
        if (heard_.size() > 6) heard_.erase(0, heard_.size() - 6);
        if (heard_ != "myBurn") return;
        ++handshakes_;
        log(SString(MSG("simMyBootBurnMode", "myBoot: Brennmodus")));
        state_ = session;
        stopWaiting();
        return reply(sessionAnswer, now);
    }
    if (state_ == data) {
        uint32_t j = static_cast<uint32_t>(block_.size());
        block_.push_back(static_cast<uint8_t>(byte ^ ((count_ - j) & 0xFF)));
        if (block_.size() < count_) return;
        bool fits = address_ + count_ <= static_cast<uint32_t>(options_.flashSpace);
        if (fits) {
            if (!erased_) memory_.setFlash({});
            erased_ = true;
            for (uint32_t i = 0; i < count_; ++i) memory_.programFlash(address_ + i, block_[i] ^ mask);
        }
        log(SString::printf(MSG("simMyBootBlock", "myBoot: Block %u Bytes an %u%s"), count_, address_,
                            fits ? "" : SString(MSG("simMyBootRefused", " abgelehnt")).c_str()));
        state_ = session;
        return reply(fits ? "E1" : "E0", now + static_cast<SimTime>(count_) * options_.programNsPerByte);
    }
    cmd_.push_back(byte);
    switch (cmd_[0]) {
        case 'W':
        case 'C':
            if (cmd_.size() < 5) return;
            break;
        case 'X':
            cmd_.clear();
            log(SString(std::string("myBoot: Reset")));
            leaveAfterReply_ = true;
            return reply("X", now);
        default:
            cmd_.clear();
            return;
    }
    uint32_t first = (cmd_[1] << 8) | cmd_[2];
    uint32_t count = (cmd_[3] << 8) | cmd_[4];
    char echo[16];
    if (cmd_[0] == 'W') {
        std::snprintf(echo, sizeof echo, " A%02X%02XS%02X%02X", cmd_[1], cmd_[2], cmd_[3], cmd_[4]);
        address_ = first;
        count_ = count;
        block_.clear();
        cmd_.clear();
        if (count_ > 0) state_ = data;
        return reply(echo, now);
    }
    uint8_t sum = 0x24;
    for (uint32_t i = 0; i < count; ++i) sum ^= static_cast<uint8_t>(memory_.readFlash(i) ^ mask);
    std::snprintf(echo, sizeof echo, "%02X", sum);
    cmd_.clear();
    reply(echo, now);
}
