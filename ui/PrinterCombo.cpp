#include "ui/PrinterCombo.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QStyledItemDelegate>

namespace tlc {

namespace {

class FixedHeightDelegate : public QStyledItemDelegate {
public:
    FixedHeightDelegate(int height, QObject* parent)
        : QStyledItemDelegate(parent), height_(height) {}
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(height_);
        return size;
    }

private:
    int height_;
};

} // namespace

TPrinterCombo::TPrinterCombo(QWidget* parent) : QComboBox(parent) {
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    // Our own completion replaces Qt's.
    setCompleter(nullptr);
    lineEdit()->installEventFilter(this);
    connect(this, &QComboBox::activated, this, &TPrinterCombo::ItemChosen);
    connect(lineEdit(), &QLineEdit::textEdited, this, &TPrinterCombo::TextEdited);
}

void TPrinterCombo::SetItemIndex(int index) {
    if (index < -1 || index >= count()) index = -1;
    itemIndex_ = index;
    setCurrentIndex(index);
}

void TPrinterCombo::SetItemHeight(int height) {
    setItemDelegate(new FixedHeightDelegate(height, this));
}

void TPrinterCombo::ItemChosen(int index) {
    itemIndex_ = index;
    if (index >= 0 && lineEdit()->text() != itemText(index)) lineEdit()->setText(itemText(index));
    emit Change();
}

void TPrinterCombo::TextEdited() {
    // Any edit not handled as type-ahead (a character no name begins with,
    // Delete, paste) leaves no item selected.
    itemIndex_ = -1;
    emit Change();
}

bool TPrinterCombo::TypeAhead(const QString& typed) {
    QLineEdit* edit = lineEdit();
    const QString text = edit->text();
    const QString candidate =
        (edit->hasSelectedText() ? text.left(edit->selectionStart()) : text) + typed;
    for (int i = 0; i < count(); ++i) {
        const QString name = itemText(i);
        if (!name.startsWith(candidate, Qt::CaseInsensitive)) continue;
        const bool changed = i != itemIndex_;
        itemIndex_ = i;
        setCurrentIndex(i);
        // The typed letters stay as typed; the rest of the name is selected.
        edit->setText(candidate + name.mid(candidate.size()));
        edit->setSelection(candidate.size(), name.size() - candidate.size());
        if (changed) emit Change();
        return true;
    }
    return false;
}

void TPrinterCombo::Backspace() {
    QLineEdit* edit = lineEdit();
    QString text = edit->text();
    if (!text.isEmpty()) {
        int caret = edit->cursorPosition();
        if (edit->hasSelectedText()) {
            caret = edit->selectionStart();
            text.remove(caret, edit->selectedText().size());
        } else if (caret > 0) {
            --caret;
            text.remove(caret, 1);
        }
        edit->setText(text);
        edit->setCursorPosition(caret);
    }
    itemIndex_ = -1;
    emit Change();
}

bool TPrinterCombo::HandleKey(const QKeyEvent& key) {
    if (key.key() == Qt::Key_Backspace) {
        Backspace();
        return true;
    }
    if (key.key() == Qt::Key_Tab || key.key() == Qt::Key_Backtab || key.key() == Qt::Key_Escape)
        return false;
    if (key.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
    const QString typed = key.text();
    if (typed.size() != 1 || !typed.at(0).isPrint()) return false;
    return TypeAhead(typed);
}

void TPrinterCombo::keyPressEvent(QKeyEvent* event) {
    if (HandleKey(*event)) {
        event->accept();
        return;
    }
    QComboBox::keyPressEvent(event);
}

bool TPrinterCombo::eventFilter(QObject* watched, QEvent* event) {
    if (watched != lineEdit() || event->type() != QEvent::KeyPress)
        return QComboBox::eventFilter(watched, event);
    return HandleKey(*static_cast<QKeyEvent*>(event));
}

} // namespace tlc
