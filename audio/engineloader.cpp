#include "audio/engineloader.h"

namespace korvo::audio {
namespace {

Engine* g_standIn = nullptr;

} // namespace

// Until the module is built, only a stand-in plays: without one the program behaves as it does
// where the module cannot be loaded.
Engine* engine()
{
    return g_standIn;
}

void setEngine(Engine* standIn)
{
    g_standIn = standIn;
}

} // namespace korvo::audio
