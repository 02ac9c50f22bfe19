#include "soundlib/audio/audio_output.hpp"

#include <SDL.h>

#include <chrono>
#include <string>
#include <vector>

namespace qvxsnd {
namespace {

// SDL's audio brings up its event subsystem, which by default turns SIGINT and SIGTERM into
// quit events that only an SDL event loop would read. A library inside someone else's program
// must leave its signals alone, so SDL starts with its handlers off and the host's hint, if it
// set one, is put back afterwards.
bool startSdlAudio() {
    const char* previous = SDL_GetHint(SDL_HINT_NO_SIGNAL_HANDLERS);
    const std::string kept = previous ? previous : "";
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    const bool started = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    if (previous)
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, kept.c_str());
    else
        SDL_ResetHint(SDL_HINT_NO_SIGNAL_HANDLERS);
    return started;
}

}  // namespace

AudioOutput::AudioOutput(std::uint32_t sampleRate, RenderFn render)
    : rate_(sampleRate), render_(std::move(render)) {
    if (startSdlAudio()) {
        sdlStarted_ = true;
        SDL_AudioSpec want{};
        want.freq = static_cast<int>(rate_);
        want.format = AUDIO_S16SYS;
        want.channels = 2;
        want.samples = kBufferFrames;
        want.callback = &AudioOutput::callback;
        want.userdata = this;
        // No changes allowed: SDL converts if the device wants another format, so the engine
        // always renders at our rate.
        device_ = SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
        if (device_ != 0) {
            status_ = std::string("Sound plays through ") + SDL_GetCurrentAudioDriver() + " at " +
                      std::to_string(rate_) + " Hz";
            SDL_PauseAudioDevice(device_, 0);
            return;
        }
    }
    status_ = std::string("No audio device could be opened (") + SDL_GetError() +
              "); the sound board is emulated but nothing is heard";
    if (sdlStarted_) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        sdlStarted_ = false;
    }
    sink_ = std::thread([this] { runSilentSink(); });
}

AudioOutput::~AudioOutput() {
    if (device_ != 0) SDL_CloseAudioDevice(device_);
    if (sdlStarted_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    if (sink_.joinable()) {
        {
            std::lock_guard lock(sinkMutex_);
            sinkStop_ = true;
        }
        sinkWake_.notify_all();
        sink_.join();
    }
}

void AudioOutput::callback(void* self, std::uint8_t* stream, int bytes) {
    auto* output = static_cast<AudioOutput*>(self);
    output->render_(reinterpret_cast<std::int16_t*>(stream), static_cast<std::size_t>(bytes) / 4);
}

void AudioOutput::runSilentSink() {
    using Clock = std::chrono::steady_clock;
    std::vector<std::int16_t> scratch(kBufferFrames * 2);
    const Clock::time_point start = Clock::now();
    std::uint64_t rendered = 0;
    std::unique_lock lock(sinkMutex_);
    while (!sinkStop_) {
        // Render whatever real time says is due, one device buffer at a time.
        const auto elapsed =
            std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start);
        const std::uint64_t due = static_cast<std::uint64_t>(elapsed.count()) * rate_ / 1'000'000;
        while (rendered + kBufferFrames <= due && !sinkStop_) {
            lock.unlock();
            render_(scratch.data(), kBufferFrames);
            lock.lock();
            rendered += kBufferFrames;
        }
        sinkWake_.wait_for(lock, std::chrono::milliseconds(5));
    }
}

}  // namespace qvxsnd
