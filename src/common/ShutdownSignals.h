#pragma once

#include <QObject>

class QSocketNotifier;

namespace tavrel {

// Turns SIGTERM, SIGINT and SIGHUP (a desktop logout, kill, a service manager stopping
// the program) into a Qt signal delivered on the event loop, where the program can end
// through its ordinary shutdown. The handler itself only writes a byte to a pipe.
// One instance per process.
class ShutdownSignals : public QObject {
    Q_OBJECT
public:
    explicit ShutdownSignals(QObject* parent = nullptr);
    ~ShutdownSignals() override;
    ShutdownSignals(const ShutdownSignals&) = delete;
    ShutdownSignals& operator=(const ShutdownSignals&) = delete;

    // False when the pipe or the handlers could not be set up (the signals then keep
    // their default action).
    bool installed() const { return m_notifier != nullptr; }

signals:
    void received(int signalNumber);

private:
    void readPipe();

    QSocketNotifier* m_notifier = nullptr;
};

}  // namespace tavrel
