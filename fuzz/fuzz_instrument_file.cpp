// .ins reader: a voice that is read back identically after saving, or nothing.
#include "song/instrument_file.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto voice = qvx::parseInstrument({data, size});
    if (!voice) return 0;
    if (voice->userName.size() > qvx::kMaxNameLength) __builtin_trap();
    qvx::Instrument instrument;
    instrument.name = qvx::instrumentName(9, voice->userName);
    instrument.registers = voice->registers;
    auto again = qvx::parseInstrument(qvx::serializeInstrument(instrument));
    if (!again || again->userName != voice->userName || again->registers != voice->registers)
        __builtin_trap();
    return 0;
}
