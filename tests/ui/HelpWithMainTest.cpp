// The Help and About windows wired to the real main window as at start-up.
#include "ui/About.h"
#include "ui/Help.h"
#include "ui/Main.h"
#include "ui/WindowPlacement.h"
#include "version/ElfSection.h"
#include "version/VersionRecord.h"

#include <QApplication>
#include <QFileDialog>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include <memory>

using namespace tlc;

namespace {

struct Windows {
    std::unique_ptr<TfmMain> main = std::make_unique<TfmMain>();
    std::unique_ptr<TfmAbout> about = std::make_unique<TfmAbout>();
    std::unique_ptr<TfmHelp> help = std::make_unique<TfmHelp>();
    Windows() {
        about->SetMainWindow(main.get());
        help->SetMainWindow(main.get());
        main->SetAboutWindow(about.get());
        main->SetHelpWindow(help.get());
        help->AddShortcutActions(main->MenuActions());
    }
};

QPlainTextEdit* Memo(TfmHelp& help) {
    return help.findChild<QPlainTextEdit*>("Memo1");
}

int VisibleHelpWindows() {
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<TfmHelp*>(w) && w->isVisible()) ++n;
    return n;
}

} // namespace

class HelpWithMainTest : public QObject {
    Q_OBJECT
private slots:
    void f1TwiceShowsOneHelpWindowInFront() {
        Windows w;
        w.main->setGeometry(80, 60, 700, 500);
        w.main->show();
        QVERIFY(QTest::qWaitForWindowActive(w.main.get()));

        QTest::keyClick(w.main.get(), Qt::Key_F1);
        QTRY_VERIFY(w.help->isVisible());
        QCOMPARE(w.help->frameGeometry().topLeft(),
                 CentredOver(w.main->frameGeometry(), w.help->frameGeometry().size()));
        QVERIFY(QTest::qWaitForWindowActive(w.help.get()));

        // Back to the main window, F1 again: the same window comes to the front.
        w.main->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.main.get()));
        QTest::keyClick(w.main.get(), Qt::Key_F1);
        QVERIFY(QTest::qWaitForWindowActive(w.help.get()));
        QCOMPARE(VisibleHelpWindows(), 1);

        // F1 inside Help keeps it in front and makes no second one.
        QTest::keyClick(Memo(*w.help), Qt::Key_F1);
        QCOMPARE(QApplication::activeWindow(), w.help.get());
        QCOMPARE(VisibleHelpWindows(), 1);
    }

    void ctrlSWhileHelpHasFocusRunsSave() {
        Windows w;
        w.main->show();
        w.help->ShowHelp();
        QVERIFY(QTest::qWaitForWindowActive(w.help.get()));
        QCOMPARE(QApplication::focusWidget(), Memo(*w.help));

        QString dialogName;
        QTimer::singleShot(0, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal) return;
            dialogName = modal->objectName();
            qobject_cast<QDialog*>(modal)->reject();
        });
        QTest::keyClick(Memo(*w.help), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(dialogName, QStringLiteral("SaveDialog"));
        QVERIFY(w.main->isVisible());
    }

    void ctrlXWhileHelpHasFocusEndsTheProgram() {
        Windows w;
        w.main->show();
        w.help->ShowHelp();
        QVERIFY(QTest::qWaitForWindowActive(w.help.get()));
        QSignalSpy closed(w.main.get(), &TfmMain::Closed);
        const QString text = Memo(*w.help)->toPlainText();
        Memo(*w.help)->selectAll();
        QTest::keyClick(Memo(*w.help), Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(closed.count(), 1);
        QVERIFY(!w.main->isVisible());
        QCOMPARE(Memo(*w.help)->toPlainText(), text); // it did not cut
    }

    void aboutFromTheMenuIsCentredAndModal() {
        Windows w;
        w.main->setGeometry(50, 40, 640, 480);
        w.main->show();
        QVERIFY(QTest::qWaitForWindowActive(w.main.get()));
        QPoint shownAt;
        bool modal = false;
        QTimer::singleShot(0, [&] {
            QWidget* box = QApplication::activeModalWidget();
            if (!box) return;
            modal = box == w.about.get();
            shownAt = box->frameGeometry().topLeft();
            QTest::keyClick(box, Qt::Key_Return);
        });
        w.main->About1Click();
        QVERIFY(modal);
        QCOMPARE(shownAt, CentredOver(w.main->frameGeometry(), w.about->frameGeometry().size()));
        QVERIFY(!w.about->isVisible());
    }

    void builtConverterCarriesTheRecord() {
        const auto record =
            ReadElfSectionFromFile(TLC_CONVERTER_EXE, VersionSectionName, MaxVersionSectionSize);
        QVERIFY2(record, "no version record in " TLC_CONVERTER_EXE);
        const auto fixed = QueryFixedFileInfo(*record);
        QVERIFY(fixed);
        QCOMPARE(QString::fromStdString(VersionCaption(*fixed)),
                 QStringLiteral(TLC_EXPECTED_CAPTION));
        QCOMPARE(QueryVersionString(*record, "InternalName"),
                 std::optional<std::string>("Logo Converter"));
    }
};

QTEST_MAIN(HelpWithMainTest)
#include "HelpWithMainTest.moc"
