#pragma once

#include <QToolBar>

class QComboBox;
class QSpinBox;
class QToolButton;
class QPushButton;

namespace qvx {
class Workspace;
}

namespace qvx::editor {

// The strip at the top: Play Song, Play Current Pattern and Stop, the Octave box, the Voice list
// and "Edit". The Octave box and the Voice list show the workspace's octave and voice and set
// them; the buttons trigger the actions they are given.
class ControlBar : public QToolBar {
    Q_OBJECT

  public:
    ControlBar(Workspace& workspace, QAction* playSong, QAction* playPattern, QAction* stop,
               QWidget* parent = nullptr);

    void showOctave();
    void showEditStep();
    void showVoice();
    void refillVoices();

    QSpinBox* octaveBox() const { return octave_; }
    QSpinBox* stepBox() const { return step_; }
    QComboBox* voiceList() const { return voice_; }
    QPushButton* editButton() const { return edit_; }

  signals:
    void editClicked();

  private:
    Workspace& workspace_;
    QSpinBox* octave_;
    QSpinBox* step_;
    QComboBox* voice_;
    QPushButton* edit_;
};

}  // namespace qvx::editor
