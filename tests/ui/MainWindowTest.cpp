// The main window driven headless: controls as laid out, the threshold and
// printer-list rules, load and save through the real file dialogs, the menu
// shortcuts and the Help and About windows.

#include <memory>

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QFileDialog>
#include <QGroupBox>
#include <QImageWriter>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>

#include "UiTestSupport.h"
#include "image/Image.h"
#include "logo/LogoFile.h"
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

    // Types a name into a file dialog's name box and presses Enter.
    static void TypeFileName(QFileDialog* dialog, const QString& name) {
        auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        QVERIFY(edit);
        edit->setText(name);
        QTest::keyClick(edit, Qt::Key_Return);
    }

    // Loads `path` through the real open dialog.
    void LoadThroughDialog(const QString& path) {
        WhenModal([path](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            QVERIFY(dialog);
            TypeFileName(dialog, path);
        });
        QTest::mouseClick(Control<QPushButton>("btLoad"), Qt::LeftButton);
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

    void clientAreaIsFixed() {
        ShowActive();
        auto* client = Control<QWidget>("ClientArea");
        QCOMPARE(client->size(), QSize(674, 521));
        QCOMPARE(client->pos(), QPoint(4, 4));
        const QSize before = window->size();
        window->resize(before.width() + 100, before.height() + 50);
        QTest::qWait(20);
        QCOMPARE(window->size(), before);
        QCOMPARE(window->minimumSize(), window->maximumSize());
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
        Control<QPushButton>("btLoad")->setFocus();
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
        const QList<QSize> sizes = ApplicationIcon().availableSizes();
        QVERIFY(sizes.contains(QSize(32, 32)));
        QVERIFY(sizes.contains(QSize(48, 48)));
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

    // Texts put into a threshold box and what the correction rule leaves.
    void thresholdCorrection_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::newRow("cleared") << ""
                                 << "0";
        QTest::newRow("blanks alone") << "   "
                                      << "0";
        QTest::newRow("letters") << "abc"
                                 << "0";
        QTest::newRow("negative") << "-5"
                                  << "0";
        QTest::newRow("run of zeros") << "000"
                                      << "0";
        QTest::newRow("above range") << "300"
                                     << "255";
        QTest::newRow("just above") << "256"
                                    << "255";
        QTest::newRow("upper limit") << "255"
                                     << "255";
        QTest::newRow("leading zeros stay") << "007"
                                            << "007";
        QTest::newRow("leading blanks stay") << "  12"
                                             << "  12";
        QTest::newRow("hex stays") << "$FF"
                                   << "$FF";
        QTest::newRow("hex above range") << "0x100"
                                         << "255";
        QTest::newRow("trailing blank is not a number") << "12 "
                                                        << "0";
        QTest::newRow("hex all ones is -1") << "$FFFFFFFF"
                                            << "0";
        QTest::newRow("beyond 32 bits") << "99999999999"
                                        << "0";
    }
    void thresholdCorrection() {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        for (const char* name : {"edRedThreshold", "edGreenThreshold", "edBlueThreshold"}) {
            QLineEdit* edit = Edit(name);
            edit->setText(typed);
            QCOMPARE(edit->text(), shown);
        }
    }

    void thresholdTypedKeyByKey() {
        ShowActive();
        QLineEdit* edit = Edit("edGreenThreshold");
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        QCOMPARE(edit->text(), QStringLiteral("0"));
        edit->selectAll();
        QTest::keyClicks(edit, QStringLiteral("300"));
        QCOMPARE(edit->text(), QStringLiteral("255"));
        edit->selectAll();
        QTest::keyClicks(edit, QStringLiteral("x"));
        QCOMPARE(edit->text(), QStringLiteral("0"));
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
            edit->setText(start);
            int changes = 0;
            auto c = connect(edit, &QLineEdit::textChanged, this, [&] { ++changes; });
            const QPoint where(upDown->width() / 2, direction > 0 ? 3 : upDown->height() - 3);
            for (int i = 0; i < clicks; ++i)
                QTest::mouseClick(upDown, Qt::LeftButton, {}, where);
            disconnect(c);
            QCOMPARE(edit->text(), expected);
            QVERIFY(changes >= 1);
            // The keys in the box step the same way.
            edit->setText(start);
            edit->setFocus();
            for (int i = 0; i < clicks; ++i)
                QTest::keyClick(edit, direction > 0 ? Qt::Key_Up : Qt::Key_Down);
            QCOMPARE(edit->text(), expected);
        }
    }

    void upDownHeldKeepsStepping() {
        ShowActive();
        auto* upDown = Control<TUpDown>("UpDown3");
        QLineEdit* edit = Edit("edBlueThreshold");
        QTest::mousePress(upDown, Qt::LeftButton, {}, QPoint(upDown->width() / 2, 3));
        QCOMPARE(edit->text(), QStringLiteral("129"));
        QTest::qWait(800);
        QTest::mouseRelease(upDown, Qt::LeftButton, {}, QPoint(upDown->width() / 2, 3));
        const int afterRelease = edit->text().toInt();
        QVERIFY2(afterRelease > 129, qPrintable(edit->text()));
        QTest::qWait(300);
        QCOMPARE(edit->text().toInt(), afterRelease);
    }

    void thresholdChangeConvertsNothingUntilRefresh() {
        ShowActive();
        QTest::mouseClick(Control<QPushButton>("btRefresh"), Qt::LeftButton);
        // No picture: an 8 x 8 white target.
        QCOMPARE(window->Geometry, (LogoGeometry{8, 8}));
        TBitmapCanvas& target = window->TargetImage().EnsureCanvas();
        QCOMPARE(target.ReadPixel(3, 3), clWhite);
        Edit("edRedThreshold")->setText(QStringLiteral("255"));
        QCOMPARE(window->TargetImage().EnsureCanvas().ReadPixel(3, 3), clWhite);
        QTest::mouseClick(Control<QPushButton>("btRefresh"), Qt::LeftButton);
        QCOMPARE(window->TargetImage().EnsureCanvas().ReadPixel(3, 3), clBlack);
        QCOMPARE(window->RedThreshold, 255);
    }

    void printerListTyping() {
        ShowActive();
        auto* list = Control<TPrinterCombo>("cbTargetPrinterType");
        QLineEdit* text = list->lineEdit();
        list->setFocus();
        text->selectAll();
        int changes = 0;
        connect(list, &TPrinterCombo::Change, this, [&] { ++changes; });

        // "i" on a wholly selected field: IBM TF6, typed letter kept, rest selected.
        QTest::keyClick(text, Qt::Key_I);
        QCOMPARE(list->ItemIndex(), 3);
        QCOMPARE(text->text(), QStringLiteral("iBM TF6"));
        QCOMPARE(text->selectedText(), QStringLiteral("BM TF6"));
        QCOMPARE(changes, 1);
        QCOMPARE(window->Geometry, (LogoGeometry{8, 8})); // converted with the IBM limits

        // Further typing replaces the selected rest; same model, no event.
        QTest::keyClick(text, Qt::Key_B);
        QCOMPARE(text->text(), QStringLiteral("ibM TF6"));
        QCOMPARE(text->selectedText(), QStringLiteral("M TF6"));
        QCOMPARE(changes, 1);

        // Backspace deletes the selection and leaves no model selected.
        QTest::keyClick(text, Qt::Key_Backspace);
        QCOMPARE(text->text(), QStringLiteral("ib"));
        QCOMPARE(text->cursorPosition(), 2);
        QCOMPARE(list->ItemIndex(), -1);
        QCOMPARE(changes, 2);
        QCOMPARE(window->Geometry, (LogoGeometry{0, 0})); // zero limits
        QCOMPARE(window->GetMaxWidth(), 0);
        QCOMPARE(window->GetMaxHeight(), 0);
        QCOMPARE(window->GetMaxArea(), 0);

        // Then the character before the caret.
        QTest::keyClick(text, Qt::Key_Backspace);
        QCOMPARE(text->text(), QStringLiteral("i"));
        QCOMPARE(changes, 3);
        // Backspace on an empty field still raises the event.
        QTest::keyClick(text, Qt::Key_Backspace);
        QTest::keyClick(text, Qt::Key_Backspace);
        QCOMPARE(text->text(), QString());
        QCOMPARE(changes, 5);

        // "s" then: Star TSP-700.
        QTest::keyClick(text, Qt::Key_S);
        QCOMPARE(list->ItemIndex(), 2);
        QCOMPARE(text->text(), QStringLiteral("star TSP-700"));
        QCOMPARE(changes, 6);

        // Text no name begins with goes in as typed: no model selected.
        text->selectAll();
        QTest::keyClicks(text, QStringLiteral("zq"));
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
        QTest::mouseClick(Control<QPushButton>("btSave"), Qt::LeftButton);
        QTest::qWait(100);
        QVERIFY(!dialogSeen);
        QVERIFY(QDir(dir->path()).entryList(QDir::Files).isEmpty());
        test::DropPendingAnswers();

        // Tab does not complete.
        text->setText(QStringLiteral("e"));
        text->setCursorPosition(1);
        QTest::keyClick(text, Qt::Key_Tab);
        QCOMPARE(text->text(), QStringLiteral("e"));
    }

    void printerChosenFromTheList() {
        ShowActive();
        auto* list = Control<TPrinterCombo>("cbTargetPrinterType");
        list->setFocus();
        int changes = 0;
        connect(list, &TPrinterCombo::Change, this, [&] { ++changes; });
        QTest::keyClick(list->lineEdit(), Qt::Key_Down);
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
        QVERIFY2(filters.first().startsWith(QStringLiteral("All (*.bmp")),
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
        const QByteArray bytes = test::ReadFile(saved); // default suffix added
        const std::vector<std::uint8_t> expected =
            EncodeLogo(0, window->Geometry, window->TargetImage());
        QCOMPARE(bytes, QByteArray(reinterpret_cast<const char*>(expected.data()),
                                   static_cast<qsizetype>(expected.size())));
        QCOMPARE(bytes.size(), 2 + 7 + 24 * 16 / 8);

        // The next save offers the chosen path again; Ctrl+S reaches it too.
        QString offeredAgain;
        WhenModal([&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            // What the operator sees: the folder and the name in the name box.
            offeredAgain = dialog->directory().filePath(
                dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text());
            dialog->reject();
        });
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        // The closed dialog may still be the active widget window for a moment.
        QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(window.get()));
        QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(offeredAgain, saved);
    }

    void cancelledLoadChangesNothing() {
        ShowActive();
        // The operator picks the second filter, then cancels.
        QString second;
        WhenModal([&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            QVERIFY(dialog);
            second = dialog->nameFilters().value(1);
            dialog->selectNameFilter(second);
            dialog->reject();
        });
        QTest::keyClick(window.get(), Qt::Key_O, Qt::ControlModifier);
        QVERIFY(!second.isEmpty());
        QVERIFY(window->SourceImage().Picture().Graphic() == nullptr);
        QVERIFY(window->TargetImage().Picture().Graphic() == nullptr);
        QCOMPARE(window->Geometry, (LogoGeometry{0, 0}));

        // A cancelled run keeps nothing: the next one offers the "All" entry again.
        QString offered;
        WhenModal([&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            offered = dialog->selectedNameFilter();
            dialog->reject();
        });
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        // The closed dialog may still be the active widget window for a moment.
        QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(window.get()));
        window->findChild<QAction*>(QStringLiteral("Openbitmap1"))->trigger();
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
                    message->accept();
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
        WhenModal([&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            QVERIFY(dialog);
            WhenModal(
                [&](QWidget* box) {
                    boxText = qobject_cast<QMessageBox*>(box)->text();
                    box->close();
                },
                dialog);
            TypeFileName(dialog, path);
        });
        QTest::mouseClick(Control<QPushButton>("btLoad"), Qt::LeftButton);
        QCOMPARE(boxText, QStringLiteral("Can only modify an image if it contains a bitmap."));
        QCOMPARE(window->SourceImage().Picture().Graphic()->Kind(), GraphicKind::Icon);
        QCOMPARE(window->Geometry, (LogoGeometry{24, 24}));
        QVERIFY(window->isVisible());
        // The program carries on: Refresh raises the same error again, once.
        int boxes = 0;
        WhenModal([&](QWidget* box) {
            ++boxes;
            box->close();
        });
        QTest::mouseClick(Control<QPushButton>("btRefresh"), Qt::LeftButton);
        QCOMPARE(boxes, 1);
    }

    void ctrlXInThresholdBoxCloses() {
        ShowActive();
        QSignalSpy closed(window.get(), &TfmMain::Closed);
        QLineEdit* edit = Edit("edRedThreshold");
        edit->setFocus();
        edit->selectAll();
        QApplication::clipboard()->setText(QStringLiteral("untouched"));
        QTest::keyClick(edit, Qt::Key_X, Qt::ControlModifier);
        QVERIFY(!window->isVisible());
        QCOMPARE(closed.count(), 1);
        QCOMPARE(edit->text(), QStringLiteral("128"));
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("untouched"));
    }

    void shortcutsFromTheHelpWindowNotFromModalAbout() {
        QWidget help;
        QDialog about;
        window->SetHelpWindow(&help);
        window->SetAboutWindow(&about);
        ShowActive();

        // F1 shows Help, modeless, in front.
        QTest::keyClick(window.get(), Qt::Key_F1);
        QVERIFY(help.isVisible());
        QVERIFY(QTest::qWaitForWindowActive(&help));

        // While About is open, Ctrl+X does nothing.
        bool stillOpen = false;
        WhenModal([&](QWidget* modal) {
            QCOMPARE(modal, &about);
            QTest::keyClick(modal, Qt::Key_X, Qt::ControlModifier);
            stillOpen = window->isVisible();
            about.accept();
        });
        window->findChild<QAction*>(QStringLiteral("About1"))->trigger();
        QVERIFY(stillOpen);
        QVERIFY(window->isVisible());

        // From the Help window Ctrl+X closes the main window.
        help.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&help));
        QTest::keyClick(&help, Qt::Key_X, Qt::ControlModifier);
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
