// The WAV reader on any bytes: an accepted file's sound lies inside it, and encoding that sound
// keeps the chip's decoder in step with the encoder, never wrapping.
#include <vector>

#include "rombuild/adpcm_a.hpp"
#include "rombuild/wav_reader.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const qvx::WavLayout layout = qvx::parseWav({data, size});
    if (layout.verdict != qvx::WavVerdict::kAccepted) {
        if (layout.verdict == qvx::WavVerdict::kCannotOpen)
            __builtin_trap();  // only files fail to open
        return 0;
    }
    if (layout.dataOffset < 20 || layout.dataOffset > size ||
        layout.dataBytes > size - layout.dataOffset)
        __builtin_trap();

    const std::span<const std::uint8_t> sound(data + layout.dataOffset, layout.dataBytes);
    std::vector<std::uint8_t> encoded(sound.size() / 4);
    qvx::adpcma::Encoder encoder;
    encoder.encodePcm(sound, encoded);
    qvx::adpcma::Decoder decoder;
    for (std::uint8_t byte : encoded) {
        decoder.decode(byte >> 4);
        decoder.decode(byte & 0x0F);
    }
    if (decoder.wraps() != 0 || decoder.accumulator() != encoder.predictor() ||
        decoder.stepIndex() != encoder.stepIndex())
        __builtin_trap();
    return 0;
}
