#include "filesizelimit.h"
#include "settings/settingsstore.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <grp.h>
#include <memory>
#include <optional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using korvo::settings::Store;

namespace {

const QByteArray kFirstRun("120\r\n120\r\n3\r\n0\r\n0\r\n");
const QByteArray kSample("98.5\r\n133.3333\r\n2\r\n1\r\n1\r\n");

// A content far larger than a real one, so that a write takes long enough to be interrupted in the
// middle; still within what read() takes in.
QByteArray largeContent()
{
    return kSample.repeated(2000);
}

// Argument that turns this test binary into a process that saves in a tight loop until killed.
constexpr const char* kSaveLoop = "--save-loop";

int saveLoop(const char* programDir, const char* configDir)
{
    Store store(QString::fromLocal8Bit(programDir), QString::fromLocal8Bit(configDir));
    const QByteArray contents[] = {kFirstRun, largeContent()};
    for (unsigned long round = 0;; ++round) {
        if (!store.save(contents[round % 2]).ok)
            return 1;
        if (round == 0) {
            // Tells the parent that a complete file exists from now on.
            std::fputs("saved\n", stdout);
            std::fflush(stdout);
        }
    }
}

// Argument that turns this test binary into a process that saves kSample once, under a file size
// limit when one is given, and reports what it found on stdout (see saveOnceReport).
constexpr const char* kSaveOnce = "--save-once";
// Argument for a process that starts, saves and starts again as an ordinary user would (dropping
// root's privileges first, since root reads and writes anything), reporting what it read.
constexpr const char* kStartSaveStart = "--start-save-start";
constexpr uid_t kNobody = 65534;

QStringList entries(const QString& dir);

QByteArray saveOnceReport(const Store::SaveResult& result)
{
    QFile file(result.path);
    const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
    return "ok=" + QByteArray::number(result.ok) +
           " failure=" + QByteArray::number(static_cast<int>(result.failure)) +
           " kept=" + QByteArray::number(result.earlierKept) + " file=" + bytes.toHex() +
           " entries=" + entries(QFileInfo(result.path).path()).join(',').toUtf8();
}

int saveOnce(const char* programDir, const char* configDir, const char* limit)
{
    const rlim_t bytes = std::strtoul(limit, nullptr, 10);
    if (bytes > 0) {
        std::signal(SIGXFSZ, SIG_IGN); // a write past the limit then fails instead of killing us
        const rlimit limited{bytes, bytes};
        if (setrlimit(RLIMIT_FSIZE, &limited) != 0)
            return 2;
    }
    const Store store(QString::fromLocal8Bit(programDir), QString::fromLocal8Bit(configDir));
    const QByteArray report = saveOnceReport(store.save(kSample));
    std::fputs(report.constData(), stdout);
    return 0;
}

int startSaveStart(const char* programDir, const char* configDir)
{
    if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0))
        return 2;
    const QString program = QString::fromLocal8Bit(programDir);
    const QString config = QString::fromLocal8Bit(configDir);
    const auto which = [](const std::optional<QByteArray>& bytes) -> QByteArray {
        return !bytes                   ? "none"
               : bytes->left(2) == "90" ? "program"
               : bytes->left(2) == "80" ? "config"
                                        : "saved";
    };
    Store first(program, config);
    const QByteArray read = which(first.read());
    const Store::SaveResult result = first.save(kSample);
    const QByteArray saved = !result.ok                           ? "failed"
                             : result.path == first.programFile() ? "program"
                             : result.path == first.configFile()  ? "config"
                                                                  : "elsewhere";
    Store second(program, config);
    const QByteArray next = which(second.read());
    std::fputs(("read=" + read + " saved=" + saved + " next=" + next).constData(), stdout);
    return 0;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

std::optional<QByteArray> fileBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

