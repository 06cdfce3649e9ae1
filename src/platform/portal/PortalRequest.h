#pragma once

#include <QDBusArgument>
#include <QDBusConnection>
#include <QList>
#include <QObject>
#include <QString>
#include <QVariantMap>

class QDBusPendingCallWatcher;
class QDBusServiceWatcher;
class QTimer;

namespace zorv
{

inline const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
inline const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");

// Where the portal puts the Request (kind "request") or Session (kind "session") object that a
// call with `token` creates for the connection `uniqueName`: ":1.42" becomes "1_42".
QString portalObjectPath(const QString &kind, const QString &uniqueName, const QString &token);
// A handle token unique within this process ("zorv<kind><pid>_<n>"); the sender part of the
// object path makes it unique on the bus.
QString portalToken(const QString &kind);

// The one way a portal request ended.
struct PortalOutcome {
    enum class Kind { Success, Cancelled, Failed, TimedOut, Vanished };
    Kind kind = Kind::Failed;
    QVariantMap results; // Success only
    QString message;     // what went wrong, in plain words; empty on success
    bool ok() const { return kind == Kind::Success; }
    // The session a CreateSession call answered with; empty when the portal gave none.
    QString sessionHandle() const;
};

// The outcome of a Response signal.
PortalOutcome portalResponseOutcome(uint code, const QVariantMap &results);
// The outcome of an error reply to the call itself.
PortalOutcome portalErrorOutcome(const QString &errorName, const QString &errorMessage);

// The (key, properties) entries of a result that is an array of them, such as ScreenCast's
// streams (a(ua{sv})) or GlobalShortcuts' shortcuts (a(sa{sv})); none when the value has
// another shape.
template <typename Key> QList<std::pair<Key, QVariantMap>> portalKeyedEntries(const QVariant &value)
{
    QList<std::pair<Key, QVariantMap>> entries;
    if (!value.canConvert<QDBusArgument>())
        return entries;
    const QDBusArgument argument = value.value<QDBusArgument>();
    if (argument.currentType() != QDBusArgument::ArrayType)
        return entries;
    argument.beginArray();
    while (!argument.atEnd()) {
        std::pair<Key, QVariantMap> entry;
        argument.beginStructure();
        argument >> entry.first >> entry.second;
        argument.endStructure();
        entries.append(std::move(entry));
    }
    argument.endArray();
    return entries;
}

// One portal call answered through a Request object. The Response is subscribed on the
// predicted request path before the call goes out, so an early answer cannot be missed.
// `finished` is emitted exactly once, on the thread the request lives on; destroying the
// request before that drops every connection and asks the portal to close the request.
class PortalRequest : public QObject
{
    Q_OBJECT
  public:
    PortalRequest(QDBusConnection bus, QString service, QObject *parent = nullptr);
    ~PortalRequest() override;

    // Calls `method` of `interface` on the portal object with `arguments` followed by
    // `options`, to which our handle_token is added. Gives up after `timeoutMs`.
    void send(const QString &interface, const QString &method, const QVariantList &arguments,
              QVariantMap options, int timeoutMs);
    bool isPending() const { return m_pending; }
    QString requestPath() const { return m_path; }

  Q_SIGNALS:
    void finished(const zorv::PortalOutcome &outcome);

  private Q_SLOTS:
    void onResponse(uint code, const QVariantMap &results);

  private:
    void subscribe(const QString &path);
    void unsubscribe();
    void onReply(QDBusPendingCallWatcher *watcher);
    void finish(PortalOutcome outcome);

    QDBusConnection m_bus;
    QString m_service;
    QString m_path;
    QString m_subscribedPath;
    QString m_what; // "Interface.Method", for messages
    bool m_pending = false;
    QTimer *m_timer = nullptr;
    QDBusServiceWatcher *m_watcher = nullptr;
    QDBusPendingCallWatcher *m_call = nullptr;
};

} // namespace zorv
