#pragma once

class QDialog;

namespace tlc {

// A file dialog's name completion can pop up after the dialog has closed (the
// folder listing it waited for arrives late) and then sits over the main
// window, holding the keyboard. This keeps every completion popup of `dialog`
// hidden while the dialog itself is hidden.
void KeepCompleterPopupsWithDialog(QDialog& dialog);

} // namespace tlc
