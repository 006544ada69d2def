#include "sessionfile/private_profile.h"

#include <gtest/gtest.h>

namespace cedar::profile {
namespace {

const std::string kFile =
    "; a comment\r\n"
    "[Cedar]\r\n"
    "  KeepAliveTime = 60  \r\n"
    "LastSession=\"my host.ses\"\r\n"
    "Quoted='single'\r\n"
    "Half=\"open\r\n"
    "Negative=-12abc\r\n"
    "Plus=+7\r\n"
    "Junk=abc\r\n"
    "Huge=99999999999999\r\n"
    "keepalivetime=999\r\n"
    "Empty=\r\n"
    "\r\n"
    "[UserVariables]\n"  // an LF-only line among CR LF ones
    "X=1\n"
    "[cedar]\r\n"
    "Late=second section of the same name\r\n";

TEST(PrivateProfile, Reading) {
    struct Case {
        const char* section;
        const char* key;
        std::optional<std::string> value;
    } cases[] = {
        {"Cedar", "KeepAliveTime", "60"},         // blanks trimmed
        {"CEDAR", "keepalivetime", "60"},         // no case; the first match wins
        {"Cedar", "LastSession", "my host.ses"},  // quotes removed
        {"Cedar", "Quoted", "single"},
        {"Cedar", "Half", "\"open"},  // unmatched quote kept
        {"Cedar", "Empty", ""},
        {"Cedar", "Missing", std::nullopt},
        {"Cedar", "Late", std::nullopt},  // only the first [cedar] counts
        {"UserVariables", "X", "1"},
        {"Nowhere", "X", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(find(kFile, c.section, c.key), c.value) << c.key;

    EXPECT_EQ(getString(kFile, "Cedar", "LastSession", "standard.ses", 5), "my h");
    EXPECT_EQ(getString(kFile, "Cedar", "Missing", "standard.ses"), "standard.ses");
    EXPECT_EQ(getString("", "Cedar", "Missing", "dflt"), "dflt") << "a missing file";
}

TEST(PrivateProfile, Integers) {
    struct Case {
        const char* key;
        int value;
    } cases[] = {{"KeepAliveTime", 60}, {"Negative", -12},    {"Plus", 7},
                 {"Junk", 0},           {"Huge", 2147483647}, {"Missing", 240}};
    for (const auto& c : cases)
        EXPECT_EQ(getInt(kFile, "Cedar", c.key, 240), c.value) << c.key;
}

TEST(PrivateProfile, KeysInFileOrder) {
    const auto k = keys(kFile, "cedar");
    ASSERT_GE(k.size(), 3u);
    EXPECT_EQ(k[0], "KeepAliveTime");
    EXPECT_EQ(k[1], "LastSession");
    EXPECT_EQ(std::count(k.begin(), k.end(), "keepalivetime"), 0) << "duplicates once";
}

TEST(PrivateProfile, EditsKeepEveryOtherByte) {
    // In place: only that line changes, its line end stays.
    const std::string a = set(kFile, "cedar", "LASTSESSION", "other.ses");
    std::string expected = kFile;
    expected.replace(expected.find("LastSession=\"my host.ses\""), 25, "LASTSESSION=other.ses");
    EXPECT_EQ(a, expected);

    // A new key goes at the end of its section, before the blank line.
    const std::string b = set(kFile, "Cedar", "NewKey", "v");
    EXPECT_NE(b.find("Empty=\r\nNewKey=v\r\n\r\n[UserVariables]"), std::string::npos);
    EXPECT_EQ(b.size(), kFile.size() + 10);

    // A new section at the end, even after a last line without a line end.
    EXPECT_EQ(set("[A]\r\nx=1", "B", "y", "2"), "[A]\r\nx=1\r\n[B]\r\ny=2\r\n");
    EXPECT_EQ(set("", "Cedar", "k", "v"), "[Cedar]\r\nk=v\r\n");
    // Into an LF-only section.
    EXPECT_EQ(set("[S]\nk=1\n", "S", "j", "2"), "[S]\nk=1\nj=2\r\n");

    EXPECT_EQ(erase(kFile, "Cedar", "Plus").find("Plus"), std::string::npos);
    EXPECT_EQ(erase(kFile, "Cedar", "Nope"), kFile);
}

}  // namespace
}  // namespace cedar::profile
