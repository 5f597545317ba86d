#include "draw/GLProc.h"

#include <GL/gl.h>
#include <SDL.h>

#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>
#include <string>

namespace {

std::mutex hiddenMutex;
std::set<std::string>& hiddenNames()
{
    static std::set<std::string> names;
    return names;
}

struct Requirement {
    const char* name;
    int major, minor;       // core since this version
    const char* extension;  // or through this extension
};

// GLX hands out a stub for any gl* name, so the address alone proves
// nothing: entry points we rely on are checked against the context too.
const Requirement kRequirements[] = {
    {"glTexImage3D", 1, 2, "GL_EXT_texture3D"},
    {"glGenFramebuffers", 3, 0, "GL_ARB_framebuffer_object"},
    {"glBindFramebuffer", 3, 0, "GL_ARB_framebuffer_object"},
    {"glFramebufferTexture2D", 3, 0, "GL_ARB_framebuffer_object"},
    {"glCheckFramebufferStatus", 3, 0, "GL_ARB_framebuffer_object"},
    {"glDeleteFramebuffers", 3, 0, "GL_ARB_framebuffer_object"},
};

bool contextProvides(const Requirement& r)
{
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    int major = 0, minor = 0;
    if (version && std::sscanf(version, "%d.%d", &major, &minor) == 2 &&
        (major > r.major || (major == r.major && minor >= r.minor)))
        return true;
    const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    if (!extensions)
        return false;
    const size_t n = std::strlen(r.extension);
    for (const char* p = std::strstr(extensions, r.extension); p; p = std::strstr(p + 1, r.extension))
        if ((p == extensions || p[-1] == ' ') && (p[n] == ' ' || p[n] == '\0'))
            return true;
    return false;
}

}  // namespace

void* glProcAddress(const char* name)
{
    {
        std::lock_guard<std::mutex> lock(hiddenMutex);
        if (hiddenNames().count(name))
            return nullptr;
    }
    void* address = SDL_GL_GetProcAddress(name);
    if (!address)
        return nullptr;
    for (const Requirement& r : kRequirements)
        if (std::strcmp(r.name, name) == 0 && !contextProvides(r))
            return nullptr;
    return address;
}

void glProcHide(const char* name, bool hidden)
{
    std::lock_guard<std::mutex> lock(hiddenMutex);
    if (hidden)
        hiddenNames().insert(name);
    else
        hiddenNames().erase(name);
}
