#include "editor/about_box.hpp"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "editor/artwork.hpp"

namespace qvx::editor {

AboutBox::AboutBox(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About QVXTracker"));
    setModal(true);

    auto* icon = new QLabel(this);
    icon->setPixmap(artwork::applicationIcon().pixmap(64, 64));
    icon->setAlignment(Qt::AlignTop);

    auto* version = new QLabel(QString::fromLatin1(kVersionText), this);
    version->setObjectName(QStringLiteral("version"));
    QFont bold = version->font();
    bold.setBold(true);
    version->setFont(bold);

    auto* credits = new QLabel(
        QStringLiteral("A music tracker for composing FM music for the Neo Geo. Songs play "
                       "through an emulated sound board that runs the same Z80 sound driver as "
                       "the real board, and build into its M1 and V1 sound ROMs."),
        this);
    credits->setWordWrap(true);
    auto* thanks = new QLabel(
        QStringLiteral("Made for chiptune composers and homebrew game developers. Thanks to "
                       "everyone who documented the Neo Geo sound hardware and the YM2610."),
        this);
    thanks->setWordWrap(true);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* text = new QVBoxLayout;
    text->addWidget(version);
    text->addSpacing(8);
    text->addWidget(credits);
    text->addWidget(thanks);
    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addLayout(text, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(buttons);
    setMinimumWidth(420);
}

}  // namespace qvx::editor
