#include "audio/engineloader.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibrary>
#include <QStringList>

namespace korvo::audio {

namespace {

Engine* g_standIn = nullptr;

Engine* loadModule()
{
    // Beside the program (a build tree, the Windows package), then where the Linux package puts
    // its private libraries.
    const QString here = QCoreApplication::applicationDirPath();
    const QStringList places{here, QDir(here).filePath(QStringLiteral(KORVO_AUDIO_MODULE_RELATIVE))};
    for (const QString& place : places) {
        // Kept loaded for the rest of the program: the engine lives in it.
        auto* module = new QLibrary(QDir(place).filePath(QStringLiteral("korvo-audio")));
        using Entry = Engine* (*)();
        if (auto entry = reinterpret_cast<Entry>(module->resolve("korvoAudioEngine")))
            return entry();
        delete module;
    }
    return nullptr;
}

} // namespace

Engine* engine()
{
    if (g_standIn)
        return g_standIn;
    static Engine* const loaded = loadModule();
    return loaded;
}

void setEngine(Engine* standIn)
{
    g_standIn = standIn;
}

QString writeFailureReason(WriteFailure failure)
{
    switch (failure) {
    case WriteFailure::Exists:
        return QCoreApplication::translate("Export", "同じ名前のファイルがすでにあります。");
    case WriteFailure::NoPermission:
        return QCoreApplication::translate("Export", "書き出し先に書き込む権限がありません。");
    case WriteFailure::DiskFull:
        return QCoreApplication::translate("Export", "ディスクの空き容量が足りません。");
    case WriteFailure::None:
    case WriteFailure::CannotWrite:
    case WriteFailure::Cancelled:
        break;
    }
    return QCoreApplication::translate("Export", "ファイルを書き込めませんでした。");
}

} // namespace korvo::audio
