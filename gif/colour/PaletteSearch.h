#pragma once
// The nearest entries of a palette to a colour, by the weighted colour distance, without
// comparing every entry: the entries are kept sorted by green, the channel that weighs most, and
// a search walks upwards and downwards from the colour's green level until the green difference
// alone outweighs what it looks for.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "gif/colour/ColorDistance.h"
#include "gif/core/GIFTypes.h"

class TPaletteSearch {
public:
    void SetPalette(const TGIFColor* colors, int count);
    int Count() const { return static_cast<int>(entries_.size()); }

    // The index of the nearest entry (the lowest index among equally near ones) and its
    // distance; -1 for an empty palette.
    int Nearest(int r, int g, int b, int* distance = nullptr) const;
    // The `count` nearest entries (at most 4, fewer in a smaller palette), nearest first, into
    // `indices`; returns how many.
    int NearestFew(int r, int g, int b, int count, int* indices) const;

private:
    struct TEntry {
        int Red, Green, Blue;
        int Index;
    };
    // The first entry whose green is not below `g`.
    size_t StartFor(int g) const;
    // Calls visit(entry) for every entry whose green difference may still count: upwards from
    // `g`, then downwards, each direction ending once wG x dg^2 passes bound().
    template <typename Visit, typename Bound>
    void Walk(int g, Visit visit, Bound bound) const;

    std::vector<TEntry> entries_;
};
