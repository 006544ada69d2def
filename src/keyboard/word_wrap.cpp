#include "keyboard/word_wrap.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "keyboard/cursor_moves.h"

namespace cedar::keys {

namespace {

constexpr std::uint8_t kBlank = 0x20;
constexpr int kMinimumWidth = 20;

// Per position: 0 for a character position, 0x80 plus the protected bit for
// an attribute position.
std::uint8_t signatureAt(const PresentationSpace& ps, int p) {
    const std::uint8_t a = ps.attributes()[p];
    return a == 0 ? 0 : static_cast<std::uint8_t>(0x80 | (a & fa::kProtected));
}

bool sameSignature(const PresentationSpace& ps, int rowA, int rowB) {
    const int columns = ps.columns();
    for (int c = 0; c < columns; ++c)
        if (signatureAt(ps, rowA * columns + c) != signatureAt(ps, rowB * columns + c))
            return false;
    return true;
}

struct Geometry {
    int row;    // r, the row of p
    int start;  // first column of every segment
    int end;    // last column of every segment
    int last;   // the range's last row
    int width() const { return end - start + 1; }
};

// The block's rows from r down, and where the range among them ends; -1
// when there is no range of two rows or more.
int rangeLastRow(const PresentationSpace& ps, int row, int start, int end) {
    const int columns = ps.columns();
    // Rows whose segment lies in a protected field are never written into,
    // whatever their layout.
    int blockLast = row;
    while (blockLast + 1 < ps.rows() && sameSignature(ps, row, blockLast + 1) &&
           !inProtectedField(ps, (blockLast + 1) * columns + start))
        ++blockLast;
    if (blockLast == row) return -1;
    const auto& chars = ps.characters();
    int last = blockLast;
    for (int r = row; r < blockLast; ++r) {
        const int base = r * columns;
        // Compared byte by byte with an all-blank segment: not greater
        // (blank, or the first non-blank is a control or null) ends the
        // range and belongs to it.
        int c = start;
        while (c <= end && chars[base + c] == kBlank)
            ++c;
        if (c > end || chars[base + c] < kBlank) {
            last = r;
            break;
        }
        const bool hasBlank =
            std::any_of(chars.begin() + base + start, chars.begin() + base + end + 1,
                        [](std::uint8_t b) { return b == kBlank; });
        if (!hasBlank) {
            last = r - 1;
            break;
        }
    }
    return last - row + 1 >= 2 ? last : -1;
}

// The range's text: each segment with controls and nulls as blanks, its
// trailing blanks dropped (a blank segment keeps one), then one blank.
std::vector<std::uint8_t> rangeText(const PresentationSpace& ps, const Geometry& g) {
    const int columns = ps.columns();
    const auto& chars = ps.characters();
    std::vector<std::uint8_t> text;
    for (int r = g.row; r <= g.last; ++r) {
        std::vector<std::uint8_t> segment;
        for (int c = g.start; c <= g.end; ++c) {
            const std::uint8_t b = chars[r * columns + c];
            segment.push_back(b < kBlank ? kBlank : b);
        }
        while (segment.size() > 1 && segment.back() == kBlank)
            segment.pop_back();
        text.insert(text.end(), segment.begin(), segment.end());
        text.push_back(kBlank);
    }
    return text;
}

struct Layout {
    std::vector<std::vector<std::uint8_t>> rows;
    std::vector<bool> entered;
    bool fits = true;
};

// Lays the text out row by row. A word that would reach the last column
// moves to the next row; the last column stays blank. A word that starts a
// row and is still too long for it is broken instead.
Layout layOut(const std::vector<std::uint8_t>& text, int rowCount, int width) {
    Layout layout;
    layout.rows.assign(static_cast<std::size_t>(rowCount),
                       std::vector<std::uint8_t>(static_cast<std::size_t>(width), kBlank));
    layout.entered.assign(static_cast<std::size_t>(rowCount), false);
    std::size_t i = 0;
    for (int k = 0; k < rowCount && i < text.size(); ++k) {
        auto& row = layout.rows[static_cast<std::size_t>(k)];
        layout.entered[static_cast<std::size_t>(k)] = true;
        int c = 0;
        while (i < text.size()) {
            const std::uint8_t ch = text[i];
            if (c == width - 1) {
                if (ch == kBlank) {
                    ++i;  // a blank may stand in the last column
                } else {
                    int b = c - 1;
                    while (b >= 0 && row[static_cast<std::size_t>(b)] != kBlank)
                        --b;
                    if (b >= 0) {
                        // Take the word up again on the next row.
                        const int written = c - 1 - b;
                        std::fill(row.begin() + b + 1, row.begin() + c, kBlank);
                        i -= static_cast<std::size_t>(written);
                    }
                    // b < 0: the row holds nothing but this word; break it here.
                }
                break;
            }
            row[static_cast<std::size_t>(c++)] = ch;
            ++i;
        }
    }
    while (i < text.size() && text[i] == kBlank)
        ++i;
    layout.fits = i == text.size();
    return layout;
}

}  // namespace

WrapResult wordWrap(PresentationSpace& ps, int p, WrapMode mode) {
    WrapResult result;
    if (p < 0 || p >= ps.positions()) return result;
    const int columns = ps.columns();
    const int row = p / columns;
    const int column = p % columns;
    const int base = row * columns;

    Geometry g{row, 0, columns - 1, -1};
    for (int c = column; c >= 0; --c) {
        if (ps.isAttribute(base + c)) {
            g.start = c + 1;
            break;
        }
    }
    for (int c = column + 1; c < columns; ++c) {
        if (ps.isAttribute(base + c)) {
            g.end = c - 1;
            break;
        }
    }
    if (g.width() < kMinimumWidth) return result;
    g.last = rangeLastRow(ps, row, g.start, g.end);
    if (g.last < 0) return result;

    auto& chars = ps.characters();
    if (mode == WrapMode::Typing) {
        bool reached = false;
        for (int r = g.row; r <= g.last && !reached; ++r)
            reached = chars[r * columns + g.end] > kBlank;
        if (!reached) {
            if (column == g.end && g.row != g.last) {
                result.kind = WrapResult::Kind::CursorMoved;
                result.cursor = (g.row + 1) * columns + g.start;
            }
            return result;
        }
    }

    // How much of row r's last word stands before its last column.
    int v = 0;
    for (int c = g.end; c >= g.start && chars[base + c] > kBlank; --c)
        ++v;

    const int rowCount = g.last - g.row + 1;
    const Layout layout = layOut(rangeText(ps, g), rowCount, g.width());
    if (!layout.fits) {
        result.kind = WrapResult::Kind::Overflow;
        return result;
    }

    for (int k = 0; k < rowCount; ++k) {
        const int rowBase = (g.row + k) * columns;
        const auto& row_ = layout.rows[static_cast<std::size_t>(k)];
        bool changedRow = layout.entered[static_cast<std::size_t>(k)];
        for (int c = g.start; c <= g.end; ++c) {
            const int q = rowBase + c;
            const std::uint8_t b = row_[static_cast<std::size_t>(c - g.start)];
            if (chars[q] != b) changedRow = true;
            chars[q] = b;
            ps.colors()[q] = 0;
            ps.highlights()[q] = 0;
            ps.charsets()[q] = 0;
        }
        if (changedRow) {
            const int f = fieldOf(ps, rowBase + g.start);
            if (f >= 0) ps.attributes()[f] |= fa::kModified;
        }
    }

    result.kind = WrapResult::Kind::Reflowed;
    if (column > g.end - v && g.row != g.last) {
        result.cursor = (g.row + 1) * columns + g.start + v - (g.end - column);
        result.switchInsertOn = true;
    }
    ps.markAll();
    return result;
}

}  // namespace cedar::keys
