#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>

// What the settings store's test programs share: sample contents, file helpers, a guard for
// folder permissions, and what differs by system (settingsfixture_posix.cpp,
// settingsfixture_windows.cpp).

inline const QByteArray kFirstRun("120\r\n120\r\n3\r\n0\r\n0\r\n");
inline const QByteArray kSample("98.5\r\n133.3333\r\n2\r\n1\r\n1\r\n");

// A content far larger than a real one, so that a write takes long enough to be interrupted in the
// middle.
inline QByteArray largeContent()
{
    return kSample.repeated(2000);
}

// The two places of a store, in a fresh folder for each test: the program's folder made, the
// configuration folder (`config` under the same root) not there yet, so that a save creates it.
class StoreFolders
{
protected:
    void makeStoreFolders(const char* config)
    {
        m_root = std::make_unique<QTemporaryDir>();
        QVERIFY(m_root->isValid());
        m_programDir = m_root->filePath("program");
        m_configDir = m_root->filePath(config);
        QVERIFY(QDir().mkpath(m_programDir));
    }

    std::unique_ptr<QTemporaryDir> m_root;
    QString m_programDir;
    QString m_configDir;
};

inline bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline std::optional<QByteArray> fileBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

inline QStringList entries(const QString& dir)
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

inline constexpr QFile::Permissions kReadOnlyFolder = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup |
                                                      QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;

// True where a folder's permission bits do not keep this process out: root on POSIX, and Windows,
// whose folders have access lists that Qt's permission bits do not set.
bool permissionsAreIgnored();
// Keeps a file open and locked as a running save keeps its temporary, until this ends.
class HeldLikeASave
{
public:
    explicit HeldLikeASave(const QString& path);
    ~HeldLikeASave();
    HeldLikeASave(const HeldLikeASave&) = delete;
    HeldLikeASave& operator=(const HeldLikeASave&) = delete;
    bool held() const;

private:
    std::intptr_t m_held = -1; // a descriptor, or a Windows handle
};
