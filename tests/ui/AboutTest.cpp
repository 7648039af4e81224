#include "ui/About.h"
#include "ui/LinkLabel.h"
#include "ui/WindowPlacement.h"
#include "version/VersionRecord.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

using namespace tlc;

namespace {

TfmAbout::VersionSource RecordOf(std::uint16_t a, std::uint16_t b, std::uint16_t c,
                                 std::uint16_t d) {
    const auto bytes = EncodeVersionRecord(MakeProgramVersion(a, b, c, d, "Test"));
    return [bytes] { return std::optional<std::vector<std::uint8_t>>(bytes); };
}

// Runs `step` once the dialog's modal loop is running.
void WhenModal(std::function<void(QWidget*)> step) {
    QTimer::singleShot(0, [step] {
        QWidget* modal = QApplication::activeModalWidget();
        QVERIFY(modal);
        step(modal);
    });
}

} // namespace

class AboutTest : public QObject {
    Q_OBJECT
private slots:
    void caption_data() {
        QTest::addColumn<TfmAbout::VersionSource>("source");
        QTest::addColumn<QString>("caption");
        const QString unavailable = QString::fromLatin1(TfmAbout::VersionUnavailableCaption);
        QTest::newRow("1.0.0.3") << RecordOf(1, 0, 0, 3) << "Version 1.0.0  Build 3";
        QTest::newRow("a part of 65535")
            << RecordOf(65535, 2, 65535, 65535) << "Version 65535.2.65535  Build 65535";
        QTest::newRow("unreadable")
            << TfmAbout::VersionSource([] { return std::optional<std::vector<std::uint8_t>>(); })
            << unavailable;
        QTest::newRow("garbage bytes") << TfmAbout::VersionSource([] {
            return std::optional<std::vector<std::uint8_t>>(std::vector<std::uint8_t>(100, 0xCD));
        }) << unavailable;
        QTest::newRow("empty record") << TfmAbout::VersionSource([] {
            return std::optional<std::vector<std::uint8_t>>(std::vector<std::uint8_t>{});
        }) << unavailable;
        QTest::newRow("no source") << TfmAbout::VersionSource() << unavailable;
    }
    void caption() {
        QFETCH(TfmAbout::VersionSource, source);
        QFETCH(QString, caption);
        TfmAbout about(nullptr, source);
        auto* label = about.findChild<QLabel*>("cpVersionString");
        QVERIFY(label);
        QCOMPARE(label->text(), caption);
        // The label sizes itself to its text from its place.
        QCOMPARE(label->pos(), QPoint(16, 144));
        QCOMPARE(label->width(), label->sizeHint().width());
    }

    void captionFromTheRunningExecutable() {
        // This test program links the version record the way the converter does.
        TfmAbout about;
        QCOMPARE(about.VersionCaption(), QStringLiteral(TLC_EXPECTED_CAPTION));
    }

