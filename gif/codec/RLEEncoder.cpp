#include "gif/codec/RLEEncoder.h"

uint64_t NewtonIntegerSqrt(uint64_t x) {
    if (x < 2) return x;
    // One doubling per base-4 digit puts the guess above the root, so the iteration descends.
    uint64_t guess = 1;
    for (uint64_t v = x; v != 0; v >>= 2) guess <<= 1;
    for (;;) {
        const uint64_t next = (x / guess + guess) / 2;
        if (next == guess || next == guess + 1) return guess;
        guess = next;
    }
}

uint64_t RunTriangleCost(uint64_t count, uint64_t codes) {
    const uint64_t perTriangle = codes * (codes + 1) / 2;
    uint64_t cost = 0;
    if (perTriangle > 0) {
        cost = count / perTriangle * codes;
        count %= perTriangle;
    }
    if (count > 0) {
        uint64_t j = NewtonIntegerSqrt(count);
        while (j > 0 && j * (j + 1) >= 2 * count) --j;
        while (j * (j + 1) < 2 * count) ++j;
        cost += j;
    }
    return cost;
}

void TRLEEncoder::DoCompress() {
    outBumpInit_ = clearCode_ - 1;
    outClearInit_ = bitsPerPixel_ <= 3 ? 9 : clearCode_ - 2;
    maxOCodes_ = (kMaxCodes - 1) - baseCode_;
    Clear();

    const uint8_t* first;
    const uint8_t* last;
    if (!NextSpan(first, last)) return;
    rlPixel_ = CheckedPixel(*first++);
    rlCount_ = 1;
    do {
        CompressSpan(first, last);
    } while (NextSpan(first, last));
    FlushRun(rlCount_);
}

void TRLEEncoder::CompressSpan(const uint8_t* first, const uint8_t* last) {
    for (const uint8_t* p = first; p != last; ++p) {
        const int pixel = CheckedPixel(*p);
        if (pixel == rlPixel_) {
            ++rlCount_;
            continue;
        }
        FlushRun(rlCount_);
        rlPixel_ = pixel;
        rlCount_ = 1;
    }
}

void TRLEEncoder::Clear() {
    outBump_ = outBumpInit_;
    outClear_ = outClearInit_;
    outCount_ = 0;
    rlTableMax_ = 0;
    justCleared_ = true;
    Output(clearCode_);
    SetCodeWidth(initialBitsPerCode_);
}

void TRLEEncoder::OutputPlain(int code) {
    justCleared_ = false;
    Output(code);
    ++outCount_;
    if (outCount_ >= outBump_) {
        SetCodeWidth(bitsPerCode_ + 1);
        outBump_ += 1 << (bitsPerCode_ - 1);
    }
    if (outCount_ >= outClear_) Clear();
}

void TRLEEncoder::ResetOutClear() {
    outClear_ = outClearInit_;
    if (outCount_ >= outClear_) Clear();
}

void TRLEEncoder::FlushRun(uint64_t count) {
    if (count == 1) {
        OutputPlain(rlPixel_);
    } else if (justCleared_) {
        FlushFromClear(count);
    } else if (rlTableMax_ > 1 && rlTablePixel_ == rlPixel_) {
        FlushWithTable(count);
    } else {
        FlushClearOrRepeat(count);
    }
}

void TRLEEncoder::FlushClearOrRepeat(uint64_t count) {
    if (1 + RunTriangleCost(count, maxOCodes_) < count) {
        Clear();
        FlushFromClear(count);
        return;
    }
    for (; count > 0; --count) OutputPlain(rlPixel_);
}

void TRLEEncoder::FlushFromClear(uint64_t count) {
    outClear_ = maxOCodes_;
    rlTablePixel_ = rlPixel_;
    uint64_t step = 1;
    while (count > 0) {
        if (step == 1) {
            rlTableMax_ = 1;
            OutputPlain(rlPixel_);
            count -= 1;
        } else if (count >= step) {
            rlTableMax_ = static_cast<int>(step);
            OutputPlain(RunCode(step));
            count -= step;
        } else {
            ++rlTableMax_;
            OutputPlain(count == 1 ? rlPixel_ : RunCode(count));
            count = 0;
        }
        step = outCount_ == 0 ? 1 : step + 1;
    }
    ResetOutClear();
}

void TRLEEncoder::FlushWithTable(uint64_t count) {
    const uint64_t runMax = static_cast<uint64_t>(rlTableMax_);
    uint64_t repeats = count / runMax;
    uint64_t leftover = count % runMax;
    uint64_t leftoverCost = leftover != 0 ? 1 : 0;
    const uint64_t available = static_cast<uint64_t>(maxOCodes_ - outCount_);
    if (repeats + leftoverCost > available) {
        repeats = available;
        leftover = count - repeats * runMax;
        leftoverCost = 1 + RunTriangleCost(leftover, maxOCodes_);
    }
    if (1 + RunTriangleCost(count, maxOCodes_) < repeats + leftoverCost) {
        Clear();
        FlushFromClear(count);
        return;
    }
    outClear_ = maxOCodes_;
    const int fullRunCode = RunCode(runMax);
    for (; repeats > 0; --repeats) OutputPlain(fullRunCode);
    if (leftover > 0) {
        if (justCleared_) {
            FlushFromClear(leftover);
        } else {
            OutputPlain(leftover == 1 ? rlPixel_ : RunCode(leftover));
        }
    }
    ResetOutClear();
}
