// The ROM Maker's wiring: the folder tree, Add and Remove with their messages, the two lists,
// the figures, Make ROMS through injected file names, Preview on a fake sound library, and the
// M1 padding setting.
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "editor/rom_maker_window.hpp"
#include "song/song_file.hpp"
#include "tests/editor/window_rig.hpp"
#include "tests/support/damaged_sounds.hpp"
#include "tests/support/sound_files.hpp"
#include "tests/support/temp_dir.hpp"
#include "tests/support/wav_files.hpp"

namespace qvx::editor {
namespace {

class RomMakerTest : public QObject, testing::WindowRig {
    Q_OBJECT

  private:
    RomMakerWindow& maker() { return *window_->romMaker(); }
    void click(const char* button) {
        maker().findChild<QPushButton*>(QLatin1String(button))->click();
    }
    void addFile(const char* name) {
        QVERIFY(maker().tree()->selectPath(file(name)));
        click("add");
    }
    bool exists(const char* name) { return QFileInfo::exists(file(name)); }

  private slots:
    void initTestCase() {
        nameApplication();
        QVERIFY(haveFolder());
        // The folder the program starts in: songs, samples and other files in any case.
        Song song;  // one pattern, one instrument: 1192 bytes of M1
        QVERIFY(saveSong(song, file("Intro.MUS").toStdString()));
        song.patternCount = kMaxPatterns;  // more than the M1 holds
        QVERIFY(saveSong(song, file("huge.mus").toStdString()));
        QVERIFY(qvx::testing::writeBytes(
            file("b.wav").toStdString(),
            qvx::testing::monoWav(std::vector<std::int16_t>(2000, 500))));  // 1000 bytes of V1
        QVERIFY(qvx::testing::writeBytes(file("notes.txt").toStdString(), {}));
        for (const char* folder : {"beta", "Alpha", ".hidden"})
            QVERIFY(QDir(file("")).mkdir(QLatin1String(folder)));
        QVERIFY(QDir::setCurrent(file("")));
    }
    void init() { makeWindow(); }
    void cleanup() { dropWindow(); }

    void theTreeShowsATypedFolderWithSongsAndSamplesOnly() {
        FolderTree* tree = maker().tree();
        QCOMPARE(tree->selectedPath(), QDir::homePath());  // nothing remembered yet
        QLineEdit* path = maker().folders()->pathField();
        path->setText(file("nowhere"));
        QTest::keyClick(path, Qt::Key_Return);
        QCOMPARE(tree->selectedPath(), QDir::homePath());
        path->setText(file(""));
        QTest::keyClick(path, Qt::Key_Return);
        QCOMPARE(tree->selectedPath(), QDir(file("")).absolutePath());
        // Indexes move while the folder fills in the background: ask for the current one anew.
        QTRY_COMPARE(tree->model()->rowCount(tree->currentIndex()), 6);
        const QModelIndex folder = tree->currentIndex();
        QStringList names;
        for (int row = 0; row < 6; ++row)
            names << tree->model()->index(row, 0, folder).data().toString();
        QCOMPARE(names,
                 (QStringList{".hidden", "Alpha", "beta", "b.wav", "huge.mus", "Intro.MUS"}));
        QCOMPARE(maker().m1Figure()->text(), QStringLiteral("61711"));
        QCOMPARE(maker().v1Figure()->text(), QStringLiteral("524288"));

        // The next ROM Maker opens where this one was left.
        QVERIFY(tree->selectPath(file("Alpha")));
        window_ = std::make_unique<MainWindow>(*sound_, *prompts_);
        QCOMPARE(maker().tree()->selectedPath(), QDir(file("Alpha")).absolutePath());
        QCOMPARE(maker().folders()->pathField()->text(), QDir(file("Alpha")).absolutePath());
    }

