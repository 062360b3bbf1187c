#include "settings/settingsstore.h"

#include "settings/settingsformat.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <utility>

namespace korvo::settings {
namespace {

std::optional<QByteArray> readFile(const QString& path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.read(Store::kReadLimit);
}

bool isReadableFile(const QString& path)
{
    const QFileInfo info(path);
    return info.isFile() && info.isReadable();
}

} // namespace

Store::Store(QString programDir, QString configDir)
    : m_ProgramDir(std::move(programDir)), m_ConfigDir(std::move(configDir))
{}

Store Store::forThisProgram()
{
    const QString config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    const QString program = QCoreApplication::applicationDirPath();
    // A program installed by the package manager shares its folder with every other program and
    // every user (and root could even write there): its settings belong to the user instead.
    if (program.startsWith(QLatin1String("/usr/")))
        return Store(config, config);
    return Store(program, config);
}

QString Store::programFile() const
{
    return QDir(m_ProgramDir).filePath(QString::fromLatin1(kFileName));
}

QString Store::configFile() const
{
    return QDir(m_ConfigDir).filePath(QString::fromLatin1(kFileName));
}

std::optional<QByteArray> Store::read() const
{
    if (std::optional<QByteArray> bytes = readFile(programFile()))
        return bytes;
    if (m_ConfigDir.isEmpty())
        return std::nullopt;
    return readFile(configFile());
}

Store::SaveResult Store::save(const QByteArray& bytes) const
{
    // A readable file in the program folder is what read() takes, so it is the one to replace even
    // when its folder refuses the new file: writing elsewhere would be shadowed by the stale one and
    // only look like success.
    const QFileInfo programFolder(m_ProgramDir);
    const bool programFolderWritable = programFolder.isDir() && programFolder.isWritable();
    const bool useProgramFolder = programFolderWritable || isReadableFile(programFile());

    SaveResult result;
    result.path = useProgramFolder ? programFile() : configFile();
    if (!useProgramFolder) {
        if (m_ConfigDir.isEmpty()) {
            // No home folder to speak of: a relative path would land wherever we happen to run.
            result.error = QStringLiteral("No configuration folder");
            return result;
        }
        QDir().mkpath(m_ConfigDir); // a failure shows up as the open error below
    }

    QSaveFile file(result.path);
    // No direct write: an interrupted save must leave the old file whole.
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly)) {
        result.error = file.errorString();
        return result;
    }
    if (file.write(bytes) != bytes.size()) {
        result.error = file.errorString();
        file.cancelWriting();
        return result;
    }
    if (!file.commit()) {
        result.error = file.errorString();
        return result;
    }
    result.ok = true;
    return result;
}

} // namespace korvo::settings
