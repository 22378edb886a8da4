/* A host that loads the library with dlopen and unloads it with dlclose, as a
 * plug-in host does. "live-thread": unloads it while a thread of its own holds
 * a thread record, and that thread ends afterwards. "rounds": loads and
 * unloads it 1,100 times, more than the process has thread keys, then makes a
 * key of its own.
 * usage: reload_host LIBRARY live-thread|rounds */
#include <dlfcn.h>
#include <pthread.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "include/velmorin.h"

static __typeof__(VELMORIN) *velmorin;
static pthread_barrier_t recorded, unloaded;

static void *Worker(void *unused) {
    static uint32_t tooLong[2] = {0x80000000u, 0};
    VelmorinString text = (VelmorinString)&tooLong[1];
    VelmorinString result = velmorin(&text); /* error 7: this thread has a record now */
    pthread_barrier_wait(&recorded);
    pthread_barrier_wait(&unloaded);
    return result;
}

int main(int argc, char **argv) {
    int rounds = argc == 3 && strcmp(argv[2], "rounds") == 0 ? 1100 : 1;
    for (int round = 0; round < rounds; ++round) {
        void *library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
        if (library == NULL || (velmorin = (__typeof__(velmorin))dlsym(library, "VELMORIN")) == NULL) {
            printf("round %d: %s\n", round, dlerror());
            return 1;
        }
        pthread_t thread;
        if (rounds == 1) {
            pthread_barrier_init(&recorded, NULL, 2);
            pthread_barrier_init(&unloaded, NULL, 2);
            pthread_create(&thread, NULL, Worker, NULL);
            pthread_barrier_wait(&recorded);
        }
        dlclose(library);
        if (rounds == 1) {
            pthread_barrier_wait(&unloaded);
            pthread_join(thread, NULL);
            printf("the thread with a record ended after the unload\n");
        }
    }
    pthread_key_t key;
    int refused = pthread_key_create(&key, NULL);
    printf("%d loads and unloads; the host's own thread key %s\n", rounds, refused ? "refused" : "made");
    return refused;
}
