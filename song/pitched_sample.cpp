#include "song/pitched_sample.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace qvx {
namespace {

constexpr int kClickFloor = 32768 / 32;
constexpr std::size_t kNeighbourhood = 32;

// The largest step between neighbouring frames of the loop around `at`, `kNeighbourhood` frames
// either way, leaving out the step at `at` itself.
int largestStepAround(const std::vector<std::int16_t>& loop, std::size_t at) {
    int largest = 0;
    const std::size_t n = loop.size();
    for (std::size_t k = 1; k <= kNeighbourhood; ++k) {
        const std::size_t before = (at + n - k) % n, after = (at + k) % n;
        largest = std::max({largest, std::abs(loop[before] - loop[(before + n - 1) % n]),
                            std::abs(loop[after] - loop[(after + n - 1) % n])});
    }
    return largest;
}

}  // namespace

bool operator==(const PitchedSample& a, const PitchedSample& b) {
    const bool sameSample =
        a.sample == b.sample || (a.sample && b.sample && a.sample->name == b.sample->name &&
                                 a.sample->pcm == b.sample->pcm);
    return sameSample && a.rate == b.rate && a.baseSemitone == b.baseSemitone &&
           a.level == b.level && a.loop == b.loop;
}

std::size_t loopFrameCount(std::size_t frames) {
    return (frames + kAdpcmBBlockFrames - 1) / kAdpcmBBlockFrames * kAdpcmBBlockFrames;
}

std::vector<std::int16_t> loopFrames(const std::vector<std::int16_t>& pcm) {
    std::vector<std::int16_t> loop(loopFrameCount(pcm.size()));
    for (std::size_t i = 0; i < loop.size(); ++i)
        loop[i] = pcm[i % pcm.size()];
    return loop;
}

bool loopClicks(const std::vector<std::int16_t>& pcm) {
    if (pcm.size() < 2) return false;
    const std::vector<std::int16_t> loop = loopFrames(pcm);
    // The loop comes back to the first frame after the sample (the same turn after each whole
    // repeat in the padding) and where the padding ends.
    const auto clicks = [&](std::size_t end) {
        const std::size_t next = end % loop.size();
        const int jump = std::abs(loop[next] - loop[end - 1]);
        return jump > kClickFloor && jump > 4 * largestStepAround(loop, next);
    };
    return clicks(pcm.size()) || clicks(loop.size());
}

AdpcmBPitchTable pitchedRates(const PitchedSample& instrument) {
    return adpcmBPitchTable(instrument.rate, instrument.baseSemitone);
}

int pitchedDeltaN(const PitchedSample& instrument, int semitone) {
    return adpcmBDeltaN(instrument.rate, instrument.baseSemitone, semitone);
}

bool pitchedNoteReachable(const PitchedSample& instrument, int semitone) {
    return instrument.rate * std::pow(2.0, (semitone - instrument.baseSemitone) / 12.0) <=
           kAdpcmBTopRate;
}

}  // namespace qvx
