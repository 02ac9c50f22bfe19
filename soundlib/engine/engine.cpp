#include "soundlib/engine/engine.hpp"

#include <algorithm>
#include <tuple>

#include <limits>
#include "driver/memory_map.hpp"

namespace qvxsnd {
namespace {

// F-numbers of the preview notes. Entry 0 is the C of the block above, so callers pass the
// octave one lower for a C.
//
// The B is 1164, one step (1.5 cents) below the driver's 1165, so a previewed B sounds a hair
// flatter than the same B in a song. Both tables are part of fixed interfaces: this one of the
// library's KeyDown, which callers outside the editor use too, the driver's of every ROM already
// built. Neither is the plain rounding of equal temperament (that gives 1165.2 for B, but also
// 778 and 925 where both tables have 777 and 924), so neither is "the" correct one to copy into
// the other; they stay as they are.
constexpr std::array<std::uint16_t, 12> kPreviewFnumbers = {1234, 654, 693, 734,  777,  824,
                                                            873,  924, 979, 1038, 1099, 1164};
// The preview plays on FM channel 1: first bank, channel slot 1.
constexpr std::uint8_t kPreviewSlot = 1;
// The Neo Geo mixes the SSG's output at 0.28 beside the FM side's (FM, ADPCM-A and ADPCM-B) 0.98,
// as MAME's model of the board has it; MAME's vgmplay, whose balance the chip model keeps, at
// 0.25 beside 0.50. So on the board the SSG stands at 0.2857 / 0.5 of that.
constexpr std::int32_t kNeoGeoSsgMix = Ssg::kMixUnit * 28 * 50 / (98 * 25);

}  // namespace

Engine::Engine(std::uint32_t sampleRate, TickSource ticks, FmModel fm)
    : rate_(sampleRate),
      defaultTicks_(ticks),
      ticks_(ticks),
      chip_(kChipClock, sampleRate, fm),
      bus_(*this),
      board_(std::make_unique<SoundBoard>()) {
    chip_.setSsgMix(kNeoGeoSsgMix);
    board_->attachChip(&bus_);
    board_->reset();
}

Engine::~Engine() = default;

// ---- Requests -------------------------------------------------------------------------------

void Engine::post(Request request) {
    std::lock_guard lock(requestsMutex_);
    if (request.kind == Request::Kind::SendData) {
        // A new image resets the board, so requests still waiting for it would have no effect;
        // dropping them keeps a caller that outruns the audio thread from piling up images.
        std::erase_if(requests_, [](const Request& r) {
            return r.kind != Request::Kind::ChipWrite && r.kind != Request::Kind::SetAdpcmRom &&
                   r.kind != Request::Kind::SetFmModel;
        });
    }
    if (requests_.size() >= kMaxQueuedRequests) return;
    requests_.push_back(std::move(request));
}

void Engine::reset() {
    post({Request::Kind::Reset, {}});
}

void Engine::stop() {
    post({Request::Kind::Stop, {}});
}

void Engine::sendData(std::span<const std::uint8_t> image) {
    sendData(image, defaultTicks_);
}

void Engine::sendData(std::span<const std::uint8_t> image, TickSource ticks) {
    image = image.first(std::min(image.size(), kMaxImage));
    Request r{Request::Kind::SendData, std::vector<std::uint8_t>(image.begin(), image.end())};
    r.ticks = ticks;
    post(std::move(r));
}

void Engine::setAdpcmRom(std::span<const std::uint8_t> rom) {
    rom = rom.first(std::min(rom.size(), kMaxAdpcmRom));
    post({Request::Kind::SetAdpcmRom, std::vector<std::uint8_t>(rom.begin(), rom.end())});
}

void Engine::setFmModel(FmModel model) {
    Request r{Request::Kind::SetFmModel, {}};
    r.fm = model;
    post(std::move(r));
}

void Engine::sendCommand(std::uint16_t command) {
    Request r{Request::Kind::SendCommand, {}};
    r.command = command;
    post(std::move(r));
}

void Engine::queueChipWrite(std::uint8_t address, std::uint8_t value) {
    Request r{Request::Kind::ChipWrite, {}};
    r.address = address;
    r.value = value;
    post(std::move(r));
}

void Engine::loadInstrument(std::span<const std::uint8_t, kVoiceBytes> voice) {
    // One batch, so that a render never starts between the key-off and the last register.
    std::lock_guard lock(requestsMutex_);
    auto add = [&](std::uint8_t address, std::uint8_t value) {
        Request r{Request::Kind::ChipWrite, {}};
        r.address = address;
        r.value = value;
        requests_.push_back(std::move(r));
    };
    add(ym::kKeyOnOff, ym::kChannel1);
    for (std::size_t i = 0; i < kVoiceBytes; ++i)
        add(ym::kVoiceRegisters[i], voice[i]);
}

void Engine::keyDown(int note, int octave) {
    if (note < 0 || note >= static_cast<int>(kPreviewFnumbers.size())) return;
    const std::uint16_t fnum = kPreviewFnumbers[static_cast<std::size_t>(note)];
    const auto high = static_cast<std::uint8_t>(((fnum >> 8) | (octave << 3)) & 0xFF);
    std::lock_guard lock(requestsMutex_);
    // Key off, key on, then the frequency: the high byte first, because the chip holds it in a
    // latch until the low byte is written.
    for (auto [address, value] :
         {std::pair<std::uint8_t, std::uint8_t>{ym::kKeyOnOff, ym::kChannel1},
          {ym::kKeyOnOff, ym::kAllOperatorsOn | ym::kChannel1},
          {ym::kBlockFnumHigh + kPreviewSlot, high},
          {ym::kFnumLow + kPreviewSlot, static_cast<std::uint8_t>(fnum & 0xFF)}}) {
        Request r{Request::Kind::ChipWrite, {}};
        r.address = address;
        r.value = value;
        requests_.push_back(std::move(r));
    }
}

void Engine::keyUp() {
    queueChipWrite(ym::kKeyOnOff, ym::kChannel1);
}

void Engine::previewSample(std::span<const std::uint8_t> adpcm, int channel, int level) {
    constexpr std::size_t kMaxSample = 1 << 20;
    if (adpcm.empty() || adpcm.size() > kMaxSample || channel < 0 || channel > 5 || level < 0 ||
        level > 31)
        return;
    Request r{Request::Kind::PreviewSample, std::vector<std::uint8_t>(adpcm.begin(), adpcm.end())};
    r.address = static_cast<std::uint8_t>(channel);
    r.value = static_cast<std::uint8_t>(level);
    post(std::move(r));
}

void Engine::previewPitchedSample(std::span<const std::uint8_t> adpcm, int deltaN, int level,
                                  bool loop) {
    if (adpcm.empty() || adpcm.size() > kMaxAdpcmRom || deltaN < 1 || deltaN > 0xFFFF ||
        level < 0 || level > 0xFF)
        return;
    Request r{Request::Kind::PreviewPitchedSample,
              std::vector<std::uint8_t>(adpcm.begin(), adpcm.end())};
    r.deltaN = deltaN;
    r.value = static_cast<std::uint8_t>(level);
    r.loop = loop;
    post(std::move(r));
}

void Engine::previewWrite(int bank, std::uint8_t address, std::uint8_t value) {
    if (bank != 0 && bank != 1) return;
    Request r{Request::Kind::ChipWrite, {}};
    r.bank = static_cast<std::uint8_t>(bank);
    r.address = address;
    r.value = value;
    post(std::move(r));
}

// ---- Rendering ------------------------------------------------------------------------------

std::uint64_t Engine::frameAt(std::uint64_t tstate) const {
    return baseFrame_ + (tstate - baseTstate_) * rate_ / kCpuClock;
}

std::uint64_t Engine::tstateAt(std::uint64_t frame) const {
    // The first T-state whose writes fall at or after `frame`.
    const std::uint64_t scaled = (frame - baseFrame_) * kCpuClock;
    return baseTstate_ + (scaled + rate_ - 1) / rate_;
}

void Engine::render(std::int16_t* out, std::size_t frames) {
    applyRequests();
    const std::uint64_t end = frame_ + frames;
    if (state_ == State::Stopped || frames == 0) {
        std::fill_n(out, frames * 2, std::int16_t{0});
        // The scopes fall silent too.
        sources_.fill({});
        for (std::size_t done = 0; scopeOn_ && done < frames; done += sources_.size())
            scope_.push(sources_.data(), out + done * 2, std::min(sources_.size(), frames - done));
        frame_ = end;
        return;
    }
    out_ = out;
    chunkStart_ = chipCursor_ = frame_;
    chunkEnd_ = end;
    // The board runs this far ahead of the chip, so that every write reaches the chip early by
    // the chip's output delay and is heard on the frame of its own board time.
    lead_ = static_cast<std::uint64_t>(chip_.outputDelay());
    applyDeferredWritesBefore(end);
    if (state_ == State::Running) runBoardUntil(end + lead_);
    renderChipTo(end);
    out_ = nullptr;
    frame_ = end;
    followPlayPosition();
}

void Engine::followPlayPosition() {
    const auto memory = board_->memory();
    if (state_ != State::Running || memory[qvx::driver::var::kPlaying] == 0) {
        nextRow_ = kNoPosition;
        playPosition_.store(kNoPosition, std::memory_order_relaxed);
        return;
    }
    const std::uint32_t next = std::uint32_t{memory[qvx::driver::var::kOrderPosition]} << 8 |
                               memory[qvx::driver::var::kRow];
    if (next == nextRow_) return;
    if (nextRow_ != kNoPosition) playPosition_.store(nextRow_, std::memory_order_relaxed);
    nextRow_ = next;
}

std::optional<Engine::PlayPosition> Engine::playPosition() const {
    const std::uint32_t packed = playPosition_.load(std::memory_order_relaxed);
    if (packed == kNoPosition) return std::nullopt;
    return PlayPosition{static_cast<int>(packed >> 8), static_cast<int>(packed & 0xFF)};
}

void Engine::applyRequests() {
    {
        std::lock_guard lock(requestsMutex_);
        applying_.swap(requests_);
    }
    for (Request& request : applying_)
        apply(request);
    applying_.clear();
}

void Engine::apply(Request& request) {
    switch (request.kind) {
        case Request::Kind::Reset:
        case Request::Kind::Stop:
            flushDeferredWrites();
            board_->reset();
            heldCommand_.reset();
            state_ = request.kind == Request::Kind::Reset ? State::Idle : State::Stopped;
            break;
        case Request::Kind::SendData:
            nextRow_ = kNoPosition;  // a new program: its rows count from its start
            flushDeferredWrites();
            board_->reset();
            board_->loadImage(request.image);
            heldCommand_.reset();
            ticks_ = request.ticks;
            state_ = State::Running;
            baseFrame_ = frame_;
            baseTstate_ = imageStart_ = board_->tstates();
            tickSchedule_.startAt(imageStart_ + TickSchedule::kFirstDelay);
            break;
        case Request::Kind::SendCommand:
            if (state_ != State::Running) break;  // nothing runs that could take it
            heldCommand_ = request.command;
            commandNotBefore_ = std::max(board_->tstates(), imageStart_ + kCommandDelay);
            break;
        case Request::Kind::ChipWrite:
            chip_.writeRegister(request.bank, request.address, request.value);
            break;
        case Request::Kind::SetAdpcmRom:
            adpcmRom_ = std::move(request.image);
            previewFrom_ = (adpcmRom_.size() + 255) / 256 * 256;
            chip_.setAdpcmRom(adpcmRom_);
            break;
        case Request::Kind::PreviewSample:
            playPreviewSample(request.image, request.address, request.value);
            break;
        case Request::Kind::PreviewPitchedSample:
            playPreviewPitchedSample(request);
            break;
        case Request::Kind::SetFmModel:
            chip_.setFmModel(request.fm);
            break;
    }
}

std::optional<std::pair<std::uint16_t, std::uint16_t>> Engine::placePreview(
    const std::vector<std::uint8_t>& data, bool withinMegabyte) {
    constexpr std::size_t kBlock = 256, kMegabyte = 1 << 20;
    std::size_t start = previewFrom_;
    if (withinMegabyte && start / kMegabyte != (start + data.size()) / kMegabyte)
        start = (start / kMegabyte + 1) * kMegabyte;
    if (start + data.size() + kBlock > kMaxAdpcmRom) return std::nullopt;
    adpcmRom_.resize(start, 0x80);
    adpcmRom_.insert(adpcmRom_.end(), data.begin(), data.end());
    adpcmRom_.resize((adpcmRom_.size() / kBlock + 1) * kBlock, 0x80);  // ends in silence
    chip_.setAdpcmRom(adpcmRom_);
    return std::pair{static_cast<std::uint16_t>(start / kBlock),
                     static_cast<std::uint16_t>((start + data.size()) / kBlock)};
}

void Engine::playPreviewSample(const std::vector<std::uint8_t>& data, int channel, int level) {
    const auto place = placePreview(data, true);
    if (!place) return;
    const auto [first, last] = *place;
    const auto c = static_cast<std::uint8_t>(channel);
    const auto bit = static_cast<std::uint8_t>(1 << channel);
    // The total level at full, as every driver sets it: without a driver it is still 0.
    for (auto [bank, address, value] : {std::tuple<int, int, int>{1, 0x01, 0x3F},
                                        {1, 0x10 + c, first & 0xFF},
                                        {1, 0x18 + c, first >> 8},
                                        {1, 0x20 + c, last & 0xFF},
                                        {1, 0x28 + c, last >> 8},
                                        {1, 0x08 + c, 0xC0 | level},
                                        {0, 0x1C, bit},
                                        {0, 0x1C, 0},
                                        {1, 0x00, bit}})
        chip_.writeRegister(static_cast<std::uint8_t>(bank), static_cast<std::uint8_t>(address),
                            static_cast<std::uint8_t>(value));
}

void Engine::playPreviewPitchedSample(const Request& request) {
    // ADPCM-B data plays to the end of its last block, which the data fills.
    const auto place = placePreview(request.image, false);
    if (!place) return;
    const std::uint16_t first = place->first;
    const auto last = static_cast<std::uint16_t>(first + (request.image.size() - 1) / 256);
    const int deltaN = request.deltaN;
    // Stopped first, its end flag cleared, then started as the whole-chip driver starts it.
    for (auto [address, value] : {std::pair<int, int>{0x10, 0x01},
                                  {0x12, first & 0xFF},
                                  {0x13, first >> 8},
                                  {0x14, last & 0xFF},
                                  {0x15, last >> 8},
                                  {0x19, deltaN & 0xFF},
                                  {0x1A, deltaN >> 8},
                                  {0x1B, request.value},
                                  {0x11, 0xC0},
                                  {0x1C, 0x80},
                                  {0x1C, 0},
                                  {0x10, request.loop ? 0x90 : 0x80}})
        chip_.writeRegister(0, static_cast<std::uint8_t>(address),
                            static_cast<std::uint8_t>(value));
}

void Engine::flushDeferredWrites() {
    for (const DeferredWrite& w : deferred_)
        chip_.write(w.port, w.value);
    deferred_.clear();
}

void Engine::applyDeferredWritesBefore(std::uint64_t end) {
    std::size_t applied = 0;
    for (; applied < deferred_.size() && deferred_[applied].frame < end + lead_; ++applied) {
        const DeferredWrite& w = deferred_[applied];
        renderChipTo(chipFrameFor(w.frame));
        applyChipWrite(w.port, w.value, w.tstate);
    }
    deferred_.erase(deferred_.begin(), deferred_.begin() + static_cast<std::ptrdiff_t>(applied));
}

void Engine::runBoardUntil(std::uint64_t endFrame) {
    const std::uint64_t end = tstateAt(endFrame);
    if (ticks_ == TickSource::Chip) return runBoardOnChipTicks(end);
    constexpr std::uint64_t kNever = std::numeric_limits<std::uint64_t>::max();
    while (board_->tstates() < end) {
        const std::uint64_t now = board_->tstates();
        if (tickSchedule_.due(now)) board_->requestTick();
        if (heldCommand_ && now >= commandNotBefore_) {
            board_->postCommand(*heldCommand_);
            heldCommand_.reset();
        }
        const std::uint64_t until =
            std::min({end, tickSchedule_.next(), heldCommand_ ? commandNotBefore_ : kNever});
        while (board_->tstates() < until)
            board_->step();
    }
}

// The chip's timers run in exact board time here: they are brought up to the T-state before the
// IRQ line is read and before every write, and the board runs in stretches that end where the
// line can next rise, so each tick lands on its exact T-state.
void Engine::runBoardOnChipTicks(std::uint64_t end) {
    constexpr std::uint64_t kNever = std::numeric_limits<std::uint64_t>::max();
    while (board_->tstates() < end) {
        const std::uint64_t now = board_->tstates();
        chip_.syncTimers(chipUnitsAt(now));
        followIrqLine();
        if (heldCommand_ && now >= commandNotBefore_) {
            board_->postCommand(*heldCommand_);
            heldCommand_.reset();
        }
        std::uint64_t nextIrq = kNever;
        if (const auto units = chip_.unitsUntilIrq()) nextIrq = now + tstatesForUnits(*units);
        const std::uint64_t until =
            std::min({end, std::max(nextIrq, now + 1), heldCommand_ ? commandNotBefore_ : kNever});
        timersChanged_ = false;
        while (board_->tstates() < until && !timersChanged_)
            board_->step();
    }
}

std::uint64_t Engine::chipUnitsAt(std::uint64_t tstate) const {
    // One T-state is clock * rate / cpuClock chip time units: 2 * rate for the 8 MHz chip.
    return baseFrame_ * kChipClock + (tstate - baseTstate_) * (kChipClock / kCpuClock) * rate_;
}

std::uint64_t Engine::tstatesForUnits(std::uint64_t units) const {
    const std::uint64_t perTstate = (kChipClock / kCpuClock) * rate_;
    return (units + perTstate - 1) / perTstate;
}

void Engine::followIrqLine() {
    board_->setIrqLine(chip_.irq());
}

void Engine::renderChipTo(std::uint64_t frame) {
    frame = std::min(frame, chunkEnd_);
    while (chipCursor_ < frame) {
        std::int16_t* out = out_ + (chipCursor_ - chunkStart_) * 2;
        if (!scopeOn_) {
            chip_.render(out, frame - chipCursor_);
            chipCursor_ = frame;
            return;
        }
        const auto n =
            static_cast<std::size_t>(std::min<std::uint64_t>(frame - chipCursor_, sources_.size()));
        chip_.render(out, n, sources_.data());
        scope_.push(sources_.data(), out, n);
        chipCursor_ += n;
    }
}

void Engine::ChipBus::write(int port, std::uint8_t value, std::uint64_t tstate) {
    Engine& e = engine_;
    const std::uint64_t frame = e.frameAt(tstate);
    if (frame >= e.chunkEnd_ + e.lead_ || !e.deferred_.empty()) {
        // Past the end of this render (the last instruction ran over it): due in the next one.
        e.deferred_.push_back({frame, tstate, port, value});
        return;
    }
    e.renderChipTo(e.chipFrameFor(frame));
    e.applyChipWrite(port, value, tstate);
}

void Engine::applyChipWrite(int port, std::uint8_t value, std::uint64_t tstate) {
    boardWriteFrame_ = frameAt(tstate);
    if (ticks_ == TickSource::Chip) {
        // The timers see the write at its exact time, and the interrupt line follows at once.
        chip_.syncTimers(chipUnitsAt(tstate));
        chip_.write(port, value);
        followIrqLine();
        timersChanged_ = true;
    } else {
        chip_.write(port, value);
    }
    boardWriteFrame_.reset();
}

void Engine::setWriteObserver(YM2610::WriteObserver observer) {
    if (!observer) return chip_.setWriteObserver({});
    chip_.setWriteObserver([this, observer = std::move(observer)](RegisterWrite w) {
        if (boardWriteFrame_) w.frame = *boardWriteFrame_;
        observer(w);
    });
}

std::optional<std::uint8_t> Engine::ChipBus::read(int port, std::uint64_t tstate) {
    Engine& e = engine_;
    switch (port) {
        case 0:  // status: timer flags, never busy
            e.renderChipTo(e.chipFrameFor(e.frameAt(tstate)));
            return e.chip_.readStatus();
        case 2:  // the ADPCM end flags
            e.renderChipTo(e.chipFrameFor(e.frameAt(tstate)));
            return e.chip_.readAdpcmStatus();
        default:
            return std::nullopt;
    }
}

}  // namespace qvxsnd
