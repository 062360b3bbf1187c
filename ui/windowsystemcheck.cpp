#include "ui/windowsystemcheck.h"

#include "ui/language.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>

namespace korvo::ui {

namespace {

struct HeldMessage
{
    QtMsgType type;
    QByteArray file, function, category;
    int line;
    QString text;
};

QtMessageHandler g_before = nullptr;
QList<HeldMessage> g_held;

void holdOrEnd(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type != QtFatalMsg) {
        g_held.append({type, context.file, context.function, context.category, context.line, text});
        return;
    }
    // The only fatal message while the application object is made is the one that no window
    // system could be reached. Qt has said before whether the reason is its missing Wayland plugin.
    bool noWaylandPlugin = false;
    for (const HeldMessage& m : std::as_const(g_held))
        noWaylandPlugin =
            noWaylandPlugin || m.text.contains(QLatin1String("find the Qt platform plugin \"wayland\""));
    const char* reason =
        noWaylandPlugin
            ? QT_TRANSLATE_NOOP(
                  "WindowSystemCheck",
                  "画面に接続できないため起動できません（Wayland では qt6-wayland パッケージが必要です）。")
            : QT_TRANSLATE_NOOP("WindowSystemCheck", "画面に接続できないため起動できません。");
    std::fprintf(stderr, "korvo: %s\n", translatedEarly("WindowSystemCheck", reason).toUtf8().constData());
    std::fflush(stderr);
    std::_Exit(1);
}

} // namespace

WindowSystemCheck::WindowSystemCheck()
{
    g_before = qInstallMessageHandler(holdOrEnd);
}

WindowSystemCheck::~WindowSystemCheck()
{
    qInstallMessageHandler(g_before);
    for (const HeldMessage& m : std::as_const(g_held)) {
        const QMessageLogContext context(m.file.constData(), m.line, m.function.constData(),
                                         m.category.isNull() ? nullptr : m.category.constData());
        if (g_before)
            g_before(m.type, context, m.text);
    }
    g_held.clear();
}

} // namespace korvo::ui
