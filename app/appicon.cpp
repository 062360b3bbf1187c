#include "app/appicon.h"

#include <QSize>
#include <QString>

// The resources live in a static library, whose registration object the linker drops unless
// something refers to it; Q_INIT_RESOURCE is that reference. It must be called outside a namespace.
static void registerIconResources()
{
    Q_INIT_RESOURCE(icons);
}

namespace korvo {

QIcon appIcon()
{
    registerIconResources(); // Qt ignores a repeated registration
    QIcon icon;
    for (const int size : kWindowIconSizes)
        icon.addFile(QStringLiteral(":/icons/korvo-%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace korvo
