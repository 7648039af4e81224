// The windows as a person meets them: keys go to whatever has the focus
// (QApplication::focusWidget()), and every caption is readable whole.
#include <QAbstractButton>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include "ui/About.h"
#include "ui/EventGuard.h"
#include "ui/Help.h"
#include "ui/Main.h"
#include "ui/PrinterCombo.h"

using namespace tlc;

namespace {

void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget* focus = QApplication::focusWidget();
    QVERIFY2(focus, "nothing has the focus");
    QTest::keyClick(focus, key, modifiers);
}

// Texts that are cut off at the control's edge, with the widths seen.
QStringList ClippedCaptions(QWidget& window) {
    QStringList clipped;
    auto check = [&clipped](const QWidget& w, const QString& text, int room) {
        const QString shown = QString(text).remove(QLatin1Char('&'));
        if (shown.isEmpty()) return;
        const int needed = w.fontMetrics().horizontalAdvance(shown);
        if (needed > room)
            clipped << QStringLiteral("%1 \"%2\": %3 > %4")
                           .arg(w.objectName(), shown)
                           .arg(needed)
                           .arg(room);
    };
    for (const QLabel* label : window.findChildren<QLabel*>()) {
        if (label->wordWrap() || !label->pixmap().isNull()) continue;
        check(*label, label->text(), label->contentsRect().width());
    }
    for (const QGroupBox* box : window.findChildren<QGroupBox*>())
        check(*box, box->title(), box->width() - 16);
    for (const QAbstractButton* button : window.findChildren<QAbstractButton*>()) {
        const int icon = button->icon().isNull() ? 0 : button->iconSize().width() + 4;
        check(*button, button->text(), button->width() - icon - 8);
    }
    return clipped;
}

} // namespace

class PersonTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        QDir::setCurrent(dir->path());
        window = std::make_unique<TfmMain>();
        window->show();
        QApplication::setActiveWindow(window.get());
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
    }
    void cleanup() { window.reset(); }

    // Clicked into the printer list's text, the focus is the combo box
    // itself; what is typed there must complete all the same.
    void printerListTypeAheadWhereTheFocusIs() {
        auto* list = window->findChild<TPrinterCombo*>(QStringLiteral("cbTargetPrinterType"));
        QVERIFY(list);
        QTest::mouseClick(list->lineEdit(), Qt::LeftButton, {}, QPoint(20, 10));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(list));
        int changes = 0;
        connect(list, &TPrinterCombo::Change, this, [&changes] { ++changes; });

        Press(Qt::Key_A, Qt::ControlModifier);
        Press(Qt::Key_I);
        QCOMPARE(list->lineEdit()->text(), QStringLiteral("iBM TF6"));
        QCOMPARE(list->lineEdit()->selectedText(), QStringLiteral("BM TF6"));
        QCOMPARE(list->ItemIndex(), 3);
        QCOMPARE(changes, 1);
        QCOMPARE(window->GetMaxWidth(), 568);

        // Backspace: the selected rest, then each letter, then on the empty
        // text; every press raises the change event.
        Press(Qt::Key_Backspace);
        QCOMPARE(list->lineEdit()->text(), QStringLiteral("i"));
        QCOMPARE(list->ItemIndex(), -1);
        Press(Qt::Key_Backspace);
        QCOMPARE(list->lineEdit()->text(), QString());
        Press(Qt::Key_Backspace);
        QCOMPARE(changes, 4);
        QCOMPARE(window->GetMaxWidth(), 0);

        // A letter no name begins with goes in as typed.
        Press(Qt::Key_Z);
        QCOMPARE(list->lineEdit()->text(), QStringLiteral("z"));
        QCOMPARE(list->ItemIndex(), -1);
        QCOMPARE(changes, 5);
        Press(Qt::Key_Backspace);
        Press(Qt::Key_S);
        QCOMPARE(list->lineEdit()->text(), QStringLiteral("star TSP-700"));
        QCOMPARE(list->ItemIndex(), 2);
    }

    // The up-down keys in a threshold box step it; Ctrl+X there ends the
    // program rather than cutting.
    void thresholdKeysWhereTheFocusIs() {
        auto* red = window->findChild<QLineEdit*>(QStringLiteral("edRedThreshold"));
        QVERIFY(red);
        QTest::mouseClick(red, Qt::LeftButton);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(red));
        Press(Qt::Key_Up);
        Press(Qt::Key_Up);
        QCOMPARE(red->text(), QStringLiteral("130"));
        Press(Qt::Key_Down);
        QCOMPARE(red->text(), QStringLiteral("129"));
        bool closed = false;
        connect(window.get(), &TfmMain::Closed, this, [&closed] { closed = true; });
        Press(Qt::Key_X, Qt::ControlModifier);
        QVERIFY(closed);
        QCOMPARE(red->text(), QStringLiteral("129"));
    }

    // Every caption of the three windows fits its control at the layout
    // sizes, in the fonts the windows ask for.
    void captionsFit() {
        TfmAbout about;
        TfmHelp help;
        for (QWidget* w : {static_cast<QWidget*>(window.get()), static_cast<QWidget*>(&about),
                           static_cast<QWidget*>(&help)}) {
            w->ensurePolished();
            const QStringList clipped = ClippedCaptions(*w);
            QVERIFY2(clipped.isEmpty(), qPrintable(w->objectName() + QStringLiteral(": ") +
                                                   clipped.join(QStringLiteral("; "))));
        }
    }

private:
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<TfmMain> window;
};

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    PersonTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "PersonTest.moc"
