#pragma once

#include <QAction>
#include <QList>
#include <QStringList>
#include <QWidget>

namespace Ui {
class TfmHelp;
}

namespace tlc {

// The modeless help window: one read-only text box with the fixed help text.
// Closing it only hides it; the same window is shown again on the next request.
class TfmHelp : public QWidget {
    Q_OBJECT
public:
    // The maker's web host name, shown at the end of the help text.
    static constexpr const char* HostName = "tillora.example";

    explicit TfmHelp(QWidget* parent = nullptr);
    ~TfmHelp() override;

    // The window the first showing is centred over. Defaults to the parent's
    // top-level window.
    void SetMainWindow(QWidget* mainWindow) { mainWindow_ = mainWindow; }

    // Shows the window without waiting, or brings it to the front when it is
    // already shown.
    void ShowHelp();

    // Makes these actions' shortcuts (the main window's menu) work while this
    // window has the focus.
    void AddShortcutActions(const QList<QAction*>& actions);

    // The help text, one entry per line.
    static QStringList HelpLines();

    void setVisible(bool visible) override;

private:
    Ui::TfmHelp* ui;
    QWidget* mainWindow_ = nullptr;
    bool placed_ = false;
};

} // namespace tlc
