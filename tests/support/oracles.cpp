#include "oracles.h"

#include <cstdlib>
#include <string>

namespace cedar::test {

namespace {

bool flagSet(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr) return false;
    const std::string text(value);
    return !text.empty() && text != "0" && text != "false" && text != "no";
}

}  // namespace

bool oraclesRequired() {
    return flagSet("CI") || flagSet("CEDAR_REQUIRE_ORACLES");
}

}  // namespace cedar::test
