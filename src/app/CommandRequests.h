#pragma once

#include "app/InstanceChannel.h"

#include <QObject>
#include <functional>

namespace zorv
{

class CaptureCoordinator;

// The running instance's side of the command line: refuses what this desktop
// cannot do, with the reason; performs the rest; and for a command that waits
// (--output) answers once the capture is delivered, with its bytes.
class CommandRequests : public QObject
{
    Q_OBJECT
  public:
    // `openSettings` and `showHistory` show those windows; empty where there are none.
    CommandRequests(CaptureCoordinator &coordinator, std::function<void()> quit,
                    std::function<void()> openSettings = {}, std::function<void()> showHistory = {},
                    QObject *parent = nullptr);

    void handle(const InstanceRequest &request, const InstanceServer::Respond &respond);

  private:
    CaptureCoordinator &m_coordinator;
    std::function<void()> m_quit;
    std::function<void()> m_openSettings;
    std::function<void()> m_showHistory;
};

} // namespace zorv
