#include "host/host_environment.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "host/host_path.h"

namespace tarnwick {

namespace {

std::string Variable(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

}  // namespace

HostEnvironment_T HostEnvironment_T::FromProcess()
{
    HostEnvironment_T env;
    env.home = Variable("HOME");
    if (!IsAbsolutePath(env.home)) {
        if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir)
            env.home = pw->pw_dir;
    }
    env.xdgConfigHome = Variable("XDG_CONFIG_HOME");
    env.winePrefix = Variable("WINEPREFIX");
    env.xdgRuntimeDir = Variable("XDG_RUNTIME_DIR");
    env.xdgCacheHome = Variable("XDG_CACHE_HOME");
    return env;
}

std::string HomeFolder(const HostEnvironment_T& env)
{
    return IsAbsolutePath(env.home) ? env.home : "/";
}

std::string ScratchFolder(const HostEnvironment_T& env)
{
    if (IsAbsolutePath(env.xdgRuntimeDir))
        return JoinPath(env.xdgRuntimeDir, "tarnwick");
    if (IsAbsolutePath(env.xdgCacheHome))
        return JoinPath(env.xdgCacheHome, "tarnwick");
    return JoinPath(JoinPath(HomeFolder(env), ".cache"), "tarnwick");
}

}  // namespace tarnwick
