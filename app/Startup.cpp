#include "app/Startup.h"

#include <chrono>
#include <cstdio>
#include <memory>

#include <QEvent>
#include <QTimer>

#include "app/AppTitle.h"
#include "app/EventGuard.h"
#include "app/MessageBoxes.h"
#include "base/Exceptions.h"
#include "resources/Glyphs.h"
#include "ui/About.h"
#include "ui/Help.h"
#include "ui/HintStyle.h"
#include "ui/Main.h"

namespace tlc {

TfmMain* fmMain = nullptr;
TfmAbout* fmAbout = nullptr;
TfmHelp* fmHelp = nullptr;

namespace {

// Hooks for the scripts that take the README's screenshot and time the
// start-up; the program itself needs neither.
class ScriptHooks : public QObject {
public:
    explicit ScriptHooks(TfmMain& window) : window_(window) {
        probe_ = qEnvironmentVariableIsSet("TLC_STARTUP_PROBE");
        picture_ = qEnvironmentVariable("TLC_SCREENSHOT_PICTURE");
        output_ = qEnvironmentVariable("TLC_SCREENSHOT_FILE");
        if (probe_ || (!picture_.isEmpty() && !output_.isEmpty())) window_.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &window_ && event->type() == QEvent::Paint && !done_) {
            done_ = true;
            QTimer::singleShot(0, this, [this] { Run(); });
        }
        return false;
    }

private:
    void Run() {
        if (probe_) {
            const auto now = std::chrono::system_clock::now().time_since_epoch();
            std::printf("shown %lld\n",
                        static_cast<long long>(
                            std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()));
            std::fflush(stdout);
            window_.close();
            return;
        }
        RunGuarded([this] { window_.LoadPicture(picture_); });
        QTimer::singleShot(300, this, [this] {
            window_.grab().save(output_);
            window_.close();
        });
    }

    TfmMain& window_;
    bool probe_ = false;
    bool done_ = false;
    QString picture_;
    QString output_;
};

} // namespace

int RunStartup(const std::function<void()>& createWindows, const std::function<void()>& runLoop) {
    try {
        createWindows();
        runLoop();
    } catch (const Exception& e) {
        ReportException(e);
    } catch (...) {
        // Something outside the family: shown as an Exception with no text.
        try {
            throw Exception("");
        } catch (const Exception& e) {
            ReportException(e);
        }
    }
    return 0;
}

int RunConverter(int& argc, char** argv) {
    // Without any display Qt would abort; say why and end normally instead.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        std::fprintf(stderr, "%s: no display to show the windows on.\n", kApplicationTitle);
        return 0;
    }
    // The command line is not read; Qt gets an empty one.
    int qtArgc = argc > 0 ? 1 : 0;
    TApplication app(qtArgc, argv);
    std::unique_ptr<TfmMain> main;
    std::unique_ptr<TfmAbout> about;
    std::unique_ptr<TfmHelp> help;
    std::unique_ptr<ScriptHooks> hooks;
    const int code = RunStartup(
        [&] {
            QApplication::setApplicationDisplayName(QString::fromUtf8(kApplicationTitle));
            QApplication::setWindowIcon(ApplicationIcon());
            QApplication::setStyle(new THintStyle);
            QApplication::setQuitOnLastWindowClosed(false);

            main = std::make_unique<TfmMain>();
            fmMain = main.get();
            QObject::connect(fmMain, &TfmMain::Closed, &app, &QCoreApplication::quit,
                             Qt::QueuedConnection);
            about = std::make_unique<TfmAbout>();
            fmAbout = about.get();
            help = std::make_unique<TfmHelp>();
            fmHelp = help.get();
            // Both are first shown centred over the main window.
            fmAbout->SetMainWindow(fmMain);
            fmHelp->SetMainWindow(fmMain);
            fmMain->SetAboutWindow(fmAbout);
            fmMain->SetHelpWindow(fmHelp);
            hooks = std::make_unique<ScriptHooks>(*fmMain);
        },
        [&] {
            fmMain->show();
            QApplication::exec();
        });
    hooks.reset();
    fmHelp = nullptr;
    fmAbout = nullptr;
    fmMain = nullptr;
    help.reset();
    about.reset();
    main.reset();
    return code;
}

} // namespace tlc