    void layout_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("geometry");
        // Paint order: later rows lie on top of earlier ones.
        QTest::newRow("cpVersionString") << "cpVersionString" << QRect(16, 144, 74, 13);
        QTest::newRow("Bevel1") << "Bevel1" << QRect(24, 104, 233, 10);
        QTest::newRow("Label1") << "Label1" << QRect(16, 128, 165, 13);
        QTest::newRow("Shape1") << "Shape1" << QRect(112, 13, 65, 78);
        QTest::newRow("Image1") << "Image1" << QRect(8, 8, 273, 89);
        QTest::newRow("LMDSimpleLabel1") << "LMDSimpleLabel1" << QRect(16, 181, 90, 15);
        QTest::newRow("Button1") << "Button1" << QRect(199, 195, 75, 25);
    }
    void layout() {
        QFETCH(QString, name);
        QFETCH(QRect, geometry);
        TfmAbout about(nullptr, RecordOf(1, 0, 0, 3));
        auto* w = about.findChild<QWidget*>(name);
        QVERIFY(w);
        QCOMPARE(w->parentWidget(), &about);
        QCOMPARE(w->pos(), geometry.topLeft());
        // Self-sizing labels keep only their place.
        if (name != "cpVersionString" && name != "Label1") QCOMPARE(w->size(), geometry.size());
    }

    void windowAndPaintOrder() {
        TfmAbout about(nullptr, RecordOf(1, 0, 0, 3));
        QCOMPARE(about.windowTitle(), QStringLiteral("About ..."));
        QCOMPARE(about.size(), QSize(287, 230)); // client area of a 295 x 264 window
        QStringList order;
        for (QObject* child : about.children())
            if (auto* w = qobject_cast<QWidget*>(child); w && !w->objectName().isEmpty())
                order << w->objectName();
        QCOMPARE(order, (QStringList{"cpVersionString", "Bevel1", "Label1", "Shape1", "Image1",
                                     "LMDSimpleLabel1", "Button1"}));
        auto* label1 = about.findChild<QLabel*>("Label1");
        QCOMPARE(label1->text(), QStringLiteral("Tillora Graphic Logo Converter"));
        auto* button = about.findChild<QPushButton*>("Button1");
        QCOMPARE(button->text(), QStringLiteral("&Ok"));
        QVERIFY(button->isDefault());
        QCOMPARE(about.font().family(), QStringLiteral("MS Sans Serif"));
        QCOMPARE(about.font().pixelSize(), 11);
    }

    void logoIsStretchedAndWhiteIsTransparent() {
        TfmAbout about(nullptr, RecordOf(1, 0, 0, 3));
        auto* image = about.findChild<QLabel*>("Image1");
        QVERIFY(!image->pixmap().isNull());
        QCOMPARE(image->pixmap().size(), QSize(273, 89));
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        const QImage shot = about.grab().toImage();
        const QColor face = about.palette().color(QPalette::Window);
        QVERIFY(face != QColor(Qt::white));
        // White logo pixels: button face outside the white panel, white over it.
        QCOMPARE(shot.pixelColor(10, 10), face);
        QCOMPARE(shot.pixelColor(114, 15), QColor(Qt::white));
        // Drawn parts of the logo cover both.
        QVERIFY(shot.pixelColor(8 + 100 * 273 / 567, 8 + 50 * 89 / 184) != face);
        about.hide();
    }

    void enterClosesWithResultOne() {
        TfmAbout about(nullptr, RecordOf(1, 0, 0, 3));
        QString focused;
        WhenModal([&](QWidget* modal) {
            if (QWidget* f = modal->focusWidget()) focused = f->objectName();
            QTest::keyClick(modal, Qt::Key_Return);
        });
        QCOMPARE(about.ShowModal(), 1);
        QVERIFY(!about.isVisible());
        QCOMPARE(focused, QStringLiteral("Button1")); // tab order 0
    }

    void escDoesNotClose() {
        TfmAbout about(nullptr, RecordOf(1, 0, 0, 3));
        bool stillOpenAfterEsc = false;
        WhenModal([&](QWidget* modal) {
            QTest::keyClick(modal, Qt::Key_Escape);
            QTimer::singleShot(50, [&, modal] {
                stillOpenAfterEsc = modal->isVisible();
                QTest::keyClick(modal, Qt::Key_Enter); // keypad Enter presses Button1 too
            });
        });
        QCOMPARE(about.ShowModal(), 1);
        QVERIFY(stillOpenAfterEsc);
    }

    void buttonClickClosesWithResultOne() {
        TfmAbout about(nullptr, RecordOf(1, 0, 0, 3));
        WhenModal([](QWidget* modal) {
            QTest::mouseClick(modal->findChild<QPushButton*>("Button1"), Qt::LeftButton);
        });
        QCOMPARE(about.ShowModal(), 1);
    }

    void firstShowingCentredLaterWhereLeft() {
        QWidget mainWindow;
        mainWindow.setGeometry(100, 60, 611, 421);
        mainWindow.show();
        TfmAbout about(&mainWindow, RecordOf(1, 0, 0, 3));
        QPoint firstPos, reopenedPos;
        const QPoint movedTo(37, 45);
        WhenModal([&](QWidget* modal) {
            firstPos = modal->frameGeometry().topLeft();
            modal->move(movedTo);
            QTest::keyClick(modal, Qt::Key_Return);
        });
        about.ShowModal();
        QCOMPARE(firstPos, CentredOver(mainWindow.frameGeometry(), about.frameGeometry().size()));
        // The main window moving later does not pull the box back to its centre.
        mainWindow.move(300, 200);
        WhenModal([&](QWidget* modal) {
            reopenedPos = modal->pos();
            QTest::keyClick(modal, Qt::Key_Return);
        });
        about.ShowModal();
        QCOMPARE(reopenedPos, movedTo);
    }

    void centringTruncatesHalves_data() {
        QTest::addColumn<QRect>("mainFrame");
        QTest::addColumn<QSize>("own");
        QTest::addColumn<QPoint>("expected");
        QTest::newRow("even") << QRect(100, 100, 400, 300) << QSize(200, 100) << QPoint(200, 200);
        QTest::newRow("odd difference")
            << QRect(0, 0, 300, 301) << QSize(295, 264) << QPoint(2, 18);
        // Wider than the main window: negative half truncated toward zero.
        QTest::newRow("negative odd")
            << QRect(10, 10, 100, 50) << QSize(295, 264) << QPoint(10 - 97, 10 - 107);
        QTest::newRow("off screen kept")
            << QRect(-500, -400, 600, 500) << QSize(295, 264) << QPoint(-500 + 152, -400 + 118);
    }
    void centringTruncatesHalves() {
        QFETCH(QRect, mainFrame);
        QFETCH(QSize, own);
        QFETCH(QPoint, expected);
        QCOMPARE(CentredOver(mainFrame, own), expected);
    }

    void linkColoursAndPress() {
        TfmAbout about(nullptr, RecordOf(1, 0, 0, 3));
        TLinkLabel* link = about.LinkLabel();
        QCOMPARE(link->objectName(), QStringLiteral("LMDSimpleLabel1"));
        QList<QUrl> opened;
        link->SetOpener([&](const QUrl& url) {
            opened << url;
            return true;
        });
        QCOMPARE(link->TextColor(), TColor{0x00FF0000});
        QCOMPARE(link->palette().color(QPalette::Active, QPalette::WindowText), QColor(0, 0, 255));
        QVERIFY(link->font().underline());
        QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
        QCOMPARE(link->JumpMode(), TJumpMode::jmInternet);
        QVERIFY(link->text() != QString::fromLatin1(TfmAbout::LinkAddress));

        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        // Press, then release outside: purple, and nothing is opened.
        QTest::mousePress(link, Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(link->TextColor(), TColor{0x00800080});
        QCOMPARE(link->palette().color(QPalette::Active, QPalette::WindowText),
                 QColor(128, 0, 128));
        QTest::mouseRelease(link, Qt::LeftButton, {}, QPoint(500, 500));
        QVERIFY(opened.isEmpty());
        QCOMPARE(link->TextColor(), TColor{0x00800080});

        QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(opened, QList<QUrl>{QUrl(QString::fromLatin1(TfmAbout::LinkAddress))});
        QVERIFY(link->isEnabled());
        // A right click neither opens nor matters for the colour.
        QTest::mouseClick(link, Qt::RightButton, {}, QPoint(5, 5));
        QCOMPARE(opened.size(), 1);

        // Still purple after the window is closed and shown again.
        about.hide();
        about.show();
        QCOMPARE(link->TextColor(), TColor{0x00800080});
        about.hide();
    }

    void failedOpenDisablesSilently() {
        TfmAbout about(nullptr, RecordOf(1, 0, 0, 3));
        TLinkLabel* link = about.LinkLabel();
        int calls = 0;
        link->SetOpener([&](const QUrl&) {
            ++calls;
            return false;
        });
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        const int windowsBefore = QApplication::topLevelWidgets().size();
        QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(calls, 1);
        QCOMPARE(link->JumpMode(), TJumpMode::jmNone);
        QVERIFY(!link->isEnabled());
        // Drawn greyed, not in the link colours.
        const QColor drawn = link->palette().color(QPalette::Disabled, QPalette::WindowText);
        QVERIFY(drawn != QColor(0, 0, 255) && drawn != QColor(128, 0, 128));
        // No message box or other window appeared.
        QCOMPARE(QApplication::topLevelWidgets().size(), windowsBefore);
        QVERIFY(QApplication::activeModalWidget() == nullptr);
        // Takes no further clicks.
        QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(5, 5));
        link->OpenLink();
        QCOMPARE(calls, 1);
        about.hide();
    }

    void linkTarget_data() {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("target");
        QTest::newRow("address as stored") << " https://a.example/x "
                                           << "a.example"
                                           << " https://a.example/x ";
        QTest::newRow("blank address, mail text") << ""
                                                  << "sales@tillora.example"
                                                  << "mailto:sales@tillora.example";
        QTest::newRow("blanks and control characters count as blank") << " \t\r\n\x01 "
                                                                      << "info@a.example"
                                                                      << "mailto:info@a.example";
        QTest::newRow("blank address, host text") << "   "
                                                  << "www.a.example"
                                                  << "www.a.example";
        QTest::newRow("address wins over mail text") << "https://b.example"
                                                     << "x@b.example"
                                                     << "https://b.example";
    }
    void linkTarget() {
        QFETCH(QString, url);
        QFETCH(QString, text);
        QFETCH(QString, target);
        QCOMPARE(TLinkLabel::LinkTarget(url, text), target);
    }

    void mailtoRuleOnClick() {
        TLinkLabel link;
        link.setText("sales@tillora.example");
        link.SetUrl("  ");
        link.resize(150, 20);
        QUrl opened;
        link.SetOpener([&](const QUrl& url) {
            opened = url;
            return true;
        });
        link.show();
        QVERIFY(QTest::qWaitForWindowExposed(&link));
        QTest::mouseClick(&link, Qt::LeftButton, {}, QPoint(3, 3));
        QCOMPARE(opened, QUrl("mailto:sales@tillora.example"));
    }
};

QTEST_MAIN(AboutTest)
#include "AboutTest.moc"
