#include "common/Modules.h"

#include "common/Log.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibrary>

namespace zorv
{

QStringList moduleFolders()
{
    QStringList folders;
    if (const QByteArray forced = qgetenv("ZORV_MODULE_DIR"); !forced.isEmpty())
        folders << QString::fromLocal8Bit(forced);
    if (QCoreApplication::instance()) {
        const QString here = QCoreApplication::applicationDirPath();
        folders << here << here + QStringLiteral("/../lib/zorv") << here + QStringLiteral("/..");
    }
    return folders;
}

QList<QFunctionPointer> loadModule(const QString &name, const QStringList &symbols,
                                   const QString &what)
{
    QString lastError = QStringLiteral("no module folder");
    for (const QString &folder : moduleFolders()) {
        QLibrary library(QDir(folder).filePath(name));
        if (!library.load()) {
            lastError = library.errorString();
            continue;
        }
        QList<QFunctionPointer> found;
        for (const QString &symbol : symbols) {
            const QFunctionPointer address = library.resolve(symbol.toLatin1().constData());
            if (!address) {
                lastError = library.fileName() + QStringLiteral(" lacks ") + symbol;
                break;
            }
            found.append(address);
        }
        if (found.size() == symbols.size())
            return found;
    }
    logLine(what + QStringLiteral(" unavailable: ") + lastError);
    return {};
}

} // namespace zorv
