// The open-picture dialog with its preview strip, run as the main window runs
// it: what each kind of selection shows, the preview window and its size, the
// filter and file name kept across runs, and one load typed into the real
// dialog's name box.

#include <cstdlib>
#include <memory>

#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include "UiTestSupport.h"
#include "image/Image.h"
#include "image/Metafile.h"
#include "ui/FillImage.h"
#include "ui/Main.h"
#include "ui/OpenPictureDialog.h"
#include "ui/SilentPaintPanel.h"

using namespace tlc;
using tlc::test::WhenModal;

namespace {

// The entry `name` of the dialog's file list as a person sees it, once the
// folder has been read.
QModelIndex Entry(QFileDialog* dialog, const QString& name) {
    for (auto* view : dialog->findChildren<QAbstractItemView*>()) {
        if (!view->isVisible() || view->objectName() == QLatin1String("sidebar")) continue;
        QAbstractItemModel* model = view->model();
        for (int row = 0; row < model->rowCount(view->rootIndex()); ++row) {
            const QModelIndex index = model->index(row, 0, view->rootIndex());
            if (index.data().toString() == name) return index;
        }
    }
    return {};
}

QAbstractItemView* ViewOf(QFileDialog* dialog) {
    for (auto* view : dialog->findChildren<QAbstractItemView*>())
        if (view->isVisible() && view->objectName() != QLatin1String("sidebar")) return view;
    return nullptr;
}

// Clicks the entry `name` in the file list.
bool ClickEntry(QFileDialog* dialog, const QString& name) {
    if (!QTest::qWaitFor([&] { return Entry(dialog, name).isValid(); }, 5000)) return false;
    QAbstractItemView* view = ViewOf(dialog);
    const QModelIndex index = Entry(dialog, name);
    view->scrollTo(index);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
    return true;
}

// What the strip shows.
struct Strip {
    QString label;
    bool button = false;
    QString caption;
    std::int32_t width = 0, height = 0;
};

Strip StripOf(const TOpenPictureDialog& d) {
    const TPicture& p = d.PaintBox().Model().Picture();
    return {d.PictureLabel().text(), d.PreviewButton().isEnabled(), d.PaintPanel().Caption(),
            p.Width(), p.Height()};
}

// Keys go to the active window, which the platform sets a moment after showing.
bool WaitActive(QWidget* window) {
    return QTest::qWaitFor([window] { return QApplication::activeWindow() == window; }, 5000);
}

// Where the platform sends a key: an open popup (the name box's completion
// list passes keys on to the box), else the focused control, else the
// active window itself.
QWidget* KeyTarget() {
    if (QWidget* popup = QApplication::activePopupWidget()) return popup;
    return QApplication::focusWidget() ? QApplication::focusWidget() : QApplication::activeWindow();
}

bool AnyMessageBox() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<QMessageBox*>(w) && w->isVisible()) return true;
    return false;
}

} // namespace

class OpenPictureDialogTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TfmMain> window;
    std::unique_ptr<QTemporaryDir> dir;

    QString Path(const QString& name) const { return dir->filePath(name); }
    TOpenPictureDialog& Dialog() { return window->OpenPictureDialog(); }

    // A w x h bitmap: left half one colour, right half another (0xRRGGBB).
    QString WriteBitmap(const QString& name, int w, int h, std::uint32_t left = 0xFF0000,
                        std::uint32_t right = 0x0000FF) {
        const QString path = Path(name);
        const bool ok = test::WriteFile(
            path, test::Bitmap24(w, h, [=](int x, int) { return x < w / 2 ? left : right; }));
        if (!ok) qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    void ShowActive() {
        window->show();
        window->activateWindow();
        QVERIFY(WaitActive(window.get()));
    }

    // Runs the dialog with Ctrl+O and hands it to `answer`.
    void OpenDialog(std::function<void(TOpenPictureDialog*)> answer) {
        bool answered = false;
        WhenModal([&](QWidget* modal) {
            auto* dialog = qobject_cast<TOpenPictureDialog*>(modal);
            QVERIFY(dialog);
            QVERIFY(WaitActive(dialog));
            answered = true;
            answer(dialog);
            if (dialog->isVisible()) dialog->reject();
        });
        window->activateWindow();
        QVERIFY(WaitActive(window.get()));
        QTest::keyClick(KeyTarget(), Qt::Key_O, Qt::ControlModifier);
        QVERIFY(answered);
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

    // First showing, then a bitmap, a damaged bitmap, an unknown extension, a
    // folder and the same file twice; the second showing clears only the box.
    void previewStrip() {
        WriteBitmap(QStringLiteral("big.bmp"), 640, 480);
        QVERIFY(test::WriteFile(Path(QStringLiteral("damaged.bmp")), "BM\x10\0\0\0 not a bitmap"));
        QVERIFY(test::WriteFile(Path(QStringLiteral("notes.xyz")), test::ReadFile(Path("big.bmp"))));
        QVERIFY(QDir(dir->path()).mkdir(QStringLiteral("folder")));
        ShowActive();

        Strip first, big, sameAgain, otherCase;
        QString firstFilter;
        QRect button, paintPanel, strip, fileControls;
        QImage drawn;
        QRect dest;
        const TGraphic* loaded = nullptr;
        const TGraphic* afterRepeat = nullptr;
        QList<std::pair<QString, Strip>> nothing;
        bool boxSeen = false;
        OpenDialog([&](TOpenPictureDialog* d) {
            first = StripOf(*d);
            firstFilter = d->selectedNameFilter();
            button = d->PreviewButton().geometry();
            paintPanel = d->PaintPanel().geometry();
            strip = d->PicturePanel().geometry();
            fileControls = d->findChild<QWidget*>(QStringLiteral("splitter"))->geometry();

            QVERIFY(ClickEntry(d, QStringLiteral("big.bmp")));
            big = StripOf(*d);
            loaded = d->PaintBox().Model().Picture().Graphic();
            const TImage::Rect r = d->PaintBox().Model().DestRect();
            dest = QRect(QPoint(r.Left, r.Top), QPoint(r.Right - 1, r.Bottom - 1));
            drawn = d->PaintBox().grab().toImage();
            // The platform repeats its notice for the same path: no reload.
            emit d->currentChanged(Path(QStringLiteral("big.bmp")));
            afterRepeat = d->PaintBox().Model().Picture().Graphic();
            sameAgain = StripOf(*d);
            // Another spelling is another file (none here).
            emit d->currentChanged(Path(QStringLiteral("BIG.bmp")));
            otherCase = StripOf(*d);

            QVERIFY(ClickEntry(d, QStringLiteral("big.bmp")));
            QVERIFY(ClickEntry(d, QStringLiteral("damaged.bmp")));
            nothing.append({QStringLiteral("damaged"), StripOf(*d)});
            QVERIFY(ClickEntry(d, QStringLiteral("big.bmp")));
            // Names outside the filter reach the box only typed, as notices.
            emit d->currentChanged(Path(QStringLiteral("notes.xyz")));
            nothing.append({QStringLiteral("unknown extension"), StripOf(*d)});
            QVERIFY(ClickEntry(d, QStringLiteral("big.bmp")));
            QVERIFY(ClickEntry(d, QStringLiteral("folder")));
            nothing.append({QStringLiteral("folder"), StripOf(*d)});
            boxSeen = AnyMessageBox();

            QVERIFY(ClickEntry(d, QStringLiteral("big.bmp")));
            QTest::keyClick(KeyTarget(), Qt::Key_Escape);
        });

        // First showing: nothing in the box, empty label, button off, "All".
        QCOMPARE(first.label, QString());
        QVERIFY(!first.button);
        QCOMPARE(first.caption, QStringLiteral("(None)"));
        QCOMPARE(first.width, 0);
        QVERIFY2(firstFilter.startsWith(QStringLiteral("All (")), qPrintable(firstFilter));
        // The strip beside the file controls; the button in the label's row,
        // 2 pixels inside the box's right edge.
        QVERIFY(strip.left() > fileControls.right());
        QCOMPARE(button.size(), QSize(23, 22));
        QCOMPARE(button.top(), 1);
        QCOMPARE(button.left() + button.width(), paintPanel.left() + paintPanel.width() - 2);

        QCOMPARE(big.label, QStringLiteral(" (640x480)"));
        QVERIFY(big.button);
        QCOMPARE(big.caption, QString());
        QCOMPARE(big.width, 640);
        // Scaled to the largest size that fits, centred.
        QVERIFY(!dest.isEmpty());
        QVERIFY(dest.width() < 640);
        QCOMPARE(dest.width() * 3 / 4, dest.height());
        QCOMPARE(dest.center().x(), (drawn.width() - 1) / 2);
        QVERIFY(qAbs(dest.center().y() - (drawn.height() - 1) / 2) <= 1);
        QCOMPARE(drawn.pixel(dest.left() + 2, dest.center().y()), qRgb(255, 0, 0));
        QCOMPARE(drawn.pixel(dest.right() - 2, dest.center().y()), qRgb(0, 0, 255));
        QVERIFY(drawn.pixel(dest.center().x(), dest.top() - 2) != qRgb(255, 0, 0));

        QCOMPARE(afterRepeat, loaded);
        QCOMPARE(sameAgain.label, big.label);
        QCOMPARE(otherCase.label, QStringLiteral("Picture:"));

        QCOMPARE(nothing.size(), 3);
        for (const auto& [what, s] : nothing) {
            QVERIFY2(s.label == QStringLiteral("Picture:"), qPrintable(what));
            QVERIFY2(!s.button, qPrintable(what));
            QVERIFY2(s.caption == QStringLiteral("(None)"), qPrintable(what));
            QVERIFY2(s.width == 0, qPrintable(what));
        }
        QVERIFY(!boxSeen);
        QVERIFY(window->SourceImage().Picture().Graphic() == nullptr);

        // The next showing empties the box; label and button keep the last selection.
        Strip second;
        OpenDialog([&](TOpenPictureDialog* d) { second = StripOf(*d); });
        QCOMPARE(second.label, QStringLiteral(" (640x480)"));
        QVERIFY(second.button);
        QCOMPARE(second.caption, QStringLiteral("(None)"));
        QCOMPARE(second.width, 0);
    }

    // The preview window on a 1024 x 768 monitor: sized to the picture, or to
    // three quarters of the monitor; Escape closes it and the dialog stays.
    void previewWindow_data() {
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<bool>("doubleClick");
        QTest::addColumn<QSize>("client");
        // Picture + 1-pixel line each side + the two border widths of 5.
        QTest::newRow("200 x 100, Preview button") << QSize(200, 100) << false << QSize(212, 112);
        QTest::newRow("3000 x 3000, double click") << QSize(3000, 3000) << true << QSize(768, 576);
    }
    void previewWindow() {
        QFETCH(QSize, picture);
        QFETCH(bool, doubleClick);
        QFETCH(QSize, client);
        WriteBitmap(QStringLiteral("picture.bmp"), picture.width(), picture.height());
        Dialog().SetMonitorSize([](const QWidget&) { return QSize(1024, 768); });
        ShowActive();

        QString title;
        Qt::WindowFlags flags;
        QSize size, imageSize;
        const TGraphic* shown = nullptr;
        const TGraphic* copied = nullptr;
        bool dialogStayed = false, previewGone = false;
        OpenDialog([&](TOpenPictureDialog* d) {
            QVERIFY(ClickEntry(d, QStringLiteral("picture.bmp")));
            QVERIFY(d->PreviewButton().isEnabled());
            WhenModal(
                [&](QWidget* form) {
                    QVERIFY(WaitActive(form));
                    title = form->windowTitle();
                    flags = form->windowFlags();
                    size = form->size();
                    auto* image = form->findChild<TFillImage*>();
                    QVERIFY(image);
                    imageSize = image->size();
                    copied = image->Model().Picture().Graphic();
                    QTest::keyClick(KeyTarget(), Qt::Key_Escape);
                    previewGone = !form->isVisible();
                },
                d);
            shown = d->PaintBox().Model().Picture().Graphic();
            if (doubleClick)
                QTest::mouseDClick(&d->PaintBox(), Qt::LeftButton, {}, d->PaintBox().rect().center());
            else
                QTest::mouseClick(&d->PreviewButton(), Qt::LeftButton);
            dialogStayed = d->isVisible();
        });
        QCOMPARE(title, QStringLiteral("Preview"));
        QCOMPARE(flags & Qt::WindowType_Mask, Qt::Tool);
        QCOMPARE(size, client);
        if (picture.width() < 500) QCOMPARE(imageSize, picture); // natural size fits exactly
        QVERIFY(copied && copied != shown);
        QVERIFY(previewGone);
        QVERIFY(dialogStayed);
        QVERIFY(qApp->findChild<QDialog*>(QStringLiteral("PreviewForm")) == nullptr);
        QVERIFY(window->findChild<QDialog*>(QStringLiteral("PreviewForm")) == nullptr);
    }

    // Typed into the real dialog's name box and confirmed with Enter: loaded
    // and converted. A confirmed run on the third filter entry keeps it; a
    // cancelled one changes neither the file name nor the save folder.
    void loadTypedIntoTheNameBox() {
        const QString first = WriteBitmap(QStringLiteral("first.bmp"), 20, 12, 0x000000, 0xFFFFFF);
        QVERIFY(QDir(dir->path()).mkdir(QStringLiteral("other")));
        const QString second = WriteBitmap(QStringLiteral("other/second.bmp"), 30, 10);
        ShowActive();

        QWidget* focusAtStart = nullptr;
        OpenDialog([&](TOpenPictureDialog*) {
            focusAtStart = QApplication::focusWidget();
            for (const QChar c : first)
                QTest::keyClick(KeyTarget(), c.toLatin1());
            QTest::keyClick(KeyTarget(), Qt::Key_Return);
        });
        QCOMPARE(focusAtStart ? focusAtStart->objectName() : QString(), QStringLiteral("fileNameEdit"));
        QCOMPARE(Dialog().FileName(), first);
        QCOMPARE(Dialog().FilterIndex(), 1);
        QCOMPARE(window->SourceImage().Picture().Width(), 20);
        QCOMPARE(window->Geometry, (LogoGeometry{24, 16}));
        QCOMPARE(window->TargetImage().EnsureCanvas().ReadPixel(2, 2), clBlack);
        QCOMPARE(window->TargetImage().EnsureCanvas().ReadPixel(15, 2), clWhite);

        // The third entry, then the other picture typed over the offered name.
        QString offeredName, thirdFilter;
        OpenDialog([&](TOpenPictureDialog* d) {
            offeredName = d->directory().filePath(
                d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text());
            auto* types = d->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
            types->setFocus();
            QTest::keyClick(KeyTarget(), Qt::Key_Down);
            QTest::keyClick(KeyTarget(), Qt::Key_Down);
            thirdFilter = d->selectedNameFilter();
            auto* nameBox = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            QTest::mouseClick(nameBox, Qt::LeftButton);
            QTest::keyClick(KeyTarget(), Qt::Key_A, Qt::ControlModifier);
            for (const QChar c : second)
                QTest::keyClick(KeyTarget(), c.toLatin1());
            QTest::keyClick(KeyTarget(), Qt::Key_Return);
        });
        QCOMPARE(offeredName, first);
        QCOMPARE(thirdFilter, Dialog().nameFilters().value(2));
        QCOMPARE(Dialog().FileName(), second);
        QCOMPARE(Dialog().FilterIndex(), 3);
        QCOMPARE(window->Geometry, (LogoGeometry{32, 16}));

        // Starts on the third entry; Escape cancels and keeps everything.
        QString offeredFilter;
        bool cancelled = false;
        OpenDialog([&](TOpenPictureDialog* d) {
            offeredFilter = d->selectedNameFilter();
            for (const QChar c : first)
                QTest::keyClick(KeyTarget(), c.toLatin1());
            // The first Escape may only close the completion list.
            for (int i = 0; i < 2 && d->isVisible(); ++i)
                QTest::keyClick(KeyTarget(), Qt::Key_Escape);
            cancelled = !d->isVisible();
        });
        QVERIFY(cancelled);
        QCOMPARE(offeredFilter, thirdFilter);
        QCOMPARE(Dialog().FileName(), second);
        QCOMPARE(Dialog().FilterIndex(), 3);
        QCOMPARE(window->SourceImage().Picture().Width(), 30);

        QString saveFolder;
        WhenModal([&](QWidget* modal) {
            saveFolder = qobject_cast<QFileDialog*>(modal)->directory().absolutePath();
            modal->close();
        });
        window->activateWindow();
        QVERIFY(WaitActive(window.get()));
        QTest::keyClick(KeyTarget(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(saveFolder, QDir(Path(QStringLiteral("other"))).absolutePath());
    }

    // A name typed into the name box that picks out a file previews it before
    // Enter, as a click on it does.
    void typedNamePreviews() {
        WriteBitmap(QStringLiteral("typed.bmp"), 64, 48);
        ShowActive();
        Strip shown;
        OpenDialog([&](TOpenPictureDialog* d) {
            for (const QChar c : QStringLiteral("typed.bmp"))
                QTest::keyClick(KeyTarget(), c.toLatin1());
            QTRY_COMPARE(d->PictureLabel().text(), QStringLiteral(" (64x48)"));
            shown = StripOf(*d);
        });
        QVERIFY(shown.button);
        QCOMPARE(shown.caption, QString());
        QCOMPARE(shown.width, 64);
    }

    // A box whose content fails to draw says so in its caption and raises nothing.
    void drawingFailureShowsInvalidImage() {
        TSilentPaintPanel panel;
        panel.SetCaption(QString());
        struct Failing : QWidget {
            using QWidget::QWidget;
            int paints = 0;
            void paintEvent(QPaintEvent*) override {
                ++paints;
                static_cast<TSilentPaintPanel*>(parentWidget())->PaintContent([] {
                    throw EInvalidGraphic("Bitmap image is not valid");
                });
            }
        };
        auto* content = new Failing(&panel);
        panel.layout()->addWidget(content);
        panel.resize(120, 90);
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        QTRY_VERIFY(content->paints > 0);
        QCOMPARE(panel.Caption(), QStringLiteral("Invalid image"));
        QVERIFY(!AnyMessageBox());

        // A metafile the drawing libraries refuse reads the same in the preview box.
        TSilentPaintPanel metafilePanel;
        auto* box = new TFillImage(&metafilePanel);
        metafilePanel.layout()->addWidget(box);
        auto refused = std::make_unique<TMetafile>();
        auto bytes = std::make_shared<TMetafileImage>();
        bytes->Data = {1, 2, 3, 4};
        bytes->Width = bytes->Height = 40;
        refused->SetImage(bytes);
        box->Model().Picture().Install(std::move(refused));
        metafilePanel.resize(120, 90);
        metafilePanel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&metafilePanel));
        QTRY_COMPARE(metafilePanel.Caption(), QStringLiteral("Invalid image"));
        QVERIFY(!AnyMessageBox());

        // So do files that make the drawing libraries loop or abort: the
        // drawing ends (in its own process) and this one goes on.
        const char* testdata = std::getenv("TLC_TESTDATA");
        if (!testdata || !*testdata) testdata = std::getenv("TLC_TESTDATA_DEFAULT");
        const QString hostile = QString::fromLocal8Bit(testdata ? testdata : "") + "/metafile/hostile/";
        for (const char* name : {"hang-dib-pattern-brush.wmf", "damaged-text-after-wmf-text.emf"}) {
            if (!QFileInfo::exists(hostile + name)) QSKIP("no hostile metafiles (set TLC_TESTDATA)");
            TSilentPaintPanel hostilePanel;
            auto* hostileBox = new TFillImage(&hostilePanel);
            hostilePanel.layout()->addWidget(hostileBox);
            hostileBox->Model().Picture().LoadFile(QFile::encodeName(hostile + name).toStdString());
            hostilePanel.resize(120, 90);
            hostilePanel.show();
            QVERIFY(QTest::qWaitForWindowExposed(&hostilePanel));
            QTRY_COMPARE(hostilePanel.Caption(), QStringLiteral("Invalid image"));
        }
    }
};

QTEST_MAIN(OpenPictureDialogTest)
#include "OpenPictureDialogTest.moc"
