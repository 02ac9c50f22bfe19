#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

class RtMidiIn;
class QTimer;

namespace qvx::editor {

// A MIDI input port of the ALSA sequencer or of JACK, through RtMidi. Ports are named for the
// user as "ALSA: client:port" or "JACK: client:port". Messages arrive on RtMidi's thread; they
// are only queued there, and note-ons and note-offs come out as Qt signals on the thread that
// owns this object. A system that cannot be reached (no sequencer device, no JACK server) simply
// offers no ports.
class MidiInput : public QObject {
    Q_OBJECT

  public:
    explicit MidiInput(QObject* parent = nullptr);
    ~MidiInput() override;

    // The input ports both systems offer now.
    QStringList ports() const;
    // Opens a port by its name. On failure the port that was open stays so, and `error` holds
    // RtMidi's message.
    bool open(const QString& name, QString* error);
    void close();
    const QString& openPort() const { return open_; }

    // A message as a port delivers it; any thread.
    void receive(const std::vector<std::uint8_t>& message);

  signals:
    void noteOn(int number);
    void noteOff(int number);
    // The open port went away (its program ended, its client left); it is closed.
    void portLost(const QString& name);

  private:
    void drain();
    void checkPort();

    std::unique_ptr<RtMidiIn> in_;
    QString open_;
    QTimer* watch_ = nullptr;
    std::mutex mutex_;
    std::vector<std::vector<std::uint8_t>> queue_;
};

}  // namespace qvx::editor
