#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// Where bpm_data.ini lives. It belongs beside the executable, but an installed program often may
// not write there, so the user's configuration folder takes over in that case.
namespace korvo::settings {

class Store
{
public:
    Store(QString programDir, QString configDir);
    // The executable's folder and the per-user configuration folder of this application
    // (~/.config/korvo, %APPDATA%\korvo); for an installed copy (under /usr, or marked by the
    // Windows installer), the configuration folder alone.
    static Store forThisProgram();

    // Which file a start reads and which file its exit replaces, decided from what is on disk:
    // - the file beside the program, when it can be read and replaced (its folder lets this user
    //   rename a new file over it, sticky folders and read-only files included);
    // - otherwise the configuration folder's file, read when there is one; when there is none,
    //   a readable file beside the program is where this run starts from, and the save then
    //   moves the settings to the configuration folder, which later starts read;
    // - with no readable file anywhere, the save goes beside the program when that folder can
    //   be written and holds nothing in the way, else to the configuration folder.
    // A file that cannot be read (or a folder in its place) is never written over: when the
    // configuration folder holds one and nothing new can go beside the program, or when there is
    // no configuration folder and the file beside the program is one, there is no place the next
    // start would read from, and the save says so instead of writing.
    // A link counts as the file it leads to; a link that leads nowhere, as a file that cannot be read.
    struct Plan
    {
        QString readPath; // empty: nothing to read, the design values stay
        QString savePath; // empty: no place; unreadablePath is the file in the way
        QString unreadablePath;
    };
    Plan plan() const;

    // The bytes of the file the plan names (nullopt when there is none). The save path decided
    // here is kept: the exit writes where this start read from, or where it decided to move to.
    std::optional<QByteArray> read();

    enum class Failure
    {
        None,
        NoPermission,
        DiskFull,
        FolderMissing,
        FileInUse,    // another program holds the file open and would not let go
        Unreadable,   // the save would go over a file Korvo cannot read
        ReadOnly,     // the file system is mounted read-only (a write-protected medium)
        TooManyFiles, // the file system has room for bytes but no new file (no free inodes)
        Other
    };
    struct SaveResult
    {
        bool ok = false;
        QString path; // the file written or the one that could not be
        Failure failure = Failure::None;
        int systemError = 0; // the system's own code: errno, or GetLastError() on Windows
        // After a failure: a settings file from before is still there, untouched, and the next
        // start reads it. False when there was none, so nothing of this run or before survives.
        bool earlierKept = false;
    };
    // Replaces the file as a whole: the new bytes go to a temporary file in the same folder, are
    // flushed to the disk and checked for size, and only then renamed over the old file (over the
    // file a link leads to, so the link stays). After a
    // crash or any failure the file holds the old content or the new, never a mix; on success the
    // temporaries of earlier, interrupted saves are removed. When it reports success, the next
    // read() gives these bytes.
    SaveResult save(const QByteArray& bytes) const;

    QString programFile() const;
    QString configFile() const;

private:
    QString m_programDir;
    QString m_configDir;
    std::optional<Plan> m_plan; // set by read(); until then save() decides for itself
};

} // namespace korvo::settings
