#pragma once

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <QLineEdit>

namespace tlc {

// Up-down arrows bound to an edit box: each step writes the new position into
// the box as a decimal number (which raises the box's change event). The Up
// and Down keys in the box step as well. No wrapping at the limits.
class TUpDown : public QWidget {
    Q_OBJECT
public:
    explicit TUpDown(QWidget* parent = nullptr);

    void SetAssociate(QLineEdit* edit);
    QLineEdit* Associate() const { return associate_; }

    void SetRange(int min, int max);
    int Min() const { return min_; }
    int Max() const { return max_; }
    int Position() const { return position_; }
    void SetPosition(int position);

    // One click of an arrow: +1 up, -1 down.
    void Step(int direction);

    QSize sizeHint() const override { return {16, 21}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QLineEdit> associate_;
    int min_ = 0;
    int max_ = 100;
    int position_ = 0;
    int pressed_ = 0; // +1 upper arrow held, -1 lower, 0 none
    QTimer repeat_;   // an arrow held down keeps stepping
};

} // namespace tlc
