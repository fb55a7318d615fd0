// A bare X server (Xvfb, no window manager) lacks the WM_PROTOCOLS family of
// atoms until some client creates them. JUCE only looks them up when it opens
// its display and then sets a window property with atom 0, which kills the
// test process with BadAtom. Creating them first, from a connection kept open
// so the server never resets, makes windows work under a bare Xvfb.
#include <dlfcn.h>

#include <initializer_list>

namespace
{
struct XAtomsBeforeJuce
{
    XAtomsBeforeJuce()
    {
        auto* lib = dlopen ("libX11.so.6", RTLD_NOW | RTLD_GLOBAL);

        if (lib == nullptr)
            return;

        using OpenDisplay = void* (*) (const char*);
        using InternAtom = unsigned long (*) (void*, const char*, int);
        using Flush = int (*) (void*);

        const auto openDisplay = reinterpret_cast<OpenDisplay> (dlsym (lib, "XOpenDisplay"));
        const auto internAtom = reinterpret_cast<InternAtom> (dlsym (lib, "XInternAtom"));
        const auto flush = reinterpret_cast<Flush> (dlsym (lib, "XFlush"));

        if (openDisplay == nullptr || internAtom == nullptr || flush == nullptr)
            return;

        // Deliberately never closed: the atoms live as long as a client does.
        auto* display = openDisplay (nullptr);

        if (display == nullptr)
            return;

        for (const auto* name : {"WM_PROTOCOLS", "WM_TAKE_FOCUS", "WM_DELETE_WINDOW", "_NET_WM_PING", "WM_CHANGE_STATE", "WM_STATE"})
            internAtom (display, name, 0);

        flush (display);
    }
};

const XAtomsBeforeJuce xAtomsBeforeJuce;
} // namespace
