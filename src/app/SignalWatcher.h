#pragma once

#include <QObject>

class QSocketNotifier;

namespace zorv
{

// Turns SIGTERM, SIGINT and SIGHUP into a Qt signal on the main thread, so the
// instance can end cleanly (shortcuts released, no partial files).
class SignalWatcher : public QObject
{
    Q_OBJECT
  public:
    explicit SignalWatcher(QObject *parent = nullptr);
    ~SignalWatcher() override;

  Q_SIGNALS:
    void signalled(int signalNumber);

  private:
    QSocketNotifier *m_notifier = nullptr;
};

} // namespace zorv
