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
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool TypeAhead(const QString& typed);
    void Backspace();
    void ItemChosen(int index);
    void TextEdited();

    int itemIndex_ = -1;
};

} // namespace tlc
