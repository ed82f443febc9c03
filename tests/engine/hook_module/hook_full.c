/* A frame hook module for the tests. Configure takes the module name and one optional number:
 * the byte Process writes at the start of every row of the first plane, or the word "refuse" to
 * refuse configuration. HookStats reports what the module saw. Built without Process as well, to
 * check that such a module is refused. */
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "engine/Picture.h"

typedef struct {
    int mark;
} HookContext;

static int configured, processed, released;
static int64_t lastTimestamp;
static char processOrder[64];

int Configure(void** context, int argc, char* argv[]) {
    if (argc > 1 && strcmp(argv[1], "refuse") == 0) return 1;
    HookContext* hook = calloc(1, sizeof(HookContext));
    if (!hook) return 1;
    hook->mark = argc > 1 ? atoi(argv[1]) : 0;
    *context = hook;
    ++configured;
    return 0;
}

#ifndef HOOK_WITHOUT_PROCESS
void Process(void* context, TPicture* picture, int pixelFormat, int width, int height,
             int64_t timestamp) {
    HookContext* hook = context;
    (void)pixelFormat;
    (void)width;
    for (int y = 0; y < height; ++y) picture->data[0][y * picture->linesize[0]] = (uint8_t)hook->mark;
    size_t length = strlen(processOrder);
    if (length + 1 < sizeof processOrder) {
        processOrder[length] = (char)('0' + hook->mark % 10);
        processOrder[length + 1] = 0;
    }
    lastTimestamp = timestamp;
    ++processed;
}
#endif

void Release(void* context) {
    free(context);
    ++released;
}

void HookStats(int* configuredCount, int* processedCount, int* releasedCount, int64_t* timestamp,
               const char** order) {
    *configuredCount = configured;
    *processedCount = processed;
    *releasedCount = released;
    *timestamp = lastTimestamp;
    *order = processOrder;
}
