#pragma once

#include <QDialog>

namespace qvx::editor {

// "About QVXTracker": the icon, the version line, OK and the credits.
class AboutBox : public QDialog {
    Q_OBJECT

  public:
    static constexpr const char* kVersionText = "QVXTracker Version 0.6c (28AUG05)";

    explicit AboutBox(QWidget* parent = nullptr);
};

}  // namespace qvx::editor
