#include "editor/instrument_editor.hpp"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

#include "editor/preset_panel.hpp"
#include "editor/text.hpp"
#include "editor/voice_pictures.hpp"

namespace qvx::editor {
namespace {

constexpr int kRows = 9;
constexpr int kAuditionMs = 700;  // how long a preset's C sounds when no test key is held
const std::array<const char*, kRows> kRowNames = {"Detune",    "Multiple",  "Total Level",
                                                  "Key Scale", "Attack",    "Decay",
                                                  "Sustain",   "Sus Level", "Release"};
const std::array<const char*, kRows> kRanges = {"(0 - 7)",  "(0 - 15)", "(0 - 127)",
                                                "(0 -  3)", "(0 - 31)", "(0 - 31)",
                                                "(0 - 31)", "(0 - 15)", "(0 - 15)"};

// The fields take any byte, as the stored values can hold more than a field models; storing
// cuts each to its bits.
QSpinBox* field(QWidget* parent) {
    auto* box = new QSpinBox(parent);
    box->setRange(0, 255);
    box->setAccelerated(true);
    box->setMinimumWidth(56);
    return box;
}

int& slotValue(VoiceFields::Slot& slot, int row) {
    switch (row) {
        case 0:
            return slot.detune;
        case 1:
            return slot.multiple;
        case 2:
            return slot.totalLevel;
        case 3:
            return slot.keyScale;
        case 4:
            return slot.attack;
        case 5:
            return slot.decay;
        case 6:
            return slot.sustain;
        case 7:
            return slot.susLevel;
        default:
            return slot.release;
    }
}

}  // namespace

// ---- Test keyboard -----------------------------------------------------------------------------

TestKeyboard::TestKeyboard(QWidget* parent) : QWidget(parent) {
    setFixedSize(test_keyboard::kWidth, test_keyboard::kHeight);
    setCursor(Qt::PointingHandCursor);
    setToolTip(QStringLiteral("Click a key to hear the voice; Mute stops it"));
}

QSize TestKeyboard::sizeHint() const {
    return {test_keyboard::kWidth, test_keyboard::kHeight};
}

void TestKeyboard::paintEvent(QPaintEvent*) {
    using namespace test_keyboard;
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.setPen(QColor(60, 60, 60));
    for (int k = 0; k <= 7; ++k) {
        const int x = std::min(k * kWhiteKeyWidth, kWidth - 1);
        painter.drawLine(x, 0, x, kHeight - 1);
    }
    painter.drawLine(0, 0, kWidth - 1, 0);
    painter.drawLine(0, kHeight - 1, kWidth - 1, kHeight - 1);
    for (const BlackKey& key : kBlackKeys)
        painter.fillRect(key.left, 0, key.right - key.left + 1, kBlackKeyHeight,
                         QColor(25, 25, 25));
}

void TestKeyboard::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const QPoint at = event->position().toPoint();
    emit clicked(at.x(), at.y());
}

// ---- The window --------------------------------------------------------------------------------

InstrumentEditor::InstrumentEditor(Workspace& workspace, Prompts& prompts, QWidget* parent)
    : ToolWindow(QStringLiteral("Instrument Editor"), parent),
      workspace_(workspace),
      prompts_(prompts),
      editing_(workspace, [this](std::string_view question) {
          return prompts_.yesNo(QString::fromUtf8(question.data(), qsizetype(question.size())));
      }) {
    setObjectName(QStringLiteral("instrumentEditor"));
    buildLayout();
    refillList();
    showFields();
    connect(this, &ToolWindow::shownChanged, this, [this](bool) {
        editing_.shownOrHidden();
        refillList();
    });
}

