// The three windows' texts compared whole with the one table of them: a text
// that is missing, added or changed by one character fails here.

#include <algorithm>

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QtTest>

#include "WindowTexts.h"
#include "ui/EventGuard.h"
#include "ui/About.h"
#include "ui/Help.h"
#include "ui/Main.h"
#include "version/VersionRecord.h"

using namespace tlc;

namespace {

QString Row(const QString& control, const char* kind, const QString& text) {
    return control + QLatin1Char(' ') + QLatin1String(kind) + QStringLiteral(": ") + text;
}

template <std::size_t N> QStringList Rows(const test::WindowText (&table)[N]) {
    QStringList rows;
    for (const test::WindowText& t : table)
        rows << Row(QString::fromLatin1(t.Control), t.Kind, QString::fromUtf8(t.Text));
    return rows;
}

// Every text the window shows: its caption, and for each named control its
// caption, hint, list entries and shortcut.
QStringList TextsOf(QWidget& window) {
    QStringList rows;
    rows << Row(QString(), "caption", window.windowTitle());
    for (QObject* o : window.findChildren<QObject*>()) {
        const QString name = o->objectName();
        if (name.isEmpty() || name.startsWith(QLatin1String("qt_"))) continue;
        // The file dialogs' own texts are Qt's.
        auto* owner = qobject_cast<QWidget*>(o) ? qobject_cast<QWidget*>(o) : qobject_cast<QWidget*>(o->parent());
        if (owner && owner->window() != &window && !qobject_cast<QMenu*>(owner)) continue;
        auto add = [&](const char* kind, const QString& text) {
            if (!text.isEmpty()) rows << Row(name, kind, text);
        };
        if (auto* action = qobject_cast<QAction*>(o)) {
            add("caption", action->text());
            add("shortcut", action->shortcut().toString(QKeySequence::PortableText));
            continue;
        }
        auto* w = qobject_cast<QWidget*>(o);
        if (!w) continue;
        if (auto* menu = qobject_cast<QMenu*>(w)) add("caption", menu->title());
        else if (auto* button = qobject_cast<QAbstractButton*>(w)) add("caption", button->text());
        else if (auto* label = qobject_cast<QLabel*>(w)) add("caption", label->text());
        else if (auto* group = qobject_cast<QGroupBox*>(w)) add("caption", group->title());
        else if (auto* combo = qobject_cast<QComboBox*>(w)) {
            QStringList items;
            for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
            add("items", items.join(QLatin1Char('|')));
        } else if (auto* edit = qobject_cast<QLineEdit*>(w);
                   edit && !qobject_cast<QComboBox*>(edit->parentWidget()))
            add("caption", edit->text());
        add("hint", w->toolTip());
    }
    return rows;
}

void CompareWhole(QStringList shown, QStringList expected) {
    shown.sort();
    expected.sort();
    for (const QString& s : shown)
        if (!expected.contains(s)) qWarning("shown, not in the table: %s", qPrintable(s));
    for (const QString& e : expected)
        if (!shown.contains(e)) qWarning("in the table, not shown: %s", qPrintable(e));
    QCOMPARE(shown, expected);
}

} // namespace

class WindowTextsTest : public QObject {
    Q_OBJECT
private slots:
    void mainWindow() {
        TfmMain window;
        CompareWhole(TextsOf(window), Rows(test::kMainWindowTexts));
    }

    void aboutWindow() {
        const auto record = EncodeVersionRecord(MakeProgramVersion(1, 0, 0, 3, "Test"));
        TfmAbout about(nullptr, [record] { return std::optional<std::vector<std::uint8_t>>(record); });
        QStringList expected = Rows(test::kAboutWindowTexts);
        expected << Row(QStringLiteral("cpVersionString"), "caption", QStringLiteral("Version 1.0.0  Build 3"))
                 << Row(QStringLiteral("LMDSimpleLabel1"), "caption", QString::fromLatin1(TfmHelp::HostName));
        CompareWhole(TextsOf(about), expected);
    }

    void helpWindow() {
        TfmHelp help;
        auto* memo = help.findChild<QPlainTextEdit*>(QStringLiteral("Memo1"));
        QVERIFY(memo);
        QStringList shown = TextsOf(help);
        shown.removeAll(Row(QStringLiteral("Memo1"), "hint", QString())); // (none)
        CompareWhole(shown, Rows(test::kHelpWindowTexts));

        QStringList lines;
        for (const char* line : test::kHelpLines)
            lines << QString::fromLatin1(line ? line : TfmHelp::HostName);
        const QStringList memoLines = memo->toPlainText().split(QLatin1Char('\n'));
        QCOMPARE(memoLines.size(), 84);
        for (int i = 0; i < 84; ++i)
            QVERIFY2(memoLines[i] == lines[i],
                     qPrintable(QStringLiteral("line %1: \"%2\"").arg(i + 1).arg(memoLines[i])));
    }
};

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    WindowTextsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "WindowTextsTest.moc"
