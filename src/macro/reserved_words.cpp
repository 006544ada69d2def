#include "macro/reserved_words.h"

#include <algorithm>
#include <array>

namespace cedar {

namespace {

struct WordRow {
    std::string_view name;
    // One letter per parameter: N number, T text, A either; lower case = optional.
    std::string_view parameters;
};

constexpr std::array<WordRow, kReservedWordSlots> kWords = {{
    {"", ""},
    {"+", "N"},
    {"-", "N"},
    {"!", "N"},
    {"NOT", "N"},
    {"MID", "TNN"},
    {"LEFT", "TN"},
    {"RIGHT", "TN"},
    {"STR", "N"},
    {"OPEN", "TTn"},
    {"CLOSE", "N"},
    {"GET", "N"},
    {"PUT", "NTt"},
    {"CONTROL", "N"},
    {"WAIT", "Nn"},
    {"TYPE", "T"},
    {"KEY", "Taa"},
    {"DEBUG", "A"},
    {"SCREEN", "NNn"},
    {"ATTRIBUTE", "NN"},
    {"COLOR", "NN"},
    {"HILITE", "NN"},
    {"ONSCREEN", "Tnn"},
    {"HEX", "Nn"},
    {"TIMEDATE", "T"},
    {"WINEXEC", "T"},
    {"SESSION", "T"},
    {"IF", ""},
    {"ELSE", ""},
    {"ENDIF", ""},
    {"WHILE", ""},
    {"ENDWHILE", ""},
    {"SELECT", ""},
    {"CASE", ""},
    {"DEFAULT", ""},
    {"ENDSELECT", ""},
    {"FOR", ""},
    {"NEXT", ""},
    {"BREAK", ""},
    {"CONTINUE", ""},
    {"EXIT", "n"},
    {"GOTO", ""},
    {"SENDFILE", "TTtttt"},
    {"RECEIVEFILE", "TTttt"},
    {"MESSAGEBOX", "Tann"},
    {"CHR", "N"},
    {"VAL", "T"},
    {"LEN", "T"},
    {"INSTR", "NTT"},
    {"TRIM", "T"},
    {"EOF", "N"},
    {"EDITBOX", "Taana"},
    {"UPPERCASE", "T"},
    {"LOWERCASE", "T"},
    {"GETINI", "T"},
    {"PUTINI", "TA"},
    {"SETOPTION", "TTA"},
    {"GETOPTION", "TT"},
    {"SHORTWAIT", "N"},
    {"RUN", "Tt"},
    {"CALL", ""},
    {"RETURN", ""},
    {"SHELLEXECUTE", "TTTTN"},
    {"DEBUGWINDOW", "T"},
    {"PLAYSOUND", "T"},
    {"DEFINED", "T"},
    {"ASC", "T"},
    {"BEEP", "NN"},
    {"RAWDATA", "NN"},
    {"XFERADDSTG", "T"},
    {"DATATYPE", "T"},
    {"DROP", ""},
    {"RND", "N"},
    {"HEXDEC", "T"},
    {"WAITUNLOCKED", "N"},
    {"EXECUTE", "T"},
}};

struct Tables {
    std::array<ParameterList, kReservedWordSlots> lists{};
    // Word slots sorted by name, for the look-up.
    std::array<std::uint8_t, kReservedWordSlots> sorted{};
    int sortedCount = 0;

    Tables() {
        for (std::size_t slot = 0; slot < kWords.size(); ++slot) {
            ParameterList& list = lists[slot];
            for (char c : kWords[slot].parameters) {
                ParameterMask& m = list.masks[list.count++];
                const char upper = static_cast<char>(c & ~0x20);
                m.number = upper == 'N' || upper == 'A';
                m.text = upper == 'T' || upper == 'A';
                m.optional = c != upper;
                if (!m.optional) list.required = list.count;
            }
            if (!kWords[slot].name.empty())
                sorted[static_cast<std::size_t>(sortedCount++)] = static_cast<std::uint8_t>(slot);
        }
        std::sort(sorted.begin(), sorted.begin() + sortedCount,
                  [](std::uint8_t a, std::uint8_t b) { return kWords[a].name < kWords[b].name; });
    }
};

const Tables& tables() {
    static const Tables t;
    return t;
}

}  // namespace

ReservedWord lookUpReservedWord(std::string_view upperWord) {
    const Tables& t = tables();
    const std::uint8_t* begin = t.sorted.data();
    const std::uint8_t* end = begin + t.sortedCount;
    const std::uint8_t* it = std::lower_bound(
        begin, end, upperWord,
        [](std::uint8_t slot, std::string_view w) { return kWords[slot].name < w; });
    if (it == end || kWords[*it].name != upperWord) return ReservedWord::None;
    return static_cast<ReservedWord>(*it);
}

std::string_view reservedWordName(ReservedWord word) {
    const auto slot = static_cast<std::size_t>(word);
    return slot < kWords.size() ? kWords[slot].name : std::string_view();
}

const ParameterList& parameterList(ReservedWord word) {
    const auto slot = static_cast<std::size_t>(word);
    const Tables& t = tables();
    return slot < t.lists.size() ? t.lists[slot] : t.lists[0];
}

}  // namespace cedar
