#include "session/common_area.h"

#include <algorithm>

namespace cedar::area {

int indexOfId(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a';
    if (c >= '0' && c <= '9') return 26 + (c - '0');
    return kNoIndex;
}

char idOfIndex(int index) {
    if (index < 0 || index >= kSlotCount) return '?';
    return kIdChars[static_cast<std::size_t>(index)];
}

namespace {

bool validIndex(int index) {
    return index >= 0 && index < kSlotCount;
}

std::string fieldText(std::span<const std::uint8_t> field) {
    const auto nul = std::find(field.begin(), field.end(), std::uint8_t{0});
    return std::string(field.begin(), nul);
}

void writeField(std::span<std::uint8_t> field, std::string_view text) {
    const std::size_t n = std::min(text.size(), field.size() - 1);
    std::copy_n(text.begin(), n, field.begin());
    field[n] = 0;
}

}  // namespace

std::span<std::uint8_t> CommonArea::slot(int index) const {
    if (!validIndex(index) || bytes_.size() < kAreaSize) return {};
    return bytes_.subspan(static_cast<std::size_t>(index) * kSlotSize, kSlotSize);
}

std::uint32_t CommonArea::owner(int index) const {
    const auto s = slot(index);
    if (s.empty()) return 0;
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | s[kOwnerOffset + static_cast<std::size_t>(i)];
    return v;
}

void CommonArea::setOwner(int index, std::uint32_t owner) {
    const auto s = slot(index);
    if (s.empty()) return;
    for (std::size_t i = 0; i < 4; ++i)
        s[kOwnerOffset + i] = static_cast<std::uint8_t>(owner >> (8 * i));
}

OwnerTable CommonArea::owners() const {
    OwnerTable t{};
    for (int i = 0; i < kSlotCount; ++i)
        t[static_cast<std::size_t>(i)] = owner(i);
    return t;
}

std::string CommonArea::sessionFile(int index) const {
    const auto s = slot(index);
    if (s.empty()) return {};
    return fieldText(s.subspan(kSessionFileOffset, kTextFieldSize));
}

void CommonArea::setSessionFile(int index, std::string_view name) {
    const auto s = slot(index);
    if (s.empty()) return;
    writeField(s.subspan(kSessionFileOffset, kTextFieldSize), name);
}

std::span<const std::uint8_t> CommonArea::requestField(int index) const {
    const auto s = slot(index);
    if (s.empty()) return {};
    return s.subspan(kRequestOffset, kTextFieldSize);
}

bool CommonArea::setRequest(int index, std::string_view text) {
    const auto s = slot(index);
    if (s.empty() || text.size() > kMaxFieldText) return false;
    writeField(s.subspan(kRequestOffset, kTextFieldSize), text);
    return true;
}

ClaimResult claim(CommonArea& area, char requested, std::uint32_t owner,
                  std::string_view sessionFile) {
    ClaimResult r;
    if (owner == 0) return r;
    const std::string stored(sessionFile.substr(0, std::min(sessionFile.size(), kMaxFieldText)));
    auto take = [&](int i) {
        r.index = i;
        area.setOwner(i, owner);
        area.setSessionFile(i, stored);
    };
    const int wanted = requested == 0 ? kNoIndex : indexOfId(requested);
    if (wanted != kNoIndex && area.owner(wanted) == 0) take(wanted);
    for (int i = 0; i < kSlotCount; ++i) {
        // A slot is counted before it is taken here, so a session that got
        // the first free id counts only the others; one that got its /I id
        // counts itself too.
        if (area.owner(i) != 0 && area.sessionFile(i) == stored) ++r.sameFileCount;
        if (r.index == kNoIndex && area.owner(i) == 0) take(i);
        r.owners[static_cast<std::size_t>(i)] = area.owner(i);
    }
    return r;
}

void release(CommonArea& area, int index) {
    area.setOwner(index, 0);
    area.setSessionFile(index, "");
}

std::vector<WindowListItem> windowList(const OwnerTable& owners, int ownIndex, bool showTitles,
                                       std::span<const std::string> titles) {
    std::vector<WindowListItem> items;
    for (int i = 0; i < kSlotCount; ++i) {
        if (owners[static_cast<std::size_t>(i)] == 0) continue;
        WindowListItem item;
        item.index = i;
        item.checked = i == ownIndex;
        if (showTitles) {
            std::string title;
            if (static_cast<std::size_t>(i) < titles.size())
                title = titles[static_cast<std::size_t>(i)];
            if (title.size() > 126) title.resize(126);
            item.text = std::string("[&") + idOfIndex(i) + "] - " + title;
        } else {
            item.text = std::string("Session &") + idOfIndex(i);
        }
        items.push_back(std::move(item));
    }
    return items;
}

std::optional<int> nextSession(const OwnerTable& owners, int ownIndex, bool forward,
                               std::span<const bool> skip) {
    auto candidate = [&](int i) {
        const auto u = static_cast<std::size_t>(i);
        return owners[u] != 0 && !(u < skip.size() && skip[u]);
    };
    bool any = false;
    for (int i = 0; i < kSlotCount; ++i)
        any = any || candidate(i);
    if (!any) return std::nullopt;
    int i = validIndex(ownIndex) ? ownIndex : (forward ? kSlotCount - 1 : 0);
    for (int step = 0; step < kSlotCount; ++step) {
        i = forward ? (i + 1) % kSlotCount : (i + kSlotCount - 1) % kSlotCount;
        if (candidate(i)) return i;
    }
    return std::nullopt;
}

std::vector<Point> cascade(int count, Point from, const CascadeSettings& s, Point* after) {
    std::vector<Point> out;
    const int max = std::max(1, s.max);
    Point column = from;
    Point p = from;
    for (int n = 0; n < count; ++n) {
        if (n > 0 && n % max == 0) {
            column = {column.x + s.restart.x, column.y + s.restart.y};
            p = column;
        }
        out.push_back(p);
        p = {p.x + s.next.x, p.y + s.next.y};
    }
    if (after) {
        if (count > 0 && count % max == 0) p = {column.x + s.restart.x, column.y + s.restart.y};
        *after = p;
    }
    return out;
}

}  // namespace cedar::area
