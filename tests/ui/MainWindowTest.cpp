// The main window driven headless: controls as laid out, the threshold and
// printer-list rules, load and save through the real file dialogs, the menu
// shortcuts and the Help and About windows.

#include <algorithm>
#include <cctype>
#include <memory>

#include <unistd.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QGroupBox>
#include <QImageWriter>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>
#include <QUrl>

#include "ExpectedLogos.h"
#include "Sha256.h"
#include "UiTestSupport.h"
#include "image/FileFormats.h"
#include "image/Image.h"
#include "import/ImportedFormats.h"
#include "logo/LogoFile.h"
#include "logo/SaveCommand.h"
#include "resources/Glyphs.h"
#include "ui/AppTitle.h"
#include "ui/EventGuard.h"
#include "ui/ImageView.h"
#include "ui/Main.h"
#include "ui/MessageBoxes.h"
#include "ui/PictureFilter.h"
#include "ui/PrinterCombo.h"
#include "ui/UpDown.h"

using namespace tlc;
using tlc::test::WhenModal;

class MainWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TfmMain> window;
    std::unique_ptr<QTemporaryDir> dir;

    template <typename T> T* Control(const char* name) {
        T* w = window->findChild<T*>(QString::fromLatin1(name));
        if (!w) qFatal("control %s missing", name);
        return w;
    }
    QLineEdit* Edit(const char* name) { return Control<QLineEdit>(name); }
    QString Path(const QString& name) const { return dir->filePath(name); }

    void ShowActive() {
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        // The closed dialog may still be the active widget window for a moment.
        QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(window.get()));
    }

    // Keys go where a person's keys go: to the widget that has the focus.
    static void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
        QWidget* focus = QApplication::focusWidget();
        QVERIFY(focus);
        QTest::keyClick(focus, key, modifiers);
    }
    static void Type(const QString& text) {
        QWidget* focus = QApplication::focusWidget();
        QVERIFY(focus);
        QTest::keyClicks(focus, text);
    }
    static void Click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); }

    // Clicks into a box to give it the focus; the click also brings its window
    // to the front, as the window manager does.
    static void ClickToFocus(QWidget* w) {
        w->window()->activateWindow();
        QTRY_VERIFY(w->window()->isActiveWindow());
        Click(w);
        QTRY_COMPARE(QApplication::focusWidget(), w);
    }

    // Clicks into a box, selects all of its text and types over it.
    static void TypeInto(QLineEdit* edit, const QString& text) {
        ClickToFocus(edit);
        Press(Qt::Key_A, Qt::ControlModifier);
        Type(text);
    }

    // Clicks into a box, selects all of its text and pastes `text` over it.
    static void PasteInto(QLineEdit* edit, const QString& text) {
        ClickToFocus(edit);
        Press(Qt::Key_A, Qt::ControlModifier);
        QApplication::clipboard()->setText(text);
        Press(Qt::Key_V, Qt::ControlModifier);
    }

    // Opens a menu of the menu bar with the mouse and clicks one of its items.
    void ChooseMenuItem(const char* menuName, const char* actionName) {
        auto* bar = Control<QMenuBar>("MainMenu1");
        auto* menu = Control<QMenu>(menuName);
        auto* action = window->findChild<QAction*>(QString::fromLatin1(actionName));
        QVERIFY(action);
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(menu->menuAction()).center());
        QTRY_VERIFY(menu->isVisible());
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
    }

    // The file dialog's name completion reads the folder in the background
    // and can open its list after the dialog has closed; no person sees it
    // over a closed dialog.
    static void DropStrayCompletions() {
        while (QWidget* popup = QApplication::activePopupWidget()) popup->hide();
    }

    // Opens a drop-down list with the mouse and clicks the entry at `index`.
    static void ChooseFromList(QComboBox* list, int index) {
        DropStrayCompletions();
        QTest::mouseClick(list, Qt::LeftButton, {}, QPoint(list->width() - 6, list->height() / 2));
        QAbstractItemView* view = list->view();
        QTRY_VERIFY(view->isVisible());
        const QPoint at = view->visualRect(view->model()->index(index, 0)).center();
        // The list ignores a release that comes right after it opened, as the
        // end of the click that opened it; a person's next click counts.
        QTRY_VERIFY((QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at), !view->isVisible()));
        // The focus goes back to the list once its window is active again, as
        // a window manager makes it when a drop-down closes.
        QTRY_VERIFY(!QApplication::activePopupWidget());
        list->window()->activateWindow();
        QTRY_VERIFY(QApplication::focusWidget() == list || QApplication::focusWidget() == list->lineEdit());
    }

    // Clicks the button of a message box or dialog that carries `caption`.
    static void ClickButton(QWidget* box, const QString& caption) {
        for (auto* button : box->findChildren<QAbstractButton*>())
            if (button->isVisible() && button->text().remove(QLatin1Char('&')) == caption) {
                Click(button);
                return;
            }
        QFAIL(qPrintable(QStringLiteral("no button ") + caption));
    }

    // Answers a message box by clicking its one button.
    static void ClickOnlyButton(QWidget* box) {
        QList<QPushButton*> buttons;
        for (auto* button : box->findChildren<QPushButton*>())
            if (button->isVisible()) buttons << button;
        QCOMPARE(buttons.size(), 1);
        Click(buttons.first());
    }

    // Types a name into a file dialog's name box, which has the focus when
    // the dialog opens, and presses Enter.
    static void TypeFileName(QFileDialog* dialog, const QString& name) {
        auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        QVERIFY(edit);
        QTRY_COMPARE(QApplication::focusWidget(), edit);
        Press(Qt::Key_A, Qt::ControlModifier);
        Type(name);
        Press(Qt::Key_Return);
    }

    // Answers the next file dialog with `name`; a message box that follows it
    // is read into `boxText` and answered by its button, so that no box is
    // left waiting.
    static void AnswerFileDialog(const QString& name, QString& boxText) {
        WhenModal([name, &boxText](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            QVERIFY(dialog);
            WhenModal(
                [&boxText](QWidget* box) {
                    auto* message = qobject_cast<QMessageBox*>(box);
                    boxText = message ? message->text() : box->windowTitle();
                    ClickOnlyButton(box);
                },
                dialog);
            TypeFileName(dialog, name);
        });
    }

    // Loads `path` through the real open dialog.
    void LoadThroughDialog(const QString& path) {
        WhenModal([path](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            QVERIFY(dialog);
            TypeFileName(dialog, path);
        });
        QTest::mouseClick(Control<QPushButton>("btLoad"), Qt::LeftButton);
        DropStrayCompletions();
        // Back in the main window, as the window manager leaves it when the
        // dialog closes.
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
    }

    // A picture 20 x 12: left half black, right half white, a red middle row.
    QString WriteSamplePicture(const QString& name) {
        const QString path = Path(name);
        const bool ok =
            test::WriteFile(path, test::Bitmap24(20, 12, [](int x, int y) -> std::uint32_t {
                                if (y == 6) return 0xFF0000;
                                return x < 10 ? 0x000000 : 0xFFFFFF;
                            }));
        if (!ok) qFatal("cannot write the sample picture");
        return path;
    }

