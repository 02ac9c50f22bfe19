// The VGM reader on any bytes, as qvxtool render-vgm meets a file: a refusal says why; a stream
// it reads has its writes in time order within its length and plays without failing.
#include "tools/offline_render.hpp"
#include "tools/vgm_file.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    qvx::VgmStream stream;
    const qvx::Result read = qvx::parseVgm({data, size}, stream);
    if (!read) {
        if (read.message().empty()) __builtin_trap();
        return 0;
    }
    for (std::size_t i = 0; i < stream.writes.size(); ++i) {
        if (stream.writes[i].sample > stream.samples) __builtin_trap();
        if (i > 0 && stream.writes[i].sample < stream.writes[i - 1].sample) __builtin_trap();
        if (stream.writes[i].port > 1) __builtin_trap();
    }
    if (stream.loopStart && *stream.loopStart >= stream.samples) __builtin_trap();
    // A few milliseconds of it, its loop included: every part of the chip takes what it wrote.
    qvx::renderVgm(stream, 8000, qvx::VgmPlay{qvxsnd::FmModel::Documented, true, 0.003});
    return 0;
}
