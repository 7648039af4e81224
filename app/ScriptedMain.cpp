// The converter as the scripts drive it (scripts/screenshot.sh,
// scripts/measure_startup.sh, the start-up test and the end-to-end cases that
// read the status line): the same start-up, plus
// hooks chosen by environment variables. Not installed.
#include <chrono>
#include <cstdio>
#include <memory>

#include <QEvent>
#include <QFile>
#include <QObject>
#include <QTimer>

#include "app/Startup.h"
#include "ui/EventGuard.h"
#include "ui/Main.h"

namespace tlc {

namespace {

// Hooks for the scripts that take the README's screenshot and time the
// start-up: the program itself reads no environment, this build of it does.
class ScriptHooks : public QObject {
public:
    explicit ScriptHooks(TfmMain& window) : window_(window) {
        probe_ = qEnvironmentVariableIsSet("TLC_STARTUP_PROBE");
        picture_ = qEnvironmentVariable("TLC_SCREENSHOT_PICTURE");
        output_ = qEnvironmentVariable("TLC_SCREENSHOT_FILE");
        if (probe_ || (!picture_.isEmpty() && !output_.isEmpty())) window_.installEventFilter(this);
        // Each line put under the panes, one a line, for the end-to-end tests.
        const QString statusLog = qEnvironmentVariable("TLC_STATUS_LOG");
        if (!statusLog.isEmpty())
            connect(&window_, &TfmMain::StatusShown, this, [statusLog](const QString& text) {
                QFile log(statusLog);
                if (log.open(QIODevice::Append | QIODevice::Text))
                    log.write((text + QLatin1Char('\n')).toUtf8());
            });
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

} // namespace tlc

int main(int argc, char** argv) {
    std::unique_ptr<tlc::ScriptHooks> hooks;
    const int code = tlc::RunConverter(argc, argv, [&hooks](tlc::TfmMain& window) {
        hooks = std::make_unique<tlc::ScriptHooks>(window);
    });
    return code;
}
