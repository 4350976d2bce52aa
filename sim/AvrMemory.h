// The non-volatile memories of the virtual board's ATmega8: flash, EEPROM, fuses and lock bits.
// The programmer and the bootloaders write them; the simulated core runs what the flash holds.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <vector>

class AvrMemory {
public:
    static constexpr int flashSize = 8192;
    // The ATmega8 writes its flash in pages of 32 words.
    static constexpr int flashPageSize = 64;
    static constexpr int eepromSize = 512;
    static constexpr std::array<uint8_t, 3> signature{0x1E, 0x93, 0x07};
    // Factory settings: 1 MHz internal clock fuses, no lock.
    static constexpr uint8_t defaultLowFuse = 0xE1;
    static constexpr uint8_t defaultHighFuse = 0xD9;
    static constexpr uint8_t defaultLock = 0xFF;

    AvrMemory() { erase(); }

    // Chip erase: flash and EEPROM to 0xFF, lock bits cleared; fuses stay.
    void erase() {
        std::lock_guard lock(mutex_);
        flash_.assign(flashSize, 0xFF);
        eeprom_.assign(eepromSize, 0xFF);
        lock_ = defaultLock;
        ++generation_;
    }
    bool isFlashErased() const {
        std::lock_guard lock(mutex_);
        for (uint8_t b : flash_)
            if (b != 0xFF) return false;
        return true;
    }

    // Whole copies, safe from any thread.
    std::vector<uint8_t> getFlash() const {
        std::lock_guard lock(mutex_);
        return flash_;
    }
    std::vector<uint8_t> getEeprom() const {
        std::lock_guard lock(mutex_);
        return eeprom_;
    }
    // Replaces the flash (shorter images leave the rest erased).
    void setFlash(const std::vector<uint8_t>& image) {
        std::lock_guard lock(mutex_);
        flash_.assign(flashSize, 0xFF);
        for (std::size_t i = 0; i < image.size() && i < flash_.size(); ++i) flash_[i] = image[i];
        ++generation_;
    }

    // Single bytes; addresses outside the memory read 0xFF and ignore writes.
    uint8_t readFlash(uint32_t address) const {
        std::lock_guard lock(mutex_);
        return address < flash_.size() ? flash_[address] : 0xFF;
    }
    // As the hardware does: a write can only clear bits (programming), never set them.
    void programFlash(uint32_t address, uint8_t value) {
        std::lock_guard lock(mutex_);
        if (address < flash_.size()) flash_[address] &= value;
        ++generation_;
    }
    uint8_t readEeprom(uint32_t address) const {
        std::lock_guard lock(mutex_);
        return address < eeprom_.size() ? eeprom_[address] : 0xFF;
    }
    void writeEeprom(uint32_t address, uint8_t value) {
        std::lock_guard lock(mutex_);
        if (address < eeprom_.size()) eeprom_[address] = value;
    }

    uint8_t getLowFuse() const { return lowFuse_; }
    uint8_t getHighFuse() const { return highFuse_; }
    uint8_t getLock() const { return lock_; }
    void setLowFuse(uint8_t v) { lowFuse_ = v; }
    void setHighFuse(uint8_t v) { highFuse_ = v; }
    void setLock(uint8_t v) { lock_ = v; }

    // Counts every change of the flash, so the core knows when to load it again.
    uint64_t getGeneration() const {
        std::lock_guard lock(mutex_);
        return generation_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<uint8_t> flash_;
    std::vector<uint8_t> eeprom_;
    uint8_t lowFuse_ = defaultLowFuse;
    uint8_t highFuse_ = defaultHighFuse;
    uint8_t lock_ = defaultLock;
    uint64_t generation_ = 0;
};
