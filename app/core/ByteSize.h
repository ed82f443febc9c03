#pragma once
// Sizes of files as people type and read them: "8M", "500K", "1048576"; "8 MB", "4.2 MB",
// "730 KB". K and M count in units of 1024.
#include <cstdint>
#include <optional>
#include <string>

// The bytes `text` stands for: a whole or decimal number, optionally followed by K or M (in
// either case, optionally with B: "8M", "8 MB", "1.5m", "700KB"). Nothing for anything else, for
// 0 and less, and for sizes beyond what a file can hold.
std::optional<int64_t> ParseByteSize(const std::string& text);

// Bytes as people read them: "812 bytes", "45.2 KB", "1.30 MB", "2.05 GB" (1 KB = 1024 bytes);
// precise enough to see a size grow.
std::string ByteSizeText(int64_t bytes);

// The size rounded for reading: bytes below 1 KB, KB below 1 MB, MB above; one decimal below 10 of
// the unit unless it is 0, whole numbers from there ("512 bytes", "4.2 MB", "730 KB", "25 MB").
std::string RoundedSizeText(int64_t bytes);

// The size as a person would type it, read back by ParseByteSize as the same bytes: "8M",
// "500K", "2000000".
std::string TypedSizeText(int64_t bytes);
