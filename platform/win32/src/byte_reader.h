// SPDX-License-Identifier: AGPL-3.0-or-later
// Bounds-checked little-endian reading of untrusted bytes (module files,
// resource data, dialog templates). A read past the end sets the reader
// failed and yields zeros from then on, so parsers check ok() once per
// record instead of before every field.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace vxwin32::detail {

class ByteReader {
public:
    explicit ByteReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    bool ok() const { return ok_; }
    size_t pos() const { return pos_; }
    size_t size() const { return bytes_.size(); }
    size_t remaining() const { return ok_ ? bytes_.size() - pos_ : 0; }

    void Seek(uint64_t pos) {
        if (!ok_ || pos > bytes_.size())
            Fail();
        else
            pos_ = static_cast<size_t>(pos);
    }
    void Skip(uint64_t count) { Seek(static_cast<uint64_t>(pos_) + count); }
    // Moves to the next multiple of `alignment` counted from the start.
    void Align(size_t alignment) { Seek((pos_ + alignment - 1) / alignment * alignment); }

    std::span<const uint8_t> Bytes(uint64_t count) {
        if (!ok_ || count > remaining()) {
            Fail();
            return {};
        }
        auto out = bytes_.subspan(pos_, static_cast<size_t>(count));
        pos_ += static_cast<size_t>(count);
        return out;
    }
    uint8_t U8() { return static_cast<uint8_t>(Little(1)); }
    uint16_t U16() { return static_cast<uint16_t>(Little(2)); }
    uint32_t U32() { return static_cast<uint32_t>(Little(4)); }
    uint64_t U64() { return Little(8); }
    int16_t I16() { return static_cast<int16_t>(U16()); }

    // A zero-terminated UTF-16 string; fails when the terminator is missing.
    std::u16string Utf16z() {
        std::u16string text;
        while (ok_) {
            const uint16_t unit = U16();
            if (!ok_ || unit == 0) break;
            text.push_back(static_cast<char16_t>(unit));
        }
        return text;
    }

private:
    void Fail() {
        ok_ = false;
        pos_ = bytes_.size();
    }
    uint64_t Little(size_t count) {
        const auto bytes = Bytes(count);
        uint64_t value = 0;
        for (size_t i = bytes.size(); i-- > 0;) value = (value << 8) | bytes[i];
        return value;
    }

    std::span<const uint8_t> bytes_;
    size_t pos_ = 0;
    bool ok_ = true;
};

}  // namespace vxwin32::detail
