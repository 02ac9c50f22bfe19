#include "editor/help_menu.hpp"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "editor/about_box.hpp"
#include "song/effects.hpp"

namespace qvx::editor {
namespace {

// Rows of "keys | what they do".
constexpr const char* kKeys[][2] = {
    {"Z S X D C V G B H N J M (QWERTY), W S X D C V G B H N J , (AZERTY)",
     "notes of one octave, as on a piano; each is heard as it is entered"},
    {"1 - 7 on the octave field, digits on the other fields",
     "octave, instrument, effect, parameter"},
    {"Space on the note field", "empties the cell"},
    {"End, or # on the note field", "the end mark (END); the driver plays nothing there"},
    {"Keypad + and −", "the cursor's track an octave up or down"},
    {"F6, F5, F4", "play the pattern, play the song, stop"},
    {"F7, F8", "play the song from the selected order entry, the pattern from the cursor's row"},
    {"Ctrl+F", "follow playback: the playing row is lit and kept in sight"},
    {"Ctrl+Z, Ctrl+Shift+Z or Ctrl+Y", "undo, redo"},
    {"Shift+arrows, mouse drag; Esc", "select a block of cells; drop the selection"},
    {"Ctrl+C, Ctrl+X, Ctrl+V, Delete", "copy, cut, paste at the cursor, clear"},
    {"Ctrl+Q, Ctrl+A (with Shift: an octave)", "transpose a semitone up or down"},
    {"Page Up, Page Down, Ctrl+Home, Ctrl+End", "16 rows up or down, the first or the last row"},
    {"Tab, Shift+Tab", "the next or the previous track"},
    {"Insert, Backspace", "shift the track down or up from the cursor's row"},
    {"Ctrl+N, Ctrl+O, Ctrl+S", "new song, open, save"},
    {"F12", "the instrument editor"},
};

// Rows of "effect | parameter | what the driver does".
constexpr const char* kEffects[][3] = {
    {"12 (C) note cut", "00", "keys the track off; a note in the cell is not played"},
    {"12 (C)", "01 - 99", "nothing; the note in the cell is played"},
    {"13 (D) pattern break", "any",
     "the next order entry plays from its row 0; the note in the "
     "cell is not played"},
    {"15 (F) speed", "00 - 99",
     "each row lasts that many ticks of 16 ms (00: 256); the note in "
     "the cell is not played"},
};

QString html() {
    QString page = QStringLiteral("<h3>Keys of the pattern editor</h3><table cellpadding=3>");
    for (const auto& row : kKeys)
        page += QStringLiteral("<tr><td><b>%1</b></td><td>%2</td></tr>")
                    .arg(QString::fromUtf8(row[0]).toHtmlEscaped(),
                         QString::fromUtf8(row[1]).toHtmlEscaped());
    page += QStringLiteral(
        "</table><h3>Effects in classic songs</h3><p>Typed in the effect column (\"1\" then \"2\" "
        "for 12), with "
        "the parameter beside it. Every other effect is kept in the song and ignored by the "
        "sound driver.</p><table cellpadding=3><tr><th align=left>Effect</th>"
        "<th align=left>Parameter</th><th align=left>What it does</th></tr>");
    for (const auto& row : kEffects)
        page += QStringLiteral("<tr><td><b>%1</b></td><td>%2</td><td>%3</td></tr>")
                    .arg(QString::fromUtf8(row[0]).toHtmlEscaped(),
                         QString::fromUtf8(row[1]).toHtmlEscaped(),
                         QString::fromUtf8(row[2]).toHtmlEscaped());
    page += QStringLiteral(
        "</table><h3>Effects in whole-chip songs</h3><p>A whole-chip song's effect column takes "
        "one symbol and its parameter two hex digits. Pitch moves in sixteenths of a semitone, "
        "the same on every kind of track; volume counts 00-40 (0x40 = 64: the instrument's own "
        "level). "
        "Effects that act on ticks act on each tick of the row but the first.</p>"
        "<table cellpadding=3><tr><th align=left>Effect</th><th align=left>Parameter</th>"
        "<th align=left>What it does</th></tr>");
    for (const EffectInfo& effect : wholeChipEffects())
        page += QStringLiteral("<tr><td><b>%1 %2</b></td><td>%3</td><td>%4</td></tr>")
                    .arg(QChar::fromLatin1(effectSymbol(effect.effect)),
                         QString::fromUtf8(effect.name).toHtmlEscaped(),
                         QString::fromUtf8(effect.parameter),
                         QString::fromUtf8(effect.what).toHtmlEscaped());
    const QString readme = readmePath();
    page +=
        QStringLiteral(
            "</table><h3>More</h3><p>The README tells the rest (the instrument "
            "editor, the ROM Maker, the command line): <a href=\"%1\">%2</a></p>")
            .arg(QUrl::fromLocalFile(readme).toString(QUrl::FullyEncoded), readme.toHtmlEscaped());
    return page;
}

}  // namespace

QString readmePath() {
    const QString installed =
        QDir(QCoreApplication::applicationDirPath())
            .absoluteFilePath(QStringLiteral("../share/doc/qvxtracker/README.md"));
    if (QFileInfo::exists(installed)) return QDir::cleanPath(installed);
    return QStringLiteral(QVX_SOURCE_README);
}

ReferenceWindow::ReferenceWindow(QWidget* parent)
    : ToolWindow(QStringLiteral("Keys and Effects"), parent) {
    setObjectName(QStringLiteral("reference"));
    page_ = new QTextBrowser(this);
    page_->setObjectName(QStringLiteral("referencePage"));
    page_->setOpenExternalLinks(true);
    page_->setHtml(html());
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(page_);
    resize(640, 560);
}

void fillHelpMenu(QMenu& menu, QWidget& window) {
    QAction* keys = menu.addAction(QStringLiteral("&Keys and Effects...\tF1"));
    keys->setObjectName(QStringLiteral("keysAndEffects"));
    keys->setStatusTip(QStringLiteral("Lists the editor's keys and the effects the driver plays"));
    keys->setShortcut(QKeySequence(Qt::Key_F1));
    auto* reference = new ReferenceWindow(&window);
    QObject::connect(keys, &QAction::triggered, reference, [reference] {
        reference->show();
        reference->raise();
    });
    menu.addSeparator();
    QAction* about = menu.addAction(QStringLiteral("&About QVXTracker..."));
    about->setObjectName(QStringLiteral("about"));
    QObject::connect(about, &QAction::triggered, &window, [&window] {
        AboutBox box(&window);
        box.exec();
    });
}

}  // namespace qvx::editor
