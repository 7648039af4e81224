#include "ui/Help.h"
#include "ui/WindowPlacement.h"

#include <QAction>
#include <QApplication>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTextBlock>
#include <QtTest>

using namespace tlc;

namespace {

QPlainTextEdit* Memo(TfmHelp& help) {
    return help.findChild<QPlainTextEdit*>("Memo1");
}

QString Line(TfmHelp& help, int number) {
    return Memo(help)->document()->findBlockByNumber(number - 1).text();
}

} // namespace

class HelpTest : public QObject {
    Q_OBJECT
private slots:
    void windowAndMemo() {
        TfmHelp help;
        QCOMPARE(help.windowTitle(), QStringLiteral("Help"));
        QVERIFY(help.isWindow());
        QVERIFY(!help.isVisible());             // created hidden
        QCOMPARE(help.size(), QSize(496, 482)); // client area of a 504 x 516 window
        QPlainTextEdit* memo = Memo(help);
        QVERIFY(memo);
        QVERIFY(memo->isReadOnly());
        QCOMPARE(memo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(memo->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QCOMPARE(memo->lineWrapMode(), QPlainTextEdit::WidgetWidth);
        QCOMPARE(memo->font().family(), QStringLiteral("Courier New"));
        QCOMPARE(memo->font().pixelSize(), 13);
        QVERIFY(memo->font().fixedPitch());
        QCOMPARE(help.font().family(), QStringLiteral("MS Sans Serif"));
        QCOMPARE(help.font().pixelSize(), 11);

        help.show();
        QVERIFY(QTest::qWaitForWindowExposed(&help));
        QCOMPARE(memo->geometry(), QRect(0, 0, 496, 482));
        help.resize(400, 300); // follows the window
        QTRY_COMPARE(memo->geometry(), QRect(0, 0, 400, 300));
        help.hide();
    }

    void textHas84Lines() {
        TfmHelp help;
        QCOMPARE(Memo(help)->document()->blockCount(), 84);
        QCOMPARE(TfmHelp::HelpLines().size(), 84);
    }

    void sampleLines_data() {
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("text");
        QTest::newRow("1 title") << 1 << "Tillora Graphic Logo Converter";
        QTest::newRow("2 underline") << 2 << "-------------------------------";
        QTest::newRow("3 empty") << 3 << "";
        QTest::newRow("4 trailing blank")
            << 4 << "This application is used to take an a bitmap image file ";
        QTest::newRow("5 double blank inside")
            << 5 << "and convert it into a 'logo.rsc' file that  Tillora uses ";
        QTest::newRow("6 no trailing blank")
            << 6 << "to download a graphic logo to a receipt printer.";
        QTest::newRow("19 numbers") << 19 << "Max Total Size (WxH): 98,304 pixels";
        QTest::newRow("27 ampersand") << 27 << "Epson TM-T88III & Star TSP700";
        QTest::newRow("37 two blanks after full stop")
            << 37 << "receipt logo.  For each of the colour values in the image ";
        QTest::newRow("58 ends in full stop and blank") << 58 << "Logo' flag in Print Control. ";
        QTest::newRow("63 long underline") << 63 << "---------------------------------------";
        QTest::newRow("65 two trailing blanks")
            << 65 << "The Epson TM-T88III supports both NVRam and SRam logos.  ";
        QTest::newRow("77") << 77 << "logo to the receipt printer. ";
        QTest::newRow("81") << 81 << "procedure for NVRam.";
        QTest::newRow("82 empty") << 82 << "";
        QTest::newRow("83 host name") << 83 << QString::fromLatin1(TfmHelp::HostName);
        QTest::newRow("84 empty") << 84 << "";
    }
    void sampleLines() {
        QFETCH(int, number);
        QFETCH(QString, text);
        TfmHelp help;
        QCOMPARE(Line(help, number), text);
    }

    void typingChangesNothing() {
        TfmHelp help;
        help.ShowHelp();
        QVERIFY(QTest::qWaitForWindowExposed(&help));
        QPlainTextEdit* memo = Memo(help);
        const QString before = memo->toPlainText();
        memo->setFocus();
        QTest::keyClicks(memo, "typed");
        QTest::keyClick(memo, Qt::Key_Return);
        QTest::keyClick(memo, Qt::Key_Backspace);
        QTest::keyClick(memo, Qt::Key_Delete);
        QTest::keyClick(memo, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(memo->toPlainText(), before);
        help.hide();
    }

    void showingTwiceGivesOneWindowInFront() {
        QWidget mainWindow;
        mainWindow.setGeometry(120, 80, 640, 480);
        mainWindow.show();
        TfmHelp help(&mainWindow);
        help.ShowHelp();
        QVERIFY(QTest::qWaitForWindowExposed(&help));
        QCOMPARE(help.frameGeometry().topLeft(),
                 CentredOver(mainWindow.frameGeometry(), help.frameGeometry().size()));
        const QPoint movedTo(33, 44);
        help.move(movedTo);
        mainWindow.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&mainWindow));

        help.ShowHelp();
        QVERIFY(QTest::qWaitForWindowActive(&help));
        QCOMPARE(QApplication::activeWindow(), &help);
        int helpWindows = 0;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<TfmHelp*>(w) && w->isVisible()) ++helpWindows;
        QCOMPARE(helpWindows, 1);
        QCOMPARE(help.pos(), movedTo);

        // Closing only hides; the same window comes back where it was, text intact.
        QPointer<TfmHelp> guard(&help);
        QVERIFY(help.close());
        QVERIFY(guard);
        QVERIFY(!help.isVisible());
        help.ShowHelp();
        QVERIFY(help.isVisible());
        QCOMPARE(help.pos(), movedTo);
        QCOMPARE(Memo(help)->document()->blockCount(), 84);
        help.hide();
    }

    void shortcutActionsFireWhileHelpHasFocus_data() {
        QTest::addColumn<QKeySequence>("shortcut");
        QTest::newRow("Ctrl+S") << QKeySequence(Qt::CTRL | Qt::Key_S);
        // Also the text box's Cut key; a read-only box must not swallow it.
        QTest::newRow("Ctrl+X") << QKeySequence(Qt::CTRL | Qt::Key_X);
        QTest::newRow("Ctrl+O") << QKeySequence(Qt::CTRL | Qt::Key_O);
        QTest::newRow("F1") << QKeySequence(Qt::Key_F1);
    }
    void shortcutActionsFireWhileHelpHasFocus() {
        QFETCH(QKeySequence, shortcut);
        QWidget mainWindow;
        auto* action = new QAction("command", &mainWindow);
        action->setShortcut(shortcut);
        mainWindow.addAction(action);
        mainWindow.show();
        TfmHelp help(&mainWindow);
        help.AddShortcutActions({action});
        help.AddShortcutActions({action, nullptr}); // adding twice is harmless
        QCOMPARE(help.actions().count(action), 1);
        help.ShowHelp();
        QVERIFY(QTest::qWaitForWindowActive(&help));
        QCOMPARE(QApplication::focusWidget(), Memo(help));

        QSignalSpy triggered(action, &QAction::triggered);
        const QKeyCombination key = shortcut[0];
        QTest::keyClick(Memo(help), key.key(), key.keyboardModifiers());
        QCOMPARE(triggered.count(), 1);
        help.hide();
    }
};

QTEST_MAIN(HelpTest)
#include "HelpTest.moc"
