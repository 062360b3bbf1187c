#include "filesizelimit.h"
#include "settings/settingsstore.h"
#include "settingsfixture.h"

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
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using korvo::settings::Store;

namespace {

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

// Sets an environment variable ("(unset)": removes it) for one test and puts it back however the
// test ends.
class EnvironmentGuard
{
public:
    EnvironmentGuard(const char* name, const QByteArray& value)
        : m_name(name), m_old(qgetenv(name)), m_wasSet(qEnvironmentVariableIsSet(name))
    {
        if (value == "(unset)")
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    ~EnvironmentGuard()
    {
        if (m_wasSet)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }
    EnvironmentGuard(const EnvironmentGuard&) = delete;
    EnvironmentGuard& operator=(const EnvironmentGuard&) = delete;

private:
    const char* m_name;
    QByteArray m_old;
    bool m_wasSet;
};

} // namespace

// What only a POSIX system can show: file modes, other users, a file size limit, a full file
// system in a mount namespace, and processes killed in the middle of a save.
class TestSettingsStorePosix : public QObject, StoreFolders
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void readFallsBackWhenTheProgramFileIsUnreadable();
    void failedSaveKeepsTheOldFile_data();
    void failedSaveKeepsTheOldFile();
    void interruptedSaveNeverLeavesATornFile();
    void fullDiskKeepsTheOldFile_data();
    void fullDiskKeepsTheOldFile();
    void whereTheSettingsLive_data();
    void whereTheSettingsLive();
    void configFolderFromTheEnvironment_data();
    void configFolderFromTheEnvironment();
};

void TestSettingsStorePosix::init()
{
    makeStoreFolders("home/.config/Korvo");
}

void TestSettingsStorePosix::cleanup()
{
    m_root.reset();
}

void TestSettingsStorePosix::readFallsBackWhenTheProgramFileIsUnreadable()
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

void TestSettingsStorePosix::failedSaveKeepsTheOldFile_data()
{
    QTest::addColumn<QString>("setup");

    QTest::newRow("disk full in the middle of the write") << "file size limit";
    QTest::newRow("configuration folder path is a file") << "config is a file";
    QTest::newRow("old file in a read-only program folder") << "read-only";
    QTest::newRow("configuration folder path too long: no folder of it is left") << "too long";
}

void TestSettingsStorePosix::failedSaveKeepsTheOldFile()
{
    QFETCH(QString, setup);
    // Twenty names of 250 letters: the first folders can be made, the path soon grows too long.
    const QString tooLong = m_root->filePath("home/.config") + QString("/" + QString(250, 'x')).repeated(20);
    Store store(m_programDir, setup == "too long" ? tooLong : m_configDir);

    QString oldFile = store.programFile();
    if (setup == "too long") {
        QVERIFY(QDir(m_programDir).removeRecursively());
        QVERIFY(QDir().mkpath(m_root->filePath("home")));
        oldFile = m_root->filePath("home/other-settings.ini");
    }
    if (setup == "config is a file") {
        // Program folder gone, and a plain file where the configuration folder's parent should be.
        QVERIFY(QDir(m_programDir).removeRecursively());
        QVERIFY(QDir().mkpath(m_root->filePath("home")));
        oldFile = m_root->filePath("home/.config");
    }
    QVERIFY(writeFile(oldFile, kFirstRun));
    const QString expectedPath =
        setup == "config is a file" || setup == "too long" ? store.configFile() : store.programFile();
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

void TestSettingsStorePosix::interruptedSaveNeverLeavesATornFile()
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

void TestSettingsStorePosix::fullDiskKeepsTheOldFile_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<int>("failure");
    const int full = int(Store::Failure::DiskFull);
    QTest::newRow("file size limit of 8 bytes in a child process") << "limit" << full;
    QTest::newRow("64 KiB tmpfs filled up, in a mount namespace") << "tmpfs" << full;
    QTest::newRow("tmpfs with every inode taken, in a mount namespace")
        << "inodes" << int(Store::Failure::TooManyFiles);
    QTest::newRow("tmpfs remounted read-only, in a mount namespace")
        << "read-only" << int(Store::Failure::ReadOnly);
}

