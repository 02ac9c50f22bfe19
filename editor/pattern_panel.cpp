#include "editor/pattern_panel.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "editor/text.hpp"
#include "song/workspace.hpp"

namespace qvx::editor {

QPushButton* PatternPanel::button(const QString& text, const char* name,
                                  void (PatternPanel::*slot)()) {
    auto* b = new QPushButton(text, this);
    b->setObjectName(QLatin1String(name));
    b->setFocusPolicy(Qt::NoFocus);
    connect(b, &QPushButton::clicked, this, [this, slot] {
        (this->*slot)();
        emit done();
    });
    return b;
}

PatternPanel::PatternPanel(Workspace& workspace, QWidget* parent)
    : QWidget(parent), workspace_(workspace) {
    setObjectName(QStringLiteral("patternPanel"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(4, 4, 4, 4);
    column->setSpacing(4);

    auto* patternLabel = new QLabel(QStringLiteral("Pattern"), this);
    patternLabel->setAlignment(Qt::AlignCenter);
    column->addWidget(patternLabel);

    auto* selector = new QHBoxLayout;
    selector->addWidget(button(QStringLiteral("<"), "previousPattern", &PatternPanel::previous));
    number_ = new QLabel(this);
    number_->setObjectName(QStringLiteral("patternNumber"));
    number_->setAlignment(Qt::AlignCenter);
    number_->setMinimumWidth(24);
    selector->addWidget(number_);
    selector->addWidget(button(QStringLiteral(">"), "nextPattern", &PatternPanel::next));
    column->addLayout(selector);

    name_ = new QLineEdit(this);
    name_->setObjectName(QStringLiteral("patternName"));
    column->addWidget(name_);
    column->addWidget(button(QStringLiteral("Rename"), "renamePattern", &PatternPanel::rename));
    column->addWidget(button(QStringLiteral("New"), "newPattern", &PatternPanel::newPattern));

    column->addSpacing(10);
    auto* songLabel = new QLabel(QStringLiteral("Song"), this);
    songLabel->setAlignment(Qt::AlignCenter);
    column->addWidget(songLabel);
    order_ = new QListWidget(this);
    order_->setObjectName(QStringLiteral("orderList"));
    order_->setSortingEnabled(false);
    order_->setSelectionMode(QAbstractItemView::SingleSelection);
    column->addWidget(order_, 1);
    // The user's choice only: showing the list must not change the current pattern.
    connect(order_, &QListWidget::currentRowChanged, this,
            [this](int row) { workspace_.selectOrder(row); });
    column->addWidget(button(QStringLiteral("New"), "appendOrder", &PatternPanel::appendOrder));
    column->addWidget(button(QStringLiteral("Insert"), "insertOrder", &PatternPanel::insertOrder));
    column->addWidget(button(QStringLiteral("Update"), "updateOrder", &PatternPanel::updateOrder));
    column->addWidget(button(QStringLiteral("Delete"), "deleteOrder", &PatternPanel::deleteOrder));

    setFixedWidth(96);
    showPattern();
    showOrder();
}

void PatternPanel::showPattern() {
    number_->setText(QString::fromStdString(workspace_.patternNumberText()));
    name_->setText(fromModelText(workspace_.currentPatternName()));
}

void PatternPanel::showOrder() {
    const QSignalBlocker blocker(order_);
    const std::vector<std::string> entries = workspace_.orderEntryTexts();
    if (order_->count() != static_cast<int>(entries.size())) {
        order_->clear();
        for (const std::string& entry : entries)
            order_->addItem(QString::fromStdString(entry));
    } else {
        for (int k = 0; k < order_->count(); ++k)
            order_->item(k)->setText(QString::fromStdString(entries[static_cast<std::size_t>(k)]));
    }
    order_->setCurrentRow(workspace_.orderSelection());
    if (QListWidgetItem* selected = order_->currentItem()) order_->scrollToItem(selected);
}

void PatternPanel::previous() {
    workspace_.previousPattern();
}

void PatternPanel::next() {
    workspace_.nextPattern();
}

void PatternPanel::rename() {
    workspace_.renameCurrentPattern(toModelText(name_->text()));
}

void PatternPanel::newPattern() {
    workspace_.newPattern();
}

void PatternPanel::appendOrder() {
    workspace_.appendOrder();
}

void PatternPanel::insertOrder() {
    workspace_.insertOrder();
}

void PatternPanel::updateOrder() {
    workspace_.updateOrder();
}

void PatternPanel::deleteOrder() {
    workspace_.deleteOrder();
}

}  // namespace qvx::editor
