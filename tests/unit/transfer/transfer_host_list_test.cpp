// What List and Members play: the macro of the host system, the list level
// as given, and for Members the data set up to its "(" with a leading quote
// kept; nothing for CICS's List or a Members without a name.
#include "transfer/transfer_host_list.h"

#include <gtest/gtest.h>

namespace cedar {
namespace {

TEST(HostListing, MacroLevelAndDataSetPerPress) {
    using T = TransferHostType;
    const struct {
        T type;
        bool members;
        const char* hostName;
        std::optional<HostListing> expected;
    } cases[] = {
        {T::Tso, false, "ignored", HostListing{"cdr$lstc", "USER", ""}},
        {T::Cms, false, "", HostListing{"cdr$list", "USER", ""}},
        {T::Cics, false, "", std::nullopt},
        {T::Tso, true, "'USER.CNTL(ALLOC)'", HostListing{"cdr$lstd", "USER", "'USER.CNTL"}},
        {T::Cms, true, "  USER.CNTL  (X)", HostListing{"cdr$lstd", "USER", "USER.CNTL"}},
        {T::Tso, true, "USER.DATA", HostListing{"cdr$lstd", "USER", "USER.DATA"}},
        {T::Tso, true, "", std::nullopt},
        {T::Tso, true, " '(M)", std::nullopt},
        {T::Tso, true, "(M)", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.hostName) + (c.members ? " members" : " list"));
        const auto got = hostListing(c.type, c.members, c.hostName, "USER");
        ASSERT_EQ(got.has_value(), c.expected.has_value());
        if (!got) continue;
        EXPECT_EQ(got->macro, c.expected->macro);
        EXPECT_EQ(got->level, c.expected->level);
        EXPECT_EQ(got->dataSet, c.expected->dataSet);
    }
}

}  // namespace
}  // namespace cedar
