#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <optional>

namespace zorv
{

// A secure credential store (the desktop keyring). Asynchronous: answers arrive
// later on the main thread.
class SecretStore : public QObject
{
    Q_OBJECT
  public:
    using ReadCallback = std::function<void(std::optional<QString>)>;

    using QObject::QObject;
    // nullopt when the item is missing or the store cannot be reached.
    virtual void read(const QString &account, ReadCallback done) = 0;
    using WriteCallback = std::function<void(bool stored)>;
    // An empty value erases the item. `done`, when given, learns whether the
    // keyring took the change.
    virtual void write(const QString &account, const QString &value, WriteCallback done = {}) = 0;
    // False once the store turned out to be unreachable: values then live only
    // in memory for this session.
    virtual bool isPersistent() const = 0;
};

} // namespace zorv
