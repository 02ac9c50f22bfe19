/* QVXSND: the emulated Neo Geo sound board (Z80 + YM2610) behind a few functions.
 *
 * Every function returns at once; the board runs in emulated time on the audio thread and
 * plays through the default audio device (or silently, when there is none: see soundStatus).
 * Usable from C and C++. */
#ifndef QVXSND_H
#define QVXSND_H

#include <stdint.h>

#if defined(__GNUC__)
#define QVXSND_API __attribute__((visibility("default")))
#else
#define QVXSND_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Opens audio for `window` (an opaque handle; may be null) at `sampleRate` Hz the first time;
 * every call stops a running image. The chip is rendered from then on, silent at first. */
QVXSND_API void initSound(void* window, int sampleRate);

/* Stops the running image; the output is silent until the next sendData. */
QVXSND_API void stopSound(void);

/* Copies `length` bytes (at most 65536) to board address 0 and restarts the board there.
 * The chip keeps its state: a sounding note goes on until the driver touches its channel. */
QVXSND_API void sendData(const uint8_t* image, uint32_t length);

/* Boots a sound ROM set as the board does at power-on: the M1 (`m1Length` bytes, at most
 * 65536) at board address 0, and the V1 (at most 16 MB) for the ADPCM-A channels to play from.
 * Its tick is the chip's own timer A, as on the board, so a driver that sets the timer (the
 * whole-chip driver's tempo) is paced by it. sendData, by contrast, leaves the ADPCM-A channels
 * without samples and ticks every 16 ms. */
QVXSND_API void sendRoms(const uint8_t* m1, uint32_t m1Length, const uint8_t* v1,
                         uint32_t v1Length);

/* Posts a sound command to the running driver. Sent right after sendData, it is delivered
 * once the driver has started (100 ms of board time). Without a running image it is lost. */
QVXSND_API void sendCommand(uint16_t command);

/* Writes a 25-byte FM voice straight to FM channel 1 (keying it off first). */
QVXSND_API void loadInstrument(const uint8_t* voice);

/* Keys a preview note on FM channel 1: note 0..11 (0 = C, played with the block `octave`
 * as the C above it, so pass the octave one lower for a C). */
QVXSND_API void KeyDown(int note, int octave);

/* Keys FM channel 1 off. */
QVXSND_API void KeyUp(void);

/* Plays `length` bytes (at most 1 MB) of ADPCM-A data on ADPCM-A channel `channel` (0-5) at
 * `level` (0-31, 31 loudest), bypassing the driver: a drum kit's sample heard as it is edited.
 * The data is copied behind the V ROM, in place of the previous preview's; nothing happens for
 * values out of range. A running song's own samples are not touched. */
QVXSND_API void playSample(const uint8_t* adpcm, uint32_t length, int channel, int level);

/* Plays `length` bytes of ADPCM-B data (ending on a 256-byte boundary, as the chip plays it) at
 * delta-N `deltaN` (1-65535: 55,555.6 * deltaN / 65536 Hz) and `level` (0-255), repeating it while
 * `loop` is nonzero, bypassing the driver: an ADPCM-B instrument's note heard as it is edited.
 * The data is copied behind the V ROM, in place of the previous preview's; nothing happens for
 * values out of range. */
QVXSND_API void playPitchedSample(const uint8_t* adpcm, uint32_t length, int deltaN, int level,
                                  int loop);

/* Writes YM2610 register `address` of bank `bank` (0 or 1), bypassing the driver: an SSG
 * note's tone, mixer, envelope and level as it is previewed, or 0x01 to 0x10 to stop an ADPCM-B
 * preview. A running song's own writes go on. */
QVXSND_API void previewWrite(int bank, uint8_t address, uint8_t value);

/* Which FM synthesis the chip runs, from the next rendered buffer on: the documented model
 * (QVXSND_FM_DOCUMENTED, the default) or the chip's own arithmetic at its own sample rate
 * (QVXSND_FM_ACCURATE, about twice the work). A playing song goes on; held notes start their
 * envelopes again. Any other value changes nothing. The choice outlives initSound. */
#define QVXSND_FM_DOCUMENTED 0
#define QVXSND_FM_ACCURATE 1
QVXSND_API void setFmModel(int model);

/* Where the playing song is: (order position << 8) | row, the row the driver played last; -1
 * while no song plays or before its first row. Callable at any time from any thread; it never
 * waits for the audio thread. */
QVXSND_API int32_t playPosition(void);

/* What is playing, for scopes and meters: the latest `frames` output frames (at most
 * QVXSND_SCOPE_FRAMES), oldest first, QVXSND_SCOPE_VALUES values each: the four FM tracks (FM
 * channels 1, 2, 4 and 5, before panning), all ADPCM-A channels together, the SSG's channels A,
 * B and C (each 0 up to its level: the SSG's output is one-sided), ADPCM-B, and the output's
 * left and right. Returns the frames written to `out`, 0 before initSound. Callable at any time
 * from any thread; it never waits for the audio thread. */
#define QVXSND_SCOPE_FRAMES 4096
#define QVXSND_SCOPE_VALUES 11
QVXSND_API int32_t scopeHistory(int16_t* out, int32_t frames);

/* As scopeHistory, with QVXSND_SCOPE_CHANNEL_VALUES values a frame: the QVXSND_SCOPE_VALUES
 * values scopeHistory gives, then ADPCM-A channels 1 to 6 each on its own, before panning (a
 * whole-chip song's ADPCM-A tracks 1 to 6). */
#define QVXSND_SCOPE_CHANNEL_VALUES 17
QVXSND_API int32_t scopeChannels(int16_t* out, int32_t frames);

/* A short text on how sound is produced, for the editor to show once: which audio device
 * plays, or why nothing is heard. The text stays valid for the life of the process. */
QVXSND_API const char* soundStatus(void);

#ifdef __cplusplus
}
#endif

#endif /* QVXSND_H */
