#include "editor/ssg_editor.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>
#include <memory>
#include <optional>

#include "editor/note_choice.hpp"
#include "editor/text.hpp"

namespace qvx::editor {
namespace {

// What each shape does, in words.
constexpr const char* kShapes[16] = {
    "fall, then silence",    "fall, then silence",      "fall, then silence",
    "fall, then silence",    "rise, then silence",      "rise, then silence",
    "rise, then silence",    "rise, then silence",      "falling saw, repeating",
    "fall, then silence",    "triangle, falling first", "fall, then full",
    "rising saw, repeating", "rise, then full",         "triangle, rising first",
    "rise, then silence"};

// The sequence as typed: levels 0-15 apart by spaces or commas. Nothing when a word is not one.
std::optional<std::vector<std::uint8_t>> parseSequence(const QString& text) {
    std::vector<std::uint8_t> steps;
    for (const QString& word :
         text.split(QRegularExpression(QStringLiteral("[\\s,]+")), Qt::SkipEmptyParts)) {
        bool ok = false;
        const int value = word.toInt(&ok);
        if (!ok || value < 0 || value > 255) return std::nullopt;
        steps.push_back(static_cast<std::uint8_t>(value));
    }
    return steps;
}

QString sequenceText(const std::vector<std::uint8_t>& steps) {
    QStringList words;
    for (const std::uint8_t step : steps)
        words << QString::number(step);
    return words.join(QLatin1Char(' '));
}

}  // namespace

SsgEditor::SsgEditor(Workspace& workspace, QWidget* parent)
    : InstrumentToolWindow(QStringLiteral("SSG Voice Editor"), workspace, parent) {
    setObjectName(QStringLiteral("ssgEditor"));
    mix_ = new QComboBox(this);
    mix_->addItems(
        {QStringLiteral("Tone"), QStringLiteral("Noise"), QStringLiteral("Tone and noise")});
    const auto spin = [this](int low, int high, const QString& tip) {
        auto* box = new QSpinBox(this);
        box->setRange(low, high);
        box->setToolTip(tip);
        connect(box, &QSpinBox::valueChanged, this, &SsgEditor::edited);
        return box;
    };
    noise_ = spin(0, kMaxSsgNoisePeriod,
                  QStringLiteral("The noise generator's period: 0 and 1 the brightest. One for all "
                                 "three channels: the last note written sets it"));
    volume_ = spin(0, kMaxSsgVolume, QStringLiteral("The level 0-15, about 1.5 to 3 dB a step"));
    envelope_ = new QCheckBox(QStringLiteral("Hardware envelope in place of the volume"), this);
    shape_ = new QComboBox(this);
    for (int s = 0; s < 16; ++s)
        shape_->addItem(QStringLiteral("%1: %2").arg(s).arg(QString::fromLatin1(kShapes[s])));
    period_ = spin(1, kMaxSsgEnvelopePeriod,
                   QStringLiteral("The envelope's period: a step lasts period / 250,000 s"));
    follows_ = new QCheckBox(QStringLiteral("Period follows the note (a buzz at its pitch)"), this);
    sequence_ = new QLineEdit(this);
    sequence_->setPlaceholderText(QStringLiteral("none: the volume all along"));
    sequence_->setToolTip(QStringLiteral(
        "Up to 32 levels 0-15, one a tick (16 ms) from the note on, each scaling the volume"));
    loop_ = spin(-1, kMaxSsgSequenceSteps - 1,
                 QStringLiteral("Where the held note goes back to at the sequence's end"));
    release_ = spin(-1, kMaxSsgSequenceSteps - 1,
                    QStringLiteral("Where the note goes on from at key-off (C00); none: silence"));
    for (QSpinBox* box : {loop_, release_})
        box->setSpecialValueText(QStringLiteral("none"));
    connect(mix_, &QComboBox::activated, this, &SsgEditor::edited);
    connect(shape_, &QComboBox::activated, this, &SsgEditor::edited);
    connect(envelope_, &QCheckBox::toggled, this, &SsgEditor::edited);
    connect(follows_, &QCheckBox::toggled, this, &SsgEditor::edited);
    connect(sequence_, &QLineEdit::editingFinished, this, &SsgEditor::edited);
    problem_ = new QLabel(this);
    problem_->setObjectName(QStringLiteral("ssgProblem"));
    testNote_ = new QComboBox(this);
    fillNoteChoice(*testNote_, semitone(0, kMinOctave), semitone(11, kMaxOctave), semitone(9, 4));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Instrument:"), instrumentList());
    form->addRow(QStringLiteral("&Mix:"), mix_);
    form->addRow(QStringLiteral("&Noise period:"), noise_);
    form->addRow(QStringLiteral("&Volume:"), volume_);
    form->addRow(envelope_);
    form->addRow(QStringLiteral("&Shape:"), shape_);
    form->addRow(QStringLiteral("&Period:"), period_);
    form->addRow(follows_);
    form->addRow(QStringLiteral("Volume se&quence:"), sequence_);
    form->addRow(QStringLiteral("&Loop step:"), loop_);
    form->addRow(QStringLiteral("&Release step:"), release_);
    auto* test = new QHBoxLayout;
    test->addWidget(new QLabel(QStringLiteral("Test note:"), this));
    test->addWidget(testNote_);
    test->addWidget(button(QStringLiteral("&Play"), "playSsgNote", [this] { playTestNote(); }));
    test->addWidget(
        button(QStringLiteral("Re&lease"), "releaseSsgNote", [this] { releaseTestNote(); }));
    test->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(problem_);
    layout->addLayout(test);
    resize(460, 420);
    refresh();
}

void SsgEditor::showInstrument() {
    const Instrument& instrument = workspace_.song().instruments[this->instrument()];
    const SsgVoice& voice = instrument.ssg;
    const QList<QWidget*> fields = {mix_,    noise_,   volume_,   envelope_, shape_,
                                    period_, follows_, sequence_, loop_,     release_};
    std::vector<std::unique_ptr<QSignalBlocker>> blockers;
    for (QWidget* field : fields)
        blockers.push_back(std::make_unique<QSignalBlocker>(field));
    mix_->setCurrentIndex(static_cast<int>(voice.mix));
    noise_->setValue(voice.noisePeriod);
    volume_->setValue(voice.volume);
    envelope_->setChecked(voice.envelope);
    shape_->setCurrentIndex(voice.envelopeShape);
    period_->setValue(voice.envelopePeriod);
    follows_->setChecked(voice.envelopeFollowsNote);
    sequence_->setText(sequenceText(voice.sequence));
    loop_->setValue(voice.loopStep);
    release_->setValue(voice.releaseStep);
    showWhatApplies();
    problem_->setText(instrument.kind == InstrumentKind::SsgVoice
                          ? QString()
                          : QStringLiteral("Not an SSG voice yet: an edit makes it one"));
}

void SsgEditor::showWhatApplies() {
    // The noise period with a noise mix, the envelope's fields with the envelope on.
    noise_->setEnabled(mix_->currentIndex() != static_cast<int>(SsgMix::Tone));
    for (QWidget* field : {static_cast<QWidget*>(shape_), static_cast<QWidget*>(follows_)})
        field->setEnabled(envelope_->isChecked());
    period_->setEnabled(envelope_->isChecked() && !follows_->isChecked());
}

void SsgEditor::edited() {
    SsgVoice voice;
    voice.mix = static_cast<SsgMix>(mix_->currentIndex());
    voice.noisePeriod = static_cast<std::uint8_t>(noise_->value());
    voice.volume = static_cast<std::uint8_t>(volume_->value());
    voice.envelope = envelope_->isChecked();
    voice.envelopeShape = static_cast<std::uint8_t>(shape_->currentIndex());
    voice.envelopePeriod = static_cast<std::uint16_t>(period_->value());
    voice.envelopeFollowsNote = follows_->isChecked();
    const std::optional<std::vector<std::uint8_t>> steps = parseSequence(sequence_->text());
    if (!steps) {
        problem_->setText(QStringLiteral("The volume sequence takes numbers 0-15"));
        return;
    }
    voice.sequence = *steps;
    voice.loopStep = loop_->value();
    voice.releaseStep = release_->value();
    showWhatApplies();
    const std::string problem = workspace_.setSsgVoice(instrument(), voice);
    problem_->setText(problem.empty() ? QString()
                                      : QStringLiteral("Not kept: %1").arg(fromModelText(problem)));
}

void SsgEditor::playTestNote() {
    workspace_.auditionPart(instrument(), chosenNote(*testNote_));
}

void SsgEditor::releaseTestNote() {
    workspace_.previewKeyUp();
}

}  // namespace qvx::editor
