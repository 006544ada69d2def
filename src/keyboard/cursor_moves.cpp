#include "keyboard/cursor_moves.h"

namespace cedar::keys {

namespace {

bool isWordCharacter(const PresentationSpace& ps, int p) {
    return ps.characters()[p] > 0x20;
}

}  // namespace

int fieldOf(const PresentationSpace& ps, int position) {
    const int n = ps.positions();
    if (position < 0 || position >= n) return -1;
    if (ps.isAttribute(position)) return position;
    int p = ps.previousAddress(position);
    for (int steps = 1; steps < n; ++steps) {
        if (ps.isAttribute(p)) return p;
        p = ps.previousAddress(p);
    }
    return -1;
}

bool inProtectedField(const PresentationSpace& ps, int position) {
    const int f = fieldOf(ps, position);
    return f >= 0 && fa::isProtected(ps.attributes()[f]);
}

int fieldLastPosition(const PresentationSpace& ps, int position) {
    const int n = ps.positions();
    if (fieldOf(ps, position) < 0) return n - 1;
    int q = ps.nextAddress(position);
    for (int steps = 0; steps < n && !ps.isAttribute(q); ++steps)
        q = ps.nextAddress(q);
    return ps.previousAddress(q);
}

int tabFrom(const PresentationSpace& ps, int cursor) {
    return ps.tabFrom(cursor);
}

int backTabFrom(const PresentationSpace& ps, int cursor) {
    if (!ps.screenFormatted || ps.inputFieldCount == 0) return 0;
    const int n = ps.positions();
    int p = ps.previousAddress(ps.previousAddress(cursor));
    int zeroPasses = 0;
    // The walk gives up once it has come round to position 0 a second time:
    // every input field left is empty.
    for (int steps = 0; steps <= 2 * n + 1; ++steps) {
        if (ps.isInputFieldAttribute(p)) {
            const int first = ps.nextAddress(p);
            if (!ps.isAttribute(first)) return first;
        }
        if (p == 0 && ++zeroPasses >= 2) return 0;
        p = ps.previousAddress(p);
    }
    return 0;
}

int homePosition(const PresentationSpace& ps) {
    return ps.tabFrom(ps.positions() - 1);
}

int newLineFrom(const PresentationSpace& ps, int cursor) {
    const int columns = ps.columns();
    const int row = cursor / columns;
    int p = ((row + 1) % ps.rows()) * columns;
    if (ps.isAttribute(p)) p = ps.tabFrom(p);
    const int f = fieldOf(ps, p);
    if (f >= 0 && fa::isProtected(ps.attributes()[f]) && (ps.highlights()[f] & 0x08) == 0)
        p = ps.tabFrom(p);
    return p;
}

int endFieldFrom(const PresentationSpace& ps, int cursor) {
    const int n = ps.positions();
    const auto& chars = ps.characters();
    if (!ps.screenFormatted) {
        int p = n - 1;
        while (p != 0 && chars[p] <= 0x20)
            p = ps.previousAddress(p);
        return ps.nextAddress(p);
    }
    int p = cursor;
    if (inProtectedField(ps, p)) p = ps.tabFrom(p);
    // To the next attribute position, then back over blanks and nulls.
    int q = ps.isAttribute(p) ? ps.nextAddress(p) : p;
    for (int steps = 0; steps < n && !ps.isAttribute(q); ++steps)
        q = ps.nextAddress(q);
    int e = ps.previousAddress(q);
    for (int steps = 0; steps < n && chars[e] <= 0x20 && !ps.isAttribute(e); ++steps)
        e = ps.previousAddress(e);
    int result = ps.nextAddress(e);
    if (ps.isAttribute(result)) result = ps.previousAddress(result);  // the field is full
    return result;
}

int wordLeftFrom(const PresentationSpace& ps, int cursor) {
    const int n = ps.positions();
    int q = ps.previousAddress(cursor);
    int steps = 0;
    // Back over blanks, then to the first character of the word reached.
    while (!isWordCharacter(ps, q)) {
        q = ps.previousAddress(q);
        if (q == cursor || ++steps > n) return cursor;
    }
    while (isWordCharacter(ps, ps.previousAddress(q))) {
        q = ps.previousAddress(q);
        if (q == cursor || ++steps > n) return cursor;
    }
    return q;
}

int wordRightFrom(const PresentationSpace& ps, int cursor) {
    const int n = ps.positions();
    int q = cursor;
    int steps = 0;
    // To the end of the word under the cursor (if any), then over blanks.
    while (isWordCharacter(ps, q)) {
        q = ps.nextAddress(q);
        if (q == cursor || ++steps > n) return cursor;
    }
    while (!isWordCharacter(ps, q)) {
        q = ps.nextAddress(q);
        if (q == cursor || ++steps > n) return cursor;
    }
    return q;
}

int lineHomeFrom(const PresentationSpace& ps, int cursor) {
    const int columns = ps.columns();
    const int row = cursor / columns;
    const int p = row * columns;
    if (!ps.isAttribute(p) && !inProtectedField(ps, p)) return p;
    const int tabbed = ps.tabFrom(p);
    return tabbed / columns == row ? tabbed : cursor;
}

int previousLineFrom(const PresentationSpace& ps, int cursor) {
    const int columns = ps.columns();
    const int rows = ps.rows();
    const int row = cursor / columns;
    if (!ps.screenFormatted) return ((row + rows - 1) % rows) * columns;
    const int home = lineHomeFrom(ps, cursor);
    if (home / columns == row && home % columns < cursor % columns) return home;
    for (int k = 1; k <= rows; ++k) {
        const int r = (row - k + rows) % rows;
        const int p = r * columns;
        if (!ps.isAttribute(p)) {
            const int f = fieldOf(ps, p);
            if (f >= 0 && !fa::isProtected(ps.attributes()[f])) return p;
        }
        const int tabbed = ps.tabFrom(p);
        if (tabbed / columns == r) return tabbed;
    }
    return home;
}

int bottomLine(const PresentationSpace& ps) {
    return previousLineFrom(ps, 0);
}

}  // namespace cedar::keys
