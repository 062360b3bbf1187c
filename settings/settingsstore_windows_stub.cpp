// TEMPORARY PLACEHOLDER, to be deleted when the settings store's own Windows part is merged: it only
// lets the Windows build link and run. It has none of the checked save's promises (no flush, no
// Windows failure reasons, no sharing-violation retry) and no tests of its own.
#include "settings/settingsformat.h"
#include "settings/settingsstore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <utility>

namespace korvo::settings {

Store::Store(QString programDir, QString configDir)
    : m_programDir(std::move(programDir)), m_configDir(std::move(configDir))
{}

Store Store::forThisProgram()
{
    const QString program = QCoreApplication::applicationDirPath();
    const QString config = QDir::fromNativeSeparators(qEnvironmentVariable("APPDATA")) + "/korvo";
    if (QFileInfo::exists(QDir(program).filePath("korvo.installed")))
        return Store(config, config);
    return Store(program, config);
}

QString Store::programFile() const
{
    return QDir(m_programDir).filePath(QString::fromLatin1(kFileName));
}

QString Store::configFile() const
{
    return QDir(m_configDir).filePath(QString::fromLatin1(kFileName));
}

Store::Plan Store::plan() const
{
    const QFileInfo program(programFile());
    if (program.isFile() && program.isReadable() && QFileInfo(m_programDir).isWritable())
        return {program.filePath(), program.filePath()};
    if (QFileInfo(configFile()).isFile())
        return {configFile(), configFile()};
    if (!program.exists() && QFileInfo(m_programDir).isWritable())
        return {QString(), program.filePath()};
    return {program.isFile() ? program.filePath() : QString(), configFile()};
}

std::optional<QByteArray> Store::read()
{
    const Plan where = plan();
    m_savePath = where.savePath;
    QFile file(where.readPath);
    if (where.readPath.isEmpty() || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.read(kReadLimit);
}

Store::SaveResult Store::save(const QByteArray& bytes) const
{
    SaveResult result;
    result.path = m_savePath.isEmpty() ? plan().savePath : m_savePath;
    QDir().mkpath(QFileInfo(result.path).path());
    QSaveFile file(result.path);
    result.ok = file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
    if (!result.ok) {
        result.failure = Failure::Other;
        result.earlierKept = !plan().readPath.isEmpty();
    }
    return result;
}

} // namespace korvo::settings
