#include "editor/midi_keys.hpp"

#include <QActionGroup>
#include <QCursor>
#include <QMenu>
#include <QSettings>
#include <QStatusBar>

#include "editor/instrument_editor.hpp"
#include "editor/main_window.hpp"
#include "editor/midi_input.hpp"
#include "song/midi_notes.hpp"

namespace qvx::editor {
namespace {

const QString kPortSetting = QStringLiteral("Options/MidiInput");
constexpr int kMessageMilliseconds = 6000;

}  // namespace

MidiKeys::MidiKeys(MainWindow& window, Prompts& prompts, QMenu* menu)
    : QObject(&window),
      window_(window),
      prompts_(prompts),
      menu_(menu),
      choices_(new QActionGroup(this)),
      input_(new MidiInput(this)) {
    // The ports are looked for when the menu first opens, and again on Refresh.
    connect(menu_, &QMenu::aboutToShow, this, [this] {
        if (menu_->isEmpty()) fillMenu();
    });
    connect(input_, &MidiInput::noteOn, this, &MidiKeys::noteOn);
    connect(input_, &MidiInput::noteOff, this, &MidiKeys::noteOff);
    connect(input_, &MidiInput::portLost, this, [this](const QString& port) {
        say(QStringLiteral("MIDI Input: %1 went away").arg(port));
        menu_->clear();
    });
}

void MidiKeys::fillMenu() {
    menu_->clear();
    const QString open = input_->openPort();
    const auto add = [&](const QString& caption, const QString& port) {
        QAction* action = menu_->addAction(caption, this, [this, port] { choose(port); });
        action->setCheckable(true);
        action->setChecked(port == open);
        choices_->addAction(action);
    };
    add(QStringLiteral("None"), {});
    for (const QString& port : input_->ports())
        add(port, port);
    menu_->addSeparator();
    menu_->addAction(QStringLiteral("Refresh"), this, [this] {
        fillMenu();
        menu_->popup(QCursor::pos());
    });
}

void MidiKeys::choose(const QString& port) {
    if (port.isEmpty()) {
        input_->close();
    } else if (QString error; !input_->open(port, &error)) {
        prompts_.message(error);
        menu_->clear();  // its check marks show the port that stays open
        return;
    }
    QSettings().setValue(kPortSetting, port);
}

void MidiKeys::reopenChosenPort() {
    const QString port = QSettings().value(kPortSetting).toString();
    if (port.isEmpty()) return;
    QString error;
    if (!input_->ports().contains(port))
        say(QStringLiteral("MIDI Input: %1 is not there").arg(port));
    else if (!input_->open(port, &error))
        say(QStringLiteral("MIDI Input: %1").arg(error));
}

void MidiKeys::noteOn(int number) {
    const auto note = songNoteForMidi(number);
    if (!note) {
        say(QStringLiteral("%1 is outside the song's octaves 1 to 7")
                .arg(QString::fromStdString(midiNoteName(number))));
        return;
    }
    held_ = number;
    InstrumentEditor* instruments = window_.instrumentEditor();
    if (instruments->isVisible() && instruments->isActiveWindow())
        instruments->editing().playKey(note->note, note->octave);
    else
        window_.workspace().playNote(note->note, note->octave);
}

void MidiKeys::noteOff(int number) {
    // Letting go of an earlier key does not silence the note played after it.
    if (number != held_ || !window_.noteOffOnRelease()) return;
    held_ = -1;
    window_.workspace().previewKeyUp();
}

void MidiKeys::say(const QString& text) {
    window_.statusBar()->showMessage(text, kMessageMilliseconds);
}

}  // namespace qvx::editor