QStringList entries(const QString& dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

// Changes a folder's permissions for one test and puts them back however the test ends, so that
// QTemporaryDir can still remove it.
class PermissionGuard
{
public:
    PermissionGuard(QString path, QFile::Permissions permissions)
        : m_path(std::move(path)), m_old(QFile::permissions(m_path))
    {
        QFile::setPermissions(m_path, permissions);
    }
    ~PermissionGuard() { QFile::setPermissions(m_path, m_old); }
    PermissionGuard(const PermissionGuard&) = delete;
    PermissionGuard& operator=(const PermissionGuard&) = delete;

private:
    QString m_path;
    QFile::Permissions m_old;
};

constexpr QFile::Permissions kReadOnlyFolder = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup |
                                               QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;

bool permissionsAreIgnored()
{
    return geteuid() == 0; // root writes into read-only folders
}

} // namespace

class TestSettingsStore : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void readWithoutAnyFile();
    void readPrefersTheProgramFolder();
    void readFallsBackWhenTheProgramFileIsUnreadable();
    void readTakesAtMost64KiB();
    void saveThenRead_data();
    void saveThenRead();
    void saveReplacesTheWholeFile();
    void failedSaveKeepsTheOldFile_data();
    void failedSaveKeepsTheOldFile();
    void interruptedSaveNeverLeavesATornFile();
    void fullDiskKeepsTheOldFile_data();
    void fullDiskKeepsTheOldFile();
    void staleTemporariesGoAtTheNextSave_data();
    void staleTemporariesGoAtTheNextSave();
    void whereTheSettingsLive_data();
    void whereTheSettingsLive();

private:
    std::unique_ptr<QTemporaryDir> m_root;
    QString m_programDir;
    QString m_configDir;
};

void TestSettingsStore::init()
{
    m_root = std::make_unique<QTemporaryDir>();
    QVERIFY(m_root->isValid());
    m_programDir = m_root->filePath("program");
    m_configDir = m_root->filePath("home/.config/Korvo"); // not there yet: a save creates it
    QVERIFY(QDir().mkpath(m_programDir));
}

void TestSettingsStore::cleanup()
{
    m_root.reset();
}

void TestSettingsStore::readWithoutAnyFile()
{
    Store store(m_programDir, m_configDir);
    QCOMPARE(store.read(), std::nullopt);
}

void TestSettingsStore::readPrefersTheProgramFolder()
{
    Store store(m_programDir, m_configDir);
    QVERIFY(QDir().mkpath(m_configDir));
    QVERIFY(writeFile(store.configFile(), kFirstRun));
    QCOMPARE(store.read(), kFirstRun);

    QVERIFY(writeFile(store.programFile(), kSample));
    QCOMPARE(store.read(), kSample);
}

void TestSettingsStore::readFallsBackWhenTheProgramFileIsUnreadable()
{
    if (permissionsAreIgnored())
        QSKIP("running as root, which reads any file");
    Store store(m_programDir, m_configDir);
    QVERIFY(QDir().mkpath(m_configDir));
    QVERIFY(writeFile(store.configFile(), kFirstRun));
    QVERIFY(writeFile(store.programFile(), kSample));
    const PermissionGuard unreadable(store.programFile(), QFile::WriteOwner);

    QCOMPARE(store.read(), kFirstRun);
}

void TestSettingsStore::readTakesAtMost64KiB()
{
    Store store(m_programDir, m_configDir);
    QVERIFY(writeFile(store.programFile(), QByteArray(1024 * 1024, '1')));

    const std::optional<QByteArray> bytes = store.read();
    QVERIFY(bytes);
    QCOMPARE(bytes->size(), 64 * 1024);
}

void TestSettingsStore::saveThenRead_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<bool>("toProgramFolder");

    QTest::newRow("writable program folder") << "writable" << true;
    QTest::newRow("program folder missing: configuration folder, created") << "missing" << false;
    QTest::newRow("read-only program folder: configuration folder, created") << "read-only" << false;
}

