#pragma once
// Nearest palette entry for many colours: the entry with the smallest squared distance, the
// lowest index on a tie. Answers are exact.
//
// The colour cube is cut into cells of 16 x 16 x 16 colours. The first time a cell is asked for,
// the entries that can be nearest to one of its colours are listed: an entry whose nearest point
// of the cell is farther than some entry's farthest point never is, nor, in long lists, one that
// another candidate beats over the whole cell. Usually two to ten remain. They go into the
// sixteen 16-bit lanes of a block, lowest index first, and a query ranks the lanes side by side
// (the first least lane wins, so the lowest index does). A cell with more candidates (where the
// palette is crowded) is split into eight cells of 8 x 8 x 8 colours, each listing its own
// candidates among the big cell's when it is first asked for; one of those may need two blocks.
// Cells whose distances do not fit 16 bits, or with very many candidates, keep them in a list
// ordered by distance to the cell, and ranking stops once the rest cannot win.
#include <cstdint>
#include <optional>
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
    static constexpr int kCellShift = 4;
    static constexpr int kCellSpan = 1 << kCellShift;
    static constexpr int kPositions = 256 >> kCellShift;  // cells per axis
    static constexpr int kCells = kPositions * kPositions * kPositions;
    static constexpr int kLanes = 16;
    static constexpr int kMaxBlocks = 2;
    // Cells with more candidates than this are split.
    static constexpr int kSplitAbove = kLanes;
    // Squared distances in blocks are 16-bit.
    static constexpr uint32_t kLargestLaneDistance = 0xFFFF;

    // Values of cells_ and splits_: below kSplitFlag, a first block in the low bits and the
    // number of blocks less one above kBlockCountShift; kSplitFlag + a split number (cells_
    // only); kListFlag + a list number; kUnbuilt.
    static constexpr int kBlockCountShift = 28;
    static constexpr uint32_t kFirstBlockMask = (1u << kBlockCountShift) - 1;
    static constexpr uint32_t kSplitFlag = 0x40000000u;
    static constexpr uint32_t kListFlag = 0x80000000u;
    static constexpr uint32_t kUnbuilt = 0xFFFFFFFFu;

    // Up to sixteen candidates, lowest palette index first; a cell's last block repeats its last
    // candidate in unused lanes. Each block of a cell holds higher indices than the one before.
    struct alignas(32) TBlock {
        int16_t red[kLanes];
        int16_t green[kLanes];
        int16_t blue[kLanes];
        uint8_t index[kLanes];
    };
    // A list in listEntries_: palette indices by distance to the cell, each with that distance
    // (a lower bound of its distance to any colour of the cell).
    struct TList {
        int32_t first = 0;
        int32_t count = 0;
    };
    // A split cell: its candidates in splitEntries_; its eight small cells' values are in
    // smallCells_ from 8 x its number.
    struct TSplit {
        int32_t cell = 0;
        int32_t first = 0;
        int32_t count = 0;
    };
    using TBox = TPaletteBoxDistances::TBox;

    static int CellOf(uint8_t r, uint8_t g, uint8_t b) {
        return ((r >> kCellShift) << (2 * (8 - kCellShift))) |
               ((g >> kCellShift) << (8 - kCellShift)) | (b >> kCellShift);
    }
    // The small cell of a split cell: the next bit of each channel.
    static int SmallCellOf(uint8_t r, uint8_t g, uint8_t b) {
        constexpr int kBit = kCellShift - 1;
        return (((r >> kBit) & 1) << 2) | (((g >> kBit) & 1) << 1) | ((b >> kBit) & 1);
    }

    // The cell's value in cells_, building the cell first.
    uint32_t BuildCell(int cell);
    // The value of a small cell of a split cell, building it first.
    uint32_t BuildSmallCell(uint32_t split, int smallCell);
    // Blocks or, when they do not fit, a list for the candidate keys of a box; its value.
    uint32_t StoreCandidates(uint32_t* keys, int count, const TBox& box,
                             const TPaletteBoxDistances& distances);
    // Drops from candidate keys those another one beats over the whole box of `span` values,
    // when there are more than kSplitAbove.
    int DropBeatenFromLong(uint32_t* keys, int count, const TBox& box, int span) const;
    // Blocks for at most kMaxBlocks x kLanes candidates; the value for them.
    uint32_t StoreBlocks(const uint32_t* keys, int count);
    uint32_t StoreList(const uint32_t* keys, int count);

    // The lane of the block nearest to (r, g, b) and its squared distance.
    struct TLaneMatch {
        int lane;
        int distance;
    };
    TLaneMatch RankBlock(const TBlock& block, int r, int g, int b) const;
    int RankList(const TList& list, int r, int g, int b) const;
    // Find for a colour whose cell's value is `slot` (not a split), by plain arithmetic.
    int FindIn(uint32_t slot, int r, int g, int b) const;
    void FindRowPortable(const uint8_t* bgr, int count, uint8_t* indices);
    void FindRowAvx2(const uint8_t* bgr, int count, uint8_t* indices);

    TPalette palette_;
    int entryCount_ = 0;
    bool avx2_ = false;
    TPaletteBoxDistances distances_;
    // Distances to the small cells, made when the first cell is split.
    std::optional<TPaletteBoxDistances> smallDistances_;
    std::vector<uint32_t> cells_;
    std::vector<TBlock> blocks_;
    std::vector<TSplit> splits_;
    std::vector<uint32_t> smallCells_;
    std::vector<uint8_t> splitEntries_;
    std::vector<TList> lists_;
    std::vector<uint8_t> listEntries_;
    std::vector<uint32_t> listBounds_;
};
