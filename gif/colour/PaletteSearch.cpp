#include "gif/colour/PaletteSearch.h"

#include <algorithm>
#include <climits>

void TPaletteSearch::SetPalette(const TGIFColor* colors, int count) {
    entries_.clear();
    for (int i = 0; i < count; ++i)
        entries_.push_back({colors[i].Red, colors[i].Green, colors[i].Blue, i});
    std::stable_sort(entries_.begin(), entries_.end(),
                     [](const TEntry& a, const TEntry& b) { return a.Green < b.Green; });
}

size_t TPaletteSearch::StartFor(int g) const {
    return static_cast<size_t>(
        std::lower_bound(entries_.begin(), entries_.end(), g,
                         [](const TEntry& e, int value) { return e.Green < value; }) -
        entries_.begin());
}

template <typename Visit, typename Bound>
void TPaletteSearch::Walk(int g, Visit visit, Bound bound) const {
    constexpr int greenWeight = kPerceptualWeights.Green;
    const size_t start = StartFor(g);
    for (size_t i = start; i < entries_.size(); ++i) {
        const int dg = entries_[i].Green - g;
        if (greenWeight * dg * dg > bound()) break;
        visit(entries_[i]);
    }
    for (size_t i = start; i-- > 0;) {
        const int dg = g - entries_[i].Green;
        if (greenWeight * dg * dg > bound()) break;
        visit(entries_[i]);
    }
}

int TPaletteSearch::Nearest(int r, int g, int b, int* distance) const {
    int best = -1;
    int bestDistance = INT_MAX;
    Walk(
        g,
        [&](const TEntry& e) {
            const int d = ColorDistance(e.Red - r, e.Green - g, e.Blue - b);
            if (d < bestDistance || (d == bestDistance && e.Index < best)) {
                bestDistance = d;
                best = e.Index;
            }
        },
        [&] { return bestDistance; });
    if (distance) *distance = bestDistance;
    return best;
}

int TPaletteSearch::NearestFew(int r, int g, int b, int count, int* indices) const {
    constexpr int kMost = 4;
    count = std::clamp(count, 0, std::min<int>(kMost, Count()));
    int distances[kMost];
    int found = 0;
    Walk(
        g,
        [&](const TEntry& e) {
            const int d = ColorDistance(e.Red - r, e.Green - g, e.Blue - b);
            // Insertion into the short list, nearest first (lower index first on a tie).
            int at = found < count ? found++ : count;
            while (at > 0 && (d < distances[at - 1] ||
                              (d == distances[at - 1] && e.Index < indices[at - 1]))) {
                if (at < count) {
                    distances[at] = distances[at - 1];
                    indices[at] = indices[at - 1];
                }
                --at;
            }
            if (at < count) {
                distances[at] = d;
                indices[at] = e.Index;
            }
        },
        [&] { return found < count ? INT_MAX : distances[count - 1]; });
    return found;
}