void TestSettingsStore::saveThenRead()
{
    QFETCH(QString, setup);
    QFETCH(bool, toProgramFolder);

    if (setup == "missing")
        QVERIFY(QDir(m_programDir).removeRecursively());
    if (setup == "read-only" && permissionsAreIgnored())
        QSKIP("running as root, which writes into read-only folders");
    const PermissionGuard guard(m_programDir,
                                setup == "read-only" ? kReadOnlyFolder : QFile::permissions(m_programDir));

    Store store(m_programDir, m_configDir);
    const Store::SaveResult result = store.save(kSample);
    QVERIFY2(result.ok, std::strerror(result.systemError));
    QCOMPARE(result.failure, Store::Failure::None);
    const QString expectedPath = toProgramFolder ? store.programFile() : store.configFile();
    QCOMPARE(result.path, expectedPath);
    QCOMPARE(fileBytes(expectedPath), kSample);
    QCOMPARE(QFile::exists(toProgramFolder ? store.configFile() : store.programFile()), false);
    QCOMPARE(store.read(), kSample);
    // Nothing left beside the file: no temporary copy.
    QCOMPARE(entries(QFileInfo(expectedPath).path()), QStringList{"bpm_data.ini"});
}

void TestSettingsStore::saveReplacesTheWholeFile()
{
    Store store(m_programDir, m_configDir);
    QVERIFY(store.save(largeContent()).ok);
    QVERIFY(store.save(kFirstRun).ok);

    QCOMPARE(fileBytes(store.programFile()), kFirstRun);
}

void TestSettingsStore::failedSaveKeepsTheOldFile_data()
{
    QTest::addColumn<QString>("setup");

    QTest::newRow("disk full in the middle of the write") << "file size limit";
    QTest::newRow("configuration folder path is a file") << "config is a file";
    QTest::newRow("old file in a read-only program folder") << "read-only";
}

void TestSettingsStore::failedSaveKeepsTheOldFile()
{
    QFETCH(QString, setup);
    Store store(m_programDir, m_configDir);

    QString oldFile = store.programFile();
    if (setup == "config is a file") {
        // Program folder gone, and a plain file where the configuration folder's parent should be.
        QVERIFY(QDir(m_programDir).removeRecursively());
        QVERIFY(QDir().mkpath(m_root->filePath("home")));
        oldFile = m_root->filePath("home/.config");
    }
    QVERIFY(writeFile(oldFile, kFirstRun));
    const QString expectedPath = setup == "config is a file" ? store.configFile() : store.programFile();
    const QStringList entriesBefore = entries(QFileInfo(oldFile).path());

    if (setup == "read-only" && permissionsAreIgnored())
        QSKIP("running as root, which writes into read-only folders");
    Store::SaveResult result;
    {
        const PermissionGuard guard(m_programDir, setup == "read-only" ? kReadOnlyFolder
                                                                       : QFile::permissions(m_programDir));
        const std::optional<FileSizeLimit> limit =
            setup == "file size limit" ? std::optional<FileSizeLimit>(std::in_place, 8) : std::nullopt;
        result = store.save(largeContent());
    }

    QVERIFY(!result.ok);
    QCOMPARE(result.path, expectedPath);
    QVERIFY2(result.failure != Store::Failure::None, "a failed save must say why");
    QCOMPARE(fileBytes(oldFile), kFirstRun);
    QCOMPARE(entries(QFileInfo(oldFile).path()), entriesBefore); // no temporary copy left behind
}

void TestSettingsStore::interruptedSaveNeverLeavesATornFile()
{
    Store store(m_programDir, m_configDir);
    const QByteArray complete[] = {kFirstRun, largeContent()};
    const quint32 seed = QRandomGenerator::global()->generate();
    QRandomGenerator random(seed);
    const QByteArray context = "random seed " + QByteArray::number(seed);

    for (int kill = 0; kill < 60; ++kill) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {kSaveLoop, m_programDir, m_configDir});
        QVERIFY2(child.waitForReadyRead(10000), context.constData());
        QThread::usleep(random.bounded(20000u));
        child.kill(); // SIGKILL: no chance to tidy up
        QVERIFY(child.waitForFinished(10000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);

        const std::optional<QByteArray> bytes = fileBytes(store.programFile());
        QVERIFY2(bytes, context.constData());
        QVERIFY2(*bytes == complete[0] || *bytes == complete[1],
                 qPrintable(QString("%1: kill %2 left %3 bytes").arg(context).arg(kill).arg(bytes->size())));
    }
}

