#include "editor/wav_export.hpp"

#include <QProgressDialog>
#include <algorithm>

#include "rombuild/compiled_image.hpp"
#include "tools/offline_render.hpp"

namespace qvx::editor {
namespace {

constexpr double kFadeSeconds = 2.0;
constexpr int kProgressSteps = 1000;

}  // namespace

double wavSeconds(const Song& song, const WavLength& length) {
    if (!length.passes) return length.seconds;
    const double pass = static_cast<double>(songTicks(song)) * tickSeconds();
    return std::min(pass * length.count + kFadeSeconds, kMaxRenderSeconds);
}

void exportWav(QWidget* parent, Prompts& prompts, const Song& song, bool chipAccurate) {
    if (const std::string problem = songProblem(song); !problem.empty())
        return prompts.message(QString::fromStdString(problem));
    const std::optional<WavLength> length = prompts.askWavLength({});
    if (!length) return;
    const QString path =
        prompts.saveFileName({QStringLiteral("WAV files (*.wav)"), {}, QStringLiteral("wav")});
    if (path.isEmpty()) return;

    QProgressDialog progress(QStringLiteral("Rendering the song..."), QStringLiteral("Stop"), 0,
                             kProgressSteps, parent);
    progress.setWindowTitle(QStringLiteral("Export WAV"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(300);
    const Result result =
        renderSongToWav(song, wavSeconds(song, *length), std::filesystem::path(path.toStdString()),
                        chipAccurate ? qvxsnd::FmModel::Accurate : qvxsnd::FmModel::Documented,
                        [&progress](double done) {
                            progress.setValue(static_cast<int>(done * kProgressSteps));
                            return !progress.wasCanceled();
                        });
    progress.reset();
    if (!result) prompts.message(QString::fromStdString(result.message()));
}

}  // namespace qvx::editor
