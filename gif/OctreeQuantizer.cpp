#include "gif/OctreeQuantizer.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstring>

namespace {

// Spreads the 8 bits of a channel three positions apart, from bit `offset` up, so that
// interleaving red (offset 2), green (1) and blue (0) gives a code whose 3-bit groups, most
// significant first, are the child indices of the tree levels 0 to 7.
constexpr std::array<uint32_t, 256> MakeSpreadTable(int offset) {
    std::array<uint32_t, 256> table{};
    for (uint32_t v = 0; v < 256; ++v) {
        uint32_t spread = 0;
        for (int bit = 0; bit < 8; ++bit) spread |= ((v >> bit) & 1u) << (3 * bit + offset);
        table[v] = spread;
    }
    return table;
}

constexpr std::array<uint32_t, 256> kSpreadRed = MakeSpreadTable(2);
constexpr std::array<uint32_t, 256> kSpreadGreen = MakeSpreadTable(1);
constexpr std::array<uint32_t, 256> kSpreadBlue = MakeSpreadTable(0);

uint32_t ColorCode(uint8_t red, uint8_t green, uint8_t blue) {
    return kSpreadRed[red] | kSpreadGreen[green] | kSpreadBlue[blue];
}

int ChildIndex(uint32_t code, int level) { return (code >> (3 * (7 - level))) & 7; }

// A word read from memory, in little-endian byte order.
uint32_t LittleEndianWord(uint32_t word) {
    if constexpr (std::endian::native == std::endian::big) return __builtin_bswap32(word);
    return word;
}

}  // namespace

TColorQuantizer::TColorQuantizer(int maxColors)
    : maxColors_(std::max(maxColors, 1)),
      shortcut_(size_t{1} << (3 * kShortcutLevel), TOctreeNode::kNone) {
    std::fill(std::begin(reducible_), std::end(reducible_), TOctreeNode::kNone);
    // A leaf path holds at most kColorBits inner nodes, and there are never more than
    // maxColors + 1 leaves.
    nodes_.reserve(static_cast<size_t>(kColorBits + 1) * (maxColors_ + 1) + 1);
    root_ = NewNode(0, 0);
}

int32_t TColorQuantizer::NewNode(int level, uint32_t path) {
    int32_t index;
    if (freeList_ != TOctreeNode::kNone) {
        index = freeList_;
        freeList_ = nodes_[index].nextReducible;
        nodes_[index] = TOctreeNode{};
    } else {
        index = static_cast<int32_t>(nodes_.size());
        nodes_.emplace_back();
    }
    TOctreeNode& node = nodes_[index];
    node.path = path;
    node.level = static_cast<uint8_t>(level);
    if (level <= kShortcutLevel) PointShortcuts(path, level, index);
    if (level == kColorBits) {
        node.leaf = true;
        ++leafCount_;
    } else {
        node.nextReducible = reducible_[level];
        reducible_[level] = index;
    }
    return index;
}

void TColorQuantizer::PointShortcuts(uint32_t path, int level, int32_t index) {
    const int below = 3 * (kShortcutLevel - level);
    const auto first = shortcut_.begin() + (static_cast<ptrdiff_t>(path) << below);
    std::fill(first, first + (ptrdiff_t{1} << below), index);
}

void TColorQuantizer::FreeNode(int32_t index) {
    nodes_[index].nextReducible = freeList_;
    freeList_ = index;
}

int32_t TColorQuantizer::GrowPath(int32_t index, int level, uint32_t code) {
    for (; level < kColorBits; ++level) {
        const int child = ChildIndex(code, level);
        const int32_t next = NewNode(level + 1, (nodes_[index].path << 3) | child);
        nodes_[index].children[child] = next;
        index = next;
    }
    return index;
}

void TColorQuantizer::Insert(uint32_t code, uint8_t red, uint8_t green, uint8_t blue) {
    int32_t index = shortcut_[code >> (3 * (kColorBits - kShortcutLevel))];
    int level = nodes_[index].level;
    while (!nodes_[index].leaf) {
        const int32_t next = nodes_[index].children[ChildIndex(code, level)];
        if (next == TOctreeNode::kNone) {
            index = GrowPath(index, level, code);
            level = kColorBits;
            break;
        }
        index = next;
        ++level;
    }
    AddToLeaf(index, red, green, blue);
    lastLeaf_ = index;
    lastColor_ = ColorWord(red, green, blue);
    lastMask_ = OctreeLevelMask(level);
}

void TColorQuantizer::AddNewPath(uint32_t code, uint8_t red, uint8_t green, uint8_t blue) {
    Insert(code, red, green, blue);
    while (leafCount_ > maxColors_ && ReduceTree()) {}
}

