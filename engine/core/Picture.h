#ifndef CLIPGIF_ENGINE_PICTURE_H
#define CLIPGIF_ENGINE_PICTURE_H
/* A video picture as plane pointers and line sizes (bytes per row), the way frame hook modules
 * and the format converter see it. Plain C so that hook modules can include it. */
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct TPicture {
    uint8_t* data[4];
    int linesize[4];
} TPicture;

#ifdef __cplusplus
}
#endif

#endif
