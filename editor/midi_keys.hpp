#pragma once

#include <QObject>
#include <QString>

class QMenu;
class QActionGroup;

namespace qvx::editor {

class MainWindow;
class MidiInput;
class Prompts;

// A MIDI keyboard in the editor: Options > "MIDI Input" chooses the port (remembered by name and
// opened again at start), and each note plays as its computer key would: entered at the cursor,
// or on the instrument editor's test keyboard while that window is active.
class MidiKeys : public QObject {
    Q_OBJECT

  public:
    // Fills `menu` with "None", the ports and "Refresh" whenever it opens.
    MidiKeys(MainWindow& window, Prompts& prompts, QMenu* menu);

    MidiInput& input() { return *input_; }
    // Opens the port chosen last time, or says in the status bar why it cannot.
    void reopenChosenPort();
    // A port by name; an empty name closes the input. A port that fails to open is reported and
    // the input stays as it was.
    void choose(const QString& port);

  private:
    void fillMenu();
    void noteOn(int number);
    void noteOff(int number);
    void say(const QString& text);

    MainWindow& window_;
    Prompts& prompts_;
    QMenu* menu_;
    QActionGroup* choices_;
    MidiInput* input_;
    int held_ = -1;  // the MIDI note the last note-on played
};

}  // namespace qvx::editor
