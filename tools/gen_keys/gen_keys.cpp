// cedar_gen_keys: writes key.lst and defaults/standard.key, the key list and
// the default keyboard layout that ship with the program, from the readable
// sources data/keys/functions.txt and data/keys/standard-key.txt.
//
//   cedar_gen_keys [DATA]               write both files (default: data/)
//   cedar_gen_keys --check [DATA]       exit 1 when either file differs
//   cedar_gen_keys --seeds FOLDER [DATA]  write fuzz seeds into FOLDER/keylist
//                                       and FOLDER/layout
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "key_sources.h"
#include "keyboard/key_list.h"
#include "keyboard/layout_file.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
namespace keys = cedar::keys;

bool readFile(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

bool writeFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

void put16(Bytes& b, std::size_t at, unsigned v) {
    b[at] = static_cast<std::uint8_t>(v & 0xFF);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

// A button entry with a 16 x 17 four-bit picture.
Bytes buttonEntry(std::uint8_t flags, int x, int y, std::array<keys::KeyWord, 4> words) {
    constexpr int kWidth = 16, kHeight = 17, kStride = 8;
    Bytes e(keys::kButtonPictureOffset + 40 + 64 + kStride * kHeight, 0);
    e[0] = flags;
    put16(e, 2, static_cast<unsigned>(x));
    put16(e, 4, static_cast<unsigned>(y));
    put16(e, 6, static_cast<unsigned>(e.size()));
    for (std::size_t c = 0; c < 4; ++c)
        put16(e, 8 + c * 2, words[c]);
    const std::size_t h = keys::kButtonPictureOffset;
    e[h] = 40;
    e[h + 4] = kWidth;
    e[h + 8] = kHeight;
    e[h + 12] = 1;  // planes
    e[h + 14] = 4;  // bits per pixel
    for (std::size_t i = 0; i < 64; i += 4)
        e[h + 40 + i] = static_cast<std::uint8_t>(i * 4);
    for (std::size_t i = 0; i < kStride * kHeight; ++i)
        e[h + 104 + i] = static_cast<std::uint8_t>(i * 7);
    return e;
}

// A whole toolbar or keypad file.
Bytes buttonFile(keys::LayoutType type, std::uint8_t blockFlags, const std::vector<Bytes>& entries,
                 const std::vector<std::string>& macros, bool oldList = false) {
    const auto header = keys::layoutHeader(type);
    Bytes file(header.begin(), header.end());
    if (oldList) std::copy_n("V1.20", 5, file.begin() + 6 + keys::layoutTypeName(type).size() + 1);
    Bytes block(keys::kButtonBlockHeaderSize, 0);
    block[0] = blockFlags;
    block[1] = static_cast<std::uint8_t>(entries.size());
    for (const Bytes& e : entries)
        block.insert(block.end(), e.begin(), e.end());
    put16(block, 2, static_cast<unsigned>(block.size()));
    if (oldList) {
        block.push_back(static_cast<std::uint8_t>(macros.size()));
        for (const auto& m : macros) {
            Bytes name(8, 0);
            std::copy_n(m.begin(), std::min<std::size_t>(m.size(), 8), name.begin());
            block.insert(block.end(), name.begin(), name.end());
        }
    } else {
        for (const auto& m : macros) {
            block.insert(block.end(), m.begin(), m.end());
            block.push_back(0);
        }
        block.push_back(0);
    }
    file.insert(file.end(), block.begin(), block.end());
    return file;
}

bool writeSeeds(const std::string& folder, const Bytes& keyList, keys::LayoutBlock keyboard) {
    namespace fs = std::filesystem;
    using keys::LayoutType;
    std::error_code ec;
    fs::create_directories(folder + "/keylist", ec);
    fs::create_directories(folder + "/layout", ec);
    bool ok = true;
    auto write = [&](const std::string& name, const Bytes& bytes) {
        ok = writeFile(folder + "/" + name, bytes) && ok;
    };

    write("keylist/shipped", keyList);
    keys::KeyListTables small;
    small.actions = {{2, 0, "Enter", "Enter"}, {3, 0, "PA1", ""}};
    small.edits = {{21, 1, "Reset", "Reset"}};
    small.opers = {{39, 1, "MacroStop", "stop"}};
    std::string error;
    write("keylist/small", *keys::writeKeyList(small, error));
    Bytes wrongSizes = *keys::writeKeyList(small, error);
    put16(wrongSizes, keys::kKeyListHeaderSize, 100);
    write("keylist/wrong-sizes", wrongSizes);

    const Bytes standard = keyboard.fileBytes();
    write("layout/standard.key", standard);
    keyboard.addMacroName("logon");
    keyboard.addMacroName("ispf3");
    keyboard.setWord(1, 3, keys::macroKey(1, keys::kAssigned));
    keys::LayoutBlock extended(LayoutType::Keyboard);
    extended.load(keyboard.fileBytes(), "x", {.additionalKeys = true, .countryLayout = {}});
    write("layout/extended.key", extended.fileBytes());
    Bytes old(standard.begin(), standard.end() - 1);
    std::copy_n("V1.10", 5, old.begin() + 15);
    old.push_back(2);
    for (const char* name : {"logon\0\0\0", "tso\0\0\0\0\0"})
        old.insert(old.end(), name, name + 8);
    write("layout/old.key", old);

    const std::array<keys::KeyWord, 4> enter = {
        keys::actionKey(keys::Action::Enter, keys::kAssigned), keys::kNoFunction, keys::kNoFunction,
        keys::kNoFunction};
    const std::array<keys::KeyWord, 4> macro = {keys::macroKey(0, keys::kAssigned),
                                                keys::macroKey(1, keys::kAssigned),
                                                keys::kNoFunction, keys::kNoFunction};
    write("layout/toolbar.bar",
          buttonFile(LayoutType::Toolbar, 0,
                     {buttonEntry(0, 0, 0, enter), buttonEntry(keys::kSpacerButton, 20, 0, enter),
                      buttonEntry(0, 20, 0, macro)},
                     {"logon", "tso"}));
    write("layout/old.bar", buttonFile(LayoutType::Toolbar, 0, {buttonEntry(0, 0, 0, macro)},
                                       {"logon", "tso"}, true));
    write("layout/keypad.pad",
          buttonFile(LayoutType::Keypad, keys::kKeypadShowHelp | keys::kKeypadStayOpen,
                     {buttonEntry(0, 0, 0, enter), buttonEntry(0, 23, 0, macro),
                      buttonEntry(0, 0, 21, enter)},
                     {"logon", "tso"}));
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    bool check = false;
    std::string seeds;
    std::string data = CEDAR_DATA_DIR;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--check") {
            check = true;
        } else if (arg == "--seeds" && i + 1 < argc) {
            seeds = argv[++i];
        } else if (!arg.empty() && arg.front() == '-') {
            std::fprintf(stderr, "usage: cedar_gen_keys [--check | --seeds FOLDER] [DATA]\n");
            return 2;
        } else {
            data = std::string(arg);
        }
    }

    namespace src = cedar::keys::sources;
    const std::string functionsPath = data + "/keys/functions.txt";
    const std::string layoutPath = data + "/keys/standard-key.txt";
    std::string functionsText, layoutText;
    if (!readFile(functionsPath, functionsText) || !readFile(layoutPath, layoutText)) {
        std::fprintf(stderr, "cannot read %s or %s\n", functionsPath.c_str(), layoutPath.c_str());
        return 1;
    }

    keys::KeyListTables tables;
    src::SourceError sourceError;
    if (!src::parseFunctions(functionsText, tables, sourceError)) {
        std::fprintf(stderr, "%s:%d: %s\n", functionsPath.c_str(), sourceError.line,
                     sourceError.text.c_str());
        return 1;
    }
    std::string error;
    const auto keyList = keys::writeKeyList(tables, error);
    if (!keyList) {
        std::fprintf(stderr, "%s: %s\n", functionsPath.c_str(), error.c_str());
        return 1;
    }
    // The written list must read back as the tables it came from.
    keys::KeyList list;
    if (list.load(*keyList) || list.tables() != tables) {
        std::fprintf(stderr, "key.lst does not read back as written\n");
        return 1;
    }

    keys::LayoutBlock keyboard(keys::LayoutType::Keyboard);
    if (!src::parseKeyboardLayout(layoutText, list, keyboard, sourceError)) {
        std::fprintf(stderr, "%s:%d: %s\n", layoutPath.c_str(), sourceError.line,
                     sourceError.text.c_str());
        return 1;
    }

    if (!seeds.empty()) return writeSeeds(seeds, *keyList, keyboard) ? 0 : 1;

    const struct {
        std::string path;
        Bytes bytes;
    } files[] = {
        {data + "/key.lst", *keyList},
        {data + "/defaults/standard.key", keyboard.fileBytes()},
    };
    int status = 0;
    for (const auto& f : files) {
        if (check) {
            std::string current;
            if (!readFile(f.path, current) ||
                current != std::string(f.bytes.begin(), f.bytes.end())) {
                std::fprintf(stderr, "%s is missing or out of date: run cedar_gen_keys\n",
                             f.path.c_str());
                status = 1;
            }
        } else if (!writeFile(f.path, f.bytes)) {
            std::fprintf(stderr, "cannot write %s\n", f.path.c_str());
            status = 1;
        } else {
            std::printf("wrote %s (%zu bytes)\n", f.path.c_str(), f.bytes.size());
        }
    }
    return status;
}
