#include "editor/kit_editor.hpp"

#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cmath>

#include "editor/text.hpp"
#include "rombuild/sound_file.hpp"

namespace qvx::editor {
namespace {

enum Column { kNoteColumn, kSampleColumn, kLengthColumn, kRomColumn, kLevelColumn, kColumns };

QString seconds(const Sample& sample) {
    return QStringLiteral("%1 s").arg(sampleSeconds(sample), 0, 'f', 3);
}

QString kilobytes(std::size_t bytes) {
    return QStringLiteral("%1 KB").arg(static_cast<double>(bytes) / 1024, 0, 'f', 1);
}

}  // namespace

KitEditor::KitEditor(Workspace& workspace, Prompts& prompts, QWidget* parent)
    : InstrumentToolWindow(QStringLiteral("Drum Kit Editor"), workspace, parent),
      prompts_(prompts) {
    setObjectName(QStringLiteral("kitEditor"));
    instrumentList()->setObjectName(QStringLiteral("kitInstrument"));

    notes_ = new QTableWidget(kKitNotes, kColumns, this);
    notes_->setObjectName(QStringLiteral("kitNotes"));
    notes_->setHorizontalHeaderLabels({QStringLiteral("Note"), QStringLiteral("Sample"),
                                       QStringLiteral("Length"), QStringLiteral("V ROM"),
                                       QStringLiteral("Level")});
    notes_->verticalHeader()->hide();
    notes_->setSelectionBehavior(QAbstractItemView::SelectRows);
    notes_->setSelectionMode(QAbstractItemView::SingleSelection);
    notes_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    notes_->horizontalHeader()->setSectionResizeMode(kSampleColumn, QHeaderView::Stretch);
    for (int n = 0; n < kKitNotes; ++n) {
        notes_->setItem(n, kNoteColumn,
                        new QTableWidgetItem(
                            QString::fromLatin1(noteName(std::uint8_t(n)).data(), 2).trimmed()));
        auto* level = new QSpinBox(notes_);
        level->setRange(0, kMaxKitLevel);
        level->setToolTip(QStringLiteral("The note's level: 31 is full, a step is 0.75 dB"));
        connect(level, &QSpinBox::valueChanged, this, [this, n](int v) { levelEdited(n, v); });
        notes_->setCellWidget(n, kLevelColumn, level);
    }
    notes_->selectRow(0);
    connect(notes_, &QTableWidget::itemSelectionChanged, this, &KitEditor::showInstrument);
    connect(notes_, &QTableWidget::cellDoubleClicked, this, [this] { audition(); });

    trimStart_ = new QSpinBox(this);
    trimStart_->setObjectName(QStringLiteral("trimStart"));
    trimEnd_ = new QSpinBox(this);
    trimEnd_->setObjectName(QStringLiteral("trimEnd"));
    for (QSpinBox* field : {trimStart_, trimEnd_}) {
        field->setSuffix(QStringLiteral(" ms"));
        field->setRange(0, 120000);
    }
    figures_ = new QLabel(this);
    figures_->setObjectName(QStringLiteral("kitFigures"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(
        button(QStringLiteral("Load into &Note..."), "loadNote", [this] { loadSound(false); }));
    buttons->addWidget(
        button(QStringLiteral("Load into &All Notes..."), "loadAll", [this] { loadSound(true); }));
    buttons->addWidget(button(QStringLiteral("&Play"), "auditionNote", [this] { audition(); }));
    auto* trimRow = new QHBoxLayout;
    trimRow->addWidget(new QLabel(QStringLiteral("Keep from"), this));
    trimRow->addWidget(trimStart_);
    trimRow->addWidget(new QLabel(QStringLiteral("to"), this));
    trimRow->addWidget(trimEnd_);
    trimRow->addWidget(button(QStringLiteral("&Trim"), "trimSample", [this] { trim(); }));
    trimRow->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(instrumentList());
    layout->addWidget(notes_);
    layout->addLayout(buttons);
    layout->addLayout(trimRow);
    layout->addWidget(figures_);
    resize(560, 560);
    refresh();
}

int KitEditor::selectedNote() const {
    return std::max(notes_->currentRow(), 0);
}

void KitEditor::selectNote(int note) {
    notes_->selectRow(note);
}

void KitEditor::showInstrument() {
    const Instrument& instrument = workspace_.song().instruments[this->instrument()];
    const bool kit = instrument.kind == InstrumentKind::AdpcmAKit;
    for (int n = 0; n < kKitNotes; ++n) {
        const KitNote& note = instrument.kit.notes[n];
        const SampleRef& sample = note.sample;
        const auto set = [&](int column, const QString& text) {
            auto* item = notes_->item(n, column);
            if (!item) notes_->setItem(n, column, item = new QTableWidgetItem);
            item->setText(text);
        };
        set(kSampleColumn, sample ? fromModelText(sample->name) : QStringLiteral("-"));
        set(kLengthColumn, sample ? seconds(*sample) : QString());
        set(kRomColumn, sample ? kilobytes(sampleRomBytes(*sample)) : QString());
        auto* level = static_cast<QSpinBox*>(notes_->cellWidget(n, kLevelColumn));
        const QSignalBlocker blocker(level);
        level->setValue(note.level);
        level->setEnabled(kit);
    }
    const SampleRef& chosen = instrument.kit.notes[selectedNote()].sample;
    trimStart_->setValue(0);
    trimEnd_->setValue(chosen ? static_cast<int>(std::ceil(sampleSeconds(*chosen) * 1000)) : 0);
    std::size_t bytes = 0;
    double length = 0;
    const std::vector<SampleRef> samples = instrument.kit.samples();
    for (const SampleRef& sample : samples)
        bytes += sampleRomBytes(*sample), length += sampleSeconds(*sample);
    figures_->setText(kit ? QStringLiteral("%1 sample(s), %2 s, %3 of V ROM")
                                .arg(samples.size())
                                .arg(length, 0, 'f', 2)
                                .arg(kilobytes(bytes))
                          : QStringLiteral("An FM voice: load a sound to make it a drum kit"));
}

void KitEditor::levelEdited(int note, int level) {
    workspace_.setKitLevel(instrument(), note, level);
}

void KitEditor::loadSound(bool allNotes) {
    const QString path = prompts_.openFileName(
        {QStringLiteral("Sound files (*.wav *.flac *.ogg *.aiff *.aif *.caf *.au *.w64);;"
                        "All files (*)"),
         {},
         {}});
    if (path.isEmpty()) return;
    ConvertedSound sound;
    ConversionOptions options;
    options.rate = kAdpcmARate;
    const std::string name = toModelText(QFileInfo(path).completeBaseName());
    if (const Result r = convertSoundFile(toPath(path), name, sound, options); !r) {
        showFailure(prompts_, r);
        return;
    }
    workspace_.loadKitSample(instrument(), allNotes ? Workspace::kAllKitNotes : selectedNote(),
                             makeSample(name, std::move(sound.pcm)));
    audition();
}

void KitEditor::audition() {
    workspace_.auditionKitNote(instrument(), selectedNote());
}

void KitEditor::trim() {
    const SampleRef& sample =
        workspace_.song().instruments[instrument()].kit.notes[selectedNote()].sample;
    if (!sample) return;
    const auto frame = [](int ms) { return static_cast<std::size_t>(ms * kAdpcmARate / 1000); };
    if (!workspace_.trimKitSample(instrument(), selectedNote(), frame(trimStart_->value()),
                                  frame(trimEnd_->value())))
        prompts_.message(QStringLiteral("Nothing of the sample would be left: keep a part of it"));
}

}  // namespace qvx::editor
