#pragma once

#include <cstdint>

// A track's volume, 0-64 as ProTracker counts it (64: the instrument's own level, 32: half its
// amplitude), and how the whole-chip driver carries it to each part of the chip: the nearest
// step each part has. Each function gives exactly what the driver writes.
namespace qvx {

inline constexpr int kMaxTrackVolume = 64;
inline constexpr std::uint8_t kSilentVolume = 0xFF;  // volumeAttenuation(0)

// The volume's attenuation in steps of 0.75 dB (the FM total level's and the ADPCM-A levels'),
// kSilentVolume for 0.
std::uint8_t volumeAttenuation(int volume);

// FM: a carrier operator's total level (0-127, 0.75 dB a step) with the volume's attenuation.
std::uint8_t fmCarrierLevel(std::uint8_t totalLevel, int volume);
// SSG: a level 0-15 (about 3 dB a step) lowered by the volume, 0 (silent) at the bottom.
std::uint8_t ssgVolumeLevel(std::uint8_t level, int volume);
// ADPCM-A: a kit note's level 0-31 lowered by the volume; nothing (-1) below level 0, where the
// driver turns the channel's outputs off.
int adpcmAVolumeLevel(std::uint8_t level, int volume);
// ADPCM-B: its level register is linear, so the level scaled by volume / 64, rounded.
std::uint8_t adpcmBVolumeLevel(std::uint8_t level, int volume);

// Which operators of an FM voice are carriers (bit n: the voice's nth operator in register
// order, S1 S3 S2 S4), by its algorithm 0-7.
std::uint8_t fmCarriers(int algorithm);

// The vibrato's and tremolo's wave: 255 sin(pi n / 32) for n 0-31, the rising half of its 64
// steps (the falling half mirrors it below zero).
std::uint8_t vibratoSine(int n);

}  // namespace qvx
