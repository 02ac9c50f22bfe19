#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

#include "soundlib/engine/scope_history.hpp"
#include "soundlib/engine/tick_schedule.hpp"
#include "soundlib/ym2610/registers.hpp"
#include "soundlib/ym2610/ym2610.hpp"
#include "soundlib/z80/chip_port.hpp"
#include "soundlib/z80/sound_board.hpp"

namespace qvxsnd {

// The emulated sound board in emulated time: the Z80 at 4 MHz running a driver image, the
// YM2610 at 8 MHz with its ADPCM-A samples, the tick and the command latch, rendered on demand
// into 16-bit stereo.
//
// The tick comes from one of two sources. The host's 16 ms schedule (the default) is what the
// editor has always played by. On the real board the tick is the chip's IRQ line: with
// TickSource::Chip the Z80's maskable interrupt follows it, and the driver's own timer set-up
// paces the song, exactly as on the board.
//
// Requests (sendData, sendCommand, the preview writes ...) may come from any thread. They are
// queued and take effect, in call order, at the start of the next render(). render() is called
// by one thread at a time: the audio callback, a silent real-time pacer, or an offline renderer.
// The same requests before the same renders always give the same samples.
class Engine {
  public:
    static constexpr std::uint32_t kCpuClock = 4'000'000;  // T-states per second
    static constexpr std::uint32_t kChipClock = 8'000'000;
    // 100 ms after an image starts the driver's start-up is done.
    static constexpr std::uint64_t kCommandDelay = 400'000;
    static constexpr std::size_t kVoiceBytes = ym::kVoiceRegisters.size();
    static constexpr std::size_t kMaxImage = 65536;
    // What the ADPCM-A channels address: 65536 blocks of 256 bytes.
    static constexpr std::size_t kMaxAdpcmRom = 65536 * 256;
    // A caller that posts far faster than anything renders (no audio thread yet) loses requests
    // beyond this many instead of growing the queue without bound.
    static constexpr std::size_t kMaxQueuedRequests = 1 << 16;

    enum class TickSource { Host, Chip };

    enum class State {
        Idle,     // no program runs; the chip plays what the preview functions wrote
        Running,  // a driver image runs on the board
        Stopped,  // silence until the next image
    };

    explicit Engine(std::uint32_t sampleRate = YM2610::kDefaultRate,
                    TickSource ticks = TickSource::Host, FmModel fm = FmModel::Documented);
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // ---- Requests: any thread ---------------------------------------------------------------
    // Back to Idle: the program stops, the chip keeps its state.
    void reset();
    // Silence until the next image; the chip keeps its state.
    void stop();
    // Copies at most 64 KB of the image and starts it from address 0 on a reset board, ticked
    // by the engine's tick source, or by `ticks` from then on (a ROM set boots on the chip's).
    void sendData(std::span<const std::uint8_t> image);
    void sendData(std::span<const std::uint8_t> image, TickSource ticks);
    // The V ROM the chip's ADPCM-A channels play from (copied, at most 16 MB); empty for none,
    // which leaves them silent.
    void setAdpcmRom(std::span<const std::uint8_t> rom);
    // Which FM synthesis the chip runs from the next render on (YM2610::setFmModel): a playing
    // song goes on, its held notes from the start of their envelopes.
    void setFmModel(FmModel model);
    // Posts a command to the running driver. One that arrives in the first 100 ms of an image is
    // held until then, so Play can send its command right after the image. Without a running
    // image the command is lost; two before the driver takes them give it the later one.
    void sendCommand(std::uint16_t command);
    // Preview on FM channel 1, bypassing the driver.
    void loadInstrument(std::span<const std::uint8_t, kVoiceBytes> voice);
    void keyDown(int note, int octave);  // note 0..11; anything else is ignored
    void keyUp();
    // Preview of ADPCM-A data (at most 1 MB) on `channel` (0-5) at `level` (0-31), bypassing the
    // driver: the data goes after the V ROM, in place of the last preview's, and the channel is
    // keyed on. Anything out of range is ignored.
    void previewSample(std::span<const std::uint8_t> adpcm, int channel, int level);
    // Preview of ADPCM-B data (at most 16 MB with the V ROM) at `deltaN` (1-65535) and `level`
    // (0-255), repeated with `loop`, bypassing the driver: placed as previewSample places its
    // data, then started. Anything out of range is ignored.
    void previewPitchedSample(std::span<const std::uint8_t> adpcm, int deltaN, int level,
                              bool loop);
    // A chip register write of a preview (an SSG note's, or stopping the ADPCM-B), bypassing the
    // driver. A bank other than 0 or 1 is ignored.
    void previewWrite(int bank, std::uint8_t address, std::uint8_t value);

    // ---- Rendering: one thread at a time ----------------------------------------------------
    void render(std::int16_t* out, std::size_t frames);

    // Where the running driver's song is: the order position and the row it played last, or
    // nothing while no song plays (or its first row is still to come). Safe from any thread at
    // any time, without a lock: it changes once per render.
    struct PlayPosition {
        int orderPosition = 0;
        int row = 0;
        friend bool operator==(const PlayPosition&, const PlayPosition&) = default;
    };
    std::optional<PlayPosition> playPosition() const;

    // The latest `frames` frames of each of the chip's sources and of the output, for scopes
    // (ScopeHistory, the first `values` values of each frame): any thread, at any time, without
    // a lock. Returns the frames copied.
    std::size_t scopeHistory(std::int16_t* out, std::size_t frames,
                             std::size_t values = ScopeHistory::kValues) const {
        return scope_.copy(out, frames, values);
    }
    // Whether renders keep that history (they do unless told); call it when nothing renders.
    void setScopeHistory(bool on) { scopeOn_ = on; }

