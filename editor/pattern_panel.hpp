#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace qvx {
class Workspace;
}

namespace qvx::editor {

// The column at the left: the pattern selector ("<", the number, ">", the name box, "Rename",
// "New") and the song's order list with its four buttons. It shows the workspace and forwards the
// buttons to it.
class PatternPanel : public QWidget {
    Q_OBJECT

  public:
    explicit PatternPanel(Workspace& workspace, QWidget* parent = nullptr);

    // The pattern number and, since the box holds the name until Rename, the name.
    void showPattern();
    void showOrder();

    QLabel* numberField() const { return number_; }
    QLineEdit* nameBox() const { return name_; }
    QListWidget* orderList() const { return order_; }

  signals:
    // After every button, so that typing can go on in the pattern editor.
    void done();

  private:
    QPushButton* button(const QString& text, const char* name, void (PatternPanel::*slot)());
    void previous();
    void next();
    void rename();
    void newPattern();
    void appendOrder();
    void insertOrder();
    void updateOrder();
    void deleteOrder();

    Workspace& workspace_;
    QLabel* number_;
    QLineEdit* name_;
    QListWidget* order_;
};

}  // namespace qvx::editor
