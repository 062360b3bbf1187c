#include "audio/defaultengine.h"

// What the program looks up once it has loaded the module.
extern "C"
#ifdef _WIN32
    __declspec(dllexport)
#else
    __attribute__((visibility("default")))
#endif
        korvo::audio::Engine* korvoAudioEngine()
{
    static korvo::audio::DefaultEngine engine;
    return &engine;
}