    std::uint32_t sampleRate() const { return rate_; }
    TickSource tickSource() const { return ticks_; }
    // The render side's view; read it from the rendering thread (or when nothing renders).
    State state() const { return state_; }
    std::uint64_t framesRendered() const { return frame_; }
    SoundBoard& board() { return *board_; }
    YM2610& chip() { return chip_; }
    // Every register write that reaches the chip, driver and preview alike, with its frame: the
    // board's time of the write for the driver's.
    void setWriteObserver(YM2610::WriteObserver observer);

  private:
    struct Request {
        enum class Kind {
            Reset,
            Stop,
            SendData,
            SendCommand,
            ChipWrite,
            SetAdpcmRom,
            SetFmModel,
            PreviewSample,
            PreviewPitchedSample
        } kind;
        std::vector<std::uint8_t> image;
        std::uint16_t command = 0;
        std::uint8_t bank = 0, address = 0, value = 0;
        FmModel fm = FmModel::Documented;
        int deltaN = 0;
        bool loop = false;
        TickSource ticks = TickSource::Host;
    };
    struct DeferredWrite {
        std::uint64_t frame;
        std::uint64_t tstate;
        int port;
        std::uint8_t value;
    };
    // How the board reaches the chip: writes are placed at their sample in the current render.
    class ChipBus : public ChipPort {
      public:
        explicit ChipBus(Engine& engine) : engine_(engine) {}
        void write(int port, std::uint8_t value, std::uint64_t tstate) override;
        std::optional<std::uint8_t> read(int port, std::uint64_t tstate) override;

      private:
        Engine& engine_;
    };

    void post(Request request);
    void queueChipWrite(std::uint8_t address, std::uint8_t value);
    void applyRequests();
    void apply(Request& request);
    void flushDeferredWrites();
    void playPreviewSample(const std::vector<std::uint8_t>& data, int channel, int level);
    void playPreviewPitchedSample(const Request& request);
    // Puts a preview's data behind the V ROM from a block boundary (the ADPCM-A ones not across a
    // megabyte, where its address counter does not carry), ending in silence: its first and last
    // block, or nothing when it does not fit.
    std::optional<std::pair<std::uint16_t, std::uint16_t>> placePreview(
        const std::vector<std::uint8_t>& data, bool withinMegabyte);
    void applyDeferredWritesBefore(std::uint64_t end);
    void runBoardUntil(std::uint64_t endFrame);
    void runBoardOnChipTicks(std::uint64_t end);
    // The chip's time (in its timer units) at board time `tstate`, and the way back, rounded up.
    std::uint64_t chipUnitsAt(std::uint64_t tstate) const;
    std::uint64_t tstatesForUnits(std::uint64_t units) const;
    void followIrqLine();
    void applyChipWrite(int port, std::uint8_t value, std::uint64_t tstate);
    void renderChipTo(std::uint64_t frame);
    // Where the chip must have rendered to when a write of board frame `frame` reaches it.
    std::uint64_t chipFrameFor(std::uint64_t frame) const {
        return frame > lead_ ? frame - lead_ : 0;
    }
    std::uint64_t frameAt(std::uint64_t tstate) const;
    std::uint64_t tstateAt(std::uint64_t frame) const;

    std::uint32_t rate_;
    const TickSource defaultTicks_;       // what sendData without one ticks by
    TickSource ticks_;                    // what the running image ticks by
    std::vector<std::uint8_t> adpcmRom_;  // render side
    std::size_t previewFrom_ = 0;         // where previews go: the V ROM's end, to a block
    // Chip mode: a write changed the timers, so the next overflow must be looked at again.
    bool timersChanged_ = false;

    std::mutex requestsMutex_;
    std::vector<Request> requests_;  // guarded by requestsMutex_
    std::vector<Request> applying_;  // render side

    YM2610 chip_;
    ChipBus bus_;
    std::unique_ptr<SoundBoard> board_;
    // Looks at the driver's variables after a render: when its next row changed, the one before
    // has just been played.
    void followPlayPosition();
    static constexpr std::uint32_t kNoPosition = 0xFFFFFFFF;
    std::atomic<std::uint32_t> playPosition_{kNoPosition};  // order position << 8 | row
    std::uint32_t nextRow_ = kNoPosition;                   // render side

    State state_ = State::Idle;

    std::uint64_t frame_ = 0;  // frames produced so far
    // The board's clock is tied to the output from the moment an image starts.
    std::uint64_t baseFrame_ = 0;
    std::uint64_t baseTstate_ = 0;
    std::uint64_t imageStart_ = 0;
    TickSchedule tickSchedule_;
    std::optional<std::uint16_t> heldCommand_;
    std::uint64_t commandNotBefore_ = 0;
    std::vector<DeferredWrite> deferred_;  // written past the end of the last render

    // The render in progress.
    std::int16_t* out_ = nullptr;
    std::uint64_t chunkStart_ = 0;
    std::uint64_t chunkEnd_ = 0;
    std::uint64_t chipCursor_ = 0;
    std::uint64_t lead_ = 0;  // frames the board runs ahead of the chip: its output delay
    ScopeHistory scope_;
    bool scopeOn_ = true;
    std::array<SourceFrame, 256> sources_{};        // the sources of the piece being rendered
    std::optional<std::uint64_t> boardWriteFrame_;  // of the board's write in progress
};

}  // namespace qvxsnd
