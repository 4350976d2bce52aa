#include "sim/MyBurnBootloader.h"

#include <algorithm>
#include <cstring>

#define MSG(key, text) "\xB3\xB3" key "\xB3\xB3" text

MyBurnBootloader::MyBurnBootloader(const BootloaderOptions& options, AvrMemory& memory)
    : SimBootloader(options, memory) {}

int MyBurnBootloader::mode() const {
    SString v = options_.version;
    v.replaceAll(SString(std::string("V")), SString());
    v.replaceAll(SString(std::string(".")), SString());
    return v.toInt() > 109 ? 2 : 1;
}

SString MyBurnBootloader::replyLine() const {
    if (!options_.rawReply.isEmpty()) return options_.rawReply;
    const std::string fields[9] = {"myBurn",
                                   options_.moduleType.str(),
                                   "ATmega8",
                                   options_.version.str(),
                                   std::to_string(AvrMemory::flashPageSize),
                                   std::to_string(AvrMemory::eepromSize),
                                   std::to_string(options_.blockSize),
                                   std::to_string(options_.flashSpace),
                                   std::to_string(options_.newBaud)};
    std::string line;
    int count = std::clamp(options_.replyFields, 1, 9);
    for (int i = 0; i < count; ++i) {
        if (i > 0) line += '\r';
        line += fields[i];
    }
    return SString(line + "\n");
}

void MyBurnBootloader::onEnter(SimTime) {
    state_ = waiting;
    attempts_ = 0;
    window_.clear();
    cmd_.clear();
    need_ = 0;
    target_ = 0;
    changeBaud_ = false;
    reply_.clear();
    replyDue_ = simNever;
    leaveAfterReply_ = false;
}

bool MyBurnBootloader::matchHandshake(std::vector<uint8_t>& window, uint8_t byte) {
    window.push_back(byte);
    if (window.size() > sizeof handshake) window.erase(window.begin());
    return window.size() == sizeof handshake && std::memcmp(window.data(), handshake, sizeof handshake) == 0;
}

bool MyBurnBootloader::wantsReset(uint8_t byte) {
    if (!options_.autoReset) return false;
    if (!matchHandshake(appWindow_, byte)) return false;
    appWindow_.clear();
    return true;
}

void MyBurnBootloader::reply(const std::string& line, SimTime due) {
    reply_ = line;
    replyDue_ = due;
}

void MyBurnBootloader::poll(SimTime now) {
    // A session that ended a memory and then went quiet (no "X") also starts the application.
    if ((state_ == waiting || (state_ == session && cmd_.empty() && replyDue_ == simNever)) && waitedOut(now))
        return;
    if (replyDue_ == simNever || now < replyDue_) return;
    replyDue_ = simNever;
    std::string line;
    line.swap(reply_);
    send(reinterpret_cast<const uint8_t*>(line.data()), line.size());
    if (changeBaud_) {
        // The new rate holds from the next byte on; what was sent keeps its own.
        changeBaud_ = false;
        log(SString::printf(MSG("simMyBurnBaud", "myBurn: Baudrate %d"), options_.newBaud));
        setBaud(options_.newBaud);
    }
    if (leaveAfterReply_) {
        leaveAfterReply_ = false;
        leave();
    }
}

void MyBurnBootloader::refuse(SimTime now, const char* why) {
    log(SString(MSG("simMyBurnRefused", "myBurn: abgelehnt: ")) + SString(why));
    target_ = 0;
    reply("!\n", now);
}

