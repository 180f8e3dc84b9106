#pragma once

#include <QObject>

class QSocketNotifier;

namespace zelvane {

// Quits the application's event loop on SIGTERM or SIGINT, the same way as
// closing the window does except that nothing is asked. The signal handler
// only writes a byte to a pipe; the quit happens on the main thread.
class QuitSignals : public QObject {
    Q_OBJECT

public:
    explicit QuitSignals(QObject* parent = nullptr);
    ~QuitSignals() override;

    // False when the pipe or the handlers could not be set up.
    bool isInstalled() const { return m_notifier != nullptr; }

signals:
    void quitRequested(int signalNumber);

private:
    void readSignal();

    QSocketNotifier* m_notifier = nullptr;
};

}  // namespace zelvane