// The real content is 25 bytes: small enough to sit in a write buffer until the very end, which is
// where a full disk must still be noticed.
void TestSettingsStorePosix::fullDiskKeepsTheOldFile()
{
    QFETCH(QString, setup);
    QFETCH(int, failure);
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
        // Inside the namespace: a small tmpfs over the program folder and the old file on it; then
        // a filler that takes every free block, or files in a folder that take every inode, or the
        // file system made read-only; then one save.
        const QByteArray fill =
            setup == "tmpfs" ? "{ dd if=/dev/zero of=\"$1/filler\" bs=1k 2>/dev/null; true; }"
            : setup == "inodes"
                ? "mkdir \"$1/filler\" && { i=0; while true 2>/dev/null >\"$1/filler/$i\"; do "
                  "i=$((i+1)); done; true; }"
                : "mount -o remount,ro \"$1\"";
        const QString script = "mount -t tmpfs -o size=64k,nr_inodes=64 korvo-test \"$1\" && printf "
                               "'120\\r\\n120\\r\\n3\\r\\n0\\r\\n0\\r\\n' "
                               ">\"$1/bpm_data.ini\" && " +
                               QString::fromLatin1(fill) + " && exec \"$0\" --save-once \"$1\" \"$2\" 0";
        // Read-only, the program folder is the only place: a configuration folder elsewhere would
        // take the save.
        child.start("unshare", {"-rm", "sh", "-c", script, self, m_programDir,
                                setup == "read-only" ? QString() : m_configDir});
    }
    QVERIFY(child.waitForFinished(30000));
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QVERIFY2(child.exitCode() == 0, child.readAllStandardError().constData());

    const QByteArray entriesAfter =
        setup == "limit" || setup == "read-only" ? "bpm_data.ini" : "bpm_data.ini,filler";
    const QByteArray expected = "ok=0 failure=" + QByteArray::number(failure) +
                                " kept=1 file=" + kFirstRun.toHex() + " entries=" + entriesAfter;
    QCOMPARE(child.readAllStandardOutput(), expected);
}

void TestSettingsStorePosix::whereTheSettingsLive_data()
{
    // readable, unreadable, folder (in its place), none, link (to a readable file elsewhere)
    QTest::addColumn<QString>("programFile");
    QTest::addColumn<QString>("folder"); // writable, read-only, sticky (root's, like /tmp, with root's file)
    QTest::addColumn<QString>("configCopy"); // none, readable, unreadable, link, looping link
    QTest::addColumn<QByteArray>(
        "outcome"); // which file the start read, the save went to, the next start read

    const auto row = [](const char* file, const char* folder, const char* config, const char* read,
                        const char* saved, const char* next = "saved") {
        const QByteArray what = QByteArray(file) == "folder" ? "a folder in place of the file"
                                : QByteArray(file) == "none" ? "no file"
                                : QByteArray(file) == "link" ? "a link to a readable file"
                                                             : QByteArray(file) + " file";
        const QByteArray copy = QByteArray(config) == "none"         ? "no configuration copy"
                                : QByteArray(config) == "no folder"  ? "no configuration folder at all"
                                : QByteArray(config) == "readable"   ? "a configuration copy"
                                : QByteArray(config) == "unreadable" ? "an unreadable configuration copy"
                                : QByteArray(config) == "link"
                                    ? "the configuration copy a link to a file elsewhere"
                                    : "the configuration copy a link to itself";
        const QByteArray where = QByteArray(folder) == "sticky" ? "root's sticky" : QByteArray(folder);
        const QByteArray name = what + " in a " + where + " program folder, " + copy;
        QTest::newRow(name.constData()) << QString(file) << QString(folder) << QString(config)
                                        << QByteArray("read=") + read + " saved=" + saved + " next=" + next;
    };
    row("readable", "writable", "none", "program", "program");
    row("readable", "writable", "readable", "program", "program");
    row("readable", "read-only", "none", "program", "config");
    row("readable", "read-only", "readable", "config", "config");
    row("unreadable", "writable", "none", "none", "config");
    row("unreadable", "writable", "readable", "config", "config");
    row("unreadable", "read-only", "none", "none", "config");
    row("unreadable", "read-only", "readable", "config", "config");
    row("folder", "writable", "none", "none", "config");
    row("folder", "read-only", "readable", "config", "config");
    row("none", "writable", "none", "none", "program");
    row("none", "writable", "readable", "config", "config");
    row("none", "read-only", "none", "none", "config");
    row("none", "read-only", "readable", "config", "config");
    // Nothing a run saves may be unreadable to the next run: no place, so nothing is written.
    row("readable", "read-only", "unreadable", "program", "failed", "program");
    row("unreadable", "writable", "unreadable", "none", "failed", "none");
    row("none", "writable", "unreadable", "none", "program");
    row("unreadable", "writable", "no folder", "none", "failed", "none");
    // Readable but not replaceable by this user: the configuration folder takes over.
    row("readable", "sticky", "none", "program", "config");
    // A link stays a link; the file it leads to gets the new bytes.
    row("link", "writable", "none", "program", "program");
    row("readable", "read-only", "link", "config", "config");
    // A link that leads round in a circle is a file that cannot be read.
    row("readable", "read-only", "looping link", "program", "failed", "program");
}

