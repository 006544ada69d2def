#include "session/folders.h"

#include <gtest/gtest.h>

#include <map>

namespace cedar {
namespace {

class FakeEnv : public Environment {
  public:
    std::map<std::string, std::string> vars;
    std::optional<std::string> userDirs;
    std::optional<std::string> variable(const std::string& name) const override {
        const auto it = vars.find(name);
        return it == vars.end() ? std::nullopt : std::optional(it->second);
    }
    std::optional<std::string> userDirsFile() const override { return userDirs; }
};

TEST(Folders, DefaultsFollowXdg) {
    FakeEnv env;
    env.vars["HOME"] = "/home/ann";
    Folders f = settleFolders("", false, "/usr/share/cedar-tn3270", env);
    EXPECT_EQ(f.appData, "/home/ann/Documents/Larkfield/CedarTN3270");
    EXPECT_EQ(f.keyData, f.appData);
    EXPECT_EQ(f.macros, f.appData + "/macros");
    EXPECT_EQ(f.cdr, f.macros);
    EXPECT_EQ(f.screens, f.appData + "/screens");
    EXPECT_EQ(f.certs, f.appData + "/certs");
    EXPECT_EQ(f.documents, "/home/ann/Documents");

    env.userDirs = "# written by xdg-user-dirs-update\nXDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n";
    EXPECT_EQ(settleFolders("", false, "", env).appData,
              "/home/ann/Dokumente/Larkfield/CedarTN3270");

    // /A or UseAppdata: under the data folder.
    EXPECT_EQ(settleFolders("", true, "", env).appData,
              "/home/ann/.local/share/Larkfield/CedarTN3270");
    env.vars["XDG_DATA_HOME"] = "/data/ann";
    EXPECT_EQ(settleFolders("[Cedar]\r\nUseAppdata=1\r\n", false, "", env).appData,
              "/data/ann/Larkfield/CedarTN3270");
}

TEST(Folders, FilesIniValuesAreExpanded) {
    FakeEnv env;
    env.vars["HOME"] = "/home/ann";
    env.vars["TEAM"] = "/srv/team";
    const std::string ini =
        "[Cedar]\r\n"
        "AppData=%TEAM%\\cedar\\\r\n"
        "Macros=%USERPROFILE%\\macros\r\n"
        "Screens=/tmp/100%%/shots\r\n"
        "Certs=%UNSET%/certs\r\n";
    const Folders f = settleFolders(ini, false, "/opt/cedar", env);
    EXPECT_EQ(f.appData, "/srv/team/cedar");
    EXPECT_EQ(f.macros, "/home/ann/macros");
    EXPECT_EQ(f.cdr, "/home/ann/macros");
    EXPECT_EQ(f.screens, "/tmp/100%/shots");
    EXPECT_EQ(f.certs, "/certs") << "an unset variable becomes empty";
    EXPECT_EQ(f.help, "/opt/cedar/cedarTN3270.chm");
}

TEST(Folders, BuildPath) {
    struct Case {
        const char* name;
        const char* extension;
        const char* expected;
    } cases[] = {
        {"standard", "ses", "/a/standard.ses"},    {"standard.SES", "ses", "/a/standard.SES"},
        {"exit.ext", "mac", "/a/exit.ext"},        {"sub\\x", "mac", "/a/sub/x.mac"},
        {"/abs/file.ses", "ses", "/abs/file.ses"}, {"x", "", "/a/x"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(buildPath("/a", c.name, c.extension), c.expected);
}

}  // namespace
}  // namespace cedar
