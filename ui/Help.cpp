#include "ui/Help.h"

#include "ui/Fonts.h"
#include "ui/WindowPlacement.h"
#include "ui_Help.h"

#include <iterator>

namespace tlc {

namespace {

#define TLC_HELP_HOST TfmHelp::HostName

// Kept exactly, blanks at the ends of lines included.
const char* const HelpText[] = {
    "Tillora Graphic Logo Converter",
    "-------------------------------",
    "",
    "This application is used to take an a bitmap image file ",
    "and convert it into a 'logo.rsc' file that  Tillora uses ",
    "to download a graphic logo to a receipt printer.",
    "",
    "",
    "",
    "Maximum Image Sizes",
    "-------------------",
    "",
    "The following devices have the following maximum image ",
    "sizes;",
    "",
    "Epson TM-T88I/II",
    "Max Width: 480 pixels",
    "Max Height: 384 pixels",
    "Max Total Size (WxH): 98,304 pixels",
    "",
    "IBM TF6",
    "Max Width: 568 pixels",
    "Max Height: 2040 pixels",
    "Max Total Size (WxH): 522,560 pixels",
    "",
    "",
    "Epson TM-T88III & Star TSP700",
    "No maximum.",
    "",
    "",
    "",
    "Colour Threshold Values",
    "-----------------------",
    "",
    "The settings in the colour threshold values affect how ",
    "the image is converted from colour to monochrome for the ",
    "receipt logo.  For each of the colour values in the image ",
    "(RGB) if any one of those colour values is lower (darker) ",
    "than the threshold setting for that colour then it is ",
    "converted to a black pixel on the target image.",
    "",
    "",
    "",
    "Loading the image into Tillora",
    "-------------------------------",
    "",
    "The logo converter creates a 'logo.rsc' file, Tillora ",
    "uses this file to send the graphic logo to the receipt ",
    "printer.  This image must be put in the Tillora ",
    "directory of Tillora.  This can be achieved by either ",
    "copying the file straight into that directory, or by ",
    "using the backup and restore function in manager mode to ",
    "'restore' the logo from floppy disk into Tillora.",
    "",
    "The logo will be downloaded to the printer when Tillora ",
    "first starts, or if you press the 'Download Logo' button ",
    "in Manager Mode.  Remember to set the 'Print Graphic ",
    "Logo' flag in Print Control. ",
    "",
    "",
    "",
    "Difference between NVRam and SRam Logos",
    "---------------------------------------",
    "",
    "The Epson TM-T88III supports both NVRam and SRam logos.  ",
    "The TM-T88I/II only support SRam logos.  NVRam logos are ",
    "stored in Non Volatile memory, meaning if the power is ",
    "cut from the printer then the logo is not lost.  NVRam ",
    "logos also support much larger sizes.",
    "",
    "If you find yourself in a situation where you have 2 ",
    "logos coming out of you receipt printer, then you have an ",
    "NVRam logo installed in you printer, but the current logo ",
    "you are downloading from Tillora is an SRam logo.  To ",
    "resolve the situation either replace the SRam logo in ",
    "Tillora with an NVRam logo, or download a blank NVRam ",
    "logo to the receipt printer. ",
    "",
    "The only way to remove an NVRam logo from a receipt ",
    "printer is to download a blank logo.  There is no reset ",
    "procedure for NVRam.",
    "",
    TLC_HELP_HOST,
    "",
};

#undef TLC_HELP_HOST

static_assert(std::size(HelpText) == 84);

} // namespace

TfmHelp::TfmHelp(QWidget* parent) : QWidget(parent, Qt::Window), ui(new Ui::TfmHelp) {
    ui->setupUi(this);
    setFont(SansSerif11());
    QFont memoFont(QStringLiteral("Courier New"));
    memoFont.setPixelSize(13);
    memoFont.setStyleHint(QFont::TypeWriter);
    memoFont.setFixedPitch(true);
    ui->Memo1->setFont(memoFont);
    ui->Memo1->setPlainText(HelpLines().join(QLatin1Char('\n')));
    setFocusProxy(ui->Memo1);
}

TfmHelp::~TfmHelp() { delete ui; }

QStringList TfmHelp::HelpLines() {
    QStringList lines;
    for (const char* line : HelpText) lines << QString::fromLatin1(line);
    return lines;
}

void TfmHelp::ShowHelp() {
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
}

void TfmHelp::AddShortcutActions(const QList<QAction*>& actions) {
    // A window-wide shortcut fires in any window its action is added to.
    for (QAction* action : actions)
        if (action && !this->actions().contains(action)) addAction(action);
}

void TfmHelp::setVisible(bool visible) {
    if (visible) PlaceOnFirstShow(*this, mainWindow_, placed_);
    QWidget::setVisible(visible);
}

} // namespace tlc
