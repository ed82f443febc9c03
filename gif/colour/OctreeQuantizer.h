#pragma once
// Octree colour quantizer: collects the colours of a picture in a tree of depth 8 and merges
// the deepest, most recently made branches until no more than the wanted number of leaves
// remain. Nodes live in a pool owned by the quantizer and are reused after a merge, so adding
// colours does not allocate once the pool has grown to the tree's working size.
#include <cstdint>
#include <vector>

#include "platform/Bitmap.h"

struct TOctreeNode {
    static constexpr int32_t kNone = -1;

    bool leaf = false;
    uint8_t level = 0;
    uint32_t pixelCount = 0;
    // 64-bit sums: a large picture of bright pixels would overflow 32 bits.
    uint64_t redSum = 0;
    uint64_t greenSum = 0;
    uint64_t blueSum = 0;
    int32_t nextReducible =
        kNone;          // next node of the same level's list; free-list link in the pool
    uint32_t path = 0;  // child indices from the root, 3 bits a level
    int32_t children[8] = {kNone, kNone, kNone, kNone, kNone, kNone, kNone, kNone};
};

// The bits of a colour word (blue, green and red in bytes 0 to 2) that decide the path from the
// root down to a level: the top `level` bits of each channel.
constexpr uint32_t OctreeLevelMask(int level) {
    const uint32_t top = (0xFF00u >> level) & 0xFFu;
    return top | (top << 8) | (top << 16);
}

class TColorQuantizer {
public:
    static constexpr int kColorBits = 8;  // depth of the tree

    // `maxColors` of at least 1.
    explicit TColorQuantizer(int maxColors);

    // Adds one colour and merges branches until the leaves fit the maximum again.
    void AddColor(uint8_t red, uint8_t green, uint8_t blue);
    // Adds the pixels of a 24-bit row (blue, green, red bytes), left to right.
    void AddRow(const uint8_t* bgr, int width);

    // The leaves' average colours in depth-first order, children 0 to 7.
    TPalette ColorTable() const;

    int LeafCount() const { return leafCount_; }
    int MaxColors() const { return maxColors_; }

private:
    // A node at `level`: a leaf, or an inner node on its level's reducible list.
    int32_t NewNode(int level, uint32_t path, bool leaf);
    void FreeNode(int32_t index);
    // Merges the newest node of the deepest non-empty reducible list; false when none is left.
    bool ReduceTree();
    // Adds a colour that the last leaf does not take, then merges as needed.
    void AddNewPath(uint32_t code, uint8_t red, uint8_t green, uint8_t blue);
    void Insert(uint32_t code, uint8_t red, uint8_t green, uint8_t blue);
    // Makes the missing nodes below `index` (at `level`) down to a new leaf at `leafLevel`,
    // which it returns.
    int32_t GrowPath(int32_t index, int level, uint32_t code, int leafLevel);
    // When the tree is full, the level at which a new path leaving the tree below `level` ends
    // as a leaf once the merges the new leaf starts have folded the path's own nodes.
    int MergedLeafLevel(int level) const;
    // After a merge the last leaf may be gone: no colour word matches then.
    void ForgetLastLeaf() {
        lastColor_ = kNoColor;
        lastMask_ = kNoColor;
    }
    // Colours as 32-bit words: blue, green and red in bytes 0 to 2, byte 3 zero.
    static uint32_t ColorWord(uint32_t red, uint32_t green, uint32_t blue) {
        return blue | (green << 8) | (red << 16);
    }
    // Matches no colour word, whose byte 3 is zero.
    static constexpr uint32_t kNoColor = 0xFF000000u;
    // Adds one colour to a leaf.
    void AddToLeaf(int32_t index, uint8_t red, uint8_t green, uint8_t blue) {
        TOctreeNode& leaf = nodes_[index];
        ++leaf.pixelCount;
        leaf.redSum += red;
        leaf.greenSum += green;
        leaf.blueSum += blue;
    }
    void CollectLeaves(int32_t index, TPalette& table) const;

    // Adds `count` pixels that went to the last leaf, their channels summed in the 21-bit
    // fields of `sums` (blue lowest).
    void AddRunToLeaf(uint64_t count, uint64_t sums);
    // Adds up to kRowPart pixels of a row; `endsRow` when the last one ends the row.
    void AddPixels(const uint8_t* bgr, int count, bool endsRow);
    // Pixels added at a time: a run of them keeps its sums within 21 bits per channel.
    static constexpr int kRowPart = 8192;

    std::vector<TOctreeNode> nodes_;
    int32_t freeList_ = TOctreeNode::kNone;
    int32_t root_ = TOctreeNode::kNone;
    int32_t reducible_[kColorBits];
    int leafCount_ = 0;
    int maxColors_;
    // For every path of kShortcutLevel levels, the deepest node on it at that level or above,
    // so that a colour's walk need not start at the root. Most leaves sit at that level or
    // above, and are then found at once.
    static constexpr int kShortcutLevel = 4;
    std::vector<int32_t> shortcut_;
    // Points the shortcuts of every path below `path` (a node at `level`) to `index`.
    void PointShortcuts(uint32_t path, int level, int32_t index);
    // The leaf that took the last colour, while no merge has happened since: every colour word
    // that agrees with lastColor_ in the bits of lastMask_ walks down to it.
    int32_t lastLeaf_ = TOctreeNode::kNone;
    uint32_t lastColor_ = kNoColor;
    uint32_t lastMask_ = kNoColor;
};