void TColorQuantizer::AddColor(uint8_t red, uint8_t green, uint8_t blue) {
    if (((ColorWord(red, green, blue) ^ lastColor_) & lastMask_) == 0)
        AddRunToLeaf(1, red, green, blue);
    else
        AddNewPath(ColorCode(red, green, blue), red, green, blue);
}

// Pixels that go to the last leaf are summed in registers and given to the leaf when the run
// ends, before any merge can touch it. A pixel is read as the 32-bit word at its first byte with
// the next pixel's byte cleared; the last one of the row byte by byte, as it may end the buffer.
void TColorQuantizer::AddRow(const uint8_t* bgr, int width) {
    uint64_t runCount = 0, runRed = 0, runGreen = 0, runBlue = 0;
    uint32_t leafColor = lastColor_, leafMask = lastMask_;
    const uint8_t* const end = bgr + 3 * static_cast<ptrdiff_t>(width);
    for (const uint8_t* p = bgr; p != end; p += 3) {
        uint32_t word;
        if (end - p > 3) {
            std::memcpy(&word, p, sizeof word);
            word = LittleEndianWord(word) & 0x00FFFFFFu;
        } else {
            word = ColorWord(p[2], p[1], p[0]);
        }
        const uint32_t blue = word & 0xFF, green = (word >> 8) & 0xFF, red = word >> 16;
        if (((word ^ leafColor) & leafMask) == 0) {
            ++runCount;
            runRed += red;
            runGreen += green;
            runBlue += blue;
            continue;
        }
        if (runCount != 0) AddRunToLeaf(runCount, runRed, runGreen, runBlue);
        const uint32_t code = ColorCode(red, green, blue);
        const TOctreeNode& shortcut = nodes_[shortcut_[code >> (3 * (kColorBits - kShortcutLevel))]];
        if (shortcut.leaf) {
            // Most colours find their leaf through the shortcut; the pixel starts a run there.
            lastLeaf_ = static_cast<int32_t>(&shortcut - nodes_.data());
            leafColor = word;
            leafMask = OctreeLevelMask(shortcut.level);
            runCount = 1;
            runRed = red;
            runGreen = green;
            runBlue = blue;
            continue;
        }
        AddNewPath(code, red, green, blue);
        runCount = runRed = runGreen = runBlue = 0;
        leafColor = lastColor_;
        leafMask = lastMask_;
    }
    lastColor_ = leafColor;
    lastMask_ = leafMask;
    if (runCount != 0) AddRunToLeaf(runCount, runRed, runGreen, runBlue);
}

void TColorQuantizer::AddRunToLeaf(uint64_t count, uint64_t red, uint64_t green, uint64_t blue) {
    TOctreeNode& leaf = nodes_[lastLeaf_];
    leaf.pixelCount += count;
    leaf.redSum += red;
    leaf.greenSum += green;
    leaf.blueSum += blue;
}

bool TColorQuantizer::ReduceTree() {
    int level = kColorBits - 1;
    while (level > 0 && reducible_[level] == TOctreeNode::kNone) --level;
    const int32_t index = reducible_[level];
    if (index == TOctreeNode::kNone) return false;  // the root is a leaf already
    TOctreeNode& node = nodes_[index];
    reducible_[level] = node.nextReducible;
    node.nextReducible = TOctreeNode::kNone;
    int merged = 0;
    for (int32_t& childIndex : node.children) {
        if (childIndex == TOctreeNode::kNone) continue;
        const TOctreeNode& child = nodes_[childIndex];
        node.pixelCount += child.pixelCount;
        node.redSum += child.redSum;
        node.greenSum += child.greenSum;
        node.blueSum += child.blueSum;
        FreeNode(childIndex);
        childIndex = TOctreeNode::kNone;
        ++merged;
    }
    node.leaf = true;
    leafCount_ -= merged - 1;
    if (level < kShortcutLevel) PointShortcuts(node.path, level, index);
    ForgetLastLeaf();
    return true;
}

void TColorQuantizer::CollectLeaves(int32_t index, TPalette& table) const {
    const TOctreeNode& node = nodes_[index];
    if (node.leaf) {
        TPaletteEntry entry;
        if (node.pixelCount > 0) {
            entry.peRed = static_cast<uint8_t>(node.redSum / node.pixelCount);
            entry.peGreen = static_cast<uint8_t>(node.greenSum / node.pixelCount);
            entry.peBlue = static_cast<uint8_t>(node.blueSum / node.pixelCount);
        }
        table.push_back(entry);
        return;
    }
    for (int32_t child : node.children)
        if (child != TOctreeNode::kNone) CollectLeaves(child, table);
}

TPalette TColorQuantizer::ColorTable() const {
    TPalette table;
    table.reserve(leafCount_);
    CollectLeaves(root_, table);
    return table;
}
