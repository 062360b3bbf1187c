#include "settings/settingsformat.h"
#include "settings/settingsstore.h"
#include "settingsfixture.h"
#include "testmain.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cstring>
#include <memory>
#include <optional>

using korvo::settings::Store;

// What every system shares: reading, saving and cleaning up. What only one system can show lives
// in tst_settingsstore_posix.cpp and tst_settingsstore_windows.cpp.
class TestSettingsStore : public QObject, StoreFolders
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void readWithoutAnyFile();
    void readPrefersTheProgramFolder();
    void readTakesOnlyWhatTheFormatLooksAt();
    void saveThenRead_data();
    void saveThenRead();
    void saveReplacesTheWholeFile();
    void staleTemporariesGoAtTheNextSave_data();
    void staleTemporariesGoAtTheNextSave();
};

void TestSettingsStore::init()
{
    makeStoreFolders("home/.config/Korvo");
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

// One limit for the store and the format: the store hands over one byte more, by which the format
// knows that the file goes on past the part it looks at.
void TestSettingsStore::readTakesOnlyWhatTheFormatLooksAt()
{
    Store store(m_programDir, m_configDir);
    QVERIFY(writeFile(store.programFile(), QByteArray(1024 * 1024, '1')));

    const std::optional<QByteArray> bytes = store.read();
    QVERIFY(bytes);
    QCOMPARE(bytes->size(), qsizetype(korvo::settings::kReadLimit) + 1);
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
        QSKIP("folder permissions do not keep this process out (root, or Windows)");
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

void TestSettingsStore::staleTemporariesGoAtTheNextSave_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("held"); // by a save still running in another process
    QTest::addColumn<bool>("removed");
    QTest::newRow("leftover of an interrupted save") << "bpm_data.ini.korvo-Ab3dE9.tmp" << false << true;
    QTest::newRow("leftover with digits only") << "bpm_data.ini.korvo-123456.tmp" << false << true;
    QTest::newRow("temporary of a save still running") << "bpm_data.ini.korvo-Ab3dE9.tmp" << true << false;
    QTest::newRow("six lower-case letters may be a word someone chose")
        << "bpm_data.ini.backup" << false << false;
    QTest::newRow("five characters") << "bpm_data.ini.korvo-Ab3dE.tmp" << false << false;
    QTest::newRow("seven characters") << "bpm_data.ini.korvo-Ab3dE9x.tmp" << false << false;
    QTest::newRow("not only letters and digits") << "bpm_data.ini.korvo-Ab3-E9.tmp" << false << false;
    QTest::newRow("no .tmp ending") << "bpm_data.ini.korvo-Ab3dE9" << false << false;
    QTest::newRow("another file's leftover") << "other.ini.korvo-Ab3dE9.tmp" << false << false;
    // Names a person gives a copy of their own: a looser pattern of six letters or digits would match them.
    QTest::newRow("user's copy: upper-case BACKUP") << "bpm_data.ini.BACKUP" << false << false;
    QTest::newRow("user's copy: Backup") << "bpm_data.ini.Backup" << false << false;
    QTest::newRow("user's copy: old123") << "bpm_data.ini.old123" << false << false;
    QTest::newRow("user's copy: 2024ok") << "bpm_data.ini.2024ok" << false << false;
    QTest::newRow("user's copy: v1copy") << "bpm_data.ini.v1copy" << false << false;
    QTest::newRow("six letters and digits, as no release ever left")
        << "bpm_data.ini.Ab3dE9" << false << false;
}

void TestSettingsStore::staleTemporariesGoAtTheNextSave()
{
    QFETCH(QString, name);
    QFETCH(bool, held);
    QFETCH(bool, removed);
    Store store(m_programDir, m_configDir);
    QVERIFY(writeFile(store.programFile(), kFirstRun));
    QVERIFY(writeFile(QDir(m_programDir).filePath(name), kSample));

    {
        std::optional<HeldLikeASave> running;
        if (held) {
            running.emplace(QDir(m_programDir).filePath(name));
            QVERIFY(running->held());
        }
        QVERIFY(store.save(kSample).ok);
    }
    QCOMPARE(QFile::exists(QDir(m_programDir).filePath(name)), !removed);
    QCOMPARE(fileBytes(store.programFile()), kSample);
}

KORVO_TEST_MAIN(TestSettingsStore)
#include "tst_settingsstore.moc"
