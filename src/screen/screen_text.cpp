#include "screen/screen_text.h"

#include <cstdio>

#include "screen/graphic_escape.h"

namespace cedar {

namespace {

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Calls shown(p, code) for every position with the display code it shows
// (0 for a blank: nulls, attribute positions and non-display fields) and
// endOfRow() after the last position of each row.
template <typename Shown, typename EndOfRow>
void forEachShown(const PresentationSpace& ps, Shown shown, EndOfRow endOfRow) {
    const auto& chars = ps.characters();
    const auto& attrs = ps.attributes();
    // The field attribute in force at position 0 is that of the last field on
    // the screen (fields wrap from the last position to the first).
    std::uint8_t attribute = 0;
    for (int p = ps.positions() - 1; p >= 0; --p) {
        if (attrs[p] != 0) {
            attribute = attrs[p];
            break;
        }
    }
    for (int p = 0; p < ps.positions(); ++p) {
        std::uint8_t code = 0;
        if (attrs[p] != 0)
            attribute = attrs[p];
        else if (!fa::isNonDisplay(attribute))
            code = chars[p];
        shown(p, code);
        if ((p + 1) % ps.columns() == 0) endOfRow();
    }
}

}  // namespace

std::vector<std::string> screenRows(const PresentationSpace& ps) {
    std::vector<std::string> rows;
    std::string row;
    forEachShown(
        ps, [&](int, std::uint8_t code) { row += code >= 0x20 ? static_cast<char>(code) : ' '; },
        [&] {
            rows.push_back(row);
            row.clear();
        });
    return rows;
}

std::vector<std::string> screenRowsUtf8(const PresentationSpace& ps) {
    std::vector<std::string> rows;
    std::string row;
    std::string one(1, ' ');
    const auto& charsets = ps.charsets();
    forEachShown(
        ps,
        [&](int p, std::uint8_t code) {
            if (charsets[p] == kGraphicEscapeCharset) {
                // The position holds the code of the graphic-escape set itself.
                const char32_t cp = code != 0 ? graphicEscapeToUnicode(code) : 0;
                appendUtf8(row, cp >= 0x20 ? cp : U' ');
            } else {
                one[0] = code >= 0x20 ? static_cast<char>(code) : ' ';
                row += cp1252ToUtf8(one);
            }
        },
        [&] {
            rows.push_back(row);
            row.clear();
        });
    return rows;
}

std::vector<FieldInfo> fieldList(const PresentationSpace& ps) {
    std::vector<FieldInfo> fields;
    const auto& attrs = ps.attributes();
    for (int p = 0; p < ps.positions(); ++p)
        if (attrs[p] != 0) fields.push_back({p, static_cast<std::uint8_t>(attrs[p] & 0x7F), 0});
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const int next =
            i + 1 < fields.size() ? fields[i + 1].position : fields[0].position + ps.positions();
        fields[i].length = next - fields[i].position - 1;
    }
    return fields;
}

std::string describeField(const FieldInfo& field, const PresentationSpace& ps) {
    const auto rc = ps.rowColumnOf(field.position);
    std::string flags;
    flags += fa::isProtected(field.attribute) ? (fa::isAutoSkip(field.attribute) ? "skip" : "prot")
                                              : "input";
    if (!fa::isProtected(field.attribute) && (field.attribute & fa::kNumeric)) flags += ",numeric";
    if (fa::isNonDisplay(field.attribute))
        flags += ",nondisplay";
    else if (field.attribute & fa::kIntensified)
        flags += ",intensified";
    if (field.attribute & fa::kModified) flags += ",modified";
    char line[160];
    std::snprintf(line, sizeof line, "%3d,%-3d attr=%02X len=%-5d %s", rc.row + 1, rc.column + 1,
                  field.attribute, field.length, flags.c_str());
    return line;
}

std::string cp1252ToUtf8(const std::string& text) {
    // Code points of 0x80..0x9F in Windows-1252 (0 = undefined there).
    static constexpr char16_t kHigh[32] = {
        0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) {
        char32_t cp = c;
        if (c >= 0x80 && c < 0xA0) cp = kHigh[c - 0x80] != 0 ? kHigh[c - 0x80] : U'?';
        appendUtf8(out, cp);
    }
    return out;
}

}  // namespace cedar
