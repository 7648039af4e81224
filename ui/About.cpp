#include "ui/About.h"

#include "ui/Fonts.h"
#include "ui/LinkLabel.h"
#include "ui/WindowPlacement.h"
#include "ui_About.h"
#include "version/ElfSection.h"
#include "version/VersionRecord.h"

#include <QImage>
#include <QKeyEvent>
#include <QPixmap>

namespace tlc {

TfmAbout::TfmAbout(QWidget* parent) : TfmAbout(parent, &ReadOwnVersionRecord) {}

TfmAbout::TfmAbout(QWidget* parent, VersionSource versionSource)
    : QDialog(parent), ui(new Ui::TfmAbout), versionSource_(std::move(versionSource)) {
    ui->setupUi(this);
    setFont(SansSerif11());
    QFont linkFont = SansSerif11();
    linkFont.setUnderline(true);
    ui->LMDSimpleLabel1->setFont(linkFont);
    ui->LMDSimpleLabel1->SetUrl(QString::fromLatin1(LinkAddress));
    ui->LMDSimpleLabel1->SetJumpMode(TJumpMode::jmInternet);
    ui->Label1->adjustSize();
    LoadLogo();
    ui->Button1->setFocus();
    connect(ui->Button1, &QPushButton::clicked, this, &TfmAbout::Button1Click);
    FormCreate();
}

TfmAbout::~TfmAbout() {
    delete ui;
}

void TfmAbout::FormCreate() {
    std::optional<FixedFileInfo> fixed;
    if (versionSource_) {
        if (const auto record = versionSource_()) fixed = QueryFixedFileInfo(*record);
    }
    ui->cpVersionString->setText(fixed ? QString::fromStdString(tlc::VersionCaption(*fixed))
                                       : QString::fromLatin1(VersionUnavailableCaption));
    ui->cpVersionString->adjustSize();
}

QString TfmAbout::VersionCaption() const {
    return ui->cpVersionString->text();
}

TLinkLabel* TfmAbout::LinkLabel() const {
    return ui->LMDSimpleLabel1;
}

void TfmAbout::Button1Click() {
    done(1);
}

void TfmAbout::LoadLogo() {
    QImage logo(QStringLiteral(":/about/AboutLogo.bmp"));
    if (logo.isNull()) return;
    // The bottom-left pixel's colour (white) is the transparent colour.
    const QRgb transparent = logo.pixel(0, logo.height() - 1);
    logo = logo.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < logo.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(logo.scanLine(y));
        for (int x = 0; x < logo.width(); ++x)
            if ((row[x] & 0x00FFFFFFu) == (transparent & 0x00FFFFFFu)) row[x] = 0;
    }
    // Stretched to the control pixel by pixel, as a plain stretch blit would.
    ui->Image1->setPixmap(QPixmap::fromImage(
        logo.scaled(ui->Image1->size(), Qt::IgnoreAspectRatio, Qt::FastTransformation)));
}

void TfmAbout::setVisible(bool visible) {
    if (visible) PlaceOnFirstShow(*this, mainWindow_, placed_);
    QDialog::setVisible(visible);
}

void TfmAbout::keyPressEvent(QKeyEvent* event) {
    // No cancel button: Esc does nothing.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace tlc