void MyBurnBootloader::onByte(uint8_t byte, SimTime now) {
    if (state_ == waiting) {
        if (!matchHandshake(window_, byte)) return;
        window_.clear();
        ++handshakes_;
        ++attempts_;
        if (options_.answerOnHandshake <= 0 || attempts_ < options_.answerOnHandshake) return;
        log(SString::printf(MSG("simMyBurnHandshake", "myBurn: Handshake %d beantwortet"), attempts_));
        state_ = session;
        stopWaiting();
        changeBaud_ = options_.newBaud != 0;
        reply(replyLine().str(), now);
        return;
    }
    stopWaiting();
    cmd_.push_back(byte);
    if (cmd_.size() == 1) {
        switch (cmd_[0]) {
            case 'B': need_ = 6; break;
            case 'F':
            case 'M': need_ = 8; break;
            case 'b': need_ = 3; break;
            case 'f':
            case 'm': need_ = 4; break;
            case 'e':
            case 'X': need_ = 2; break;
            default:
                // Noise between commands (a line end, a late handshake byte) is skipped.
                cmd_.clear();
                return;
        }
    }
    // Block headers announce their data: the command is complete after it.
    if (cmd_.size() == 3 && cmd_[0] == 'b') need_ = 3 + cmd_[1];
    if (cmd_.size() == 4 && (cmd_[0] == 'f' || cmd_[0] == 'm')) need_ = 4 + (cmd_[1] | (cmd_[2] << 8));
    if (cmd_.size() < need_) return;
    command(now);
    cmd_.clear();
    need_ = 0;
}

void MyBurnBootloader::command(SimTime now) {
    const std::vector<uint8_t>& c = cmd_;
    switch (c[0]) {
        case 'B':
        case 'F':
        case 'M': {
            if ((c[0] == 'B' && mode() != 1) || (c[0] == 'F' && mode() != 2))
                return refuse(now, MSG("simMyBurnStartVersion", "Startbefehl passt nicht zur Version"));
            uint32_t n = c[0] == 'B' ? (c[3] | (c[4] << 8)) : (c[4] | (c[5] << 8) | (c[6] << 16));
            uint32_t space = c[0] == 'M' ? AvrMemory::eepromSize : static_cast<uint32_t>(options_.flashSpace);
            if (n > space) return refuse(now, MSG("simMyBurnTooMany", "zu viele Bytes"));
            target_ = c[0] == 'M' ? 'M' : 'F';
            expected_ = n;
            address_ = 0;
            sum_ = 0;
            if (target_ == 'F') memory_.setFlash({});
            log(SString::printf("myBurn: %s %u Bytes", target_ == 'F' ? "Flash" : "EEPROM", n));
            return reply(std::string(1, static_cast<char>(c[0])) + "\n", now);
        }
        case 'b':
        case 'f':
        case 'm': {
            std::size_t header = c[0] == 'b' ? 3 : 4;
            if ((c[0] == 'm') != (target_ == 'M') || target_ == 0)
                return refuse(now, MSG("simMyBurnBlockNoStart", "Block ohne Startbefehl"));
            if ((c[0] == 'b' && mode() != 1) || (c[0] == 'f' && mode() != 2))
                return refuse(now, MSG("simMyBurnBlockVersion", "Blockbefehl passt nicht zur Version"));
            uint32_t n = static_cast<uint32_t>(c.size() - header);
            if (address_ + n > expected_)
                return refuse(now, MSG("simMyBurnMoreBytes", "mehr Bytes als angek\xFCndigt"));
            for (uint32_t i = 0; i < n; ++i) {
                uint8_t v = c[header + i];
                if (target_ == 'F')
                    memory_.programFlash(address_ + i, v);
                else
                    memory_.writeEeprom(address_ + i, v);
                sum_ += v;
            }
            address_ += n;
            return reply(std::string(1, static_cast<char>(c[0])) + "\n",
                         now + static_cast<SimTime>(n) * options_.programNsPerByte);
        }
        case 'e': {
            if (target_ == 0) return refuse(now, MSG("simMyBurnEndNoStart", "Ende ohne Startbefehl"));
            // The sum of what the memory now holds, as the bootloader reads it back.
            uint32_t sum = 0;
            for (uint32_t i = 0; i < address_; ++i)
                sum += target_ == 'F' ? memory_.readFlash(i) : memory_.readEeprom(i);
            log(SString::printf(MSG("simMyBurnEnd", "myBurn: Ende, %u Bytes, Summe %u"), address_, sum));
            target_ = 0;
            waitAgain(now);
            return reply("e0" + std::to_string(sum) + "\n", now);
        }
        case 'X':
            log(SString(std::string("myBurn: Reset")));
            leaveAfterReply_ = true;
            return reply("X\n", now);
        default: break;
    }
}
