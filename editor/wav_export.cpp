#include "editor/wav_export.hpp"

#include <QProgressDialog>

#include "editor/text.hpp"
#include "rombuild/compiled_image.hpp"
#include "tools/offline_render.hpp"

namespace qvx::editor {
namespace {

constexpr int kProgressSteps = 1000;

}  // namespace

QString exportWav(QWidget* parent, Prompts& prompts, const Song& song, bool chipAccurate,
                  const QString& title) {
    if (const std::string problem = songProblem(song); !problem.empty()) {
        prompts.message(fromModelText(problem));
        return {};
    }
    const std::optional<WavLength> length = prompts.askWavLength({});
    if (!length) return {};
    const QString path =
        prompts.saveFileName({QStringLiteral("WAV files (*.wav)"), title + QStringLiteral(".wav"),
                              QStringLiteral("wav")});
    if (path.isEmpty()) return {};

    QProgressDialog progress(QStringLiteral("Rendering the song..."), QStringLiteral("Stop"), 0,
                             kProgressSteps, parent);
    progress.setWindowTitle(QStringLiteral("Export WAV"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(300);
    bool stopped = false;
    const Result result = renderSongToWav(
        song, SongLength{length->passes ? length->count : 0, length->seconds}, toPath(path),
        chipAccurate ? qvxsnd::FmModel::Accurate : qvxsnd::FmModel::Documented,
        [&progress](double done) {
            progress.setValue(static_cast<int>(done * kProgressSteps));
            return !progress.wasCanceled();
        },
        &stopped);
    progress.reset();
    if (!result) showFailure(prompts, result);
    return result && !stopped ? path : QString();
}

}  // namespace qvx::editor
