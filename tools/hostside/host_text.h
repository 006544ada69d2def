// Text as the host programs read what a terminal user typed: upper case,
// and words between blanks.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace cedar::hostside {

std::string upperCase(std::string_view text);
// The runs of non-blank characters, in order.
std::vector<std::string> blankWords(std::string_view text);

}  // namespace cedar::hostside
