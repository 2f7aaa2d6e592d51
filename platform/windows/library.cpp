// Windows backend: shared libraries (DLLs) loaded at run time.
#include "platform/fault.h"
#include "platform/platform.h"

#include <cerrno>
#include <windows.h>

extern "C" void *plat_dlopen(const char *name) {
    if (plat_fault_take(PLAT_CALL_DLOPEN))
        return nullptr;
    if (name == nullptr) {
        errno = EINVAL;
        return nullptr;
    }
    HMODULE module = LoadLibraryA(name);
    if (module == nullptr)
        errno = ENOENT;
    return reinterpret_cast<void *>(module);
}

extern "C" void *plat_dlsym(void *handle, const char *symbol) {
    if (plat_fault_take(PLAT_CALL_DLSYM))
        return nullptr;
    if (handle == nullptr || symbol == nullptr) {
        errno = EINVAL;
        return nullptr;
    }
    FARPROC address = GetProcAddress(static_cast<HMODULE>(handle), symbol);
    if (address == nullptr)
        errno = ENOENT;
    return reinterpret_cast<void *>(address);
}

extern "C" void plat_dlclose(void *handle) {
    if (handle != nullptr)
        FreeLibrary(static_cast<HMODULE>(handle));
}
