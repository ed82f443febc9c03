#pragma once
// The palette of an output's first frame, which becomes the global table, handed from the
// thread that fits it to the threads fitting later frames' palettes, which may start before it
// is done. It is handed over once; a later frame that needs it waits (a few milliseconds at the
// start of a conversion, while the first frame's palette is refined).
#include <condition_variable>
#include <mutex>
#include <vector>

#include "gif/core/GIFTypes.h"

class TFirstPalette {
public:
    // Hands the palette over; only the first call counts. A first frame that fails, or a thread
    // that cannot be set up to fit it, hands over an empty palette, so that no frame waits for
    // ever: the frames then fit their palettes to all of their changes.
    void Publish(const std::vector<TGIFColor>& palette);
    // The palette, once handed over.
    const std::vector<TGIFColor>& Wait() const;

private:
    mutable std::mutex lock_;
    mutable std::condition_variable published_;
    bool ready_ = false;
    std::vector<TGIFColor> palette_;
};
