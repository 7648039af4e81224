#include "ui/About.h"

#include "ui_About.h"

namespace tlc {

TfmAbout::TfmAbout(QWidget* parent) : QDialog(parent), ui(new Ui::TfmAbout) { ui->setupUi(this); }

TfmAbout::~TfmAbout() { delete ui; }

} // namespace tlc
