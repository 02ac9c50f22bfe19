#include "editor/pitched_sample_editor.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

#include "editor/note_choice.hpp"
#include "editor/text.hpp"
#include "rombuild/sound_file.hpp"

namespace qvx::editor {
namespace {

QString count(std::size_t n) {
    return QLocale(QLocale::English).toString(static_cast<qulonglong>(n));
}

// What the figures line says of a sample played at `rate`.
QString describe(const PitchedSample& pitched) {
    if (!pitched.sample) return QStringLiteral("No sample: load a sound");
    const std::vector<std::int16_t>& pcm = pitched.sample->pcm;
    const double rate = pitched.rate;
    const std::size_t stored = loopFrameCount(pcm.size());
    QString text = QStringLiteral("%1 frames, %2 s at %3 Hz; %4 KB of V ROM")
                       .arg(count(pcm.size()))
                       .arg(double(pcm.size()) / rate, 0, 'f', 3)
                       .arg(count(pitched.rate))
                       .arg(double(stored) / 2 / 1024, 0, 'f', 1);
    int highest = semitone(11, kMaxOctave);
    while (highest > 0 && !pitchedNoteReachable(pitched, highest))
        --highest;
    if (highest < semitone(11, kMaxOctave))
        text += QStringLiteral(
                    "\nPlays at its pitch up to %1; notes above it at the chip's top "
                    "rate, 55,556 Hz")
                    .arg(QString::fromStdString(midiNoteName(highest + 12)));
    if (!pitched.loop) return text;
    const std::size_t padding = stored - pcm.size();
    text +=
        QStringLiteral("\nLoop: %1 frames a pass, %2 s at the base note (%3)")
            .arg(count(stored))
            .arg(double(stored) / rate, 0, 'f', 3)
            .arg(padding
                     ? QStringLiteral("the sample, then %1 frames of its start").arg(count(padding))
                     : QStringLiteral("no padding: it fills its last block"));
    if (loopClicks(pcm))
        text += QStringLiteral(
            "\nThe loop will click where it turns back: end the sound where it meets its start");
    return text;
}

}  // namespace

PitchedSampleEditor::PitchedSampleEditor(Workspace& workspace, Prompts& prompts, QWidget* parent)
    : InstrumentToolWindow(QStringLiteral("ADPCM-B Sample Editor"), workspace, parent),
      prompts_(prompts) {
    setObjectName(QStringLiteral("pitchedSampleEditor"));
    sampleName_ = new QLabel(this);
    rate_ = new QSpinBox(this);
    rate_->setRange(static_cast<int>(kMinPitchedSampleRate),
                    static_cast<int>(kMaxPitchedSampleRate));
    rate_->setSuffix(QStringLiteral(" Hz"));
    rate_->setValue(static_cast<int>(kDefaultPitchedSampleRate));
    rate_->setToolTip(QStringLiteral(
        "The rate a sound is converted to when it is loaded: higher keeps more of its top, and "
        "takes more of the V ROM"));
    base_ = new QComboBox(this);
    fillNoteChoice(*base_, 0, kMaxBaseSemitone, semitone(0, 4));
    base_->setToolTip(QStringLiteral("The note that plays the sample at its own rate"));
    level_ = new QSpinBox(this);
    level_->setRange(0, 255);
    level_->setToolTip(QStringLiteral("The channel's level: 255 is full, linear"));
    loop_ = new QCheckBox(QStringLiteral("Repeat the whole sample while the note sounds"), this);
    connect(base_, &QComboBox::activated, this, &PitchedSampleEditor::edited);
    connect(level_, &QSpinBox::valueChanged, this, &PitchedSampleEditor::edited);
    connect(loop_, &QCheckBox::toggled, this, &PitchedSampleEditor::edited);
    figures_ = new QLabel(this);
    figures_->setObjectName(QStringLiteral("pitchedFigures"));
    testNote_ = new QComboBox(this);
    fillNoteChoice(*testNote_, semitone(0, kMinOctave), semitone(11, kMaxOctave), semitone(0, 4));

    auto* sampleRow = new QHBoxLayout;
    sampleRow->addWidget(sampleName_, 1);
    sampleRow->addWidget(
        button(QStringLiteral("&Load Sound..."), "loadPitchedSound", [this] { loadSound(); }));
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Instrument:"), instrumentList());
    form->addRow(QStringLiteral("Sample:"), sampleRow);
    form->addRow(QStringLiteral("&Rate:"), rate_);
    form->addRow(QStringLiteral("&Base note:"), base_);
    form->addRow(QStringLiteral("Le&vel:"), level_);
    form->addRow(loop_);
    auto* test = new QHBoxLayout;
    test->addWidget(new QLabel(QStringLiteral("Test note:"), this));
    test->addWidget(testNote_);
    test->addWidget(button(QStringLiteral("&Play"), "playPitchedNote", [this] { playTestNote(); }));
    test->addWidget(button(QStringLiteral("&Stop"), "stopPitchedNote", [this] { stopTestNote(); }));
    test->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(figures_);
    layout->addLayout(test);
    refresh();
}

void PitchedSampleEditor::showInstrument() {
    const Instrument& instrument = workspace_.song().instruments[this->instrument()];
    const PitchedSample& pitched = instrument.pitched;
    const QSignalBlocker b1(base_), b2(level_), b3(loop_);
    sampleName_->setText(pitched.sample ? fromModelText(pitched.sample->name)
                                        : QStringLiteral("-"));
    base_->setCurrentIndex(base_->findData(pitched.baseSemitone));
    level_->setValue(pitched.level);
    loop_->setChecked(pitched.loop);
    figures_->setText(
        instrument.kind == InstrumentKind::AdpcmBSample
            ? describe(pitched)
            : QStringLiteral("Not an ADPCM-B instrument: load a sound to make it one"));
}

void PitchedSampleEditor::edited() {
    PitchedSample pitched = workspace_.song().instruments[instrument()].pitched;
    pitched.baseSemitone = chosenNote(*base_);
    pitched.level = static_cast<std::uint8_t>(level_->value());
    pitched.loop = loop_->isChecked();
    workspace_.setPitchedSample(instrument(), pitched);
}

void PitchedSampleEditor::loadSound() {
    const QString path = prompts_.openFileName(
        {QStringLiteral("Sound files (*.wav *.flac *.ogg *.aiff *.aif *.caf *.au *.w64);;"
                        "All files (*)"),
         {},
         {}});
    if (path.isEmpty()) return;
    ConvertedSound sound;
    ConversionOptions options;
    options.rate = rate_->value();
    const std::string name = toModelText(QFileInfo(path).completeBaseName());
    if (const Result r = convertSoundFile(toPath(path), name, sound, options); !r) {
        showFailure(prompts_, r);
        return;
    }
    PitchedSample pitched = workspace_.song().instruments[instrument()].pitched;
    pitched.sample = makeSample(name, std::move(sound.pcm));
    pitched.rate = static_cast<std::uint32_t>(rate_->value());
    workspace_.setPitchedSample(instrument(), pitched);
    playTestNote();
}

void PitchedSampleEditor::playTestNote() {
    workspace_.auditionPart(instrument(), chosenNote(*testNote_));
}

void PitchedSampleEditor::stopTestNote() {
    workspace_.previewKeyUp();
}

}  // namespace qvx::editor
