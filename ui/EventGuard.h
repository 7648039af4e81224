#pragma once

#include <QApplication>

namespace tlc {

// Handles the exception being caught (call only inside a catch block):
// mouse capture released, EAbort dropped, any other Exception to the error
// box, anything else to the "Application Error" box. The program goes on.
void HandleEventException();

// Runs `handler` under the event guard.
template <typename F> void RunGuarded(F&& handler) {
    try {
        handler();
    } catch (...) {
        HandleEventException();
    }
}

// The application object: every event is dispatched under the event guard,
// so nothing escapes the loop, whichever window or dialog runs it.
class TApplication : public QApplication {
    Q_OBJECT
public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace tlc
