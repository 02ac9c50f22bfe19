#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace qvxsnd {

// Pulls 16-bit stereo frames from a render function in real time: from the default audio device
// through SDL, or, when no device can be opened, from a silent sink that keeps the same pace so
// the emulation still runs. Either way the render function is called from one thread at a time.
class AudioOutput {
  public:
    using RenderFn = std::function<void(std::int16_t* out, std::size_t frames)>;

    // Frames per device buffer: small enough that a preview note is heard within ~25 ms.
    static constexpr std::uint16_t kBufferFrames = 512;

    AudioOutput(std::uint32_t sampleRate, RenderFn render);
    ~AudioOutput();
    AudioOutput(const AudioOutput&) = delete;
    AudioOutput& operator=(const AudioOutput&) = delete;

    bool hasDevice() const { return device_ != 0; }
    // What plays, or why nothing is heard.
    const std::string& status() const { return status_; }

  private:
    static void callback(void* self, std::uint8_t* stream, int bytes);
    void runSilentSink();

    std::uint32_t rate_;
    RenderFn render_;
    std::uint32_t device_ = 0;
    bool sdlStarted_ = false;
    std::string status_;

    std::thread sink_;
    std::mutex sinkMutex_;
    std::condition_variable sinkWake_;
    bool sinkStop_ = false;
};

}  // namespace qvxsnd
