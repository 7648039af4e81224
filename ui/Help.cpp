#include "ui/Help.h"

#include "ui_Help.h"

namespace tlc {

TfmHelp::TfmHelp(QWidget* parent) : QWidget(parent, Qt::Window), ui(new Ui::TfmHelp) {
    ui->setupUi(this);
}

TfmHelp::~TfmHelp() { delete ui; }

} // namespace tlc