void TestSettingsStorePosix::whereTheSettingsLive()
{
    QFETCH(QString, programFile);
    QFETCH(QString, folder);
    QFETCH(QString, configCopy);

    const QString file = QDir(m_programDir).filePath("bpm_data.ini");
    const QString config = QDir(m_configDir).filePath("bpm_data.ini");
    const QString dotfiles = m_root->filePath("dotfiles");
    const QByteArray programBytes("90\r\n90\r\n3\r\n0\r\n0\r\n");
    const QByteArray configBytes("80\r\n80\r\n3\r\n0\r\n0\r\n");
    if (folder == "sticky" && geteuid() != 0)
        QSKIP("only root can give the folder and its file to another user than the one saving");
    QVERIFY(QDir().mkpath(dotfiles));
    if (programFile == "readable" || programFile == "unreadable")
        QVERIFY(writeFile(file, programBytes));
    if (programFile == "unreadable")
        QVERIFY(QFile::setPermissions(file, QFile::WriteOwner));
    if (programFile == "folder")
        QVERIFY(QDir().mkpath(file));
    if (programFile == "link") {
        QVERIFY(writeFile(QDir(dotfiles).filePath("bpm_data.ini"), programBytes));
        QVERIFY(QFile::link(QDir(dotfiles).filePath("bpm_data.ini"), file));
    }
    if (configCopy != "none" && configCopy != "no folder")
        QVERIFY(QDir().mkpath(m_configDir));
    if (configCopy == "readable" || configCopy == "unreadable")
        QVERIFY(writeFile(config, configBytes));
    if (configCopy == "unreadable")
        QVERIFY(QFile::setPermissions(config, QFile::WriteOwner));
    if (configCopy == "link") {
        QVERIFY(writeFile(QDir(dotfiles).filePath("korvo.ini"), configBytes));
        QVERIFY(QFile::link("../../../dotfiles/korvo.ini", config)); // relative, as dotfiles tools make them
    }
    if (configCopy == "looping link")
        QVERIFY(QFile::link("bpm_data.ini", config));
    if (folder == "read-only")
        QVERIFY(QFile::setPermissions(m_programDir, kReadOnlyFolder));
    // Root would read and write everything: the child runs as an ordinary user then.
    if (geteuid() == 0) {
        QDirIterator it(m_root->path(), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        QVERIFY(::chown(QFile::encodeName(m_root->path()).constData(), kNobody, kNobody) == 0);
        while (it.hasNext())
            QVERIFY(::lchown(QFile::encodeName(it.next()).constData(), kNobody, kNobody) == 0);
    }
    if (folder == "sticky") {
        // Open to all, as /tmp is, but the folder and the file are root's.
        QVERIFY(::chown(QFile::encodeName(m_programDir).constData(), 0, 0) == 0);
        QVERIFY(::chown(QFile::encodeName(file).constData(), 0, 0) == 0);
        QVERIFY(::chmod(QFile::encodeName(m_programDir).constData(), 01777) == 0);
        QVERIFY(::chmod(QFile::encodeName(file).constData(), 0666) == 0);
    }

    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {kStartSaveStart, m_programDir, configCopy == "no folder" ? QString() : m_configDir});
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
    if (configCopy == "unreadable") {
        // Its mode too (the User flags say what this process may do, not what the file's mode is).
        const QFile::Permissions mode =
            QFile::permissions(config) &
            ~QFile::Permissions(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser);
        QCOMPARE(mode, QFile::WriteOwner);
        QFile::setPermissions(config, QFile::ReadOwner | QFile::WriteOwner);
        QCOMPARE(fileBytes(config), configBytes);
    }
    if (configCopy == "looping link")
        QCOMPARE(QFileInfo(config).symLinkTarget(), QDir(m_configDir).filePath("bpm_data.ini"));
    if (programFile == "link") {
        QVERIFY(QFileInfo(file).isSymLink());
        QCOMPARE(fileBytes(QDir(dotfiles).filePath("bpm_data.ini")), kSample);
        QCOMPARE(entries(m_programDir), QStringList{"bpm_data.ini"});
    }
    if (configCopy == "link") {
        QVERIFY(QFileInfo(config).isSymLink());
        QCOMPARE(fileBytes(QDir(dotfiles).filePath("korvo.ini")), kSample);
        QCOMPARE(entries(m_configDir), QStringList{"bpm_data.ini"});
    }
}

