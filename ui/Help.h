#pragma once

#include <QWidget>

namespace Ui {
class TfmHelp;
}

namespace tlc {

// The modeless help text window.
class TfmHelp : public QWidget {
    Q_OBJECT
public:
    explicit TfmHelp(QWidget* parent = nullptr);
    ~TfmHelp() override;

private:
    Ui::TfmHelp* ui;
};

} // namespace tlc
