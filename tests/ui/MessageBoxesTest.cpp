#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <stdexcept>

#include "ui/AppTitle.h"
#include "ui/MessageBoxes.h"

namespace {

// Runs `inspect` on the modal box once it is up. Should the box not close,
// a watchdog closes it and the test fails instead of hanging.
class BoxDriver {
public:
    explicit BoxDriver(std::function<void(QWidget*)> inspect) {
        QTimer::singleShot(0, [this, inspect] {
            QWidget* box = QApplication::activeModalWidget();
            sawBox = box != nullptr;
            if (box) inspect(box);
        });
        QTimer::singleShot(5000, [this] {
            if (QWidget* box = QApplication::activeModalWidget()) {
                leftOpen = true;
                box->close();
                if (auto* dialog = qobject_cast<QDialog*>(box)) dialog->done(QDialog::Accepted);
            }
        });
    }
    bool sawBox = false;
    bool leftOpen = false;
};

} // namespace

class MessageBoxesTest : public QObject {
    Q_OBJECT

private slots:
    void fullStop_data();
    void fullStop();
    void errorBox_data();
    void errorBox();
    void errorBoxForOtherFailures();
    void infoBox_data();
    void infoBox();
    void infoBoxWrapsLongText();
    void shortTextBoxesAsWideAsTheirCaption();
};

void MessageBoxesTest::fullStop_data() {
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QByteArray>("shown");
    QTest::newRow("empty stays empty") << QByteArray("") << QByteArray("");
    QTest::newRow("letter") << QByteArray("Out of system resources")
                            << QByteArray("Out of system resources.");
    QTest::newRow("digit") << QByteArray("Error 42") << QByteArray("Error 42.");
    QTest::newRow("colon") << QByteArray("Cause:") << QByteArray("Cause:.");
    QTest::newRow("semicolon") << QByteArray("a;") << QByteArray("a;.");
    QTest::newRow("question mark") << QByteArray("Really?") << QByteArray("Really?.");
    QTest::newRow("slash is above the full stop") << QByteArray("C:/") << QByteArray("C:/.");
    QTest::newRow("closing parenthesis") << QByteArray("Unknown picture file extension (.xyz)")
                                         << QByteArray("Unknown picture file extension (.xyz)");
    QTest::newRow("full stop") << QByteArray("Done.") << QByteArray("Done.");
    QTest::newRow("exclamation") << QByteArray("Stop!") << QByteArray("Stop!");
    QTest::newRow("quote") << QByteArray("\"x\"") << QByteArray("\"x\"");
    QTest::newRow("apostrophe") << QByteArray("'x'") << QByteArray("'x'");
    QTest::newRow("comma") << QByteArray("a,") << QByteArray("a,");
    QTest::newRow("hyphen") << QByteArray("a-") << QByteArray("a-");
    QTest::newRow("blank") << QByteArray("a ") << QByteArray("a ");
    QTest::newRow("line end") << QByteArray("a\n") << QByteArray("a\n");
    QTest::newRow("two-byte letter") << QByteArray("Ma\xC3\x9F") << QByteArray("Ma\xC3\x9F.");
    QTest::newRow("three-byte character")
        << QByteArray("\xE6\x97\xA5") << QByteArray("\xE6\x97\xA5.");
    QTest::newRow("multi-byte punctuation still gains")
        << QByteArray("a\xE2\x80\xA6") << QByteArray("a\xE2\x80\xA6.");
}

void MessageBoxesTest::fullStop() {
    QFETCH(QByteArray, message);
    QFETCH(QByteArray, shown);
    QCOMPARE(QByteArray::fromStdString(tlc::WithFullStop(message.toStdString())), shown);
}

void MessageBoxesTest::errorBox_data() {
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    QTest::newRow("gains full stop") << "Can only modify an image if it contains a bitmap"
                                     << "Can only modify an image if it contains a bitmap.";
    QTest::newRow("parenthesis") << "Unknown picture file extension (.txt)"
                                 << "Unknown picture file extension (.txt)";
    QTest::newRow("markup shown as written") << "Bad <b>name</b>"
                                             << "Bad <b>name</b>.";
    QTest::newRow("empty") << ""
                           << "";
}

void MessageBoxesTest::errorBox() {
    QFETCH(QString, message);
    QFETCH(QString, shown);
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int buttons = -1;
    bool ok = false;
    Qt::WindowModality modality = Qt::NonModal;
    Qt::TextFormat format = Qt::AutoText;
    BoxDriver driver([&](QWidget* widget) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        if (!box) return;
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        format = box->textFormat();
        modality = box->windowModality();
        buttons = static_cast<int>(box->buttons().size());
        ok = box->button(QMessageBox::Ok) != nullptr;
        if (ok) box->button(QMessageBox::Ok)->click();
    });
    tlc::ReportException(tlc::EInvalidOperation(message.toStdString()));
    QVERIFY(driver.sawBox);
    QVERIFY(!driver.leftOpen);
    QCOMPARE(title, QString("Tillora Graphic Logo Converter"));
    QCOMPARE(title, QString::fromUtf8(tlc::kApplicationTitle));
    QCOMPARE(text, shown);
    QCOMPARE(icon, QMessageBox::Critical);
    QCOMPARE(buttons, 1);
    QVERIFY(ok);
    QCOMPARE(format, Qt::PlainText);
    QCOMPARE(modality, Qt::ApplicationModal);
}

