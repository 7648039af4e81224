#include "app/Startup.h"

#include <cstdio>
#include <memory>

#include <QFile>
#include <QTimer>

#include "app/DisplayProbe.h"
#include "base/Exceptions.h"
#include "resources/Glyphs.h"
#include "ui/About.h"
#include "ui/AppTitle.h"
#include "ui/EventGuard.h"
#include "ui/Help.h"
#include "ui/HintStyle.h"
#include "ui/Main.h"
#include "ui/MessageBoxes.h"

namespace tlc {

TfmMain* fmMain = nullptr;
TfmAbout* fmAbout = nullptr;
TfmHelp* fmHelp = nullptr;

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

int RunConverter(int& argc, char** argv, const std::function<void(TfmMain&)>& afterCreate) {
    // Without a display it can reach Qt would abort; say why and end
    // normally instead.
    TDisplayProbe display;
    if (!display.Problem().empty()) {
        std::fprintf(stderr, "%s: %s\n", kApplicationTitle, display.Problem().c_str());
        return 0;
    }
    // One argument names a picture to open ("Open With"); Qt gets none.
    const QString picture = argc == 2 ? QFile::decodeName(argv[1]) : QString();
    int qtArgc = argc > 0 ? 1 : 0;
    TApplication app(qtArgc, argv);
    display.Release();
    std::unique_ptr<TfmMain> main;
    std::unique_ptr<TfmAbout> about;
    std::unique_ptr<TfmHelp> help;
    const int code = RunStartup(
        [&] {
            // No display name: Qt would append it to every window's title.
            QGuiApplication::setDesktopFileName(QString::fromLatin1(TLC_DESKTOP_ID));
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
            if (afterCreate) afterCreate(*fmMain);
        },
        [&] {
            fmMain->show();
            if (!picture.isEmpty())
                QTimer::singleShot(
                    0, fmMain, [picture] { RunGuarded([&] { fmMain->OpenPicture(picture); }); });
            QApplication::exec();
        });
    fmHelp = nullptr;
    fmAbout = nullptr;
    fmMain = nullptr;
    help.reset();
    about.reset();
    main.reset();
    return code;
}

} // namespace tlc
