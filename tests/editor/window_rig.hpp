// A main window on a fake user and a fake sound library, made fresh for each test function.
#pragma once

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "editor/main_window.hpp"
#include "editor/pattern_view.hpp"
#include "tests/editor/editor_fakes.hpp"

namespace qvx::editor::testing {

class WindowRig {
  protected:
    using Calls = std::vector<std::string>;

    // For initTestCase: the profile the window reads, and a folder for the test's files.
    static void nameApplication() {
        QCoreApplication::setOrganizationName(QStringLiteral("Tessalwerk"));
        QCoreApplication::setApplicationName(QStringLiteral("QVXTracker"));
    }
    // For init: a clean profile, new fakes, a new window.
    void makeWindow() {
        QSettings().clear();
        sound_ = std::make_unique<FakeSound>();
        prompts_ = std::make_unique<FakePrompts>();
        window_ = std::make_unique<MainWindow>(*sound_, *prompts_);
    }
    // For cleanup. Closing must not ask: no test leaves changes it wants kept.
    void dropWindow() {
        window_->workspace().newProject();
        window_.reset();
    }

    // Shortcuts need the window shown and active, and keys reach the pattern editor.
    void showAndActivate() {
        window_->show();
        QApplication::setActiveWindow(window_.get());
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
        window_->patternView()->setFocus();
    }

    MainWindow& window() { return *window_; }
    Workspace& ws() { return window_->workspace(); }
    FakePrompts& prompts() { return *prompts_; }
    Calls& calls() { return sound_->calls; }
    QAction* action(const char* name) {
        auto* a = window_->findChild<QAction*>(QLatin1String(name));
        if (!a) qFatal("no action %s", name);
        return a;
    }
    QString file(const char* name) { return files_.filePath(QLatin1String(name)); }
    bool haveFolder() const { return files_.isValid(); }

    std::unique_ptr<FakeSound> sound_;
    std::unique_ptr<FakePrompts> prompts_;
    std::unique_ptr<MainWindow> window_;
    QTemporaryDir files_;
};

}  // namespace qvx::editor::testing