void MessageBoxesTest::errorBoxForOtherFailures() {
    QString text;
    BoxDriver driver([&](QWidget* widget) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        if (!box) return;
        text = box->text();
        QTest::keyClick(box, Qt::Key_Return);
    });
    tlc::ReportException(std::runtime_error("disk full"));
    QVERIFY(driver.sawBox);
    QVERIFY(!driver.leftOpen);
    QCOMPARE(text, QString("disk full."));
}

void MessageBoxesTest::infoBox_data() {
    QTest::addColumn<int>("key");
    QTest::newRow("Enter") << int(Qt::Key_Return);
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter);
    QTest::newRow("Esc") << int(Qt::Key_Escape);
}

void MessageBoxesTest::infoBox() {
    QFETCH(int, key);
    const QString message = "Unable to create the file D:\\Logos\\logo.rsc";
    QString title, text;
    int buttons = -1, labels = 0, result = -1;
    QString buttonText;
    bool isDefault = false, wraps = false, iconShown = false;
    Qt::WindowModality modality = Qt::NonModal;
    QPoint centre, screenCentre;
    int labelWidth = 0, halfScreen = 0;
    BoxDriver driver([&](QWidget* widget) {
        auto* dialog = qobject_cast<QDialog*>(widget);
        if (!dialog || qobject_cast<QMessageBox*>(widget)) return;
        QObject::connect(dialog, &QDialog::finished, [&](int r) { result = r; });
        title = dialog->windowTitle();
        modality = dialog->windowModality();
        const auto allLabels = dialog->findChildren<QLabel*>();
        labels = static_cast<int>(allLabels.size());
        for (QLabel* label : allLabels) {
            if (!label->pixmap().isNull()) iconShown = true;
            if (label->text() == message) {
                text = label->text();
                wraps = label->wordWrap();
                labelWidth = label->width();
            }
        }
        const auto allButtons = dialog->findChildren<QPushButton*>();
        buttons = static_cast<int>(allButtons.size());
        if (buttons == 1) {
            buttonText = allButtons.front()->text();
            isDefault = allButtons.front()->isDefault();
        }
        const QRect screen = dialog->screen()->availableGeometry();
        halfScreen = screen.width() / 2;
        centre = dialog->frameGeometry().center();
        screenCentre = screen.center();
        QTest::keyClick(dialog, static_cast<Qt::Key>(key));
    });
    tlc::ShowInfoMessage(message.toStdString());
    QVERIFY(driver.sawBox);
    QVERIFY2(!driver.leftOpen, "the key did not close the box");
    QCOMPARE(title, QString("Tillora Graphic Logo Converter"));
    QCOMPARE(text, message);
    QCOMPARE(labels, 1);
    QVERIFY(!iconShown);
    QVERIFY(wraps);
    QVERIFY(labelWidth > 0 && labelWidth <= halfScreen);
    QCOMPARE(buttons, 1);
    QCOMPARE(buttonText, QString("OK"));
    QVERIFY(isDefault);
    QCOMPARE(result, int(QDialog::Accepted));
    QCOMPARE(modality, Qt::ApplicationModal);
    // Within the window frame's margins of the exact centre.
    QVERIFY2((centre - screenCentre).manhattanLength() <= 6,
             qPrintable(QString("centre %1,%2 screen %3,%4")
                            .arg(centre.x())
                            .arg(centre.y())
                            .arg(screenCentre.x())
                            .arg(screenCentre.y())));
}

void MessageBoxesTest::infoBoxWrapsLongText() {
    QString words;
    for (int i = 0; i < 80; ++i)
        words += "word ";
    words = words.trimmed();
    int labelWidth = 0, labelHeight = 0, lineHeight = 0, halfScreen = 0;
    BoxDriver driver([&](QWidget* widget) {
        auto* dialog = qobject_cast<QDialog*>(widget);
        if (!dialog) return;
        if (auto* label = dialog->findChild<QLabel*>()) {
            labelWidth = label->width();
            labelHeight = label->height();
            lineHeight = label->fontMetrics().lineSpacing();
        }
        halfScreen = dialog->screen()->availableGeometry().width() / 2;
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    tlc::ShowInfoMessage(words.toStdString());
    QVERIFY(driver.sawBox);
    QVERIFY(!driver.leftOpen);
    QVERIFY2(labelWidth <= halfScreen,
             qPrintable(QString("%1 > %2").arg(labelWidth).arg(halfScreen)));
    QVERIFY2(labelHeight >= 2 * lineHeight, "the text was not wrapped onto several lines");
}

// A box with a short text is still as wide as its caption needs, for both
// the error box and the information box.
void MessageBoxesTest::shortTextBoxesAsWideAsTheirCaption() {
    const int caption = QFontMetrics(QApplication::font())
                            .horizontalAdvance(QString::fromUtf8(tlc::kApplicationTitle));
    for (bool error : {true, false}) {
        int width = 0;
        BoxDriver driver([&](QWidget* widget) {
            width = widget->width();
            QTest::keyClick(widget, Qt::Key_Return);
        });
        if (error)
            tlc::ReportException(tlc::Exception("x"));
        else
            tlc::ShowInfoMessage("x");
        QVERIFY(driver.sawBox);
        QVERIFY2(width >= tlc::CaptionWidth() && tlc::CaptionWidth() > caption,
                 qPrintable(QStringLiteral("%1 box %2 wide, caption %3")
                                .arg(error ? "error" : "info")
                                .arg(width)
                                .arg(caption)));
    }
}

QTEST_MAIN(MessageBoxesTest)
#include "MessageBoxesTest.moc"
