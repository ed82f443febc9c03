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
    int32_t NewNode(int level, uint32_t path);
    void FreeNode(int32_t index);
    // Merges the newest node of the deepest non-empty reducible list; false when none is left.
    bool ReduceTree();
    // Adds a colour that the last leaf does not take, then merges as needed.
    void AddNewPath(uint32_t code, uint8_t red, uint8_t green, uint8_t blue);
    void Insert(uint32_t code, uint8_t red, uint8_t green, uint8_t blue);
    // Makes the missing nodes below `index` (at `level`) down to a new leaf, which it returns.
    int32_t GrowPath(int32_t index, int level, uint32_t code);
    // After a merge the last leaf may be gone: no code matches ~0 in all bits.
    void ForgetLastLeaf() {
        lastCode_ = ~0u;
        lastShift_ = 0;
    }
    // Called for almost every pixel: kept in the header so that the row loop inlines it.
    void AddToLeaf(int32_t index, uint8_t red, uint8_t green, uint8_t blue) {
        TOctreeNode& leaf = nodes_[index];
        ++leaf.pixelCount;
        leaf.redSum += red;
        leaf.greenSum += green;
        leaf.blueSum += blue;
    }
    void CollectLeaves(int32_t index, TPalette& table) const;

    // Adds the sums of consecutive pixels that went to the last leaf.
    void AddRunToLeaf(uint32_t count, uint64_t red, uint64_t green, uint64_t blue);

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
    // The leaf that took the last colour, while no merge has happened since: every colour whose
    // code agrees with lastCode_ above lastShift_ bits walks down to it. Codes have 24 bits, so
    // the initial ~0 matches none.
    int32_t lastLeaf_ = TOctreeNode::kNone;
    uint32_t lastCode_ = ~0u;
    int lastShift_ = 0;
};