// Where the configuration folder is when the environment says little or something odd.
void TestSettingsStorePosix::configFolderFromTheEnvironment_data()
{
    QTest::addColumn<QByteArray>("home"); // "(unset)" for none at all
    QTest::addColumn<QByteArray>("xdgConfigHome");
    QTest::addColumn<QString>("expected"); // "(account)" stands for the home in the user database

    QTest::newRow("HOME alone") << QByteArray("/home/someone") << QByteArray("(unset)")
                                << "/home/someone/.config/korvo/bpm_data.ini";
    QTest::newRow("HOME empty: the account's home")
        << QByteArray("") << QByteArray("(unset)") << "(account)/.config/korvo/bpm_data.ini";
    QTest::newRow("HOME unset: the account's home")
        << QByteArray("(unset)") << QByteArray("(unset)") << "(account)/.config/korvo/bpm_data.ini";
    QTest::newRow("absolute XDG_CONFIG_HOME")
        << QByteArray("/home/someone") << QByteArray("/srv/config") << "/srv/config/korvo/bpm_data.ini";
    QTest::newRow("relative XDG_CONFIG_HOME is ignored")
        << QByteArray("/home/someone") << QByteArray("config") << "/home/someone/.config/korvo/bpm_data.ini";
}

void TestSettingsStorePosix::configFolderFromTheEnvironment()
{
    QFETCH(QByteArray, home);
    QFETCH(QByteArray, xdgConfigHome);
    QFETCH(QString, expected);
    const EnvironmentGuard homeGuard("HOME", home);
    const EnvironmentGuard xdgGuard("XDG_CONFIG_HOME", xdgConfigHome);
    const passwd* account = ::getpwuid(::geteuid());
    QVERIFY(account && account->pw_dir);

    QCOMPARE(Store::forThisProgram().configFile(),
             expected.replace("(account)", QFile::decodeName(account->pw_dir)));
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
    TestSettingsStorePosix test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_settingsstore_posix.moc"
