/* A plug-in host: loads the library with dlopen and unloads it with dlclose.
 * "live-thread": a thread of the host's holds a thread record at the unload
 * and ends after it. "rounds": 1,100 loads and unloads, more than a process
 * has thread keys (or COUNT); then the host makes a key of its own.
 * usage: reload_host LIBRARY live-thread|rounds [COUNT] */
#include <dlfcn.h>
#include <pthread.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "include/velmorin.h"

static __typeof__(VELMORIN) *velmorin;
static pthread_barrier_t meet;

static void *Worker(void *unused) {
    static uint32_t tooLong[2] = {0x80000000u, 0};
    VelmorinString text = (VelmorinString)&tooLong[1];
    velmorin(&text); /* error 7: this thread has a record now */
    pthread_barrier_wait(&meet);
    pthread_barrier_wait(&meet); /* the library is unloaded */
    return unused;
}

int main(int argc, char **argv) {
    int liveThread = argc == 3 && strcmp(argv[2], "live-thread") == 0;
    int rounds = liveThread ? 1 : argc > 3 ? atoi(argv[3]) : 1100;
    pthread_t thread;
    pthread_barrier_init(&meet, NULL, 2);
    for (int round = 0; round < rounds; ++round) {
        void *library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
        if (library == NULL || (velmorin = (__typeof__(velmorin))dlsym(library, "VELMORIN")) == NULL) {
            printf("round %d: %s\n", round, dlerror());
            return 1;
        }
        if (liveThread) {
            if (pthread_create(&thread, NULL, Worker, NULL) != 0) return 2;
            pthread_barrier_wait(&meet);
        }
        dlclose(library);
    }
    if (liveThread) pthread_barrier_wait(&meet), pthread_join(thread, NULL);
    pthread_key_t key;
    int refused = pthread_key_create(&key, NULL);
    printf("%d loads and unloads%s; the host's own thread key %s\n", rounds,
           liveThread ? ", a thread with a record ended after" : "", refused ? "refused" : "made");
    return refused;
}