void InstrumentEditor::buildLayout() {
    auto* top = new QHBoxLayout;
    list_ = new QComboBox(this);
    list_->setObjectName(QStringLiteral("instrumentList"));
    list_->setMinimumContentsLength(18);
    list_->setMaxVisibleItems(kInstrumentCount);
    connect(list_, &QComboBox::activated, this, &InstrumentEditor::chosen);
    top->addWidget(list_, 1);
    const auto button = [this](const QString& text, const char* name,
                               void (InstrumentEditor::*slot)()) {
        return ToolWindow::button(text, name, [this, slot] { (this->*slot)(); });
    };
    top->addWidget(button(QStringLiteral("&Rename"), "rename", &InstrumentEditor::rename));
    top->addWidget(button(QStringLiteral("&Load"), "load", &InstrumentEditor::load));
    top->addWidget(button(QStringLiteral("&Save"), "save", &InstrumentEditor::save));

    // Instrument Settings: Connection and Feedback, then the four slots side by side with the
    // row names at the left and the ranges at the right. Each slot's group box lies behind its
    // column of the one grid, so the rows line up across the slots and their labels.
    auto* settings = new QGroupBox(QStringLiteral("Instrument Settings"), this);
    auto* grid = new QGridLayout(settings);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(3);
    connection_ = field(settings);
    connection_->setObjectName(QStringLiteral("connection"));
    feedback_ = field(settings);
    feedback_->setObjectName(QStringLiteral("feedback"));
    auto* voiceRow = new QHBoxLayout;
    voiceRow->addWidget(new QLabel(QStringLiteral("Connection"), settings));
    voiceRow->addWidget(connection_);
    voiceRow->addSpacing(16);
    voiceRow->addWidget(new QLabel(QStringLiteral("Feedback"), settings));
    voiceRow->addWidget(feedback_);
    voiceRow->addWidget(new QLabel(QStringLiteral("(0 - 7)"), settings));
    voiceRow->addStretch(1);
    grid->addLayout(voiceRow, 0, 0, 1, 6);
    constexpr int kFirstRow = 2;  // row 1 holds the slots' titles
    for (int k = 0; k < VoiceFields::kSlots; ++k) {
        auto* box = new QGroupBox(QStringLiteral("Slot %1").arg(k + 1), settings);
        grid->addWidget(box, 1, 1 + k, kRows + 2, 1);
        for (int r = 0; r < kRows; ++r) {
            QSpinBox* f = field(settings);
            f->setObjectName(QStringLiteral("slot%1_%2").arg(k + 1).arg(r));
            slotFields_[k][r] = f;
            grid->addWidget(f, kFirstRow + r, 1 + k, Qt::AlignHCenter);
        }
    }
    for (int r = 0; r < kRows; ++r) {
        grid->addWidget(new QLabel(QLatin1String(kRowNames[r]), settings), kFirstRow + r, 0);
        grid->addWidget(new QLabel(QLatin1String(kRanges[r]), settings), kFirstRow + r, 5);
    }
    grid->setRowMinimumHeight(1, 14);
    grid->setRowMinimumHeight(kFirstRow + kRows, 4);
    for (QSpinBox* f : findChildren<QSpinBox*>())
        connect(f, &QSpinBox::valueChanged, this, &InstrumentEditor::fieldEdited);

    // Test, and the buttons beside it.
    auto* test = new QGroupBox(QStringLiteral("Test"), this);
    auto* testRow = new QHBoxLayout(test);
    keyboard_ = new TestKeyboard(test);
    keyboard_->setObjectName(QStringLiteral("testKeyboard"));
    connect(keyboard_, &TestKeyboard::clicked, this,
            [this](int x, int y) { editing_.testKey(x, y); });
    testRow->addWidget(keyboard_);
    auto* octaveColumn = new QVBoxLayout;
    octaveColumn->addWidget(new QLabel(QStringLiteral("Octave"), test));
    octave_ = new QSpinBox(test);
    octave_->setObjectName(QStringLiteral("testOctave"));
    octave_->setRange(0, kMaxOctave);
    octave_->setValue(editing_.octave());
    connect(octave_, &QSpinBox::valueChanged, this, [this](int v) {
        editing_.setOctave(v);
        showPictures();
    });
    octaveColumn->addWidget(octave_);
    testRow->addLayout(octaveColumn);
    auto* mute = new QPushButton(QStringLiteral("&Mute"), test);
    mute->setObjectName(QStringLiteral("mute"));
    mute->setAutoDefault(false);
    connect(mute, &QPushButton::clicked, this, [this] { editing_.mute(); });
    testRow->addWidget(mute, 0, Qt::AlignBottom);

    auto* actions = new QGridLayout;
    actions->addWidget(
        button(QStringLiteral("Cl&ear Settings"), "clear", &InstrumentEditor::clearSettings), 0, 0);
    actions->addWidget(
        button(QStringLiteral("S&tore Settings"), "store", &InstrumentEditor::storeSettings), 1, 0);
    actions->addWidget(
        button(QStringLiteral("&Close Window"), "closeWindow", &InstrumentEditor::closeWindow), 1,
        1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(test);
    bottom->addLayout(actions);
    bottom->addStretch(1);

    // The fields with the test keyboard below them, the pictures, the presets.
    auto* fields = new QVBoxLayout;
    fields->addWidget(settings);
    fields->addLayout(bottom);
    fields->addStretch(1);
    auto* middle = new QHBoxLayout;
    middle->addLayout(fields);
    middle->addWidget(buildPictures());
    presets_ = new PresetPanel(shippedPresets(), this);
    presets_->setMinimumWidth(190);
    connect(presets_, &PresetPanel::auditioned, this, &InstrumentEditor::audition);
    connect(presets_, &PresetPanel::used, this, &InstrumentEditor::usePreset);
    auto* presetBox = new QGroupBox(QStringLiteral("Presets"), this);
    (new QVBoxLayout(presetBox))->addWidget(presets_);
    middle->addWidget(presetBox);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(middle);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QWidget* InstrumentEditor::buildPictures() {
    auto* pictures = new QWidget(this);
    auto* column = new QVBoxLayout(pictures);
    column->setContentsMargins(0, 0, 0, 0);
    auto* wiring = new QGroupBox(QStringLiteral("Connection"), pictures);
    algorithm_ = new AlgorithmView(wiring);
    algorithm_->setObjectName(QStringLiteral("algorithmView"));
    (new QVBoxLayout(wiring))->addWidget(algorithm_);
    auto* envelopes = new QGroupBox(QStringLiteral("Envelopes"), pictures);
    envelopes_ = new EnvelopeView(envelopes);
    envelopes_->setObjectName(QStringLiteral("envelopeView"));
    (new QVBoxLayout(envelopes))->addWidget(envelopes_);
    column->addWidget(wiring);
    column->addWidget(envelopes, 1);
    return pictures;
}

void InstrumentEditor::showPictures() {
    const VoiceFields& f = editing_.fields();
    algorithm_->setVoice(f.connection, f.feedback);
    envelopes_->setVoice(f.encode(), editing_.octave());
}

void InstrumentEditor::audition(const PresetEntry& preset) {
    if (editing_.audition(preset.registers))
        QTimer::singleShot(kAuditionMs, this, [this] { editing_.endAudition(); });
}

void InstrumentEditor::usePreset(const PresetEntry& preset) {
    const Result result = editing_.load(preset.path);
    if (!result) return showFailure(prompts_, result);
    refillList();
    showFields();
}

void InstrumentEditor::loadPreset(int index, const std::filesystem::path& path) {
    selectInstrument(index);
    const Result result = editing_.load(path);
    if (!result) return showFailure(prompts_, result);
    refillList();
    showFields();
}

void InstrumentEditor::refillList() {
    editor::refillList(*list_, workspace_.voiceListEntries(), editing_.currentIndex());
}

void InstrumentEditor::instrumentsChanged() {
    refillList();
}

void InstrumentEditor::showFields() {
    const VoiceFields& f = editing_.fields();
    std::vector<QSignalBlocker> blockers;
    for (QSpinBox* box : findChildren<QSpinBox*>())
        blockers.emplace_back(box);
    connection_->setValue(f.connection);
    feedback_->setValue(f.feedback);
    for (int k = 0; k < VoiceFields::kSlots; ++k) {
        VoiceFields::Slot slot = f.slot[k];
        for (int r = 0; r < kRows; ++r)
            slotFields_[k][r]->setValue(slotValue(slot, r));
    }
    octave_->setValue(editing_.octave());
    showPictures();
}

void InstrumentEditor::fieldEdited() {
    VoiceFields f;
    f.connection = connection_->value();
    f.feedback = feedback_->value();
    for (int k = 0; k < VoiceFields::kSlots; ++k)
        for (int r = 0; r < kRows; ++r)
            slotValue(f.slot[k], r) = slotFields_[k][r]->value();
    editing_.setFields(f);
    showPictures();
}

void InstrumentEditor::selectInstrument(int index) {
    editing_.select(index);
    refillList();
    showFields();
}

void InstrumentEditor::chosen(int index) {
    editing_.choose(index);
    refillList();
    showFields();
}

void InstrumentEditor::rename() {
    const QString current =
        fromModelText(workspace_.song().instrumentUserName(editing_.currentInstrument()));
    const std::optional<QString> text =
        prompts_.askText(QStringLiteral("Rename Instrument"), current);
    if (!text) return;
    editing_.rename(toModelText(*text));
    refillList();
}

void InstrumentEditor::load() {
    const QString path = prompts_.openFileName(
        {QStringLiteral("Supported Instrument Files (*.ins *.y12);;Instrument Files (*.ins);;"
                        "Y12 Gens Kmod dump (*.y12)"),
         {},
         QStringLiteral("ins")});
    if (path.isEmpty()) return;
    const Result result = editing_.load(std::filesystem::path(path.toStdString()));
    if (!result) return showFailure(prompts_, result);
    refillList();
    showFields();
}

void InstrumentEditor::save() {
    editing_.store();
    const QString path =
        prompts_.saveFileName({QStringLiteral("Instrument Files (*.ins)"),
                               fromModelText(editing_.proposedSaveName()), QStringLiteral("ins")});
    if (path.isEmpty()) return;
    const Result result = editing_.save(std::filesystem::path(path.toStdString()));
    if (!result) showFailure(prompts_, result);
}

void InstrumentEditor::storeSettings() {
    editing_.store();
}

void InstrumentEditor::clearSettings() {
    editing_.clear();
    showFields();
}

void InstrumentEditor::closeWindow() {
    editing_.closing();
    hide();
}

}  // namespace qvx::editor
