#pragma once
// Plain, slow implementations of what a document does to a true-colour frame with the
// application's settings (octree palette beside the system colours, nearest colour by a full
// scan, LZW with the hashed string table), written straight from the rules and sharing no code
// with the library. The fast library paths must give exactly their bytes.
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/Bitmap.h"

namespace reference {

// Octree quantizer: nodes by pointer, one colour at a time, merging after every colour.
class Octree {
public:
    explicit Octree(int maxColors) : maxColors_(maxColors), root_(NewNode(0)) {}

    void Add(uint8_t r, uint8_t g, uint8_t b) {
        Node* node = root_.get();
        for (int level = 0; !node->leaf; ++level) {
            const int shift = 7 - level;
            const int child =
                (((r >> shift) & 1) << 2) | (((g >> shift) & 1) << 1) | ((b >> shift) & 1);
            if (!node->children[child]) node->children[child] = NewNode(level + 1);
            node = node->children[child].get();
        }
        ++node->count;
        node->red += r;
        node->green += g;
        node->blue += b;
        while (leaves_ > maxColors_ && Reduce()) {}
    }

    std::vector<TPaletteEntry> Colors() const {
        std::vector<TPaletteEntry> colors;
        Collect(*root_, colors);
        return colors;
    }

private:
    struct Node {
        bool leaf = false;
        uint64_t count = 0, red = 0, green = 0, blue = 0;
        Node* nextReducible = nullptr;
        std::unique_ptr<Node> children[8];
    };

    std::unique_ptr<Node> NewNode(int level) {
        auto node = std::make_unique<Node>();
        if (level == 8) {
            node->leaf = true;
            ++leaves_;
        } else {
            node->nextReducible = reducible_[level];
            reducible_[level] = node.get();
        }
        return node;
    }

    bool Reduce() {
        int level = 7;
        while (level > 0 && !reducible_[level]) --level;
        Node* node = reducible_[level];
        if (!node) return false;
        reducible_[level] = node->nextReducible;
        int merged = 0;
        for (auto& child : node->children) {
            if (!child) continue;
            node->count += child->count;
            node->red += child->red;
            node->green += child->green;
            node->blue += child->blue;
            child.reset();
            ++merged;
        }
        node->leaf = true;
        leaves_ -= merged - 1;
        return true;
    }

    static void Collect(const Node& node, std::vector<TPaletteEntry>& colors) {
        if (node.leaf) {
            TPaletteEntry e{};
            if (node.count > 0) {
                e.peRed = static_cast<uint8_t>(node.red / node.count);
                e.peGreen = static_cast<uint8_t>(node.green / node.count);
                e.peBlue = static_cast<uint8_t>(node.blue / node.count);
            }
            colors.push_back(e);
            return;
        }
        for (const auto& child : node.children)
            if (child) Collect(*child, colors);
    }

