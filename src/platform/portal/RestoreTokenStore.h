#pragma once

#include <QString>

namespace zorv
{

// Where the ScreenCast portal's restore token is kept between sessions, so that the user
// chooses the screens once.
class RestoreTokenStore
{
  public:
    virtual ~RestoreTokenStore() = default;
    // The stored token, empty when there is none.
    virtual QString load() = 0;
    // Replaces the stored token; an empty token removes it.
    virtual void save(const QString &token) = 0;
};

// A small file, written atomically, so that a crash never leaves half a token.
class FileRestoreTokenStore : public RestoreTokenStore
{
  public:
    explicit FileRestoreTokenStore(QString path);
    QString load() override;
    void save(const QString &token) override;

    // screencast-token in Zorv's configuration folder.
    static QString defaultPath();

  private:
    QString m_path;
};

} // namespace zorv
