#pragma once

#include <QWidget>

namespace tlc {

// A lowered bottom line: an etched horizontal line along the bottom edge of
// the box, shadow colour above highlight colour.
class TBevel : public QWidget {
    Q_OBJECT
public:
    explicit TBevel(QWidget* parent = nullptr) : QWidget(parent) {}

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace tlc
