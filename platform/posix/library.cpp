// POSIX backend: shared libraries loaded at run time with dlopen.
#include "platform/fault.h"
#include "platform/platform.h"

#include <cerrno>
#include <dlfcn.h>

extern "C" void *plat_dlopen(const char *name) {
    if (plat_fault_take(PLAT_CALL_DLOPEN))
        return nullptr;
    if (name == nullptr) {
        errno = EINVAL;
        return nullptr;
    }
    void *handle = dlopen(name, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr)
        errno = ENOENT;
    return handle;
}

extern "C" void *plat_dlsym(void *handle, const char *symbol) {
    if (plat_fault_take(PLAT_CALL_DLSYM))
        return nullptr;
    if (handle == nullptr || symbol == nullptr) {
        errno = EINVAL;
        return nullptr;
    }
    void *address = dlsym(handle, symbol);
    if (address == nullptr)
        errno = ENOENT;
    return address;
}

extern "C" void plat_dlclose(void *handle) {
    if (handle != nullptr)
        dlclose(handle);
}