    // Files that once crashed the editor with the tool are refused with their reason.
    void damagedSoundFilesAreRefusedWithAMessage() {
        const std::vector<qvx::testing::DamagedSound> damaged =
            qvx::testing::writeDamagedSounds(file("").toStdString());
        QVERIFY(!damaged.empty());
        for (const char* name : {"one-frame.wav", "nan.wav"})
            addFile(name);
        QCOMPARE(maker().sampleList()->topLevelItemCount(), 0);
        QCOMPARE(prompts().messages, (QStringList{QString::fromStdString(damaged[0].message),
                                                  QString::fromStdString(damaged[3].message)}));
    }

    void addRemoveAndOneSelection() {
        click("add");  // the folder is selected
        maker().tree()->clearSelection();
        click("add");
        click("remove");
        QCOMPARE(
            prompts().messages,
            (QStringList{"You Must Select a MUS or WAV File", "You Must Select a MUS or WAV File",
                         "You Must Select Either a Music or Sample File to Remove"}));

        addFile("Intro.MUS");
        addFile("Intro.MUS");
        addFile("b.wav");
        QCOMPARE(maker().songList()->topLevelItemCount(), 2);
        QCOMPARE(maker().songList()->topLevelItem(1)->text(1), QStringLiteral("0x82"));
        QCOMPARE(maker().songList()->topLevelItem(1)->text(2), QStringLiteral("1192"));
        QCOMPARE(maker().sampleList()->topLevelItem(0)->text(3), QStringLiteral("0.11 s"));
        QCOMPARE(maker().m1Figure()->text(), QStringLiteral("59327"));
        QCOMPARE(maker().v1Figure()->text(), QStringLiteral("523288"));

        maker().songList()->topLevelItem(0)->setSelected(true);
        maker().sampleList()->topLevelItem(0)->setSelected(true);
        QVERIFY(maker().songList()->selectedItems().isEmpty());
        maker().songList()->topLevelItem(1)->setSelected(true);
        QVERIFY(maker().sampleList()->selectedItems().isEmpty());
        click("remove");
        QCOMPARE(maker().songList()->topLevelItemCount(), 1);
        QCOMPARE(maker().sampleList()->topLevelItemCount(), 1);

        // A double click adds too; a file the reader refuses is not listed.
        addFile("huge.mus");
        QVERIFY(maker().m1Figure()->text().startsWith(QLatin1Char('-')));
        QVERIFY(maker().tree()->selectPath(file("b.wav")));
        emit maker().tree()->doubleClicked(maker().tree()->currentIndex());
        QCOMPARE(maker().sampleList()->topLevelItemCount(), 2);
        QCOMPARE(prompts().messages.size(), 3);
    }

    void makeRomsWritesWhatIsChosenAndNothingThatDoesNotFit() {
        addFile("Intro.MUS");
        addFile("b.wav");
        prompts().fileNames = {file("202-v1.bin"), file("202-m1.bin"), file("sound.h")};
        click("makeRoms");
        QCOMPARE(prompts().requests.size(), 3u);
        QCOMPARE(prompts().requests[0].title, QStringLiteral("Save the V1 ROM as"));
        QCOMPARE(prompts().requests[1].title, QStringLiteral("Save the M1 ROM as"));
        QCOMPARE(prompts().requests[2].title, QStringLiteral("Save the command header as"));
        QCOMPARE(prompts().requests[0].defaultName, QStringLiteral("202-v1"));
        QCOMPARE(prompts().requests[1].filter, QStringLiteral("ROM files (*.bin)"));
        QCOMPARE(prompts().requests[2].defaultName, QStringLiteral("sound.h"));
        QCOMPARE(prompts().requests[2].filter, QStringLiteral("C Header Files (*.h)"));
        QCOMPARE(QFileInfo(file("202-v1.bin")).size(), 1024);
        QCOMPARE(QFileInfo(file("202-m1.bin")).size(), 1777 + 1192);
        QVERIFY(exists("sound.h"));
        QCOMPARE(maker().buildReport()->text(),
                 QStringLiteral("Wrote 202-v1.bin (1024 bytes), 202-m1.bin (2969 bytes), "
                                "sound.h (300 bytes)."));

        // A cancelled question writes nothing, and the last report goes.
        prompts().fileNames = {file("v1-b.bin"), QString(), file("sound-b.h")};
        click("makeRoms");
        QVERIFY(!exists("v1-b.bin") && !exists("sound-b.h"));
        QCOMPARE(maker().buildReport()->text(), QString());

        // Lists that do not fit are refused before any file is asked for.
        addFile("huge.mus");
        prompts().requests.clear();
        prompts().fileNames = {file("v1-c.bin"), file("m1-c.bin"), file("sound-c.h")};
        click("makeRoms");
        QVERIFY(prompts().requests.empty());
        QVERIFY(prompts().messages.last().startsWith(QStringLiteral("The songs take 66896 bytes")));
        QVERIFY(!exists("v1-c.bin") && !exists("m1-c.bin") && !exists("sound-c.h"));
    }

