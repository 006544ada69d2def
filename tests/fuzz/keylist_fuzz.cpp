// Fuzzes the key list reader: any bytes give a list or the installation
// error, and a list that loads writes back to bytes that load as the same list.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "keyboard/key_list.h"

namespace {

void check(bool condition) {
    if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace cedar::keys;
    KeyList list;
    if (const auto message = list.load(std::span(data, size))) {
        check(*message == keyListInvalidMessage());
        check(list.empty());
        return 0;
    }
    for (Kind kind : {Kind::Action, Kind::Edit, Kind::Oper}) {
        for (const KeyFunction& f : list.functions(kind)) {
            check(list.keyFunctionByCode(kind, f.code) != nullptr);
            // Names resolve to a code of the table they were found in (a
            // malformed list may give two entries one code).
            if (const auto word = list.keyFunctionByName(f.name))
                check(list.keyFunctionByCode(kindOf(*word), codeOf(*word)) != nullptr);
            (void)keyText(list, makeKey(kind, f.code), {});
        }
    }
    std::string error;
    const auto bytes = writeKeyList(list.tables(), error);
    check(bytes.has_value());
    KeyList again;
    check(!again.load(*bytes));
    check(again.tables() == list.tables());
    return 0;
}
