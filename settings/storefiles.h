#pragma once

#include "settings/settingsstore.h"

#include <QByteArray>
#include <QString>
#include <optional>

// What the settings store asks of the operating system. Each system has its own file
// (storefiles_posix.cpp, storefiles_windows.cpp); the rules that use these answers are the same
// everywhere and live in settingsstore.cpp. Paths are Qt's, with forward slashes.
namespace korvo::settings::files {

// A failure as the system reported it: what it means for the user, and the system's own code
// (errno on POSIX, GetLastError() on Windows).
struct Error
{
    Store::Failure failure = Store::Failure::None;
    int code = 0;
    explicit operator bool() const { return failure != Store::Failure::None; }
};

// Anything by this name, a link that leads nowhere included.
bool exists(const QString& path);
// A regular file this process can open for reading, links followed.
bool canRead(const QString& path);
// Whether a new file renamed to this name would take its place: the folder lets this user create
// a file and rename it there, and what stands at the name now (if anything) is a file this user
// may replace. Links are not followed; pass the end of the chain.
bool canReplace(const QString& path);
// Where a chain of links starting at this name ends: the name itself when it is no link or does
// not exist; nullopt when a link leads nowhere or round in a circle.
std::optional<QString> resolveLinks(const QString& path);

// Creates a folder and its missing parents.
Error makeFolder(const QString& dir);
// The checked replacement: the bytes go to a new temporary (named by temporaryName) in the file's
// folder, are flushed to the disk and checked for size, and the temporary is renamed over the
// file. The temporary stays locked from its creation until after the rename, so a clean-up running
// in another process passes over it. A failure leaves no temporary behind and the file untouched.
Error replaceFile(const QString& path, const QByteArray& bytes);
// Removes a temporary left by a save that was killed: only a regular file of this user that no
// running save holds.
void removeIfAbandoned(const QString& temporary);

// The user's folder for configuration files (~/.config, %APPDATA%); empty when there is none.
QString configBase();
// A copy installed by a package manager or an installer: its settings belong in the user's folder.
bool installedCopy(const QString& programDir);

// The temporaries' names, the same on every system (settingsstore.cpp).
QString temporaryName(const QString& path);
bool isTemporaryOf(const QString& entry, const QString& fileName);

} // namespace korvo::settings::files