void TestSettingsStore::fullDiskKeepsTheOldFile_data()
{
    QTest::addColumn<QString>("setup");
    QTest::newRow("file size limit of 8 bytes in a child process") << "limit";
    QTest::newRow("64 KiB tmpfs filled up, in a mount namespace") << "tmpfs";
}

// The real content is 25 bytes: small enough to sit in a write buffer until the very end, which is
// where a full disk must still be noticed.
void TestSettingsStore::fullDiskKeepsTheOldFile()
{
    QFETCH(QString, setup);
    QCOMPARE(kSample.size(), 25);
    QVERIFY(writeFile(QDir(m_programDir).filePath("bpm_data.ini"), kFirstRun));

    QProcess child;
    const QString self = QCoreApplication::applicationFilePath();
    if (setup == "limit") {
        child.start(self, {kSaveOnce, m_programDir, m_configDir, "8"});
    } else {
        QProcess probe;
        probe.start("unshare", {"-rm", "true"});
        if (!probe.waitForFinished(10000) || probe.exitStatus() != QProcess::NormalExit ||
            probe.exitCode() != 0)
            QSKIP("unshare cannot make a mount namespace here (not installed, or not permitted)");
        // Inside the namespace: a small tmpfs over the program folder, the old file on it, then a
        // filler that takes every free block, then one save.
        const QString script =
            "mount -t tmpfs -o size=64k korvo-test \"$1\" && printf "
            "'120\\r\\n120\\r\\n3\\r\\n0\\r\\n0\\r\\n' "
            ">\"$1/bpm_data.ini\" && { dd if=/dev/zero of=\"$1/filler\" bs=1k 2>/dev/null; true; } && "
            "exec \"$0\" --save-once \"$1\" \"$2\" 0";
        child.start("unshare", {"-rm", "sh", "-c", script, self, m_programDir, m_configDir});
    }
    QVERIFY(child.waitForFinished(30000));
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QVERIFY2(child.exitCode() == 0, child.readAllStandardError().constData());

    const QByteArray entriesAfter = setup == "limit" ? "bpm_data.ini" : "bpm_data.ini,filler";
    const QByteArray expected =
        "ok=0 failure=" + QByteArray::number(static_cast<int>(Store::Failure::DiskFull)) +
        " kept=1 file=" + kFirstRun.toHex() + " entries=" + entriesAfter;
    QCOMPARE(child.readAllStandardOutput(), expected);
}

void TestSettingsStore::staleTemporariesGoAtTheNextSave_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("removed");
    QTest::newRow("leftover of an interrupted save") << "bpm_data.ini.Ab3dE9" << true;
    QTest::newRow("leftover with digits only") << "bpm_data.ini.123456" << true;
    QTest::newRow("six lower-case letters may be a word someone chose") << "bpm_data.ini.backup" << false;
    QTest::newRow("five characters") << "bpm_data.ini.Ab3dE" << false;
    QTest::newRow("seven characters") << "bpm_data.ini.Ab3dE9x" << false;
    QTest::newRow("not only letters and digits") << "bpm_data.ini.Ab3-E9" << false;
    QTest::newRow("another file's leftover") << "other.ini.Ab3dE9" << false;
}

void TestSettingsStore::staleTemporariesGoAtTheNextSave()
{
    QFETCH(QString, name);
    QFETCH(bool, removed);
    Store store(m_programDir, m_configDir);
    QVERIFY(writeFile(store.programFile(), kFirstRun));
    QVERIFY(writeFile(QDir(m_programDir).filePath(name), kSample));

    QVERIFY(store.save(kSample).ok);
    QCOMPARE(QFile::exists(QDir(m_programDir).filePath(name)), !removed);
    QCOMPARE(fileBytes(store.programFile()), kSample);
}

