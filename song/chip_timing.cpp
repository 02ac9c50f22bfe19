#include "song/chip_timing.hpp"

#include <algorithm>
#include <cmath>

#include "song/chip_pitch.hpp"

namespace qvx {
namespace {

constexpr double kTimerUnitHz = kChipClock / 144;
constexpr int kTimerUnits = 1024;

}  // namespace

double tempoTickHz(int tempo) {
    return tempo * 2 / 5.0;
}

TickTimer tempoTimer(int tempo) {
    const double units = kTimerUnitHz / tempoTickHz(std::clamp(tempo, kMinTempo, kMaxTempo));
    TickTimer timer;
    timer.divider = static_cast<int>(std::ceil(units / kTimerUnits));
    timer.timerA = kTimerUnits - static_cast<int>(std::lround(units / timer.divider));
    return timer;
}

double tickHz(TickTimer timer) {
    return kTimerUnitHz / (kTimerUnits - timer.timerA) / timer.divider;
}

}  // namespace qvx
