#include "editor/midi_input.hpp"

#include <rtmidi/RtMidi.h>

#include <QTimer>
#include <cstring>
#include <utility>

#include "song/midi_notes.hpp"

namespace qvx::editor {
namespace {

constexpr int kWatchMilliseconds = 1000;
const char* const kClientName = "QVXTracker";

struct System {
    RtMidi::Api api;
    const char* prefix;
};
constexpr System kSystems[] = {{RtMidi::LINUX_ALSA, "ALSA: "}, {RtMidi::UNIX_JACK, "JACK: "}};

// The port names of one system; nothing when it cannot be reached.
QStringList portsOf(const System& system) {
    QStringList names;
    try {
        RtMidiIn probe(system.api, kClientName);
        for (unsigned i = 0; i < probe.getPortCount(); ++i)
            names << QString::fromStdString(system.prefix + probe.getPortName(i));
    } catch (const RtMidiError&) {
    }
    return names;
}

}  // namespace

MidiInput::MidiInput(QObject* parent) : QObject(parent) {
    watch_ = new QTimer(this);
    watch_->setInterval(kWatchMilliseconds);
    connect(watch_, &QTimer::timeout, this, &MidiInput::checkPort);
}

MidiInput::~MidiInput() {
    close();
}

QStringList MidiInput::ports() const {
    QStringList names;
    for (const System& system : kSystems)
        names << portsOf(system);
    return names;
}

bool MidiInput::open(const QString& name, QString* error) {
    for (const System& system : kSystems) {
        if (!name.startsWith(QLatin1String(system.prefix))) continue;
        const std::string port = name.mid(int(std::strlen(system.prefix))).toStdString();
        try {
            auto in = std::make_unique<RtMidiIn>(system.api, kClientName);
            for (unsigned i = 0; i < in->getPortCount(); ++i) {
                if (in->getPortName(i) != port) continue;
                // Keys only: SysEx, timing and active sensing stay out of the queue.
                in->ignoreTypes(true, true, true);
                in->setCallback(
                    [](double, std::vector<unsigned char>* message, void* self) {
                        static_cast<MidiInput*>(self)->receive(*message);
                    },
                    this);
                in->openPort(i, "MIDI In");
                close();
                in_ = std::move(in);
                open_ = name;
                watch_->start();
                return true;
            }
            if (error) *error = QStringLiteral("%1 is not there any more.").arg(name);
            return false;
        } catch (const RtMidiError& e) {
            if (error) *error = QString::fromStdString(e.getMessage());
            return false;
        }
    }
    if (error) *error = QStringLiteral("%1 is not a MIDI input port.").arg(name);
    return false;
}

void MidiInput::close() {
    watch_->stop();
    if (in_) {
        in_->cancelCallback();
        in_->closePort();
        in_.reset();
    }
    open_.clear();
}

void MidiInput::receive(const std::vector<std::uint8_t>& message) {
    bool first = false;
    {
        std::lock_guard lock(mutex_);
        first = queue_.empty();
        queue_.push_back(message);
    }
    if (first) QMetaObject::invokeMethod(this, &MidiInput::drain, Qt::QueuedConnection);
}

void MidiInput::drain() {
    std::vector<std::vector<std::uint8_t>> messages;
    {
        std::lock_guard lock(mutex_);
        messages.swap(queue_);
    }
    for (const auto& message : messages) {
        if (const auto key = midiKey(message)) {
            if (key->on)
                emit noteOn(key->number);
            else
                emit noteOff(key->number);
        }
    }
}

void MidiInput::checkPort() {
    if (!in_) return;
    const std::string port = open_.mid(open_.indexOf(QLatin1String(": ")) + 2).toStdString();
    for (unsigned i = 0; i < in_->getPortCount(); ++i)
        if (in_->getPortName(i) == port) return;
    const QString lost = open_;
    close();
    emit portLost(lost);
}

}  // namespace qvx::editor
