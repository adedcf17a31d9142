#include "LzwDecoder.h"

#include "GifWarnings.h"
#include "LzwRows.h"
#include "base/Error.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace abm {

namespace {

using gif_rows::copy16;
using gif_rows::loadLe64;
using gif_rows::RowOrder;
using gif_rows::Run;

// Past every code: lets one comparison with the clear code catch it too.
constexpr int kEndOfData = 0x10000;

// All but the last pixel of a string, in 16-byte chunks that read and write
// up to 15 bytes past it (the caller has made sure that stays inside the row
// and the memory).
inline void copyInChunks(uint8_t* dst, const uint8_t* src, size_t length)
{
    copy16(dst, src);
    size_t i = 16;
    for (; i + 17 < length; i += 32) {
        copy16(dst + i, src + i);
        copy16(dst + i + 16, src + i + 16);
    }
    if (i + 1 < length)
        copy16(dst + i, src + i);
}

}  // namespace

// What one decode holds fixed.
struct LzwDecoder::Pass {
    const uint8_t* codes;
    uint64_t fastEnd;   // codes wholly before this bit are read without a check
    uint8_t* base;      // the lowest row in memory: places count from here
    int64_t readLimit;  // strings ending before this place may be copied in chunks
    bool placesKept;
    int clear, endCode;
    unsigned firstCodeSize;
    uint8_t fill;
};

// Where one decode stands. entries_[next] always holds the entry the next
// code adds (prefix, length and place), all but its suffix: the first pixel
// of that code's string. inRow: its place is in one row, which also holds
// the first pixel of the previous string; else that pixel is previousFirst.
struct LzwDecoder::Cursor {
    int code = 0;
    uint64_t bitPos = 0;
    unsigned codeSize = 0;
    int limit = 0, next = 0;
    Run run{};
    bool inRow = false;
    uint8_t previousFirst = 0;
    bool full = false;  // the last pixel is written
};

// A string that is not one copy of earlier output: a head lying in one row
// of the output (or none), then the pixels gathered in string_ from sp up.
struct LzwDecoder::Parts {
    uint8_t* sp;
    const uint8_t* head = nullptr;
    size_t headLength = 0;
};

LzwDecoder::LzwDecoder()
{
    std::fill(std::begin(entries_), std::end(entries_), Entry{kNoPlace, 0, 0});
    std::memset(suffix_, 0, sizeof suffix_);
    std::memset(string_, 0, sizeof string_);
}

void LzwDecoder::hold(size_t bytes)
{
    // The code bytes are a second copy of a part of the file: counted
    // against the memory budget before they are gathered.
    bytes += kPadding;
    if (bytes <= codes_.capacity())
        return;
    held_.resize(static_cast<int64_t>(bytes));
    codes_.reserve(bytes);
}

size_t LzwDecoder::takeSubBlocks(const uint8_t* data, size_t size, size_t position)
{
    size_t total = 0;
    for (size_t at = position; at < size && data[at] != 0; at += size_t{1} + data[at])
        total += std::min<size_t>(data[at], size - at - 1);
    hold(total);
    codes_.clear();
    terminated_ = false;
    while (position < size) {
        const size_t length = data[position++];
        if (length == 0) {
            terminated_ = true;
            break;
        }
        const size_t n = std::min(length, size - position);
        if (n < length)
            warning(kGIFPrematureEnd);
        codes_.insert(codes_.end(), data + position, data + position + n);
        position += n;
    }
    totalBits_ = static_cast<uint64_t>(codes_.size()) * 8;
    codes_.resize(codes_.size() + kPadding, 0);
    return position;
}

void LzwDecoder::takeRaw(const uint8_t* codes, size_t size)
{
    hold(size);
    codes_.assign(codes, codes + size);
    terminated_ = true;
    totalBits_ = static_cast<uint64_t>(size) * 8;
    codes_.resize(codes_.size() + kPadding, 0);
}

void LzwDecoder::warning(const char* message) const
{
    if (onWarning)
        onWarning(message);
}

