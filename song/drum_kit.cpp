#include "song/drum_kit.hpp"

#include <algorithm>

namespace qvx {

SampleRef makeSample(std::string name, std::vector<std::int16_t> pcm) {
    return std::make_shared<const Sample>(Sample{std::move(name), std::move(pcm)});
}

bool operator==(const KitNote& a, const KitNote& b) {
    if (a.level != b.level) return false;
    if (a.sample == b.sample) return true;
    return a.sample && b.sample && a.sample->name == b.sample->name &&
           a.sample->pcm == b.sample->pcm;
}

std::vector<SampleRef> DrumKit::samples() const {
    std::vector<SampleRef> out;
    for (const KitNote& note : notes)
        if (note.sample && std::find(out.begin(), out.end(), note.sample) == out.end())
            out.push_back(note.sample);
    return out;
}

double sampleSeconds(const Sample& sample) {
    return static_cast<double>(sample.pcm.size()) / kAdpcmARate;
}

std::size_t sampleRomBytes(const Sample& sample) {
    return (sample.pcm.size() / 2 / 256 + 1) * 256;
}

DrumKit singleSampleKit(const SampleRef& sample) {
    DrumKit kit;
    for (KitNote& note : kit.notes)
        note.sample = sample;
    return kit;
}

}  // namespace qvx