    void previewPlaysTheBuiltRomsAndSendsCommands() {
        addFile("b.wav");
        addFile("Intro.MUS");
        ws().previewVoice(VoiceBytes{}, false);
        calls().clear();
        click("preview");
        QCOMPARE(calls(), (Calls{"playRoms 2969 1024", "sendCommand 129"}));
        QVERIFY(!ws().channel1Voice());  // the next test note loads its voice again
        QComboBox* commands = maker().commandList();
        QCOMPARE(commands->count(), 4);
        QCOMPARE(commands->itemText(2), QStringLiteral("0x04  SOUND_ADPCM_B"));
        commands->setCurrentIndex(2);
        click("send");
        click("stop");
        QCOMPARE(calls().back(), std::string("sendCommand 127"));  // the samples stop too
        QCOMPARE(calls()[calls().size() - 2], std::string("sendCommand 255"));
        QCOMPARE(calls()[calls().size() - 3], std::string("sendCommand 4"));
        addFile("b.wav");  // the preview no longer matches the lists
        QCOMPARE(commands->count(), 0);
    }

    // A FLAC file is converted and says from what; Play sends a sample alone to the board, as
    // the chip will play it from the V1.
    void aFlacIsConvertedAndASampleIsHeardBeforeTheBuild() {
        QVERIFY(qvx::testing::writeSoundFile(file("drum.flac").toStdString(),
                                             SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 44100, 2, 0.1));
        addFile("drum.flac");
        QCOMPARE(maker().sampleList()->topLevelItem(0)->text(4),
                 QStringLiteral("44100 Hz stereo 24-bit"));
        calls().clear();
        maker().sampleList()->topLevelItem(0)->setSelected(true);
        click("playSample");
        QCOMPARE(calls(), (Calls{"playRoms 1777 1024", "sendCommand 4"}));
        QVERIFY(maker().tree()->selectPath(file("b.wav")));  // a file of the tree, not added
        maker().sampleList()->clearSelection();
        calls().clear();
        click("playSample");
        QCOMPARE(calls(), (Calls{"playRoms 1777 1024", "sendCommand 4"}));
    }

    void theM1PaddingIsRemembered() {
        maker().padM1Box()->setChecked(true);
        maker().padM1Size()->setCurrentIndex(1);
        QCOMPARE(QSettings().value(QStringLiteral("RomMaker/PadM1")).toInt(), 131072);
        window_ = std::make_unique<MainWindow>(*sound_, *prompts_);
        QVERIFY(maker().padM1Box()->isChecked());
        addFile("Intro.MUS");
        prompts().fileNames = {file("padded-v1.bin"), file("padded.bin"), file("padded.h")};
        click("makeRoms");
        QCOMPARE(QFileInfo(file("padded.bin")).size(), 131072);

        // Empty lists build nothing and ask for no file.
        maker().songList()->topLevelItem(0)->setSelected(true);
        click("remove");
        prompts().requests.clear();
        click("makeRoms");
        QVERIFY(prompts().requests.empty());
        QCOMPARE(prompts().messages.last(), QString::fromUtf8(kNothingToBuild.data()));
    }
};

}  // namespace
}  // namespace qvx::editor

QTEST_MAIN(qvx::editor::RomMakerTest)
#include "rom_maker_test.moc"