private slots:
    void init() {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        QDir::setCurrent(dir->path());
        window = std::make_unique<TfmMain>();
    }
    void cleanup() {
        test::DropPendingAnswers();
        window.reset();
        dir.reset();
    }

    void startUpState() {
        auto* list = Control<TPrinterCombo>("cbTargetPrinterType");
        QCOMPARE(list->ItemIndex(), 0);
        QCOMPARE(list->currentText(), QStringLiteral("Epson TM-T88III (NVRam)"));
        QCOMPARE(list->count(), 4);
        QCOMPARE(list->itemText(1), QStringLiteral("Epson TM-T88I/II (SRam)"));
        QCOMPARE(list->itemText(2), QStringLiteral("Star TSP-700"));
        QCOMPARE(list->itemText(3), QStringLiteral("IBM TF6"));
        for (const char* name : {"edRedThreshold", "edGreenThreshold", "edBlueThreshold"})
            QCOMPARE(Edit(name)->text(), QStringLiteral("128"));
        QVERIFY(window->SourceImage().Picture().Graphic() == nullptr);
        QVERIFY(window->TargetImage().Picture().Graphic() == nullptr);
        QCOMPARE(window->Geometry, (LogoGeometry{0, 0}));
        QCOMPARE(window->windowTitle(), QStringLiteral("Tillora Graphic Logo Converter"));
        QCOMPARE(window->OpenPictureDialog().directory().absolutePath(),
                 QDir(dir->path()).absolutePath());

        ShowActive();
        QCOMPARE(QApplication::focusWidget(), Control<QPushButton>("btLoad"));
        // Showing converts nothing either.
        QCOMPARE(window->Geometry, (LogoGeometry{0, 0}));
        QVERIFY(window->TargetImage().Picture().Graphic() == nullptr);
    }

    void clientAreaGrowsWithTheWindow() {
        ShowActive();
        auto* client = Control<QWidget>("ClientArea");
        QCOMPARE(client->size(), QSize(674, 521));
        QCOMPARE(client->pos(), QPoint(4, 4));
        const QSize before = window->size();
        window->resize(before.width() + 100, before.height() + 50);
        // Both panes share the new width and take the new height; the buttons
        // stay below them, Close at the right edge.
        QTRY_COMPARE(client->size(), QSize(774, 571));
        QCOMPARE(Control<QWidget>("ScrollBox1")->geometry(), QRect(0, 92, 380, 410));
        QCOMPARE(Control<QWidget>("ScrollBox2")->geometry(), QRect(394, 92, 380, 410));
        QCOMPARE(Control<QWidget>("btLoad")->pos(), QPoint(0, 506));
        QCOMPARE(Control<QWidget>("btSave")->pos(), QPoint(396, 506));
        QCOMPARE(Control<QWidget>("btClose")->pos(), QPoint(649, 506));
        // Smaller than laid out: the controls keep their places and scroll.
        window->resize(before.width() - 200, before.height() - 150);
        QTRY_COMPARE(client->size(), QSize(674, 521));
        QCOMPARE(Control<QWidget>("btClose")->pos(), QPoint(549, 456));
        window->resize(before);
        QTRY_COMPARE(client->size(), QSize(674, 521));
    }

    void controlsAsLaidOut_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("parent");
        QTest::addColumn<QRect>("bounds");
        QTest::addColumn<QString>("hint");
        auto row = [](const char* name, const char* parent, QRect r, const char* hint) {
            QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(parent) << r
                                << QString::fromLatin1(hint);
        };
        row("btLoad", "ClientArea", {0, 456, 125, 65}, "Load a bitmap ready for conversion");
        row("btSave", "ClientArea", {346, 456, 125, 65},
            "Save this image as an Tillora resource file");
        row("btClose", "ClientArea", {549, 456, 125, 65}, "");
        row("GroupBox1", "ClientArea", {0, 0, 385, 81}, "");
        row("cbTargetPrinterType", "GroupBox1", {8, 32, 369, 31},
            "Choose the target printer for the receipt logo");
        row("GroupBox2", "ClientArea", {392, 0, 281, 81}, "");
        row("Label1", "GroupBox2", {13, 23, 20, 13}, "");
        row("Label2", "GroupBox2", {69, 24, 29, 13}, "");
        row("Label3", "GroupBox2", {126, 23, 21, 13}, "");
        row("edRedThreshold", "GroupBox2", {12, 40, 33, 21},
            "All colours where red has a lower value than this (RGB) will be added to the target "
            "image");
        row("UpDown1", "GroupBox2", {45, 40, 16, 21}, "");
        row("edGreenThreshold", "GroupBox2", {68, 40, 33, 21},
            "All colours where green has a lower value than this (RGB) will be added to the target "
            "image");
        row("UpDown2", "GroupBox2", {101, 40, 16, 21}, "");
        row("edBlueThreshold", "GroupBox2", {124, 40, 33, 21},
            "All colours where blue has a lower value than this (RGB) will be added to the target "
            "image");
        row("UpDown3", "GroupBox2", {157, 40, 16, 21}, "");
        row("btRefresh", "GroupBox2", {184, 34, 88, 39},
            "Refresh the target image with the new threshold values");
        row("ScrollBox1", "ClientArea", {0, 92, 330, 360}, "Shows the image that has been loaded");
        row("ScrollBox2", "ClientArea", {344, 92, 330, 360},
            "Shows the image as it will appear on the top of the receipt");
        row("imgSourceImage", "ScrollBox1Contents", {-4, -6, 245, 263}, "");
        row("imgTargetImage", "ScrollBox2Contents", {-4, -6, 225, 233}, "");
    }
    void controlsAsLaidOut() {
        QFETCH(QString, name);
        QFETCH(QString, parent);
        QFETCH(QRect, bounds);
        QFETCH(QString, hint);
        auto* w = window->findChild<QWidget*>(name);
        QVERIFY(w);
        QCOMPARE(w->parentWidget()->objectName(), parent);
        QCOMPARE(w->geometry(), bounds);
        QCOMPARE(w->toolTip(), hint);
        if (!hint.isEmpty()) QCOMPARE(w->toolTipDuration(), 2500);
    }

    void captionsFontsAndTabOrder() {
        QCOMPARE(Control<QPushButton>("btLoad")->text(), QStringLiteral("&Load"));
        QCOMPARE(Control<QPushButton>("btSave")->text(), QStringLiteral("&Save"));
        QCOMPARE(Control<QPushButton>("btClose")->text(), QStringLiteral("&Close"));
        QCOMPARE(Control<QPushButton>("btRefresh")->text(), QStringLiteral("&Refresh"));
        QCOMPARE(Control<QGroupBox>("GroupBox1")->title(), QStringLiteral("Target Printer"));
        QCOMPARE(Control<QGroupBox>("GroupBox2")->title(),
                 QStringLiteral("Colour Threshold Values"));
        const QFont buttonFont = Control<QPushButton>("btLoad")->font();
        QCOMPARE(buttonFont.family(), QStringLiteral("Arial"));
        QCOMPARE(buttonFont.pixelSize(), 19);
        QVERIFY(buttonFont.italic());
        QCOMPARE(window->font().pixelSize(), 11);
        QCOMPARE(Control<QPushButton>("btLoad")->iconSize(), QSize(47, 48));
        QCOMPARE(Control<QPushButton>("btSave")->iconSize(), QSize(47, 47));
        QCOMPARE(Control<QPushButton>("btClose")->iconSize(), QSize(15, 17));
        QVERIFY(Control<QPushButton>("btRefresh")->icon().isNull());

        ShowActive();
        const char* order[] = {
            "btLoad",         "btSave",           "btClose",         "cbTargetPrinterType",
            "edRedThreshold", "edGreenThreshold", "edBlueThreshold", "btRefresh",
            "btLoad"};
        QCOMPARE(QApplication::focusWidget(), Control<QPushButton>("btLoad"));
        for (std::size_t i = 1; i < std::size(order); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget* focus = QApplication::focusWidget();
            // The printer list's text field has the focus on its behalf.
            if (qobject_cast<QComboBox*>(focus->parentWidget())) focus = focus->parentWidget();
            QCOMPARE(focus->objectName(), QString::fromLatin1(order[i]));
        }
    }

    void buttonPicturesAndIcon() {
        const struct {
            const char* path;
            QSize size;
            QRgb key;
        } glyphs[] = {{":/glyphs/load.bmp", {47, 48}, qRgb(255, 0, 255)},
                      {":/glyphs/save.bmp", {47, 47}, qRgb(255, 0, 255)},
                      {":/glyphs/close.bmp", {15, 17}, qRgb(255, 255, 255)}};
        for (const auto& g : glyphs) {
            const QImage file(QString::fromLatin1(g.path));
            QCOMPARE(file.size(), g.size);
            QCOMPARE(file.pixel(0, g.size.height() - 1), g.key);
            const QImage shown = TransparentGlyph(QString::fromLatin1(g.path)).toImage();
            int clear = 0, keyed = 0;
            for (int y = 0; y < file.height(); ++y)
                for (int x = 0; x < file.width(); ++x) {
                    keyed += file.pixel(x, y) == g.key;
                    clear += qAlpha(shown.pixel(x, y)) == 0;
                }
            // Exactly the pixels of the corner's colour are transparent.
            QCOMPARE(clear, keyed);
            QVERIFY(keyed > 0 && keyed < file.width() * file.height());
        }
        // Each size is drawn, not scaled, and keeps the tile's clear corners.
        const QIcon icon = ApplicationIcon();
        for (const int size : ApplicationIconSizes) {
            QVERIFY(icon.availableSizes().contains(QSize(size, size)));
            const QImage image = icon.pixmap(QSize(size, size)).toImage();
            QCOMPARE(image.size(), QSize(size, size));
            QVERIFY(image.hasAlphaChannel());
            QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
        }
    }

    void menuCaptionsAndShortcuts() {
        const struct {
            const char* name;
            const char* caption;
            const char* shortcut;
        } items[] = {{"Openbitmap1", "&Open bitmap", "Ctrl+O"},
                     {"Saverscfile1", "Save .rsc file", "Ctrl+S"},
                     {"Exit1", "E&xit", "Ctrl+X"},
                     {"Help2", "&Help", "F1"},
                     {"About1", "&About", ""}};
        for (const auto& item : items) {
            auto* action = window->findChild<QAction*>(QString::fromLatin1(item.name));
            QVERIFY2(action, item.name);
            QCOMPARE(action->text(), QString::fromLatin1(item.caption));
            QCOMPARE(action->shortcut(), QKeySequence(QString::fromLatin1(item.shortcut)));
        }
        auto* file = window->findChild<QMenu*>(QStringLiteral("File1"));
        QVERIFY(file);
        QCOMPARE(file->title(), QStringLiteral("&File"));
        QCOMPARE(file->actions().size(), 4);
        QVERIFY(file->actions()[2]->isSeparator());
        QCOMPARE(file->actions()[2]->objectName(), QStringLiteral("N1"));
        QCOMPARE(window->findChild<QMenu*>(QStringLiteral("Help1"))->title(),
                 QStringLiteral("&Help"));
        QVERIFY(window->findChild<QMenuBar*>(QStringLiteral("MainMenu1")));
    }

    // The correction rule's cases are in the core tests; here each box runs
    // it on what is typed into it.
    void thresholdTypedKeyByKey() {
        ShowActive();
        for (const char* name : {"edRedThreshold", "edGreenThreshold", "edBlueThreshold"}) {
            QLineEdit* edit = Edit(name);
            Click(edit);
            QTRY_COMPARE(QApplication::focusWidget(), edit);
            Press(Qt::Key_A, Qt::ControlModifier);
            Press(Qt::Key_Backspace);
            QCOMPARE(edit->text(), QStringLiteral("0"));
            Press(Qt::Key_A, Qt::ControlModifier);
            Type(QStringLiteral("300"));
            QCOMPARE(edit->text(), QStringLiteral("255"));
            Press(Qt::Key_A, Qt::ControlModifier);
            Type(QStringLiteral("x"));
            QCOMPARE(edit->text(), QStringLiteral("0"));
            // Typed key by key, "$10" passes through "$", which becomes "0".
            Press(Qt::Key_A, Qt::ControlModifier);
            Type(QStringLiteral("$10"));
            QCOMPARE(edit->text(), QStringLiteral("010"));
        }
    }

    // Start text, arrow (+1 up, -1 down), clicks, text afterwards.
    void upDownSteps_data() {
        QTest::addColumn<QString>("start");
        QTest::addColumn<int>("direction");
        QTest::addColumn<int>("clicks");
        QTest::addColumn<QString>("expected");
        QTest::newRow("up once") << "128" << 1 << 1 << "129";
        QTest::newRow("down once") << "128" << -1 << 1 << "127";
        QTest::newRow("stops at 255") << "253" << 1 << 5 << "255";
        QTest::newRow("stops at 0") << "2" << -1 << 5 << "0";
        QTest::newRow("from leading zeros") << "007" << 1 << 1 << "8";
        QTest::newRow("from hex") << "$10" << -1 << 1 << "15";
    }
    void upDownSteps() {
        QFETCH(QString, start);
        QFETCH(int, direction);
        QFETCH(int, clicks);
        QFETCH(QString, expected);
        ShowActive();
        const struct {
            const char* edit;
            const char* upDown;
        } pairs[] = {{"edRedThreshold", "UpDown1"},
                     {"edGreenThreshold", "UpDown2"},
                     {"edBlueThreshold", "UpDown3"}};
        for (const auto& p : pairs) {
            QLineEdit* edit = Edit(p.edit);
            auto* upDown = Control<TUpDown>(p.upDown);
            QCOMPARE(upDown->Associate(), edit);
            PasteInto(edit, start);
            int changes = 0;
            auto c = connect(edit, &QLineEdit::textChanged, this, [&] { ++changes; });
            const QPoint where(upDown->width() / 2, direction > 0 ? 3 : upDown->height() - 3);
            for (int i = 0; i < clicks; ++i)
                QTest::mouseClick(upDown, Qt::LeftButton, {}, where);
            disconnect(c);
            QCOMPARE(edit->text(), expected);
            QVERIFY(changes >= 1);
            // The keys in the box step the same way.
            PasteInto(edit, start);
            for (int i = 0; i < clicks; ++i)
                Press(direction > 0 ? Qt::Key_Up : Qt::Key_Down);
            QCOMPARE(edit->text(), expected);
        }
    }

    void upDownHeldKeepsStepping() {
        ShowActive();
        auto* upDown = Control<TUpDown>("UpDown3");
        QLineEdit* edit = Edit("edBlueThreshold");
        QTest::mousePress(upDown, Qt::LeftButton, {}, QPoint(upDown->width() / 2, 3));
        QCOMPARE(edit->text(), QStringLiteral("129"));
        // Held down, it keeps stepping; released, it stops.
        QTRY_VERIFY(edit->text().toInt() > 130);
        QTest::mouseRelease(upDown, Qt::LeftButton, {}, QPoint(upDown->width() / 2, 3));
        const int afterRelease = edit->text().toInt();
        QSignalSpy changed(edit, &QLineEdit::textChanged);
        QVERIFY(!changed.wait(300));
        QCOMPARE(edit->text().toInt(), afterRelease);
    }

    void thresholdChangeConvertsNothingUntilRefresh() {
        ShowActive();
        QTest::mouseClick(Control<QPushButton>("btRefresh"), Qt::LeftButton);
        // No picture: an 8 x 8 white target.
        QCOMPARE(window->Geometry, (LogoGeometry{8, 8}));
        TBitmapCanvas& target = window->TargetImage().EnsureCanvas();
        QCOMPARE(target.ReadPixel(3, 3), clWhite);
        TypeInto(Edit("edRedThreshold"), QStringLiteral("255"));
        QCOMPARE(window->TargetImage().EnsureCanvas().ReadPixel(3, 3), clWhite);
        QTest::mouseClick(Control<QPushButton>("btRefresh"), Qt::LeftButton);
        QCOMPARE(window->TargetImage().EnsureCanvas().ReadPixel(3, 3), clBlack);
        QCOMPARE(window->RedThreshold, 255);
    }

    void printerListTyping() {
        ShowActive();
        auto* list = Control<TPrinterCombo>("cbTargetPrinterType");
        QLineEdit* text = list->lineEdit();
        Click(text);
        QTRY_VERIFY(QApplication::focusWidget() == list || QApplication::focusWidget() == text);
        Press(Qt::Key_A, Qt::ControlModifier);
        int changes = 0;
        connect(list, &TPrinterCombo::Change, this, [&] { ++changes; });

        // "i" on a wholly selected field: IBM TF6, typed letter kept, rest selected.
        Press(Qt::Key_I);
        QCOMPARE(list->ItemIndex(), 3);
        QCOMPARE(text->text(), QStringLiteral("iBM TF6"));
        QCOMPARE(text->selectedText(), QStringLiteral("BM TF6"));
        QCOMPARE(changes, 1);
        QCOMPARE(window->Geometry, (LogoGeometry{8, 8})); // converted with the IBM limits

        // Further typing replaces the selected rest; same model, no event.
        Press(Qt::Key_B);
        QCOMPARE(text->text(), QStringLiteral("ibM TF6"));
        QCOMPARE(text->selectedText(), QStringLiteral("M TF6"));
        QCOMPARE(changes, 1);

        // Backspace deletes the selection and leaves no model selected.
        Press(Qt::Key_Backspace);
        QCOMPARE(text->text(), QStringLiteral("ib"));
        QCOMPARE(text->cursorPosition(), 2);
        QCOMPARE(list->ItemIndex(), -1);
        QCOMPARE(changes, 2);
        QCOMPARE(window->Geometry, (LogoGeometry{0, 0})); // zero limits
        QCOMPARE(window->GetMaxWidth(), 0);
        QCOMPARE(window->GetMaxHeight(), 0);
        QCOMPARE(window->GetMaxArea(), 0);

        // Then the character before the caret.
        Press(Qt::Key_Backspace);
        QCOMPARE(text->text(), QStringLiteral("i"));
        QCOMPARE(changes, 3);
        // Backspace on an empty field still raises the event.
        Press(Qt::Key_Backspace);
        Press(Qt::Key_Backspace);
        QCOMPARE(text->text(), QString());
        QCOMPARE(changes, 5);

        // "s" then: Star TSP-700.
        Press(Qt::Key_S);
        QCOMPARE(list->ItemIndex(), 2);
        QCOMPARE(text->text(), QStringLiteral("star TSP-700"));
        QCOMPARE(changes, 6);

        // Text no name begins with goes in as typed: no model selected.
        Press(Qt::Key_A, Qt::ControlModifier);
        Type(QStringLiteral("zq"));
        QCOMPARE(text->text(), QStringLiteral("zq"));
        QCOMPARE(list->ItemIndex(), -1);
        QCOMPARE(changes, 8);
        QCOMPARE(window->Geometry, (LogoGeometry{0, 0}));

        // Save with no model selected: no dialog, no file.
        bool dialogSeen = false;
        WhenModal([&](QWidget* modal) {
            dialogSeen = true;
            modal->close();
        });
        // A dialog would be answered before the click returns.
        Click(Control<QPushButton>("btSave"));
        QVERIFY(!dialogSeen);
        QVERIFY(QDir(dir->path()).entryList(QDir::Files).isEmpty());
        test::DropPendingAnswers();

        // Tab does not complete: "e", its completion deleted, then Tab.
        Click(text);
        QTRY_VERIFY(QApplication::focusWidget() == list || QApplication::focusWidget() == text);
        Press(Qt::Key_A, Qt::ControlModifier);
        Type(QStringLiteral("e"));
        Press(Qt::Key_Delete);
        QCOMPARE(text->text(), QStringLiteral("e"));
        Press(Qt::Key_Tab);
        QCOMPARE(text->text(), QStringLiteral("e"));
    }

    void printerChosenFromTheList() {
        ShowActive();
        auto* list = Control<TPrinterCombo>("cbTargetPrinterType");
        int changes = 0;
        connect(list, &TPrinterCombo::Change, this, [&] { ++changes; });
        ChooseFromList(list, 1);
        QCOMPARE(list->ItemIndex(), 1);
        QCOMPARE(list->lineEdit()->text(), QStringLiteral("Epson TM-T88I/II (SRam)"));
        QCOMPARE(changes, 1);
        QCOMPARE(window->GetMaxWidth(), 480);
        QCOMPARE(window->GetMaxHeight(), 384);
        QCOMPARE(window->GetMaxArea(), 98304);
    }

    void loadThenSaveThroughTheDialogs() {
        ShowActive();
        const QString picture = WriteSamplePicture(QStringLiteral("sample.bmp"));
        const QStringList filters = window->OpenPictureDialog().nameFilters();
        QVERIFY(!filters.isEmpty());
        QVERIFY2(filters.first().startsWith(QStringLiteral("All (*.bmp *.ico *.emf *.wmf *.svg")),
                 qPrintable(filters.first()));

        LoadThroughDialog(picture);
        QCOMPARE(window->SourceImage().Picture().Width(), 20);
        QCOMPARE(window->SourceImage().Width(), 20); // sized to its picture
        QCOMPARE(window->Geometry, (LogoGeometry{24, 16}));
        QCOMPARE(window->TargetImage().Width(), 24);
        QCOMPARE(window->TargetImage().EnsureCanvas().ReadPixel(2, 2), clBlack);
        QCOMPARE(window->TargetImage().EnsureCanvas().ReadPixel(15, 2), clWhite);

        // The save dialog opens in the picture's folder with "logo.rsc".
        const QString saved = Path(QStringLiteral("out/my logo.rsc"));
        QVERIFY(QDir(dir->path()).mkdir(QStringLiteral("out")));
        QString offeredFolder, offeredName;
        WhenModal([&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            QVERIFY(dialog);
            offeredFolder = dialog->directory().absolutePath();
            offeredName = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
            TypeFileName(dialog, Path(QStringLiteral("out/my logo")));
        });
        QTest::mouseClick(Control<QPushButton>("btSave"), Qt::LeftButton);
        QCOMPARE(offeredFolder, QDir(dir->path()).absolutePath());
        QCOMPARE(offeredName, QStringLiteral("logo.rsc"));
        // Columns 0-9 black but for the margin rows 12-15, columns 10-19 black
        // only in the red row 6, columns 20-23 the margin.
        const QByteArray expected =
            QByteArray::fromHex("37001C710103000200") + QByteArray::fromHex("FFF0").repeated(10) +
            QByteArray::fromHex("0200").repeated(10) + QByteArray::fromHex("0000").repeated(4);
        QCOMPARE(test::ReadFile(saved).toHex(' '), expected.toHex(' ')); // default suffix added

        // The next save offers the chosen path again; Ctrl+S reaches it too.
        QString offeredAgain;
        WhenModal([&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            // What the operator sees: the folder and the name in the name box.
            offeredAgain = dialog->directory().filePath(
                dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text());
            ClickButton(dialog, QStringLiteral("Cancel"));
        });
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        // The closed dialog may still be the active widget window for a moment.
        QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(window.get()));
        Press(Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(offeredAgain, saved);
    }

    // The whole road as a person takes it, checked against the logo files
    // worked out on their own (tests/ExpectedLogos.h): a picture cut by the
    // printer's area, each threshold typed into its own box, Refresh, Save.
    void typedThresholdsGiveTheExpectedLogo() {
        const test::ExpectedPicture picture = test::kExpectedPictures[10];
        QCOMPARE(QString::fromLatin1(picture.Name), QStringLiteral("a420x300"));
        const QString path = Path(QStringLiteral("shop.bmp"));
        QVERIFY(test::WriteFile(path, test::Bitmap24(picture.Width, picture.Height, test::ExpectedPictureRgb)));
        ShowActive();
        LoadThroughDialog(path);
        ChooseFromList(Control<TPrinterCombo>("cbTargetPrinterType"), 1);

        for (int set : {1, 0}) {
            const test::ExpectedThresholds& t = test::kExpectedThresholdSets[set];
            TypeInto(Edit("edRedThreshold"), QString::number(t.Red));
            TypeInto(Edit("edGreenThreshold"), QString::number(t.Green));
            TypeInto(Edit("edBlueThreshold"), QString::number(t.Blue));
            Click(Control<QPushButton>("btRefresh"));
            const auto* expected = std::find_if(std::begin(test::kExpectedLogos), std::end(test::kExpectedLogos),
                                                [&](const test::ExpectedLogo& e) {
                                                    return e.Picture == std::string(picture.Name) &&
                                                           e.Printer == 1 && e.ThresholdSet == set;
                                                });
            QVERIFY(expected != std::end(test::kExpectedLogos));
            QCOMPARE(window->Geometry, (LogoGeometry{expected->Width, expected->Height}));

            // Saving shows no box; one that shows all the same is read and
            // closed, so that the test fails instead of waiting for it.
            const QString saved = Path(QStringLiteral("logo%1.rsc").arg(set));
            QString unexpectedBox;
            AnswerFileDialog(saved, unexpectedBox);
            Click(Control<QPushButton>("btSave"));
            test::DropPendingAnswers();
            QVERIFY2(unexpectedBox.isEmpty(), qPrintable(unexpectedBox));
            const QByteArray bytes = test::ReadFile(saved);
            QCOMPARE(std::size_t(bytes.size()), expected->Size);
            QCOMPARE(test::Sha256Hex(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                     std::size_t(bytes.size())),
                     std::string(expected->Sha256));
        }
    }

    void cancelledLoadChangesNothing() {
        ShowActive();
        // The operator picks the second filter, then cancels.
        QString second;
        WhenModal([&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            QVERIFY(dialog);
            second = dialog->nameFilters().value(1);
            ChooseFromList(dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo")), 1);
            QCOMPARE(dialog->selectedNameFilter(), second);
            ClickButton(dialog, QStringLiteral("Cancel"));
        });
        Press(Qt::Key_O, Qt::ControlModifier);
        QVERIFY(!second.isEmpty());
        QVERIFY(window->SourceImage().Picture().Graphic() == nullptr);
        QVERIFY(window->TargetImage().Picture().Graphic() == nullptr);
        QCOMPARE(window->Geometry, (LogoGeometry{0, 0}));

        // A cancelled run keeps nothing: the next one offers the "All" entry again.
        QString offered;
        WhenModal([&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            offered = dialog->selectedNameFilter();
            ClickButton(dialog, QStringLiteral("Cancel"));
        });
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        // The closed dialog may still be the active widget window for a moment.
        QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(window.get()));
        ChooseMenuItem("File1", "Openbitmap1");
        QCOMPARE(offered, window->OpenPictureDialog().nameFilters().value(0));
        QCOMPARE(window->OpenPictureDialog().FilterIndex(), 0);
    }

    void badFileThroughLoadKeepsThePicture() {
        ShowActive();
        LoadThroughDialog(WriteSamplePicture(QStringLiteral("good.bmp")));
        QCOMPARE(window->Geometry, (LogoGeometry{24, 16}));
        const TGraphic* before = window->SourceImage().Picture().Graphic();
        const TColor targetBefore = window->TargetImage().EnsureCanvas().ReadPixel(2, 2);

        const QString bad = Path(QStringLiteral("bad.bmp"));
        QVERIFY(test::WriteFile(bad, QByteArray("BM this is not a bitmap at all")));
        std::string loaderText;
        try {
            TPicture probe;
            probe.LoadFile(bad.toStdString());
        } catch (const Exception& e) {
            loaderText = e.Message();
        }
        QVERIFY(!loaderText.empty());

        QString boxText, boxTitle;
        WhenModal([&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            QVERIFY(dialog);
            WhenModal(
                [&](QWidget* box) {
                    auto* message = qobject_cast<QMessageBox*>(box);
                    QVERIFY(message);
                    boxText = message->text();
                    boxTitle = message->windowTitle();
                    ClickOnlyButton(message);
                },
                dialog);
            TypeFileName(dialog, bad);
        });
        QTest::mouseClick(Control<QPushButton>("btLoad"), Qt::LeftButton);
        QCOMPARE(boxText, QString::fromStdString(WithFullStop(loaderText)));
        QCOMPARE(boxTitle, QString::fromUtf8(kApplicationTitle));
        QVERIFY(window->isVisible());
        QCOMPARE(window->SourceImage().Picture().Graphic(), before);
        QCOMPARE(window->SourceImage().Picture().Width(), 20);
        QCOMPARE(window->Geometry, (LogoGeometry{24, 16}));
        QCOMPARE(window->TargetImage().EnsureCanvas().ReadPixel(2, 2), targetBefore);
    }

    // An icon loads and shows, then the conversion refuses it: the error box
    // comes from the guard, the geometry already holds the icon's fitted size.
    void iconLoadsButDoesNotConvert() {
        QImage blue(16, 16, QImage::Format_ARGB32);
        blue.fill(qRgb(0, 0, 255));
        const QString path = Path(QStringLiteral("small.ico"));
        QImageWriter writer(path, "ico");
        if (!writer.canWrite()) QSKIP("no ico writer in this Qt");
        QVERIFY(writer.write(blue));
        ShowActive();

        QString boxText;
        AnswerFileDialog(path, boxText);
        QTest::mouseClick(Control<QPushButton>("btLoad"), Qt::LeftButton);
        QCOMPARE(boxText, QStringLiteral("Can only modify an image if it contains a bitmap."));
        QCOMPARE(window->SourceImage().Picture().Graphic()->Kind(), GraphicKind::Icon);
        QCOMPARE(window->Geometry, (LogoGeometry{24, 24}));
        QVERIFY(window->isVisible());
        // The program carries on: Refresh raises the same error again, once.
        int boxes = 0;
        WhenModal([&](QWidget* box) {
            ++boxes;
            ClickOnlyButton(box);
        });
        QTest::mouseClick(Control<QPushButton>("btRefresh"), Qt::LeftButton);
        QCOMPARE(boxes, 1);
    }

    // Saving over the loaded picture, by its name, a hard link or a symbolic
    // link, is refused in the information box; the picture stays whole.
    void saveOverTheLoadedPictureRefused() {
        ShowActive();
        const QString picture = WriteSamplePicture(QStringLiteral("keep.bmp"));
        const QByteArray before = test::ReadFile(picture);
        LoadThroughDialog(picture);
        QVERIFY(QFile::link(picture, Path(QStringLiteral("soft.bmp"))));
        const bool hardLink =
            ::link(QFile::encodeName(picture).constData(),
                   QFile::encodeName(Path(QStringLiteral("hard.bmp"))).constData()) == 0;
        QStringList names{picture, Path(QStringLiteral("soft.bmp"))};
        if (hardLink) names << Path(QStringLiteral("hard.bmp"));
        for (const QString& name : names) {
            QString shown;
            WhenModal([&](QWidget* modal) {
                auto* dialog = qobject_cast<QFileDialog*>(modal);
                QVERIFY(dialog);
                WhenModal(
                    [&](QWidget* box) {
                        if (auto* label = box->findChild<QLabel*>(QStringLiteral("messageLabel")))
                            shown = label->text();
                        ClickOnlyButton(box);
                    },
                    dialog);
                TypeFileName(dialog, name);
            });
            QTest::mouseClick(Control<QPushButton>("btSave"), Qt::LeftButton);
            // The dialog may hand back a link's target rather than the link.
            const QString chosen = shown.section(QLatin1Char('\''), 1, 1);
            QVERIFY2(chosen == name || chosen == picture, qPrintable(name + QStringLiteral(": ") + shown));
            QCOMPARE(shown, QString::fromStdString(SameFileMessage(QFile::encodeName(chosen).toStdString(),
                                                                   QFile::encodeName(picture).toStdString())));
            QCOMPARE(test::ReadFile(picture), before);
            window->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(window.get()));
        }
        // Another name is written as always.
        QString none;
        AnswerFileDialog(Path(QStringLiteral("logo.rsc")), none);
        QTest::mouseClick(Control<QPushButton>("btSave"), Qt::LeftButton);
        QVERIFY(QFileInfo::exists(Path(QStringLiteral("logo.rsc"))));
    }

    // Picture menu: a dither rests the threshold boxes with a hint saying why,
    // and the line under the panes says what was cut and what was scaled.
    void pictureMenuDitherAndFit() {
        ShowActive();
        const QString path = Path(QStringLiteral("wide.bmp"));
        QVERIFY(test::WriteFile(path, test::Bitmap24(700, 90, [](int x, int) -> std::uint32_t {
                                    return x % 3 ? 0x808080 : 0x000000;
                                })));
        window->LoadPicture(path);
        QCOMPARE(window->Geometry, (LogoGeometry{600, 96}));
        QVERIFY2(
            window->StatusText().contains(QStringLiteral(
                "; picture 700 x 90 cut to 600 x 96 dots: Picture > Fit to printer scales it")),
            qPrintable(window->StatusText()));
        QVERIFY(window->StatusText().startsWith(
            QStringLiteral("Logo 600 x 96 dots (84.7 x 13.5 mm at 180 dpi)")));

        ChooseMenuItem("Picture1", "Atkinson1");
        QCOMPARE(window->Dither(), std::optional(DitherMethod::Atkinson));
        for (const char* name : {"edRedThreshold", "edGreenThreshold", "edBlueThreshold"}) {
            QVERIFY(!Edit(name)->isEnabled());
            QVERIFY(Edit(name)->toolTip().startsWith(
                QStringLiteral("Not used while a dither is chosen")));
        }
        ChooseMenuItem("Picture1", "FitToPrinter1");
        QVERIFY(window->FitToPrinter());
        QVERIFY(!window->StatusText().contains(QStringLiteral("cut to")));
        QVERIFY2(window->StatusText().contains(QStringLiteral("picture 700 x 90 scaled to ")),
                 qPrintable(window->StatusText()));
        // The conversion saw black and white only.
        TCanvas& target = window->TargetImage().EnsureCanvas();
        const int fittedWidth = window->TargetImage().Picture().Width();
        QVERIFY(fittedWidth > 0 && fittedWidth <= window->Geometry.Width);
        for (int x = 0; x < fittedWidth; x += 7)
            QVERIFY(target.ReadPixel(x, 5) == clBlack || target.ReadPixel(x, 5) == clWhite);

        ChooseMenuItem("Picture1", "NoDither1");
        ChooseMenuItem("Picture1", "FitToPrinter1");
        QVERIFY(Edit("edRedThreshold")->isEnabled());
        QCOMPARE(Edit("edRedThreshold")->toolTip(),
                 QStringLiteral(
                     "All colours where red has a lower value than this (RGB) will be added to the "
                     "target image"));
        QCOMPARE(window->Geometry, (LogoGeometry{600, 96}));
    }

    // A picture file dropped on the window loads as Load does; another file
    // is not taken.
    void droppedPictureLoads() {
        ShowActive();
        const QString text = Path(QStringLiteral("notes.txt"));
        QVERIFY(test::WriteFile(text, "not a picture"));
        const QString picture = WriteSamplePicture(QStringLiteral("dropped.bmp"));
        for (const QString& path : {text, picture}) {
            QMimeData data;
            data.setUrls({QUrl::fromLocalFile(path)});
            const QPoint at = window->rect().center();
            QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(window.get(), &enter);
            QCOMPARE(enter.isAccepted(), path == picture);
            if (!enter.isAccepted()) continue;
            QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(window.get(), &drop);
        }
        QCOMPARE(window->SourceImage().Picture().Width(), 20);
        QCOMPARE(window->Geometry, (LogoGeometry{24, 16}));
        QCOMPARE(window->OpenPictureDialog().FileName(), picture);
    }

    void ctrlXInThresholdBoxCloses() {
        ShowActive();
        QSignalSpy closed(window.get(), &TfmMain::Closed);
        QLineEdit* edit = Edit("edRedThreshold");
        ClickToFocus(edit);
        Press(Qt::Key_A, Qt::ControlModifier);
        QApplication::clipboard()->setText(QStringLiteral("untouched"));
        Press(Qt::Key_X, Qt::ControlModifier);
        QVERIFY(!window->isVisible());
        QCOMPARE(closed.count(), 1);
        QCOMPARE(edit->text(), QStringLiteral("128"));
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("untouched"));
    }

    void shortcutsFromTheHelpWindowNotFromModalAbout() {
        // Stand-ins with something to hold the focus and a button to close.
        QWidget help;
        QLineEdit helpText(&help);
        QDialog about;
        QPushButton ok(QStringLiteral("OK"), &about);
        connect(&ok, &QPushButton::clicked, &about, &QDialog::accept);
        window->SetHelpWindow(&help);
        window->SetAboutWindow(&about);
        ShowActive();

        // F1 shows Help, modeless, in front.
        Press(Qt::Key_F1);
        QVERIFY(help.isVisible());
        QVERIFY(QTest::qWaitForWindowActive(&help));

        // While About is open, Ctrl+X does nothing.
        bool stillOpen = false;
        WhenModal([&](QWidget* modal) {
            QCOMPARE(modal, &about);
            Press(Qt::Key_X, Qt::ControlModifier);
            stillOpen = window->isVisible();
            ClickOnlyButton(modal);
        });
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        ChooseMenuItem("Help1", "About1");
        QVERIFY(stillOpen);
        QVERIFY(window->isVisible());

        // From the Help window Ctrl+X closes the main window.
        help.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&help));
        QTRY_COMPARE(QApplication::focusWidget(), &helpText);
        Press(Qt::Key_X, Qt::ControlModifier);
        QVERIFY(!window->isVisible());
        window->SetHelpWindow(nullptr);
    }

    void imagesHideTheirFirstColumnsAndRows() {
        ShowActive();
        LoadThroughDialog(WriteSamplePicture(QStringLiteral("edge.bmp")));
        for (const char* box : {"ScrollBox1", "ScrollBox2"}) {
            auto* area = Control<QScrollArea>(box);
            QWidget* content = area->widget();
            auto* view = content->findChild<TImageView*>();
            QCOMPARE(view->pos(), QPoint(-4, -6));
            QCOMPARE(content->size(), QSize(view->width() - 4, view->height() - 6));
            QCOMPARE(area->horizontalScrollBar()->minimum(), 0);
        }
    }

    // The hint that shows over a control: its own, else the nearest
    // enclosing control's; none where nothing above has one.
    void hintsInheritedFromEnclosingControls_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("shown");
        QTest::newRow("source image") << "imgSourceImage"
                                      << "Shows the image that has been loaded";
        QTest::newRow("target image")
            << "imgTargetImage"
            << "Shows the image as it will appear on the top of the receipt";
        QTest::newRow("own hint") << "btLoad"
                                  << "Load a bitmap ready for conversion";
        QTest::newRow("close button") << "btClose"
                                      << "";
        QTest::newRow("label") << "Label1"
                               << "";
        QTest::newRow("up-down") << "UpDown2"
                                 << "";
    }
    void hintsInheritedFromEnclosingControls() {
        QFETCH(QString, control);
        QFETCH(QString, shown);
        ShowActive();
        QToolTip::hideText();
        auto* w = window->findChild<QWidget*>(control);
        QVERIFY(w);
        const QPoint at(2, 2);
        QHelpEvent help(QEvent::ToolTip, at, w->mapToGlobal(at));
        QApplication::sendEvent(w, &help);
        if (shown.isEmpty()) {
            QTest::qWait(50);
            QVERIFY(!QToolTip::isVisible());
        } else {
            QTRY_VERIFY(QToolTip::isVisible());
            QCOMPARE(QToolTip::text(), shown);
        }
        QToolTip::hideText();
    }

    // The open dialog offers the four built-in formats first, as always, then
    // every format import/ reads; "All" takes every mask.
    void openDialogOffersImportedFormatsAfterTheFour() {
        const std::string filter = window->OpenPictureDialog().Filter();
        const std::string four = "|Bitmaps (*.bmp)|*.bmp|Icons (*.ico)|*.ico|Enhanced Metafiles "
                                 "(*.emf)|*.emf|Metafiles (*.wmf)|*.wmf|";
        const std::size_t afterAll = filter.find(four);
        QVERIFY2(afterAll != std::string::npos, filter.c_str());
        const std::string all = filter.substr(0, afterAll);
        QVERIFY2(all.rfind("All (*.bmp;*.ico;*.emf;*.wmf;", 0) == 0, all.c_str());
        for (const ImportedFormatInfo& format : ImportedFormats())
            for (std::string_view extension : format.Extensions) {
                const std::string mask = "*." + std::string(extension);
                QVERIFY2(all.find(mask) != std::string::npos, mask.c_str());
                const std::string pair =
                    std::string(format.Description) + " (" + mask + ")|" + mask;
                QVERIFY2(filter.find(pair, afterAll + four.size()) != std::string::npos,
                         pair.c_str());
                // LoadFile knows the extension, in any letter case.
                std::string upper(extension);
                for (char& c : upper)
                    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
                QVERIFY(TFileFormatsList::Instance().FindByExtension(upper) == GraphicKind::Bitmap);
            }
        QVERIFY(!TFileFormatsList::Instance().FindByExtension("xyz"));
    }

    void nameFiltersInQtForm() {
        const QStringList filters = QtNameFilters(
            "All (*.bmp;*.ico;*.emf;*.wmf)|*.bmp;*.ico;*.emf;*.wmf|Bitmaps (*.bmp)|*.bmp|Icons "
            "(*.ico)|*.ico");
        QCOMPARE(filters,
                 (QStringList{QStringLiteral("All (*.bmp *.ico *.emf *.wmf)"),
                              QStringLiteral("Bitmaps (*.bmp)"), QStringLiteral("Icons (*.ico)")}));
        QVERIFY(QtNameFilters("").isEmpty());
        QCOMPARE(QtNameFilters("Odd|*.x;;*.y|Dangling"),
                 QStringList{QStringLiteral("Odd (*.x *.y)")});
    }
};

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    MainWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "MainWindowTest.moc"
