#include "settingsfixture.h"

#include <QDir>
#include <windows.h>

bool permissionsAreIgnored()
{
    return true; // QFile::setPermissions cannot take the right to write away from a folder here
}

// As the store holds its temporary: open for writing, shared for reading and renaming only, so
// that no exclusive open (the clean-up's) can succeed while it lasts.
HeldLikeASave::HeldLikeASave(const QString& path)
{
    const HANDLE handle = ::CreateFileW(
        reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(path).utf16()), GENERIC_WRITE,
        FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE)
        m_held = reinterpret_cast<std::intptr_t>(handle);
}

HeldLikeASave::~HeldLikeASave()
{
    if (held())
        ::CloseHandle(reinterpret_cast<HANDLE>(m_held));
}

bool HeldLikeASave::held() const
{
    return m_held != -1;
}
