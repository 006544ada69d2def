#include "sessionfile/standard_session.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "sessionfile/private_profile.h"
#include "sessionfile/session_file.h"
#include "test_paths.h"

namespace cedar::sessionfile {
namespace {

TEST(StandardSession, ShippedFilesAreUpToDate) {
    const std::string ses = test::readFile(test::dataDir() + "/defaults/standard.ses");
    const std::vector<std::uint8_t> bytes(ses.begin(), ses.end());
    EXPECT_EQ(classify(bytes), FileKind::Current);
    const LoadResult loaded = loadSessionFile("standard.ses", bytes);
    ASSERT_TRUE(loaded.ok) << loaded.message;
    EXPECT_EQ(loaded.options, standardSessionOptions())
        << "data/defaults/standard.ses is stale: run cedar_gen_defaults";
    EXPECT_EQ(test::readFile(test::dataDir() + "/defaults/files.ini"), standardFilesIni())
        << "data/defaults/files.ini is stale: run cedar_gen_defaults";
}

TEST(StandardSession, SensibleDefaults) {
    const SessionOptions o = standardSessionOptions();
    EXPECT_EQ(o.number(Field::TerminalModel), 0) << "model 2";
    EXPECT_EQ(o.number(Field::Port), 23);
    EXPECT_EQ(o.number(Field::DefaultModeWidth), 80);
    EXPECT_EQ(o.number(Field::DefaultModeHeight), 24);
    EXPECT_EQ(o.text(Field::SessionFile), "standard.ses");
    EXPECT_EQ(o.text(Field::StartupMacro), "(none)");
    EXPECT_EQ(o.number(Field::Brightness), 128);

    EXPECT_FALSE(o.text(Field::WindowTitle).empty());
    EXPECT_EQ(o.text(Field::PrinterName), "<default>");
    for (int i = 0; i < PrintProfile::kCount; ++i) {
        const PrintProfile p = o.printProfile(i);
        EXPECT_FALSE(p.face.empty());
        for (int layout = 0; layout < 4; ++layout) {
            EXPECT_LT(p.left[layout], p.right[layout]);
            EXPECT_LT(p.top[layout], p.bottom[layout]);
        }
    }
}

TEST(StandardSession, ColoursKeepFieldClassesAndHostColoursApart) {
    const SessionOptions o = standardSessionOptions();
    const auto colour = [&](int index) {
        return o.number(static_cast<Field>(static_cast<int>(Field::Color0) + index));
    };
    const auto distinct = [&](const std::vector<int>& items) {
        std::set<std::int64_t> foregrounds;
        for (const int item : items) {
            const std::int64_t fg = colour(o.itemForeground(item));
            EXPECT_NE(fg, colour(o.itemBackground(item))) << "item " << item << " is invisible";
            foregrounds.insert(fg);
        }
        return foregrounds.size() == items.size();
    };
    EXPECT_TRUE(distinct(
        {kLowUnprotectedItem, kHighUnprotectedItem, kLowProtectedItem, kHighProtectedItem}));
    EXPECT_TRUE(distinct({0, 1, 2, 3, 4, 5, 6, 7})) << "the host's eight basic colours";
    EXPECT_GE(o.itemBackground(kScreenBorderItem), 8) << "the icon colour can reach the border";
}

TEST(StandardSession, FilesIniLeavesEveryFolderAtItsDefault) {
    const std::string ini = standardFilesIni();
    for (const char* key :
         {"AppData", "KeyData", "Documents", "Macros", "CDR", "Screens", "Help", "Certs"})
        EXPECT_EQ(profile::find(ini, "Cedar", key), "") << key;
    EXPECT_EQ(profile::getInt(ini, "Cedar", "UseAppdata", -1), 0);
}

}  // namespace
}  // namespace cedar::sessionfile
