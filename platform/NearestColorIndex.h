#pragma once
// Nearest palette entry for many colours: the entry with the smallest squared distance, the
// lowest index on a tie. Answers are exact.
//
// The colour cube is cut into cells of 8 x 8 x 8 colours. The first time a cell is asked for,
// the entries that can be nearest to one of its colours are listed: an entry whose nearest point
// of the cell is farther than some entry's farthest point never is, nor is one that another
// candidate beats over the whole cell. Usually two to six remain. They are looked for among the
// candidates of the cell's region (a box of 2 x 2 x 2 cells), which are listed the same way from
// the whole palette the first time one of its cells is built.
//
// Up to eight candidates go into the 16-bit lanes of a block, lowest index first, and a query
// ranks the block's lanes side by side (the lowest lane wins a tie, so the lowest index does);
// up to sixteen into two blocks. Cells with more candidates keep them in a list ordered by
// distance to the cell, and ranking stops once the rest cannot win.
#include <cstdint>
#include <vector>

#include "platform/Bitmap.h"
#include "platform/PaletteBoxDistances.h"

class TNearestColorIndex {
public:
    // Which instructions FindRow and cell building may use: the widest the processor has, or
    // plain C++ only (the answers are the same).
    enum class TInstructions { Best, Portable };

    explicit TNearestColorIndex(const TPalette& palette,
                                TInstructions instructions = TInstructions::Best);
    ~TNearestColorIndex();
    TNearestColorIndex(const TNearestColorIndex&) = delete;
    TNearestColorIndex& operator=(const TNearestColorIndex&) = delete;

    // The entry nearest to (r, g, b), or -1 for an empty palette.
    int Find(uint8_t r, uint8_t g, uint8_t b);
    // Find for `count` pixels of blue-green-red bytes, the answers stored as bytes.
    void FindRow(const uint8_t* bgr, int count, uint8_t* indices);
    int Count() const { return entryCount_; }

private:
    static constexpr int kCellShift = 3;
    static constexpr int kCellSpan = 1 << kCellShift;
    static constexpr int kPositions = 256 >> kCellShift;  // cells per axis
    static constexpr int kCells = kPositions * kPositions * kPositions;
    static constexpr int kLanes = 8;
    // Squared distances are kept in 16 bits, saturated at this value.
    static constexpr uint16_t kSaturated = 0xFFFF;

    // cells_ values: a block number below kPairFlag; kPairFlag + the first of two blocks;
    // kListFlag + a list number; kUnbuilt.
    static constexpr uint32_t kPairFlag = 0x40000000u;
    static constexpr uint32_t kListFlag = 0x80000000u;
    static constexpr uint32_t kUnbuilt = 0xFFFFFFFFu;

    // Up to eight candidates, lowest palette index first; shorter lists repeat their last one.
    // A pair of blocks holds up to sixteen, the eight lowest indices in the first.
    struct alignas(64) TBlock {
        int16_t red[kLanes];
        int16_t green[kLanes];
        int16_t blue[kLanes];
        uint8_t index[kLanes];
    };
    // A longer candidate list in listEntries_: palette indices by distance to the cell, each
    // with that distance (a lower bound of its distance to any colour of the cell).
    struct TList {
        int32_t first = 0;
        int32_t count = 0;
    };

    // A region's candidates in regionEntries_, nearest to the region first; first -1 until
    // they are listed.
    struct TRegion {
        int32_t first = -1;
        int32_t count = 0;
    };
    static constexpr int kRegionShift = kCellShift + 1;
    static constexpr int kRegionPositions = 256 >> kRegionShift;

    static int CellOf(uint8_t r, uint8_t g, uint8_t b) {
        return ((r >> kCellShift) << (2 * (8 - kCellShift))) |
               ((g >> kCellShift) << (8 - kCellShift)) | (b >> kCellShift);
    }

    // The cell's entry of cells_, building the cell first when needed.
    uint32_t BuildCell(int cell);
    const TRegion& RegionOf(const TPaletteBoxDistances::TBox& cell);
    // Whether entry f beats entry e (smaller distance, or equal distance and lower index) at every
    // colour of the box of `span` values from (rLo, gLo, bLo).
    bool Beats(int f, int e, int rLo, int gLo, int bLo, int span) const;
    // Drops from sorted candidate keys those another one beats over the whole box.
    int DropBeaten(uint32_t* keys, int count, const TPaletteBoxDistances::TBox& box,
                   int span) const;
    // Blocks for at most sixteen candidates; the value of cells_ for them.
    uint32_t StoreBlocks(const uint32_t* keys, int count);
    uint32_t StoreList(const uint32_t* keys, int count);

    // The lane of the block nearest to (r, g, b) and its squared distance.
    struct TLaneMatch {
        int lane;
        int distance;
    };
    TLaneMatch RankBlock(const TBlock& block, int r, int g, int b) const;
    int RankList(const TList& list, int r, int g, int b) const;
    // Find for a colour whose cell's value is `slot`, by plain arithmetic.
    int FindIn(uint32_t slot, int r, int g, int b) const;
    void FindRowPortable(const uint8_t* bgr, int count, uint8_t* indices);
    void FindRowAvx2(const uint8_t* bgr, int count, uint8_t* indices);

    TPalette palette_;
    int entryCount_ = 0;
    bool avx2_ = false;
    TPaletteBoxDistances regionDistances_;
    TPaletteBoxDistances cellDistances_;
    std::vector<TRegion> regions_;
    std::vector<uint8_t> regionEntries_;
    std::vector<uint32_t> cells_;
    std::vector<TBlock> blocks_;
    std::vector<TList> lists_;
    std::vector<uint8_t> listEntries_;
    std::vector<uint32_t> listBounds_;
};
