#include "editor/text.hpp"

#include <QComboBox>
#include <QFile>
#include <QSignalBlocker>
#include <QStringDecoder>

#include "editor/services.hpp"

namespace qvx::editor {

QString fromModelText(std::string_view text) {
    const QByteArrayView bytes(text.data(), static_cast<qsizetype>(text.size()));
    QStringDecoder utf8(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    QString decoded = utf8(bytes);
    if (utf8.hasError()) return QString::fromLatin1(bytes);
    return decoded;
}

std::string toModelText(const QString& text) {
    return text.toStdString();
}

std::filesystem::path toPath(const QString& path) {
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

void refillList(QComboBox& box, const std::vector<std::string>& names, int selected) {
    const QSignalBlocker blocker(box);
    box.clear();
    for (const std::string& name : names)
        box.addItem(fromModelText(name));
    box.setCurrentIndex(selected);
}

void showFailure(Prompts& prompts, const Result& result) {
    prompts.message(fromModelText(result.message()), fromModelText(result.detail()));
}

}  // namespace qvx::editor