void TestSettingsStore::whereTheSettingsLive_data()
{
    QTest::addColumn<QString>("programFile"); // readable, unreadable, folder (in its place), none
    QTest::addColumn<bool>("folderWritable");
    QTest::addColumn<bool>("configCopy");
    QTest::addColumn<QByteArray>(
        "outcome"); // which file the start read, the save went to, the next start read

    const auto row = [](const char* file, bool writable, bool config, const char* read, const char* saved) {
        const QByteArray what = QByteArray(file) == "folder" ? "a folder in place of the file"
                                : QByteArray(file) == "none" ? "no file"
                                                             : QByteArray(file) + " file";
        const QByteArray name = what + " in a " + (writable ? "writable" : "read-only") +
                                " program folder, " + (config ? "a" : "no") + " configuration copy";
        QTest::newRow(name.constData()) << QString(file) << writable << config
                                        << QByteArray("read=") + read + " saved=" + saved + " next=saved";
    };
    row("readable", true, false, "program", "program");
    row("readable", true, true, "program", "program");
    row("readable", false, false, "program", "config");
    row("readable", false, true, "config", "config");
    row("unreadable", true, false, "none", "config");
    row("unreadable", true, true, "config", "config");
    row("unreadable", false, false, "none", "config");
    row("unreadable", false, true, "config", "config");
    row("folder", true, false, "none", "config");
    row("folder", false, true, "config", "config");
    row("none", true, false, "none", "program");
    row("none", true, true, "config", "config");
    row("none", false, false, "none", "config");
    row("none", false, true, "config", "config");
}

void TestSettingsStore::whereTheSettingsLive()
{
    QFETCH(QString, programFile);
    QFETCH(bool, folderWritable);
    QFETCH(bool, configCopy);

    const QString file = QDir(m_programDir).filePath("bpm_data.ini");
    const QByteArray programBytes("90\r\n90\r\n3\r\n0\r\n0\r\n");
    if (programFile == "readable" || programFile == "unreadable")
        QVERIFY(writeFile(file, programBytes));
    if (programFile == "unreadable")
        QVERIFY(QFile::setPermissions(file, QFile::WriteOwner));
    if (programFile == "folder")
        QVERIFY(QDir().mkpath(file));
    if (configCopy) {
        QVERIFY(QDir().mkpath(m_configDir));
        QVERIFY(writeFile(QDir(m_configDir).filePath("bpm_data.ini"), "80\r\n80\r\n3\r\n0\r\n0\r\n"));
    }
    if (!folderWritable)
        QVERIFY(QFile::setPermissions(m_programDir, kReadOnlyFolder));
    // Root would read and write everything: the child runs as an ordinary user then.
    if (geteuid() == 0) {
        QDirIterator it(m_root->path(), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        QVERIFY(::chown(QFile::encodeName(m_root->path()).constData(), kNobody, kNobody) == 0);
        while (it.hasNext())
            QVERIFY(::lchown(QFile::encodeName(it.next()).constData(), kNobody, kNobody) == 0);
    }

    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {kStartSaveStart, m_programDir, m_configDir});
    QVERIFY(child.waitForFinished(10000));
    QFile::setPermissions(m_programDir, QFile::permissions(m_root->path())); // so that cleanup can remove it
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QVERIFY2(child.exitCode() == 0, child.readAllStandardError().constData());
    QTEST(child.readAllStandardOutput(), "outcome");

    // A file that could not be read, or a folder in its place, is left exactly as it was.
    if (programFile == "unreadable") {
        QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
        QCOMPARE(fileBytes(file), programBytes);
    }
    if (programFile == "folder")
        QVERIFY(QFileInfo(file).isDir());
}

int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], kSaveLoop) == 0)
        return saveLoop(argv[2], argv[3]);
    if (argc == 5 && std::strcmp(argv[1], kSaveOnce) == 0)
        return saveOnce(argv[2], argv[3], argv[4]);
    if (argc == 4 && std::strcmp(argv[1], kStartSaveStart) == 0)
        return startSaveStart(argv[2], argv[3]);
    QCoreApplication app(argc, argv);
    TestSettingsStore test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_settingsstore.moc"
