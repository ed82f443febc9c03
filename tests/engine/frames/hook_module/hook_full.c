/* A frame hook module for the tests. Configure takes an optional mark (a digit) that Process
 * writes at the start of every row of the first plane, or "refuse". Built without Process too. */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "engine/core/Picture.h"

static int configured, processed, released;
static long long lastTimestamp;
static char order[32], stats[96];

int Configure(void** context, int argc, char* argv[]) {
    if (argc > 1 && strcmp(argv[1], "refuse") == 0) return 1;
    int* mark = malloc(sizeof(int));
    *mark = argc > 1 ? atoi(argv[1]) : 0;
    *context = mark;
    ++configured;
    return 0;
}

#ifndef HOOK_WITHOUT_PROCESS
void Process(void* context, TPicture* picture, int pixelFormat, int width, int height,
             int64_t timestamp) {
    (void)pixelFormat;
    (void)width;
    const int mark = *(int*)context;
    for (int y = 0; y < height; ++y) picture->data[0][y * picture->linesize[0]] = (uint8_t)mark;
    if (strlen(order) + 1 < sizeof order) order[strlen(order)] = (char)('0' + mark % 10);
    lastTimestamp = timestamp;
    ++processed;
}
#endif

void Release(void* context) {
    free(context);
    ++released;
}

const char* HookStats(void) {
    snprintf(stats, sizeof stats, "%d %d %d %lld %s", configured, processed, released,
             lastTimestamp, order);
    return stats;
}
