#include "session/session_windows.h"

#include <algorithm>

namespace cedar::area {

std::uint64_t packPoint(Point p) {
    return static_cast<std::uint64_t>(static_cast<std::uint32_t>(p.x)) |
           (static_cast<std::uint64_t>(static_cast<std::uint32_t>(p.y)) << 32);
}

Point unpackPoint(std::uint64_t parameter) {
    return {static_cast<std::int32_t>(static_cast<std::uint32_t>(parameter)),
            static_cast<std::int32_t>(static_cast<std::uint32_t>(parameter >> 32))};
}

namespace {

std::uint32_t read32(std::span<const std::uint8_t> b) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | b[static_cast<std::size_t>(i)];
    return v;
}

void write32(std::span<std::uint8_t> b, std::uint32_t v) {
    for (std::size_t i = 0; i < 4; ++i)
        b[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace

std::span<std::uint8_t> TitleBlock::entry(int index) const {
    if (index < 0 || index >= kSlotCount || bytes_.size() < kTitleBlockSize) return {};
    return bytes_.subspan(static_cast<std::size_t>(index) * kTitleEntrySize, kTitleEntrySize);
}

void TitleBlock::publish(int index, std::uint32_t owner, std::string_view title, bool minimized) {
    const auto e = entry(index);
    if (e.empty()) return;
    std::size_t n = std::min(title.size(), kMaxTitle);
    // Back off to the start of a UTF-8 sequence that would be cut.
    if (n < title.size())
        while (n > 0 && (static_cast<unsigned char>(title[n]) & 0xC0) == 0x80)
            --n;
    write32(e.subspan(0, 4), owner);
    write32(e.subspan(4, 4), minimized ? 1u : 0u);
    auto text = e.subspan(kTitleOffset);
    std::fill(text.begin(), text.end(), std::uint8_t{0});
    std::copy_n(title.begin(), n, text.begin());
}

WindowStates TitleBlock::read(const OwnerTable& owners) const {
    WindowStates states{};
    for (int i = 0; i < kSlotCount; ++i) {
        const auto e = entry(i);
        const auto owner = owners[static_cast<std::size_t>(i)];
        if (e.empty() || owner == 0 || read32(e.subspan(0, 4)) != owner) continue;
        auto& s = states[static_cast<std::size_t>(i)];
        s.minimized = (read32(e.subspan(4, 4)) & 1u) != 0;
        const auto text = e.subspan(kTitleOffset, kMaxTitle + 1);
        const auto nul = std::find(text.begin(), text.end() - 1, std::uint8_t{0});
        s.title.assign(text.begin(), nul);
    }
    return states;
}

bool isSessionOper(int code) {
    switch (code) {
        case 29:
        case 30:
        case 31:
        case 32:
        case 33:
        case 34:
        case 52:
        case 58:
        case 59:
        case 61:
            return true;
        default:
            return false;
    }
}

namespace {

std::vector<int> windows(const OperContext& c) {
    std::vector<int> out;
    for (int i = 0; i < kSlotCount; ++i)
        if (c.owners[static_cast<std::size_t>(i)] != 0) out.push_back(i);
    return out;
}

void allDo(OperPlan& plan, const OperContext& c, WindowAction action) {
    for (int i : windows(c))
        plan.steps.push_back({i, action, {}});
}

}  // namespace

OperPlan planSessionOper(SessionOper oper, const OperContext& c) {
    OperPlan plan;
    switch (oper) {
        case SessionOper::MinimizeAll:
            allDo(plan, c, WindowAction::Minimize);
            break;
        case SessionOper::RestoreAll:
            allDo(plan, c, WindowAction::Restore);
            break;
        case SessionOper::MaximizeAll:
            allDo(plan, c, WindowAction::Maximize);
            if (c.ownIndex != kNoIndex)
                plan.steps.push_back({c.ownIndex, WindowAction::Activate, {}});
            break;
        case SessionOper::ExitAll: {
            // The own session last, so that the others hear of it while it runs.
            for (int i : windows(c))
                if (i != c.ownIndex) plan.steps.push_back({i, WindowAction::Shutdown, {}});
            if (c.ownIndex != kNoIndex)
                plan.steps.push_back({c.ownIndex, WindowAction::Shutdown, {}});
            break;
        }
        case SessionOper::NextSession:
        case SessionOper::PreviousSession:
        case SessionOper::NextVisibleSession:
        case SessionOper::PreviousVisibleSession: {
            const bool forward =
                oper == SessionOper::NextSession || oper == SessionOper::NextVisibleSession;
            const bool visibleOnly = oper == SessionOper::NextVisibleSession ||
                                     oper == SessionOper::PreviousVisibleSession;
            std::array<bool, kSlotCount> minimized{};
            for (std::size_t i = 0; i < minimized.size(); ++i)
                minimized[i] = visibleOnly && c.states[i].minimized;
            if (const auto to = nextSession(c.owners, c.ownIndex, forward, minimized))
                plan.steps.push_back({*to, WindowAction::Activate, {}});
            break;
        }
        case SessionOper::Cascade:
        case SessionOper::CascadeFromHere: {
            const auto list = windows(c);
            const Point from =
                oper == SessionOper::CascadeFromHere ? c.ownPosition : c.cascade.start;
            Point after;
            const auto points = cascade(static_cast<int>(list.size()), from, c.cascade, &after);
            for (std::size_t n = 0; n < list.size(); ++n)
                plan.steps.push_back({list[n], WindowAction::Cascade, points[n]});
            plan.debugWindowMoves = true;
            plan.debugWindow = {after.x + 100, after.y + 100};
            break;
        }
    }
    return plan;
}

}  // namespace cedar::area
