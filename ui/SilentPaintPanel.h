#pragma once

#include <functional>

#include <QString>
#include <QWidget>

namespace tlc {

// A panel with a raised inner and a lowered outer bevel whose caption is
// drawn in its centre, under whatever its content covers. Drawing its content
// never raises: a failure turns the caption into "Invalid image".
class TSilentPaintPanel : public QWidget {
    Q_OBJECT
public:
    explicit TSilentPaintPanel(QWidget* parent = nullptr);

    QString Caption() const { return caption_; }
    void SetCaption(const QString& caption);

    // Runs the drawing of a child; whatever it throws is swallowed here.
    void PaintContent(const std::function<void()>& draw) noexcept;

    // Width of the two bevels: the client area lies this far inside.
    static constexpr int kBevelWidth = 2;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString caption_;
};

} // namespace tlc
