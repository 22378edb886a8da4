/* A plain C host of the library, whose threads start without the stand-in's
 * program-side thread start, as any C program's or Python's do. Each thread
 * gets error 7 from VELMORIN (a string longer than any string may be), which
 * gives it a thread record in the library; once the threads have ended, no
 * record may be left. */
#include <pthread.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "include/velmorin.h"

long long StandinLiveGlobalBlocks(void);

/* Each call is counted, and each fails, as a shim with nothing behind it would. */
static int hostCalls;
void *GlobalAlloc(unsigned flags, size_t bytes) { ++hostCalls; return NULL; }
void Sleep(uint32_t milliseconds) { ++hostCalls; }
uint32_t TlsAlloc(void) { ++hostCalls; return 0xFFFFFFFFu; }
int CloseHandle(void *handle) { ++hostCalls; return 0; }

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
    VelmorinString text = (VelmorinString)SysAllocStringByteLen("dit is een zin.", 15);
    VelmorinString result = VELMORIN(&text);
    int correct = result != NULL && SysStringByteLen((BSTR)result) == 15 &&
                  memcmp(result, "Dit Is Een Zin.", 15) == 0;
    SysFreeString((BSTR)text);
    SysFreeString((BSTR)result);
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
    printf("%d threads, %d with a thread record, %lld records left after they ended; "
           "result %s, %d calls of the host's own Windows-named functions\n",
           kThreads, recorded, left, correct ? "correct" : "wrong", hostCalls);
    return recorded == kThreads && left == 0 && correct && hostCalls == 0 ? 0 : 1;
}
