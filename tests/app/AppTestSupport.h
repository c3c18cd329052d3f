// Helpers for the app tests that open windows.
#pragma once

#include <dlfcn.h>
#include <link.h>

#include <cstring>

// Marks the GL driver libraries loaded so far as never to be unloaded. Mesa
// unloads its driver when a display connection closes; allocations the
// driver keeps would then be reported by the leak checker without a module
// name, so the suppressions for the driver could not match them.
inline void KeepGlDriversLoaded() {
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void*) {
            const char* name = info->dlpi_name;
            if (name && *name &&
                (std::strstr(name, "_dri") || std::strstr(name, "gallium") || std::strstr(name, "LLVM") ||
                 std::strstr(name, "libGLX_mesa") || std::strstr(name, "libglapi")))
                dlopen(name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
            return 0;
        },
        nullptr);
}