// The reader's rule near the end of the data: with `size` or fewer unread
// bits, the next block is read. Past the last block comes either the
// zero-length block, after which the bits held still give one code (missing
// bits read as 0), or the end of the file, which ends the data at once.
LzwDecoder::SlowCode LzwDecoder::readCodeSlow(uint64_t bitPos, unsigned size)
{
    const int64_t unread = static_cast<int64_t>(totalBits_) - static_cast<int64_t>(bitPos);
    if (unread <= static_cast<int64_t>(size)) {
        if (!terminated_)
            return {kEndOfData, bitPos};
        if (blockEndRead_ || unread <= 0) {
            // No bits at all give no code, rather than a code of zeros.
            blockEndRead_ = true;
            if (unread <= 0)
                warning(kGIFUnderrun);
            return {kEndOfData, bitPos};
        }
        blockEndRead_ = true;
    }
    const uint64_t word = loadLe64(codes_.data() + (bitPos >> 3));
    return {static_cast<int>((word >> (bitPos & 7)) & ((1u << size) - 1)), bitPos + size};
}

size_t LzwDecoder::decode(int minCodeSize, uint8_t* pixels, int width, int height, bool interlaced, uint8_t fill)
{
    return decode(minCodeSize, pixels, width, width, height, interlaced, fill);
}

size_t LzwDecoder::decode(int minCodeSize, uint8_t* firstRow, ptrdiff_t step, int width, int height, bool interlaced,
                          uint8_t fill)
{
    if (minCodeSize < 0 || minCodeSize > kMaxMinCodeSize)
        throw InvalidGraphicError(ErrorKind::GifBadCodeSize);
    if (width <= 0 || height <= 0)
        return 0;

    Pass pass{};
    pass.codes = codes_.data();
    pass.fastEnd = totalBits_ > 12 ? totalBits_ - 12 : 0;
    // Rows that overlap, or more memory than places can tell, leave every
    // place unknown: each string is then rebuilt from the table, slowly.
    const size_t rowBytes = static_cast<size_t>(step < 0 ? -step : step);
    pass.base = step < 0 ? firstRow + static_cast<ptrdiff_t>(height - 1) * step : firstRow;
    const uint64_t span = uint64_t{rowBytes} * static_cast<uint64_t>(height - 1) + static_cast<uint64_t>(width);
    pass.placesKept = (height == 1 || rowBytes >= static_cast<size_t>(width)) && span < kAcrossRows;
    // A chunked copy reads up to 15 bytes past its string: only strings
    // ending this far before the end of the memory are copied in chunks, and
    // none without places (the no-place mark must never pass for one).
    pass.readLimit = pass.placesKept ? static_cast<int64_t>(span) - kPadding : -1;
    pass.clear = 1 << minCodeSize;
    pass.endCode = pass.clear + 1;
    pass.firstCodeSize = static_cast<unsigned>(minCodeSize) + 1;
    pass.fill = fill;

    // A literal's place is known once it is first written; entries from the
    // clear code up are made by the codes.
    for (int i = 0; i < pass.clear; ++i) {
        entries_[i] = Entry{kNoPlace, 1, 0};
        suffix_[i] = static_cast<uint8_t>(i);
    }
    entries_[pass.clear] = entries_[pass.endCode] = Entry{kNoPlace, 0, 0};
    suffix_[pass.clear] = suffix_[pass.endCode] = 0;
    blockEndRead_ = false;

    RowOrder rows(firstRow, step, width, height, interlaced);
    Cursor c;
    c.codeSize = pass.firstCodeSize;
    c.limit = 2 * pass.clear;
    c.next = pass.clear + 2;
    c.run = rows.first();
    c = decodeCodes(pass, rows, c);
    if (c.full) {
        // One more code is asked for once the last string is used up (on
        // well-formed data, the end code); only the reader's end-of-data
        // warnings make that visible.
        if (rows.endedOnString && c.bitPos >= pass.fastEnd)
            readCodeSlow(c.bitPos, c.codeSize);
        return static_cast<size_t>(width) * static_cast<size_t>(height);
    }
    const size_t written = rows.Position(c.run);
    rows.fillRest(c.run, fill);
    return written;
}

[[gnu::always_inline]] inline void LzwDecoder::readCode(const Pass& pass, Cursor& c)
{
    if (c.bitPos < pass.fastEnd) [[likely]] {
        const uint64_t word = loadLe64(pass.codes + (c.bitPos >> 3));
        c.code = static_cast<int>((word >> (c.bitPos & 7)) & ((1u << c.codeSize) - 1));
        c.bitPos += c.codeSize;
        return;
    }
    const SlowCode slow = readCodeSlow(c.bitPos, c.codeSize);
    c.code = slow.code;
    c.bitPos = slow.bitPos;
}

