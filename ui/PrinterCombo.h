#pragma once

#include <QComboBox>

namespace tlc {

// Editable drop-down list with type-ahead on the item names. It keeps its own
// selected index: typing that matches no name, Backspace or any other edit
// leaves no item selected (-1). Change() is raised for every operator change,
// never for a selection made by program.
class TPrinterCombo : public QComboBox {
    Q_OBJECT
public:
    explicit TPrinterCombo(QWidget* parent = nullptr);

    int ItemIndex() const { return itemIndex_; }
    // By program: raises no change event.
    void SetItemIndex(int index);
    void SetItemHeight(int height);

signals:
    void Change();

protected:
    // The combo box itself has the focus (its text field forwards the focus
    // to it), so typed keys arrive here first; keys sent to the text field
    // directly meet the same rule in eventFilter.
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // True when the key was taken by the type-ahead.
    bool HandleKey(const QKeyEvent& key);
    bool TypeAhead(const QString& typed);
    void Backspace();
    void ItemChosen(int index);
    void TextEdited();

    int itemIndex_ = -1;
};

} // namespace tlc
