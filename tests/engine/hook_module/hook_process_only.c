/* A frame hook module with nothing but Process: it counts the frames it sees. */
#include <stdint.h>

#include "engine/Picture.h"

static int processed;

void Process(void* context, TPicture* picture, int pixelFormat, int width, int height,
             int64_t timestamp) {
    (void)context;
    (void)picture;
    (void)pixelFormat;
    (void)width;
    (void)height;
    (void)timestamp;
    ++processed;
}

int ProcessedCount(void) { return processed; }