// Adds the entry held ahead, with its suffix, while the table has room; the
// code size grows when next reaches the limit.
[[gnu::always_inline]] inline void LzwDecoder::addEntry(Cursor& c, uint8_t suffix)
{
    if (c.next + 1 < c.limit) [[likely]] {
        suffix_[c.next++] = suffix;
    } else if (c.next < kMaxCodes) {
        suffix_[c.next++] = suffix;
        if (c.next >= c.limit && c.limit < kMaxCodes) {
            c.limit <<= 1;
            ++c.codeSize;
        }
    }
}

// A code whose string lies in one row written before is copied from there:
// within the run (the common case), or on across row ends. Any other string
// is left to the general steps.
[[gnu::always_inline]] inline LzwDecoder::Step LzwDecoder::copyPlacedString(const Pass& pass, RowOrder& rows, Cursor& c)
{
    const Entry entry = entries_[c.code];
    const size_t length = entry.length;
    uint8_t* const dst = c.run.dst;
    const bool inOneRow = entry.at < kAcrossRows;
    const uint8_t* const src = pass.base + (inOneRow ? entry.at : 0);
    // In chunks while reading and writing past the string stays inside the
    // row and the memory.
    const bool inChunks =
        static_cast<int64_t>(entry.at) + static_cast<int64_t>(length) <= pass.readLimit && length + 15 <= c.run.left;
    if (inChunks || (inOneRow && length < c.run.left)) [[likely]] {
        if (inChunks) [[likely]] {
            copyInChunks(dst, src, length);
        } else if (length > 16) {
            std::memcpy(dst, src, length - 1);
        } else {
            for (size_t i = 0; i + 1 < length; ++i)
                dst[i] = src[i];
        }
        // A code equal to next repeats the previous string, which ends right
        // where this one starts, plus its first pixel: the copy above read
        // that pixel before it was written. Copying the last pixel again
        // fixes it and is harmless for other codes.
        dst[length - 1] = src[length - 1];
        const uint32_t here = static_cast<uint32_t>(dst - pass.base);
        addEntry(c, dst[0]);
        entries_[c.next] = Entry{here, static_cast<uint16_t>(length + 1), static_cast<uint16_t>(c.code)};
        c.inRow = true;
        c.run.dst += length;
        c.run.left -= length;
        return Step::next;
    }
    if (!inOneRow)
        return Step::general;
    // Up to the row end and on in the next rows: the entry the next code
    // adds is placed across rows.
    const uint32_t across = kAcrossRows + static_cast<uint32_t>(rows.Position(c.run));
    c.run = rows.copyString(c.run, src, length);
    if (c.run.left == 0)
        return Step::full;
    addEntry(c, dst[0]);
    entries_[c.next] = Entry{across, static_cast<uint16_t>(length + 1), static_cast<uint16_t>(c.code)};
    c.inRow = false;
    c.previousFirst = dst[0];
    return Step::next;
}

// Clear codes reset the table; the first code after them is a pixel,
// whatever its value, and adds no entry. False at the end of the data.
[[gnu::always_inline]] inline bool LzwDecoder::restartAfterClear(const Pass& pass, Cursor& c, Parts& s)
{
    while (c.code == pass.clear) {
        c.codeSize = pass.firstCodeSize;
        c.limit = 2 * pass.clear;
        c.next = pass.clear + 2;
        readCode(pass, c);
    }
    if (c.code == kEndOfData || c.code == pass.endCode)
        return false;
    *--s.sp = static_cast<uint8_t>(c.code);
    return true;
}

