/* A plain C host of the library, whose threads start without the stand-in's
 * program-side thread start, as any C program's or Python's do. Each thread
 * gets error 7 from VELMORIN (a string longer than any string may be), which
 * gives it a thread record in the library; once the threads have ended, no
 * record may be left. */
#include <pthread.h>
#include <stdint.h>
#include <stdio.h>

#include "include/velmorin.h"

long long StandinLiveGlobalBlocks(void);

enum { kThreads = 200, kAtOnce = 20 };

static long long baseline;

static void *Worker(void *unused) {
    static uint32_t tooLong[2] = {0x80000000u, 0};
    VelmorinString text = (VelmorinString)&tooLong[1];
    VelmorinString result = VELMORIN(&text);
    (void)unused;
    /* This thread's record is live now, whatever the others do. */
    return (void *)(intptr_t)(result == NULL && StandinLiveGlobalBlocks() > baseline);
}

int main(void) {
    int recorded = 0;
    baseline = StandinLiveGlobalBlocks();
    for (int started = 0; started < kThreads; started += kAtOnce) {
        pthread_t threads[kAtOnce];
        for (int i = 0; i < kAtOnce; ++i)
            if (pthread_create(&threads[i], NULL, Worker, NULL) != 0) return 2;
        for (int i = 0; i < kAtOnce; ++i) {
            void *ok = NULL;
            pthread_join(threads[i], &ok);
            recorded += ok != NULL;
        }
    }
    long long left = StandinLiveGlobalBlocks() - baseline;
    printf("%d threads, %d with a thread record, %lld records left after they ended\n", kThreads, recorded, left);
    return recorded == kThreads && left == 0 ? 0 : 1;
}
