#include "ui/CompleterPopups.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QDialog>
#include <QEvent>
#include <QPointer>

namespace tlc {

namespace {

class TCompleterPopupGuard : public QObject {
public:
    explicit TCompleterPopupGuard(QDialog& dialog) : QObject(&dialog), dialog_(dialog) {
        dialog.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &dialog_) {
            // The dialog builds its widgets late; look for completers each time.
            if (event->type() == QEvent::Show) WatchPopups();
            if (event->type() == QEvent::Hide) HidePopups();
        } else if (event->type() == QEvent::Show && !dialog_.isVisible()) {
            // Shown after the dialog closed: take it away once the show is done.
            QPointer<QWidget> popup = qobject_cast<QWidget*>(watched);
            QMetaObject::invokeMethod(
                this, [popup] { if (popup) popup->hide(); }, Qt::QueuedConnection);
        }
        return false;
    }

private:
    void WatchPopups() {
        for (QCompleter* completer : dialog_.findChildren<QCompleter*>()) {
            QAbstractItemView* popup = completer->popup();
            if (popup && !watched_.contains(popup)) {
                watched_.append(popup);
                popup->installEventFilter(this);
            }
        }
    }

    void HidePopups() {
        for (QCompleter* completer : dialog_.findChildren<QCompleter*>())
            if (QAbstractItemView* popup = completer->popup(); popup && popup->isVisible())
                popup->hide();
    }

    QDialog& dialog_;
    QList<QPointer<QAbstractItemView>> watched_;
};

} // namespace

void KeepCompleterPopupsWithDialog(QDialog& dialog) {
    new TCompleterPopupGuard(dialog);
}

} // namespace tlc
