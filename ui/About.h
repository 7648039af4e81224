#pragma once

#include <QDialog>

namespace Ui {
class TfmAbout;
}

namespace tlc {

// The About box: logo, program name, version caption and the maker's link.
class TfmAbout : public QDialog {
    Q_OBJECT
public:
    explicit TfmAbout(QWidget* parent = nullptr);
    ~TfmAbout() override;

private:
    Ui::TfmAbout* ui;
};

} // namespace tlc
