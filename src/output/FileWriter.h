#pragma once

#include "common/Expected.h"

#include <QByteArray>
#include <QString>
#include <optional>
#include <variant>

namespace zorv
{

// Why a capture file could not be written. description() is shown to the user
// after "Couldn't save: " and ends the history's log lines.
class FileError
{
  public:
    enum class Reason {
        folderUncreatable,
        folderUnwritable,
        folderIsFile,
        nameTooLong,
        encodingFailed,
        writeFailed,
        sourceUnreadable, // a file to be moved in
    };

    FileError(Reason reason, QString path, int errorNumber = 0);

    // Maps an errno of a file-system call on `path` to the reason a user understands.
    static FileError fromErrno(int errorNumber, const QString &path, Reason otherwise);

    Reason reason() const { return m_reason; }
    QString path() const { return m_path; }
    int errorNumber() const { return m_errorNumber; }
    QString description() const;

  private:
    Reason m_reason;
    QString m_path;
    int m_errorNumber;
};

// A value or the file error that prevented it.
template <typename T> using FileResult = Expected<T, FileError>;

// Writes that never leave a partial file and never replace a capture: the bytes
// go to a temporary file in the target folder first, which is then linked to
// the first free name (a name taken meanwhile moves on to the next one).
namespace FileWriter
{

// Creates `directory` with its missing parents. Reports a file standing where a
// folder should be, and folders that cannot be created.
std::optional<FileError> ensureDirectory(const QString &directory);

// Writes `bytes` as a new file named like `fileName` (made unique in
// `directory`); returns the path written.
FileResult<QString> writeNewFile(const QString &directory, const QString &fileName,
                                 const QByteArray &bytes);

// Moves `source` into `directory` under a unique name like `fileName`. The
// source stays where it was when the move fails.
FileResult<QString> moveNewFile(const QString &source, const QString &directory,
                                const QString &fileName);

// Replaces the file at `path` (or creates it) in one step: readers see either
// the old or the new content.
std::optional<FileError> replaceFile(const QString &path, const QByteArray &bytes);

// Writes `bytes` as a new file at exactly `path`; fails (EEXIST) when the name
// is taken.
FileResult<QString> writeNewFileAt(const QString &path, const QByteArray &bytes);

// Removes the temporary files that writers killed mid-write left in
// `directory`: only regular files of this user named exactly as the writers
// name them. Returns how many went. Call it only while no write into
// `directory` is under way.
int removeStaleTemporaryFiles(const QString &directory);

} // namespace FileWriter
} // namespace zorv
