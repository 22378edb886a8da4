// Loader notifications for the stand-in: one at a time, under the loader
// lock, like the system loader's. Each program's thread start glue reports
// its threads, so every thread started after a library was loaded gets its
// thread attach before its own code runs and its thread detach at its end;
// any other thread that set a thread-local value gets its detach too.
#include "platform/posix/loader/loader.h"

#include <dlfcn.h>
#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>
#include <new>
#include <vector>

#include "platform/posix/win32/win32_api.h"

namespace {

void NotifyThreads(DWORD reason);

struct Library {
    LibraryEntryFunction entry;
    HINSTANCE module;
};

struct Loader {
    std::recursive_mutex lock;
    std::vector<Library> attached;
    bool loadingDynamically = false;
    bool lastAttachFailed = false;
    // Gives a thread its detach at its end; deleted at the stand-in's unload.
    pthread_key_t detachKey;
    std::atomic<bool> detachKeyLive{false};
};

// Made on first use and never destroyed by the C++ run-time: libraries are
// detached during the process's own exit, after the run-time's destructors
// have run. What it holds goes at the stand-in's unload (below).
union LoaderStorage {
    Loader loader;
    LoaderStorage() {}
    ~LoaderStorage() {}
} storage;
std::atomic<bool> loaderMade{false};

void ThreadEnded(void *) {
    // A thread that left through pthread_exit still gets its detach, and so
    // does one the program's thread start never saw.
    NotifyThreads(DLL_THREAD_DETACH);
}

Loader &TheLoader() {
    static Loader *loader = [] {
        auto *l = new (&storage.loader) Loader;
        l->detachKeyLive = pthread_key_create(&l->detachKey, ThreadEnded) == 0;
        loaderMade = true;
        return l;
    }();
    return *loader;
}

// The stand-in's unload, or the process's exit: every library that uses the
// stand-in depends on it, so its detach has run. A host that unloads us keeps
// no key of ours, so no thread alive now ends in code that is gone, and a
// host that loads and unloads us again and again never runs out of keys.
__attribute__((destructor)) void LeaveNothingBehind() {
    if (!loaderMade) return;
    Loader &loader = TheLoader();
    std::lock_guard<std::recursive_mutex> guard(loader.lock);
    if (loader.detachKeyLive.exchange(false)) pthread_key_delete(loader.detachKey);
    std::vector<Library>().swap(loader.attached);
}

std::atomic<std::int64_t> threadAttaches{0}, threadDetaches{0};

void NotifyThreads(DWORD reason) {
    Loader &loader = TheLoader();
    std::lock_guard<std::recursive_mutex> guard(loader.lock);
    std::vector<Library> libraries = loader.attached;
    if (reason == DLL_THREAD_DETACH) std::reverse(libraries.begin(), libraries.end());
    for (const Library &library : libraries) library.entry(library.module, reason, nullptr);
    (reason == DLL_THREAD_ATTACH ? threadAttaches : threadDetaches) += static_cast<std::int64_t>(libraries.size());
}

void SetDetachAtEnd(bool wanted) {
    Loader &loader = TheLoader();
    if (!loader.detachKeyLive) return;
    void *value = wanted ? reinterpret_cast<void *>(1) : nullptr;
    if (pthread_getspecific(loader.detachKey) != value) pthread_setspecific(loader.detachKey, value);
}

}  // namespace

namespace standin {

void ThreadNeedsDetach() {
    SetDetachAtEnd(true);
}

}  // namespace standin

void StandinThreadStarted() {
    NotifyThreads(DLL_THREAD_ATTACH);
    SetDetachAtEnd(true);
}

void StandinThreadEnding() {
    SetDetachAtEnd(false);
    NotifyThreads(DLL_THREAD_DETACH);
}

void StandinAttachLibrary(LibraryEntryFunction entry, HINSTANCE module, const char *name) {
    Loader &loader = TheLoader();
    std::lock_guard<std::recursive_mutex> guard(loader.lock);
    if (entry(module, DLL_PROCESS_ATTACH, nullptr) != FALSE) {
        loader.attached.push_back(Library{entry, module});
        return;
    }
    if (loader.loadingDynamically) {
        loader.lastAttachFailed = true;
        return;
    }
    std::fprintf(stderr, "%s: the library failed to initialise, so the program cannot start\n", name);
    _exit(127);
}

void StandinDetachLibrary(LibraryEntryFunction entry) {
    Loader &loader = TheLoader();
    std::lock_guard<std::recursive_mutex> guard(loader.lock);
    auto found = std::find_if(loader.attached.begin(), loader.attached.end(),
                              [entry](const Library &l) { return l.entry == entry; });
    if (found == loader.attached.end()) return;
    Library library = *found;
    loader.attached.erase(found);
    library.entry(library.module, DLL_PROCESS_DETACH, nullptr);
}

STANDIN_API HMODULE LoadLibraryA(LPCSTR name) {
    Loader &loader = TheLoader();
    std::lock_guard<std::recursive_mutex> guard(loader.lock);
    loader.loadingDynamically = true;
    loader.lastAttachFailed = false;
    void *handle = dlopen(name, RTLD_NOW | RTLD_LOCAL);
    loader.loadingDynamically = false;
    if (handle == nullptr) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    if (loader.lastAttachFailed) {
        dlclose(handle);
        SetLastError(ERROR_DLL_INIT_FAILED);
        return nullptr;
    }
    return handle;
}

STANDIN_API FARPROC GetProcAddress(HMODULE module, LPCSTR name) {
    // ELF has no ordinals: a name that is really an ordinal finds nothing.
    if (reinterpret_cast<std::uintptr_t>(name) < 0x10000) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    void *symbol = dlsym(module, name);
    if (symbol == nullptr) SetLastError(ERROR_PROC_NOT_FOUND);
    return reinterpret_cast<FARPROC>(symbol);
}

STANDIN_API BOOL FreeLibrary(HMODULE module) {
    return dlclose(module) == 0 ? TRUE : FALSE;
}

namespace standin {

std::int64_t ThreadNotifications(std::uint32_t reason) {
    return reason == DLL_THREAD_ATTACH ? threadAttaches.load() : threadDetaches.load();
}

}  // namespace standin
