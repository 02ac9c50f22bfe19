// .y12 import: the first byte of input picks the length of the stem so names vary too.
#include <string>

#include "song/instrument_file.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t stemLength = std::min<std::size_t>(data[0], size - 1);
    const std::string stem(reinterpret_cast<const char*>(data + 1), stemLength);
    const std::span<const std::uint8_t> dump(data + 1 + stemLength, size - 1 - stemLength);
    auto voice = qvx::parseY12(dump, stem);
    if (!voice) {
        if (dump.size() >= qvx::kY12Bytes) __builtin_trap();
        return 0;
    }
    if (voice->userName.size() > qvx::kMaxNameLength) __builtin_trap();
    if (voice->userName.find('\0') != std::string::npos) __builtin_trap();
    if ((voice->registers[24] & 0xC0) != 0) __builtin_trap();
    return 0;
}
