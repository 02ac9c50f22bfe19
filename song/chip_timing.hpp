#pragma once

// How the whole-chip driver paces a song at a tempo: its tick is the chip's timer A, which
// counts units of 144 master clocks (18 µs at 8 MHz) up to 1024 of them. ProTracker counts tempo
// in beats a minute of four rows at six ticks, so tempo t ticks 2t/5 times a second (125: 50 Hz);
// slower tempos than the timer reaches tick on every second, third ... overflow.
namespace qvx {

inline constexpr int kMinTempo = 0x20;
inline constexpr int kMaxTempo = 0xFF;

struct TickTimer {
    int timerA = 0;   // the timer's value, 0-1023: it overflows every 1024 - timerA units
    int divider = 1;  // a tick every divider-th overflow

    friend bool operator==(const TickTimer&, const TickTimer&) = default;
};

// The tick a song starts with: 62.5 Hz (16 ms), as tempo 156.25 would give.
inline constexpr TickTimer kDefaultTickTimer{135, 1};

double tempoTickHz(int tempo);    // what ProTracker ticks at
TickTimer tempoTimer(int tempo);  // the nearest the timer comes to it
double tickHz(TickTimer timer);   // what a timer setting ticks at

}  // namespace qvx
