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
    // Most a read takes in; a genuine file is about forty bytes.
    static constexpr qint64 kReadLimit = 64 * 1024;

    Store(QString programDir, QString configDir);
    // The executable's folder and the per-user configuration folder of this application; for a
    // program installed under /usr, the configuration folder alone.
    static Store forThisProgram();

    // The file's bytes, from the program folder when a readable file is there, else from the
    // configuration folder; nullopt when neither has one.
    std::optional<QByteArray> read() const;

    struct SaveResult
    {
        bool ok = false;
        QString path;  // the file written or the one that could not be
        QString error; // why not, in Qt's words; empty on success
    };
    // Replaces the file as a whole: after a crash or a failure it holds the old content or the new,
    // never a mix. When it reports success, the next read() gives these bytes.
    SaveResult save(const QByteArray& bytes) const;

    QString programFile() const;
    QString configFile() const;

private:
    QString m_ProgramDir;
    QString m_ConfigDir;
};

} // namespace korvo::settings
