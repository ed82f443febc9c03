/* A frame hook module with nothing but Process: it marks the first pixel with 99. */
#include <stdint.h>

#include "engine/core/Picture.h"

void Process(void* context, TPicture* picture, int pixelFormat, int width, int height,
             int64_t timestamp) {
    (void)context;
    (void)pixelFormat;
    (void)width;
    (void)height;
    (void)timestamp;
    picture->data[0][0] = 99;
}