// A string from the table, last pixel first, up to an entry with a place.
[[gnu::always_inline]] inline void LzwDecoder::gatherFromTable(const Pass& pass, RowOrder& rows, Cursor& c, Parts& s)
{
    const Entry ahead = entries_[c.next];
    int k = c.code;
    if (k >= c.next) {
        // Taken as next: the previous string plus its first pixel.
        *--s.sp = c.inRow ? pass.base[ahead.at] : c.previousFirst;
        k = ahead.prefix;
    }
    // No chain through distinct entries is longer than the table.
    int steps = kMaxCodes - pass.clear - 2;
    while (k >= pass.clear) {
        if (k >= c.next || k <= pass.endCode) {
            // An entry not made yet: a 0 and then literal 0.
            *--s.sp = 0;
            k = 0;
            break;
        }
        const Entry& e = entries_[k];
        if (e.at < kAcrossRows) {
            s.head = pass.base + e.at;
            s.headLength = e.length;
            break;
        }
        if (e.at != kNoPlace) {
            s.sp -= e.length;
            rows.gather(s.sp, e.at - kAcrossRows, e.length);
            break;
        }
        if (--steps < 0) {
            rows.fillRest(c.run, pass.fill);
            throw InvalidGraphicError(ErrorKind::GifCircularEntry);
        }
        *--s.sp = suffix_[k];
        k = e.prefix;
    }
    if (k < pass.clear)
        *--s.sp = static_cast<uint8_t>(k);
    addEntry(c, s.headLength > 0 ? s.head[0] : *s.sp);
}

// Writes a gathered string, its head being earlier output apart from where
// it goes. A string that entries made later cannot change gets its place (a
// place in one row is kept over one across rows); so does the entry the next
// code adds.
[[gnu::always_inline]] inline LzwDecoder::Step LzwDecoder::writeGathered(const Pass& pass, RowOrder& rows, Cursor& c,
                                                                         const Parts& s)
{
    const size_t tailLength = static_cast<size_t>(string_ + kMaxCodes - s.sp);
    const size_t length = s.headLength + tailLength;
    uint8_t* const start = c.run.dst;
    const size_t startPosition = rows.Position(c.run);
    const uint8_t first = s.headLength > 0 ? s.head[0] : *s.sp;
    const bool inOneRow = length <= c.run.left;
    const bool rowGoesOn = length < c.run.left;
    if (rowGoesOn) {
        if (s.headLength > 0)
            std::memcpy(c.run.dst, s.head, s.headLength);
        std::memcpy(c.run.dst + s.headLength, s.sp, tailLength);
        c.run.dst += length;
        c.run.left -= length;
    } else {
        if (s.headLength > 0) {
            c.run = rows.copyAcross(c.run, s.head, s.headLength);
            if (c.run.left == 0)
                rows.endedOnString = rows.endedOnString && tailLength == 0;
        }
        if (c.run.left > 0 && tailLength > 0)
            c.run = rows.copyAcross(c.run, s.sp, tailLength);
        if (c.run.left == 0)
            return Step::full;
    }
    const bool fixed = c.code < c.next && entries_[c.code].length > 0;
    const bool placed = fixed && pass.placesKept;
    const uint32_t here = static_cast<uint32_t>(start - pass.base);
    const uint32_t across = kAcrossRows + static_cast<uint32_t>(startPosition);
    if (placed && (inOneRow || entries_[c.code].at >= kAcrossRows))
        entries_[c.code].at = inOneRow ? here : across;
    c.inRow = placed && rowGoesOn;
    entries_[c.next] = Entry{!placed     ? kNoPlace
                             : rowGoesOn ? here
                                         : across,
                             static_cast<uint16_t>(fixed ? length + 1 : 0), static_cast<uint16_t>(c.code)};
    c.previousFirst = first;
    return Step::next;
}

// The code loop. Its steps are inlined, and the cursor is its own copy, so
// that no address of it is taken and it stays in registers.
LzwDecoder::Cursor LzwDecoder::decodeCodes(Pass pass, RowOrder& rows, Cursor c)
{
    // The first code asked for counts as a clear code: the table is as a
    // clear leaves it.
    c.code = pass.clear;
    for (;;) {
        if (c.code <= c.next) {
            const Step step = copyPlacedString(pass, rows, c);
            if (step == Step::next) [[likely]] {
                readCode(pass, c);
                continue;
            }
            if (step == Step::full) {
                c.full = true;
                break;
            }
        }
        // Every other code: clear, end, codes past next, strings placed
        // across rows and strings with no place.
        if (c.code == kEndOfData || c.code == pass.endCode)
            break;
        Parts s{string_ + kMaxCodes};
        if (c.code == pass.clear) {
            if (!restartAfterClear(pass, c, s))
                break;
        } else {
            gatherFromTable(pass, rows, c, s);
        }
        if (writeGathered(pass, rows, c, s) == Step::full) {
            c.full = true;
            break;
        }
        readCode(pass, c);
    }
    return c;
}

}  // namespace abm
