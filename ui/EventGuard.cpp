#include "ui/EventGuard.h"

#include <cstdlib>
#include <exception>
#include <string>
#include <typeinfo>

#include <QCoreApplication>
#include <QMessageBox>
#include <QWidget>

#include "base/Exceptions.h"
#include "ui/MessageBoxes.h"

#if defined(__GNUG__)
#include <cxxabi.h>
#endif

namespace tlc {

namespace {

void ReleaseMouseCapture() {
    if (QWidget* grabber = QWidget::mouseGrabber()) grabber->releaseMouse();
}

std::string ClassNameOf(const std::type_info* type) {
    if (!type) return "Unknown";
    std::string name = type->name();
#if defined(__GNUG__)
    int status = 0;
    if (char* readable = abi::__cxa_demangle(name.c_str(), nullptr, nullptr, &status)) {
        if (status == 0) name = readable;
        std::free(readable);
    }
#endif
    return name;
}

// What the loop shows for an error object outside the Exception family.
void ShowApplicationError(const std::string& className, const std::string& message) {
    const std::string stop = !message.empty() && message.back() != '.' ? "." : "";
    const std::string text = "Exception " + className + " in module " +
                             QCoreApplication::applicationFilePath().toStdString() +
                             " at 0000000000000000.\r\n" + message + stop + "\r\n";
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Application Error"),
                    QString::fromStdString(text), QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

} // namespace

void HandleEventException() {
    ReleaseMouseCapture();
    try {
        throw;
    } catch (const EAbort&) {
        // Silent by design.
    } catch (const Exception& e) {
        ReportException(e);
    } catch (const std::exception& e) {
        ShowApplicationError(ClassNameOf(&typeid(e)), e.what());
    } catch (...) {
#if defined(__GNUG__)
        ShowApplicationError(ClassNameOf(abi::__cxa_current_exception_type()), "");
#else
        ShowApplicationError(ClassNameOf(nullptr), "");
#endif
    }
}

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        HandleEventException();
        return false;
    }
}

} // namespace tlc
