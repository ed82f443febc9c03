#include "gif/model/GIFDefaults.h"

TGIFDefaults& GIFDefaults() {
    static TGIFDefaults defaults;
    return defaults;
}
