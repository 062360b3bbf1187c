#include "settings/settingsstore.h"

#include "settings/settingsformat.h"
#include "settings/storefiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <utility>

namespace korvo::settings {

namespace files {

// A temporary is the file's name, a marker, six letters or digits and ".tmp":
// "bpm_data.ini.korvo-Ab3dE9.tmp". Nobody names a file of their own like that, so clean-up may
// remove exactly this form and nothing else.
namespace {
constexpr QLatin1String kMarker(".korvo-");
constexpr QLatin1String kEnding(".tmp");
constexpr int kRandomPart = 6;
} // namespace

QString temporaryName(const QString& path)
{
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QRandomGenerator& random = *QRandomGenerator::global();
    QString name = path + kMarker;
    for (int i = 0; i < kRandomPart; ++i)
        name += QLatin1Char(kChars[random.bounded(int(sizeof kChars - 1))]);
    return name + kEnding;
}

bool isTemporaryOf(const QString& entry, const QString& fileName)
{
    const QString start = fileName + kMarker;
    if (entry.size() != start.size() + kRandomPart + kEnding.size() || !entry.startsWith(start) ||
        !entry.endsWith(kEnding))
        return false;
    for (qsizetype i = start.size(); i < start.size() + kRandomPart; ++i) {
        const char16_t c = entry[i].unicode();
        if (!(c >= 'a' && c <= 'z') && !(c >= 'A' && c <= 'Z') && !(c >= '0' && c <= '9'))
            return false;
    }
    return true;
}

} // namespace files

namespace {

std::optional<QByteArray> readFile(const QString& path)
{
    QFile file(path);
    if (!files::canRead(path) || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    // One byte past the limit tells the format that the file goes on beyond what it looks at.
    return file.read(static_cast<qint64>(kReadLimit) + 1);
}

// A save killed between writing its temporary and renaming it leaves the temporary behind;
// nothing else would ever remove it.
void removeStaleTemporaries(const QString& path)
{
    const QFileInfo file(path);
    const QDir folder = file.dir();
    const QString fileName = file.fileName();
    const QStringList candidates =
        folder.entryList({fileName + ".*"}, QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& entry : candidates) {
        if (files::isTemporaryOf(entry, fileName))
            files::removeIfAbandoned(folder.filePath(entry));
    }
}

// One of the two places, as this run finds it. A link counts as the file it leads to: that file
// is read and replaced, and the link stays.
struct Place
{
    explicit Place(const QString& path) : target(files::resolveLinks(path))
    {
        exists = files::exists(path);
        readable = target && files::canRead(*target);
        replaceable = target && files::canReplace(*target);
    }
    std::optional<QString> target; // nullopt: a link that leads nowhere
    bool exists = false;
    bool readable = false;
    bool replaceable = false;
};

} // namespace

Store::Store(QString programDir, QString configDir)
    : m_programDir(std::move(programDir)), m_configDir(std::move(configDir))
{}

Store Store::forThisProgram()
{
    const QString base = files::configBase();
    const QString config = base.isEmpty() ? QString() : QDir(base).filePath(QStringLiteral("korvo"));
    const QString program = QCoreApplication::applicationDirPath();
    if (files::installedCopy(program))
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
    const QString program = programFile();
    const Place beside(program);
    if (beside.readable && beside.replaceable)
        return {program, program, {}};
    // Without a home folder there is no configuration folder, and a relative path would land
    // wherever we happen to run: the program folder is then the only place, writable or not.
    if (m_configDir.isEmpty()) {
        if (beside.exists && !beside.readable)
            return {QString(), QString(), program};
        return {beside.readable ? program : QString(), program, {}};
    }

    const QString config = configFile();
    const Place copy(config);
    if (copy.readable)
        return {config, config, {}};
    const QString readPath = beside.readable ? program : QString();
    if (!copy.exists) {
        if (!beside.exists && beside.replaceable)
            return {QString(), program, {}};
        return {readPath, config, {}};
    }
    // The configuration copy is there but cannot be read. Written over, it would hold this run's
    // values where no start can read them; only a new file beside the program is safe.
    if (!beside.exists && beside.replaceable)
        return {QString(), program, {}};
    return {readPath, QString(), config};
}

std::optional<QByteArray> Store::read()
{
    m_plan = plan();
    if (m_plan->readPath.isEmpty())
        return std::nullopt;
    return readFile(m_plan->readPath);
}

Store::SaveResult Store::save(const QByteArray& bytes) const
{
    const Plan where = m_plan ? *m_plan : plan();
    SaveResult result;
    files::Error error;
    if (where.savePath.isEmpty()) {
        result.path = where.unreadablePath;
        error.failure = Failure::Unreadable;
    } else {
        result.path = where.savePath;
        // A link stays a link: the file it leads to is the one replaced, in that file's folder.
        const std::optional<QString> target = files::resolveLinks(result.path);
        const QString folder = QFileInfo(target.value_or(result.path)).path();
        QStringList created; // the folders this save makes, the deepest first
        if (!target) {
            error.failure = Failure::Unreadable;
        } else if (!m_configDir.isEmpty() && result.path == configFile()) {
            for (QString dir = folder; !files::exists(dir) && QFileInfo(dir).path() != dir;
                 dir = QFileInfo(dir).path())
                created.append(dir);
            error = files::makeFolder(folder);
        }
        if (!error)
            error = files::replaceFile(*target, bytes);
        if (!error) {
            result.ok = true;
            removeStaleTemporaries(*target);
            return result;
        }
        // A save that failed leaves no trace: the folders it made go again (rmdir takes only an
        // empty one, so nothing another program put there meanwhile is lost).
        for (const QString& dir : created)
            QDir().rmdir(dir);
    }
    result.failure = error.failure;
    result.systemError = error.code;
    // Nothing here writes into an existing file, so whatever the next start would read is
    // exactly what was there before this save.
    result.earlierKept = !plan().readPath.isEmpty();
    return result;
}

} // namespace korvo::settings
