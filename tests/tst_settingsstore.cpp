#include "settings/settingsstore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <sys/resource.h>
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
    const Store store(QString::fromLocal8Bit(programDir), QString::fromLocal8Bit(configDir));
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
        : path_(std::move(path)), old_(QFile::permissions(path_))
    {
        QFile::setPermissions(path_, permissions);
    }
    ~PermissionGuard() { QFile::setPermissions(path_, old_); }
    PermissionGuard(const PermissionGuard&) = delete;
    PermissionGuard& operator=(const PermissionGuard&) = delete;

private:
    QString path_;
    QFile::Permissions old_;
};

constexpr QFile::Permissions kReadOnlyFolder = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup |
                                               QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;

bool permissionsAreIgnored()
{
    return geteuid() == 0; // root writes into read-only folders
}

// Lets no file of this process grow beyond a few bytes while it lives: a write that needs more
// fails as on a full disk, whoever runs the test.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN); // the write then fails instead of killing us
        rlimit limited = old_;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
};

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

private:
    std::unique_ptr<QTemporaryDir> root_;
    QString programDir_;
    QString configDir_;
};

void TestSettingsStore::init()
{
    root_ = std::make_unique<QTemporaryDir>();
    QVERIFY(root_->isValid());
    programDir_ = root_->filePath("program");
    configDir_ = root_->filePath("home/.config/Korvo"); // not there yet: a save creates it
    QVERIFY(QDir().mkpath(programDir_));
}

void TestSettingsStore::cleanup()
{
    root_.reset();
}

void TestSettingsStore::readWithoutAnyFile()
{
    const Store store(programDir_, configDir_);
    QCOMPARE(store.read(), std::nullopt);
}

void TestSettingsStore::readPrefersTheProgramFolder()
{
    const Store store(programDir_, configDir_);
    QVERIFY(QDir().mkpath(configDir_));
    QVERIFY(writeFile(store.configFile(), kFirstRun));
    QCOMPARE(store.read(), kFirstRun);

    QVERIFY(writeFile(store.programFile(), kSample));
    QCOMPARE(store.read(), kSample);
}

void TestSettingsStore::readFallsBackWhenTheProgramFileIsUnreadable()
{
    if (permissionsAreIgnored())
        QSKIP("running as root, which reads any file");
    const Store store(programDir_, configDir_);
    QVERIFY(QDir().mkpath(configDir_));
    QVERIFY(writeFile(store.configFile(), kFirstRun));
    QVERIFY(writeFile(store.programFile(), kSample));
    const PermissionGuard unreadable(store.programFile(), QFile::WriteOwner);

    QCOMPARE(store.read(), kFirstRun);
}

void TestSettingsStore::readTakesAtMost64KiB()
{
    const Store store(programDir_, configDir_);
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
        QVERIFY(QDir(programDir_).removeRecursively());
    if (setup == "read-only" && permissionsAreIgnored())
        QSKIP("running as root, which writes into read-only folders");
    const PermissionGuard guard(programDir_,
                                setup == "read-only" ? kReadOnlyFolder : QFile::permissions(programDir_));

    const Store store(programDir_, configDir_);
    const Store::SaveResult result = store.save(kSample);
    QVERIFY2(result.ok, qPrintable(result.error));
    QVERIFY(result.error.isEmpty());
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
    const Store store(programDir_, configDir_);
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
    const Store store(programDir_, configDir_);

    QString oldFile = store.programFile();
    if (setup == "config is a file") {
        // Program folder gone, and a plain file where the configuration folder's parent should be.
        QVERIFY(QDir(programDir_).removeRecursively());
        QVERIFY(QDir().mkpath(root_->filePath("home")));
        oldFile = root_->filePath("home/.config");
    }
    QVERIFY(writeFile(oldFile, kFirstRun));
    const QString expectedPath = setup == "config is a file" ? store.configFile() : store.programFile();
    const QStringList entriesBefore = entries(QFileInfo(oldFile).path());

    if (setup == "read-only" && permissionsAreIgnored())
        QSKIP("running as root, which writes into read-only folders");
    Store::SaveResult result;
    {
        const PermissionGuard guard(programDir_,
                                    setup == "read-only" ? kReadOnlyFolder : QFile::permissions(programDir_));
        const std::optional<FileSizeLimit> limit =
            setup == "file size limit" ? std::optional<FileSizeLimit>(std::in_place, 8) : std::nullopt;
        result = store.save(largeContent());
    }

    QVERIFY(!result.ok);
    QCOMPARE(result.path, expectedPath);
    QVERIFY2(!result.error.isEmpty(), "a failed save must say why");
    QCOMPARE(fileBytes(oldFile), kFirstRun);
    QCOMPARE(entries(QFileInfo(oldFile).path()), entriesBefore); // no temporary copy left behind
}

void TestSettingsStore::interruptedSaveNeverLeavesATornFile()
{
    const Store store(programDir_, configDir_);
    const QByteArray complete[] = {kFirstRun, largeContent()};
    const quint32 seed = QRandomGenerator::global()->generate();
    QRandomGenerator random(seed);
    const QByteArray context = "random seed " + QByteArray::number(seed);

    for (int kill = 0; kill < 60; ++kill) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {kSaveLoop, programDir_, configDir_});
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

int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], kSaveLoop) == 0)
        return saveLoop(argv[2], argv[3]);
    QCoreApplication app(argc, argv);
    TestSettingsStore test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_settingsstore.moc"
