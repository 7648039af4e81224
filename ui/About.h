#pragma once

#include <QDialog>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace Ui {
class TfmAbout;
}

namespace tlc {

class TLinkLabel;

// The About box: logo, program name, version caption and the maker's link.
// Created hidden at start-up; FormCreate builds the version caption once.
class TfmAbout : public QDialog {
    Q_OBJECT
public:
    // Where the version record comes from; nothing when it cannot be read.
    using VersionSource = std::function<std::optional<std::vector<std::uint8_t>>()>;

    // Shown when the executable's version record cannot be read.
    static constexpr const char* VersionUnavailableCaption = "Version information not available";
    // The address the link opens (its text shows the host name).
    static constexpr const char* LinkAddress = "https://www.tillora.example/logo-converter/";

    // Reads the record from the running executable's file.
    explicit TfmAbout(QWidget* parent = nullptr);
    TfmAbout(QWidget* parent, VersionSource versionSource);
    ~TfmAbout() override;

    // The window the first showing is centred over. Defaults to the parent's
    // top-level window.
    void SetMainWindow(QWidget* mainWindow) { mainWindow_ = mainWindow; }

    // Modal show; returns the modal result (1 from Button1).
    int ShowModal() { return exec(); }

    // Builds the version caption into cpVersionString. Runs from the constructor.
    void FormCreate();

    QString VersionCaption() const;
    TLinkLabel* LinkLabel() const;

    void setVisible(bool visible) override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Button1Click();
    void LoadLogo();

    Ui::TfmAbout* ui;
    VersionSource versionSource_;
    QWidget* mainWindow_ = nullptr;
    bool placed_ = false;
};

} // namespace tlc