    int maxColors_;
    int leaves_ = 0;
    Node* reducible_[8] = {};
    std::unique_ptr<Node> root_;
};

// The 256-entry palette of a 24-bit picture: system colours 0-9, the octree's 236 colours,
// black, system colours 10-19 at 246-255.
inline std::vector<TPaletteEntry> OctreePlusSystemPalette(
    TBitmap& picture, const std::vector<TPaletteEntry>& system) {
    Octree octree(236);
    for (int y = 0; y < picture.Height(); ++y) {
        const uint8_t* row = picture.ScanLine(y);
        for (int x = 0; x < picture.Width(); ++x)
            octree.Add(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
    }
    std::vector<TPaletteEntry> palette(256);
    for (int i = 0; i < 10; ++i) {
        palette[i] = system[i];
        palette[246 + i] = system[10 + i];
    }
    const std::vector<TPaletteEntry> colors = octree.Colors();
    for (size_t i = 0; i < colors.size() && i < 236; ++i) palette[10 + i] = colors[i];
    return palette;
}

// The entry at the least squared distance, the lowest index on a tie.
inline int Nearest(const std::vector<TPaletteEntry>& palette, int r, int g, int b) {
    int best = 0;
    int bestDistance = 1 << 30;
    for (size_t i = 0; i < palette.size(); ++i) {
        const int dr = palette[i].peRed - r, dg = palette[i].peGreen - g,
                  db = palette[i].peBlue - b;
        const int d = dr * dr + dg * dg + db * db;
        if (d < bestDistance) {
            bestDistance = d;
            best = static_cast<int>(i);
        }
    }
    return best;
}

// The image data of `pixels` (rows in order) with code size bitsPerPixel (at least 2): the code
// size byte, LZW codes in sub-blocks of up to 255 bytes, and the terminator.
// With `stopAt` (at least 1 and below the pixel count), what is written when pixel `stopAt` is
// found not to be a colour: the codes of the pixels before it, in whole bytes, in sub-blocks,
// with no end code and no terminator.
inline std::vector<uint8_t> Lzw(const std::vector<uint8_t>& pixels, int bitsPerPixel,
                                size_t stopAt = 0) {
    constexpr int kTableSize = 8009;
    constexpr uint32_t kFree = 0xFFFFFFFFu;
    const int codeSize = bitsPerPixel < 2 ? 2 : bitsPerPixel;
    const int clear = 1 << codeSize, end = clear + 1, initialWidth = codeSize + 1;
    std::vector<uint32_t> table(kTableSize, kFree);
    int width = initialWidth, maxCode = (1 << initialWidth) - 1, next = clear + 2;
    bool justCleared = false;

    std::vector<uint8_t> out{static_cast<uint8_t>(codeSize)};
    std::vector<uint8_t> block;
    auto putByte = [&](uint8_t byte) {
        block.push_back(byte);
        if (block.size() == 255) {
            out.push_back(255);
            out.insert(out.end(), block.begin(), block.end());
            block.clear();
        }
    };
    uint32_t bucket = 0;
    int bits = 0;
    auto output = [&](int code) {
        bucket |= static_cast<uint32_t>(code) << bits;
        for (bits += width; bits >= 8; bits -= 8, bucket >>= 8)
            putByte(static_cast<uint8_t>(bucket));
        if (justCleared) {
            width = initialWidth;
            maxCode = (1 << width) - 1;
            justCleared = false;
        } else if (next > maxCode) {
            ++width;
            maxCode = width == 12 ? 4096 : (1 << width) - 1;
        }
    };
    auto clearTable = [&] {
        justCleared = true;
        output(clear);
        std::fill(table.begin(), table.end(), kFree);
        next = clear + 2;
    };
    auto slots = [&](uint32_t key, auto visit) {
        int slot = static_cast<int>((key ^ (key >> 4)) % kTableSize);
        for (;;) {
            if (visit(slot)) return;
            slot -= slot == 0 ? 1 : kTableSize - slot;
            if (slot < 0) slot += kTableSize;
        }
    };

    if (!pixels.empty()) {
        clearTable();
        int prefix = pixels[0];
        const size_t last = stopAt > 0 ? stopAt : pixels.size();
        for (size_t i = 1; i < last; ++i) {
            const int c = pixels[i];
            const uint32_t key = (static_cast<uint32_t>(prefix) << 8) | static_cast<uint32_t>(c);
            int found = -1;
            slots(key, [&](int slot) {
                if ((table[slot] >> 12) == key) found = static_cast<int>(table[slot] & 0xFFF);
                return found >= 0 || table[slot] == kFree;
            });
            if (found >= 0) {
                prefix = found;
                continue;
            }
            output(prefix);
            prefix = c;
            if (next < 4095) {
                slots(key, [&](int slot) {
                    if (table[slot] != kFree) return false;
                    table[slot] = (key << 12) | static_cast<uint32_t>(next);
                    return true;
                });
                ++next;
            } else {
                clearTable();
            }
        }
        if (stopAt == 0) output(prefix);
    }
    if (stopAt == 0) {
        output(end);
        if (bits > 0) putByte(static_cast<uint8_t>(bucket));
    }
    if (!block.empty()) {
        out.push_back(static_cast<uint8_t>(block.size()));
        out.insert(out.end(), block.begin(), block.end());
    }
    if (stopAt == 0) out.push_back(0);
    return out;
}

inline void PutWord(std::vector<uint8_t>& out, int value) {
    out.push_back(static_cast<uint8_t>(value & 0xFF));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

// The file a document writes for true-colour frames of one size added with the application's
// settings: version 87a, no global table, each frame with a 256-entry local table.
inline std::vector<uint8_t> Gif(std::vector<TBitmap>& frames,
                                const std::vector<TPaletteEntry>& system) {
    std::vector<uint8_t> out{'G', 'I', 'F', '8', '7', 'a'};
    PutWord(out, frames.front().Width());
    PutWord(out, frames.front().Height());
    out.insert(out.end(), {0x77, 0, 0});
    for (TBitmap& frame : frames) {
        const std::vector<TPaletteEntry> palette = OctreePlusSystemPalette(frame, system);
        out.push_back(0x2C);
        PutWord(out, 0);
        PutWord(out, 0);
        PutWord(out, frame.Width());
        PutWord(out, frame.Height());
        out.push_back(0x87);
        for (const TPaletteEntry& e : palette)
            out.insert(out.end(), {e.peRed, e.peGreen, e.peBlue});
        std::vector<uint8_t> indices;
        indices.reserve(static_cast<size_t>(frame.Width()) * frame.Height());
        for (int y = 0; y < frame.Height(); ++y) {
            const uint8_t* row = frame.ScanLine(y);
            for (int x = 0; x < frame.Width(); ++x)
                indices.push_back(static_cast<uint8_t>(
                    Nearest(palette, row[3 * x + 2], row[3 * x + 1], row[3 * x])));
        }
        const std::vector<uint8_t> data = Lzw(indices, 8);
        out.insert(out.end(), data.begin(), data.end());
    }
    out.push_back(0x3B);
    return out;
}

}  // namespace reference
