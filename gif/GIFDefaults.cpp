#include "gif/GIFDefaults.h"

TGIFDefaults& GIFDefaults() {
    static TGIFDefaults defaults;
    return defaults;
}
