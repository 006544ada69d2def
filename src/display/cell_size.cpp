#include "display/cell_size.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

namespace cedar::display {

namespace {

// The area the window-based choice divides: the window less its frame,
// tool bar, menu bar and status allowance.
CellSize windowArea(const WindowMetrics& w) {
    return {w.windowWidth - 8,
            w.windowHeight - w.toolBarHeight - (w.menuBarShown ? kMenuBarAllowance : 0) - 32};
}

bool usable(CellSize c) {
    return c.width > 0 && c.height > 0;
}

}  // namespace

std::optional<CellSize> parseFixedCellSize(std::string_view text) {
    auto skipBlanks = [&](std::size_t i) {
        while (i < text.size() && text[i] == ' ')
            ++i;
        return i;
    };
    auto number = [&](std::size_t& i, int& out) {
        i = skipBlanks(i);
        const auto r = std::from_chars(text.data() + i, text.data() + text.size(), out);
        if (r.ec != std::errc{} || out <= 0 || out > 255) return false;
        i = static_cast<std::size_t>(r.ptr - text.data());
        return true;
    };
    std::size_t i = 0;
    CellSize c;
    if (!number(i, c.width)) return std::nullopt;
    i = skipBlanks(i);
    if (i >= text.size() || (text[i] != 'x' && text[i] != 'X')) return std::nullopt;
    if (!number(++i, c.height)) return std::nullopt;
    return c;
}

CellChoice chooseListedCell(const std::vector<CellSize>& sizes, const WindowMetrics& window,
                            const CellRequest& request) {
    CellChoice choice;
    std::optional<CellSize> found;
    if (request.sizeWindowToFont && !window.maximized) {
        const CellSize area = windowArea(window);
        long long best = 0;
        for (const auto& s : sizes) {
            const long long dx =
                area.width - 2LL * request.borderSize - 1LL * s.width * request.columns;
            const long long dy =
                area.height - 2LL * request.borderSize - 1LL * s.height * (request.rows + 1);
            const long long d = dx * dx + dy * dy;
            if (!found || d < best) {
                found = s;
                best = d;
            }
        }
    } else {
        const long long width = window.clientWidth;
        const long long height = window.clientHeight - window.toolBarHeight - 4;
        long long best = -1;
        for (const auto& s : sizes) {
            const long long w = 1LL * s.width * request.columns;
            const long long h = 1LL * s.height * (request.rows + 1);
            if (w > width || h > height) continue;
            if (w * h >= best) {
                found = s;
                best = w * h;
            }
        }
    }
    if (!found && !sizes.empty()) found = sizes.front();
    if (!found || !usable(*found)) {
        choice.cell = kFallbackCell;
        choice.fallback = true;
    } else {
        choice.cell = *found;
    }
    if (request.fixedCell && usable(*request.fixedCell)) choice.cell = *request.fixedCell;
    return choice;
}

CellSize chooseScalableCell(const WindowMetrics& window, const CellRequest& request,
                            std::optional<CellSize> remembered, const FontLimits& limits) {
    CellSize c;
    if (!window.maximized && remembered && usable(*remembered)) {
        c = *remembered;
    } else {
        const int border = window.maximized ? 0 : 2 * request.borderSize;
        c.width = request.columns > 0 ? (window.clientWidth - border) / request.columns : 0;
        c.height = (window.clientHeight - window.toolBarHeight - 4 - border) / (request.rows + 1);
    }
    if (request.fixedCell && usable(*request.fixedCell)) c = *request.fixedCell;
    if (c.width < 4) c.width = limits.minWidth;
    if (c.height < 6) c.height = limits.minHeight;
    return c;
}

std::optional<CellSize> stepListedCell(const std::vector<CellSize>& sizes, CellSize current,
                                       FontStep step) {
    auto matches = [&](CellSize s) {
        switch (step) {
            case FontStep::Smaller:
                return s.width < current.width && s.height < current.height;
            case FontStep::Larger:
                return s.width > current.width && s.height > current.height;
            case FontStep::Narrower:
                return s.height == current.height && s.width < current.width;
            case FontStep::Wider:
                return s.height == current.height && s.width > current.width;
            case FontStep::Shorter:
                return s.width == current.width && s.height < current.height;
            case FontStep::Taller:
                return s.width == current.width && s.height > current.height;
        }
        return false;
    };
    const bool fromEnd =
        step == FontStep::Smaller || step == FontStep::Narrower || step == FontStep::Shorter;
    if (fromEnd) {
        for (auto it = sizes.rbegin(); it != sizes.rend(); ++it)
            if (matches(*it)) return *it;
    } else {
        for (const auto& s : sizes)
            if (matches(s)) return s;
    }
    return std::nullopt;
}

std::optional<CellSize> stepScalableCell(CellSize c, FontStep step, const FontLimits& limits) {
    switch (step) {
        case FontStep::Smaller:
            if (c.width > limits.minWidth && c.height > limits.minHeight)
                return CellSize{c.width - 1, c.height - 1};
            break;
        case FontStep::Larger:
            // The height is held to its maximum too, so a cell never outgrows its byte.
            if (c.width + 1 <= limits.maxWidth && c.height + 1 <= std::min(limits.maxHeight, 255))
                return CellSize{c.width + 1, c.height + 1};
            break;
        case FontStep::Narrower:
            if (c.width - 1 >= limits.minWidth) return CellSize{c.width - 1, c.height};
            break;
        case FontStep::Wider:
            if (c.width + 1 <= limits.maxWidth) return CellSize{c.width + 1, c.height};
            break;
        case FontStep::Shorter:
            if (c.height - 1 >= limits.minHeight) return CellSize{c.width, c.height - 1};
            break;
        case FontStep::Taller:
            if (c.height + 1 <= limits.maxHeight) return CellSize{c.width, c.height + 1};
            break;
    }
    return std::nullopt;
}

void CellMemory::remember(int sizeMode, CellSize cell) {
    if (sizeMode == 1 || sizeMode == 2) sizes_[static_cast<std::size_t>(sizeMode - 1)] = cell;
}

std::optional<CellSize> CellMemory::recall(int sizeMode) const {
    if (sizeMode != 1 && sizeMode != 2) return std::nullopt;
    const CellSize c = sizes_[static_cast<std::size_t>(sizeMode - 1)];
    if (!usable(c)) return std::nullopt;
    return c;
}

std::optional<CellSize> CellMemory::onSizeSwitch(int newSizeMode, CellSize current,
                                                 bool keepConstant) const {
    if (keepConstant && usable(current)) return current;
    return recall(newSizeMode);
}

Layout layoutWindow(const WindowMetrics& window, const FrameMetrics& frame,
                    const LayoutRequest& request) {
    Layout l;
    const CellSize cell = request.cell;
    l.terminalWidth = cell.width * request.columns;
    l.terminalHeight = cell.height * request.rows;
    const int tb = window.toolBarHeight;
    int left = 0;
    int top = 0;
    if (request.sizeWindowToFont && !window.maximized) {
        left = request.borderSize;
        top = tb + request.borderSize;
        l.windowSize = CellSize{l.terminalWidth + 2 * (left + frame.frameWidth),
                                cell.height + frame.frameHeight + frame.captionHeight +
                                    l.terminalHeight + top + request.borderSize + 8};
    } else {
        CellSize area;
        if (request.keepCellState) {
            area = windowArea(window);
        } else {
            const int border = request.scalable && !window.maximized ? 2 * request.borderSize : 0;
            area = {window.clientWidth - border, window.clientHeight - tb - 4 - border};
        }
        left = std::max((area.width - l.terminalWidth) / 2, 0);
        top = std::max((area.height - cell.height - l.terminalHeight - 4) / 2 + tb + 2, tb);
    }
    const int extra = request.testRulerFix ? 1 : 0;
    l.toolBar = {0, 0, window.clientWidth, tb};
    l.terminal = {left, top, l.terminalWidth + extra, l.terminalHeight + extra};
    l.statusBar = {0, window.clientHeight - cell.height - 4, window.clientWidth, cell.height + 4};
    return l;
}

}  // namespace cedar::display
