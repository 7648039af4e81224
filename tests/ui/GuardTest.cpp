// The start-up guard and the event-loop guard: what reaches the operator when
// a handler or the start-up throws, and that the program carries on.

#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTest>

#include "UiTestSupport.h"
#include "app/Startup.h"
#include "base/Exceptions.h"
#include "ui/AppTitle.h"
#include "ui/EventGuard.h"

using namespace tlc;
using tlc::test::WhenModal;

namespace {

// A control whose mouse handler throws whatever the test gives it.
class ThrowingWidget : public QWidget {
public:
    std::function<void()> thrower;
    bool grabOnPress = false;
    bool grabbed = false;

protected:
    void mousePressEvent(QMouseEvent*) override {
        if (grabOnPress) grabMouse();
        grabbed = QWidget::mouseGrabber() == this;
        thrower();
    }
};

struct Seen {
    bool shown = false;
    QString text;
    QString title;
};

// Records the next box (if any) and closes it.
Seen* WatchForBox() {
    auto* seen = new Seen;
    WhenModal([seen](QWidget* modal) {
        seen->shown = true;
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            seen->text = box->text();
            seen->title = box->windowTitle();
        }
        modal->close();
    });
    return seen;
}

void StopWatching() {
    test::DropPendingAnswers();
}

} // namespace

class GuardTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { StopWatching(); }

    // What a handler throws and the box that follows (empty: none).
    void eventGuard_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        QTest::newRow("EAbort is silent") << 0 << QString() << QString();
        QTest::newRow("Exception to the error box") << 1 << QString::fromUtf8(kApplicationTitle)
                                                    << QStringLiteral("Cannot open file x.bmp.");
        QTest::newRow("message ending in ) unchanged")
            << 2 << QString::fromUtf8(kApplicationTitle)
            << QStringLiteral("Unknown picture file extension (.jpg)");
        QTest::newRow("foreign error object")
            << 3 << QStringLiteral("Application Error") << QStringLiteral("std::runtime_error");
    }
    void eventGuard() {
        QFETCH(int, kind);
        QFETCH(QString, title);
        QFETCH(QString, text);
        auto thrower = [kind] {
            switch (kind) {
            case 0:
                throw EAbort();
            case 1:
                throw EFOpenError("Cannot open file x.bmp");
            case 2:
                throw EInvalidGraphic("Unknown picture file extension (.jpg)");
            default:
                throw std::runtime_error("outside the family");
            }
        };

        // Through the application's dispatch (a control's own event routine).
        ThrowingWidget widget;
        widget.thrower = thrower;
        widget.grabOnPress = true;
        widget.resize(50, 50);
        widget.show();
        QVERIFY(QTest::qWaitForWindowExposed(&widget));
        std::unique_ptr<Seen> seen(WatchForBox());
        QTest::mousePress(&widget, Qt::LeftButton);
        QTest::qWait(150);
        QCOMPARE(seen->shown, !title.isEmpty());
        QCOMPARE(seen->title, title);
        QVERIFY2(seen->text.contains(text), qPrintable(seen->text));
        QVERIFY(widget.grabbed);
        QCOMPARE(QWidget::mouseGrabber(), nullptr); // capture released
        StopWatching();

        // Through a handler connected to a button, as the windows connect theirs.
        QPushButton button;
        QObject::connect(&button, &QPushButton::clicked, [thrower] { RunGuarded(thrower); });
        button.show();
        seen.reset(WatchForBox());
        QTest::mouseClick(&button, Qt::LeftButton);
        QTest::qWait(150);
        QCOMPARE(seen->shown, !title.isEmpty());
        QCOMPARE(seen->title, title);
        QVERIFY(seen->text.contains(text));
        // The program carries on: the next click runs the handler again.
        int runs = 0;
        QObject::connect(&button, &QPushButton::clicked, [&runs] { ++runs; });
        StopWatching();
        seen.reset(WatchForBox());
        QTest::mouseClick(&button, Qt::LeftButton);
        QTest::qWait(150);
        QCOMPARE(runs, 1);
    }

    void startUpGuard_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("text");
        QTest::newRow("Exception") << 1 << QStringLiteral("Resource not found.");
        QTest::newRow("anything else shows an empty box") << 2 << QString();
    }
    void startUpGuard() {
        QFETCH(int, kind);
        QFETCH(QString, text);
        std::unique_ptr<Seen> seen(WatchForBox());
        bool loopRan = false;
        const int code = RunStartup(
            [kind] {
                if (kind == 1) throw EReadError("Resource not found");
                throw 42;
            },
            [&loopRan] { loopRan = true; });
        QCOMPARE(code, 0);
        QVERIFY(!loopRan);
        QVERIFY(seen->shown);
        QCOMPARE(seen->title, QString::fromUtf8(kApplicationTitle));
        QCOMPARE(seen->text, text);
    }

    // The built program's start-up (in the build the scripts drive, which
    // closes itself once shown): shows its main window, closes, exit code 0;
    // and the program itself, with no display at all, still ends with 0.
    void programRunsAndEndsWithZero() {
        QProcess run;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("TLC_STARTUP_PROBE"), QStringLiteral("1"));
        run.setProcessEnvironment(env);
        run.start(QStringLiteral(TLC_SCRIPTED_EXE), {QStringLiteral("--ignored-argument")});
        QVERIFY(run.waitForFinished(20000));
        QCOMPARE(run.exitStatus(), QProcess::NormalExit);
        QCOMPARE(run.exitCode(), 0);
        QVERIFY(run.readAllStandardOutput().startsWith("shown "));

        QProcess bare;
        QProcessEnvironment none;
        none.insert(QStringLiteral("PATH"), env.value(QStringLiteral("PATH")));
        bare.setProcessEnvironment(none);
        bare.start(QStringLiteral(TLC_CONVERTER_EXE), {});
        QVERIFY(bare.waitForFinished(20000));
        QCOMPARE(bare.exitStatus(), QProcess::NormalExit);
        QCOMPARE(bare.exitCode(), 0);
    }

    void startUpWithoutFailureShowsNothing() {
        std::unique_ptr<Seen> seen(WatchForBox());
        int steps = 0;
        QCOMPARE(RunStartup([&steps] { ++steps; }, [&steps] { ++steps; }), 0);
        QTest::qWait(50);
        QCOMPARE(steps, 2);
        QVERIFY(!seen->shown);
    }
};

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    GuardTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "GuardTest.moc"
