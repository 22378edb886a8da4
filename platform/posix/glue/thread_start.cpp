// Linked into every program on the stand-in: wraps pthread_create so that the
// loader hears of each new thread before its code runs and when it ends. It
// lives in the program, ahead of any library that also wraps thread starts
// (the sanitizers' run-times), so their set-up of the thread comes first.
#include <dlfcn.h>
#include <pthread.h>

#include "platform/posix/loader/loader.h"

namespace {

struct ThreadStart {
    void *(*routine)(void *);
    void *argument;
};

void *StartThread(void *start) {
    ThreadStart s = *static_cast<ThreadStart *>(start);
    delete static_cast<ThreadStart *>(start);
    StandinThreadStarted();
    void *result = s.routine(s.argument);
    StandinThreadEnding();
    return result;
}

}  // namespace

extern "C" int pthread_create(pthread_t *thread, const pthread_attr_t *attributes, void *(*routine)(void *),
                              void *argument) {
    using Create = int (*)(pthread_t *, const pthread_attr_t *, void *(*)(void *), void *);
    static Create next = reinterpret_cast<Create>(dlsym(RTLD_NEXT, "pthread_create"));
    auto *start = new ThreadStart{routine, argument};
    int result = next(thread, attributes, StartThread, start);
    if (result != 0) delete start;
    return result;
}
