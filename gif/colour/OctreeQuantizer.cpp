#include "gif/colour/OctreeQuantizer.h"

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

// The channels of a colour word spread to 21-bit fields (blue lowest), so that one 64-bit sum
// adds up to 8224 pixels without carries between channels.
uint64_t SpreadWord(uint32_t word) {
    return (word & 0xFFu) | (static_cast<uint64_t>(word & 0xFF00u) << 13) |
           (static_cast<uint64_t>(word & 0xFF0000u) << 26);
}

}  // namespace

TColorQuantizer::TColorQuantizer(int maxColors)
    : maxColors_(std::max(maxColors, 1)),
      shortcut_(size_t{1} << (3 * kShortcutLevel), TOctreeNode::kNone) {
    std::fill(std::begin(reducible_), std::end(reducible_), TOctreeNode::kNone);
    // A leaf path holds at most kColorBits inner nodes, and there are never more than
    // maxColors + 1 leaves.
    nodes_.reserve(static_cast<size_t>(kColorBits + 1) * (maxColors_ + 1) + 1);
    root_ = NewNode(0, 0, false);
}

int32_t TColorQuantizer::NewNode(int level, uint32_t path, bool leaf) {
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
    if (leaf) {
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

int32_t TColorQuantizer::GrowPath(int32_t index, int level, uint32_t code, int leafLevel) {
    for (; level < leafLevel; ++level) {
        const int child = ChildIndex(code, level);
        const int32_t next =
            NewNode(level + 1, (nodes_[index].path << 3) | child, level + 1 == leafLevel);
        nodes_[index].children[child] = next;
        index = next;
    }
    return index;
}

// A new leaf in a full tree starts merges at once: first the new path's own nodes, each with
// one child, from the bottom up, for as long as they are the only reducible nodes of their
// level. The path can stop as a leaf where that ends: at the deepest level below `level` that
// already has reducible nodes, or just below `level`.
int TColorQuantizer::MergedLeafLevel(int level) const {
    for (int deeper = kColorBits - 1; deeper > level + 1; --deeper)
        if (reducible_[deeper] != TOctreeNode::kNone) return deeper;
    return level + 1;
}

void TColorQuantizer::Insert(uint32_t code, uint8_t red, uint8_t green, uint8_t blue) {
    int32_t index = shortcut_[code >> (3 * (kColorBits - kShortcutLevel))];
    int level = nodes_[index].level;
    while (!nodes_[index].leaf) {
        const int32_t next = nodes_[index].children[ChildIndex(code, level)];
        if (next == TOctreeNode::kNone) {
            const int leafLevel = leafCount_ >= maxColors_ ? MergedLeafLevel(level) : kColorBits;
            index = GrowPath(index, level, code, leafLevel);
            level = leafLevel;
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
        AddRunToLeaf(1, SpreadWord(ColorWord(red, green, blue)));
    else
        AddNewPath(ColorCode(red, green, blue), red, green, blue);
}

void TColorQuantizer::AddRow(const uint8_t* bgr, int width) {
    for (int start = 0; start < width; start += kRowPart) {
        const int count = std::min(kRowPart, width - start);
        AddPixels(bgr + 3 * static_cast<ptrdiff_t>(start), count, start + count == width);
    }
}

// Pixels that go to the last leaf are summed in a register and given to the leaf when the run
// ends, before any merge can touch it. A pixel is read as the 32-bit word at its first byte with
// the next pixel's byte cleared, except the last one of the row, which may end the buffer.
void TColorQuantizer::AddPixels(const uint8_t* bgr, int count, bool endsRow) {
    uint32_t color = lastColor_, mask = lastMask_;
    uint64_t sums = 0;
    const uint8_t* run = bgr;  // pixels [run, p) went to lastLeaf_ and are in sums
    const uint8_t* const end = bgr + 3 * static_cast<ptrdiff_t>(count);
    auto take = [&](const uint8_t* p, uint32_t word) {
        if (((word ^ color) & mask) == 0) {
            sums += SpreadWord(word);
            return;
        }
        if (p != run) AddRunToLeaf(static_cast<uint64_t>(p - run) / 3, sums);
        const uint32_t blue = word & 0xFF, green = (word >> 8) & 0xFF, red = word >> 16;
        const uint32_t code = ColorCode(red, green, blue);
        const int32_t node = shortcut_[code >> (3 * (kColorBits - kShortcutLevel))];
        if (nodes_[node].leaf) {
            // Most colours find their leaf through the shortcut; the pixel starts a run there.
            lastLeaf_ = node;
            color = word;
            mask = OctreeLevelMask(nodes_[node].level);
            run = p;
            sums = SpreadWord(word);
            return;
        }
        AddNewPath(code, red, green, blue);
        color = lastColor_;
        mask = lastMask_;
        run = p + 3;
        sums = 0;
    };
    const uint8_t* const words = endsRow ? end - 3 : end;
    const uint8_t* p = bgr;
    for (; p < words; p += 3) {
        uint32_t word;
        std::memcpy(&word, p, sizeof word);
        take(p, LittleEndianWord(word) & 0x00FFFFFFu);
    }
    if (p != end) take(p, ColorWord(p[2], p[1], p[0]));
    if (end != run) AddRunToLeaf(static_cast<uint64_t>(end - run) / 3, sums);
    lastColor_ = color;
    lastMask_ = mask;
}

// Out of line on purpose: inlined into the row loop it costs the loop the registers that hold
// the run.
void TColorQuantizer::AddRunToLeaf(uint64_t count, uint64_t sums) {
    constexpr uint64_t kField = (uint64_t{1} << 21) - 1;
    TOctreeNode& leaf = nodes_[lastLeaf_];
    leaf.pixelCount += static_cast<uint32_t>(count);
    leaf.blueSum += sums & kField;
    leaf.greenSum += (sums >> 21) & kField;
    leaf.redSum += sums >> 42;
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
