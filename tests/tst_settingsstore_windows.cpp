#include "settings/settingsstore.h"
#include "settingsfixture.h"
#include "testmain.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <optional>
#include <windows.h>

using korvo::settings::Store;

namespace {

const wchar_t* native(const QString& path)
{
    static thread_local QString text;
    text = QDir::toNativeSeparators(path);
    return reinterpret_cast<const wchar_t*>(text.utf16());
}

bool setReadOnly(const QString& path, bool readOnly)
{
    const DWORD attributes = ::GetFileAttributesW(native(path));
    return attributes != INVALID_FILE_ATTRIBUTES &&
           ::SetFileAttributesW(native(path), readOnly ? (attributes | FILE_ATTRIBUTE_READONLY)
                                                       : (attributes & ~DWORD(FILE_ATTRIBUTE_READONLY)));
}

// Another program holding the file open, as an editor or a virus scanner does: it lets others read
// but neither write nor delete nor rename over it.
class HeldByAnotherProgram
{
public:
    explicit HeldByAnotherProgram(const QString& path)
        : m_handle(::CreateFileW(native(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr))
    {}
    ~HeldByAnotherProgram()
    {
        if (held())
            ::CloseHandle(m_handle);
    }
    HeldByAnotherProgram(const HeldByAnotherProgram&) = delete;
    HeldByAnotherProgram& operator=(const HeldByAnotherProgram&) = delete;
    bool held() const { return m_handle != INVALID_HANDLE_VALUE; }

private:
    HANDLE m_handle;
};

} // namespace

// What only Windows can show: file attributes, files held open by another program, the roaming
// folder and the installer's mark.
class TestSettingsStoreWindows : public QObject, StoreFolders
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void readOnlyFileMovesTheSettingsToTheConfigurationFolder();
    void failureKeepsTheOldFileAndGivesTheSystemsCode_data();
    void failureKeepsTheOldFileAndGivesTheSystemsCode();
    void fullDisk();
    void installedCopyKeepsItsSettingsInTheRoamingFolder();
};

void TestSettingsStoreWindows::init()
{
    makeStoreFolders("AppData/Roaming/korvo");
}

void TestSettingsStoreWindows::cleanup()
{
    // A read-only file would keep QTemporaryDir from removing its folder.
    for (const QString& file : {QDir(m_programDir).filePath("bpm_data.ini")})
        setReadOnly(file, false);
    m_root.reset();
}

// Beside korvo.exe while it can be read and replaced: a read-only file can be read, not replaced.
void TestSettingsStoreWindows::readOnlyFileMovesTheSettingsToTheConfigurationFolder()
{
    Store store(m_programDir, m_configDir);
    QVERIFY(writeFile(store.programFile(), kFirstRun));
    QVERIFY(setReadOnly(store.programFile(), true));

    QCOMPARE(store.read(), kFirstRun);
    const Store::SaveResult result = store.save(kSample);
    QVERIFY2(result.ok, qPrintable(QString::number(result.systemError)));
    QCOMPARE(result.path, store.configFile());
    QCOMPARE(fileBytes(store.programFile()), kFirstRun);
    QCOMPARE(fileBytes(store.configFile()), kSample); // CR LF as written, no text-mode doubling
    QCOMPARE(Store(m_programDir, m_configDir).read(), kSample);
}

void TestSettingsStoreWindows::failureKeepsTheOldFileAndGivesTheSystemsCode_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<int>("failure");
    QTest::addColumn<int>("systemError");
    QTest::newRow("read-only file and no configuration folder: no permission")
        << "read-only" << int(Store::Failure::NoPermission) << int(ERROR_ACCESS_DENIED);
    QTest::newRow("folder missing: configuration folder under a plain file")
        << "missing" << int(Store::Failure::FolderMissing) << int(ERROR_DIRECTORY);
    QTest::newRow("file held open by another program: in use, after retrying")
        << "held" << int(Store::Failure::FileInUse) << int(ERROR_SHARING_VIOLATION);
}

void TestSettingsStoreWindows::failureKeepsTheOldFileAndGivesTheSystemsCode()
{
    QFETCH(QString, setup);
    QFETCH(int, failure);
    QFETCH(int, systemError);

    QString oldFile = QDir(m_programDir).filePath("bpm_data.ini");
    std::optional<Store> store;
    if (setup == "missing") {
        // Program folder gone, and a plain file where the configuration folder's parent should be.
        QVERIFY(QDir(m_programDir).removeRecursively());
        oldFile = m_root->filePath("AppData");
        store.emplace(m_programDir, m_configDir);
    } else {
        store.emplace(m_programDir, QString()); // beside the program is the only place
    }
    QVERIFY(writeFile(oldFile, kFirstRun));
    if (setup == "read-only")
        QVERIFY(setReadOnly(oldFile, true));
    const QStringList entriesBefore = entries(QFileInfo(oldFile).path());

    Store::SaveResult result;
    {
        std::optional<HeldByAnotherProgram> other;
        if (setup == "held") {
            other.emplace(oldFile);
            QVERIFY(other->held());
        }
        result = store->save(kSample);
    }

    QVERIFY(!result.ok);
    QCOMPARE(int(result.failure), failure);
    QCOMPARE(result.systemError, systemError);
    QCOMPARE(result.earlierKept, setup != "missing");
    QCOMPARE(fileBytes(oldFile), kFirstRun);
    QCOMPARE(entries(QFileInfo(oldFile).path()), entriesBefore); // no temporary copy left behind
}

void TestSettingsStoreWindows::fullDisk()
{
    // A full disk needs a volume that fills up. Windows gives a test none it could fill without
    // administrator rights (a VHD needs them), and Wine writes through to the host's file system,
    // where only a mount namespace or a file size limit could make one; the process tree Wine
    // starts (wineserver, the loader) escapes both. tst_settingsstore_posix shows the same
    // checked save on a full file system, and the error codes Windows reports for it are mapped
    // with the others here.
    QSKIP("no volume a test can fill up, on Windows or under Wine; see tst_settingsstore_posix");
}

// The installer leaves korvo.installed beside korvo.exe; such a copy reads and saves in the
// roaming folder alone, so that uninstalling never takes the settings along.
void TestSettingsStoreWindows::installedCopyKeepsItsSettingsInTheRoamingFolder()
{
    const QString programDir = QCoreApplication::applicationDirPath();
    const QString marker = QDir(programDir).filePath("korvo.installed");
    QVERIFY(!QFile::exists(marker));
    const Store unzipped = Store::forThisProgram();
    QCOMPARE(QFileInfo(unzipped.programFile()).path(), programDir);
    QVERIFY2(unzipped.configFile().endsWith("/AppData/Roaming/korvo/bpm_data.ini", Qt::CaseInsensitive) ||
                 unzipped.configFile().endsWith("/Application Data/korvo/bpm_data.ini", Qt::CaseInsensitive),
             qPrintable(unzipped.configFile()));

    QVERIFY(writeFile(marker, QByteArray()));
    const Store installed = Store::forThisProgram();
    QFile::remove(marker);
    QCOMPARE(installed.programFile(), unzipped.configFile());
    QCOMPARE(installed.configFile(), unzipped.configFile());
}

KORVO_TEST_MAIN(TestSettingsStoreWindows)
#include "tst_settingsstore_windows.moc"
