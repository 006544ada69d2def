// The driver's session file store over plain file access, and cedar.ini's
// LastSession and ShutDownMacro.
#include "session/driver_stores.h"

#include <gtest/gtest.h>

#include <map>

#include "sessionfile/standard_session.h"

namespace cedar {
namespace {

using Bytes = std::vector<std::uint8_t>;
using sessionfile::Field;

class Files : public AppDataFiles {
  public:
    std::optional<Bytes> read(const std::string& name) override {
        const auto it = files.find(name);
        if (it == files.end()) return std::nullopt;
        return it->second;
    }
    bool write(const std::string& name, std::span<const std::uint8_t> bytes, int& error) override {
        if (failWith != 0) {
            error = failWith;
            return false;
        }
        files[name] = Bytes(bytes.begin(), bytes.end());
        ++writes;
        return true;
    }
    std::string folder() const override { return "/home/u/AppData"; }

    std::map<std::string, Bytes> files;
    int failWith = 0;
    int writes = 0;
};

class Ini : public SettingsStore {
  public:
    void writeLastSession(const std::string& name) override { last.push_back(name); }
    std::vector<std::string> last;
};

Bytes fileFor(const std::string& host) {
    auto o = sessionfile::standardSessionOptions();
    o.setText(Field::HostName, host);
    return sessionfile::sessionFileBytes(o);
}

struct Rig {
    Files files;
    Ini ini;
    Settings settings;
    std::vector<DriverMessage> reported;
    FolderSessionStore store{
        files, settings, ini, {}, [this](const DriverMessage& m) { reported.push_back(m); }};
    sessionfile::SessionFile file;
};

TEST(FolderSessionStore, LoadsOrSaysWhyNot) {
    Rig r;
    r.files.files["mvs.ses"] = fileFor("MVS1");
    r.files.files["junk.ses"] = Bytes(100, 'j');
    EXPECT_TRUE(r.store.load("mvs", r.file));
    EXPECT_EQ(r.file.options.text(Field::HostName), "MVS1");
    EXPECT_EQ(r.file.options.text(Field::SessionFile), "mvs.ses");
    EXPECT_FALSE(r.file.changed());

    EXPECT_FALSE(r.store.load("gone.ses", r.file));
    EXPECT_FALSE(r.store.load("junk", r.file));
    EXPECT_EQ(r.file.options.text(Field::HostName), "MVS1");  // unchanged
    ASSERT_EQ(r.reported.size(), 2u);
    EXPECT_EQ(r.reported[0].title, "Cedar TN3270 Session File Error");
    EXPECT_EQ(r.reported[0].text, "Session file gone.ses was not found\nin folder /home/u/AppData");
    EXPECT_EQ(r.reported[1].text, "junk.ses is not a valid session file for this version");
    EXPECT_EQ(r.files.writes, 0);
}

TEST(FolderSessionStore, ADamagedStandardSesComesBackFromItsBackup) {
    Rig r;
    r.files.files["standard.ses"] = Bytes(50, 'x');
    r.files.files["standard.ses.backup"] = fileFor("SAFE");
    EXPECT_TRUE(r.store.load("standard.ses", r.file));
    EXPECT_EQ(r.file.options.text(Field::HostName), "SAFE");
    EXPECT_EQ(r.files.files["standard.ses"], fileFor("SAFE"));
}

TEST(FolderSessionStore, SavesByTheRulesAndWritesLastSession) {
    Rig r;
    r.files.files["mvs.ses"] = fileFor("MVS1");
    ASSERT_TRUE(r.store.load("mvs.ses", r.file));
    r.file.options.setText(Field::HostName, "MVS2");

    r.settings.noAutoSave = 1;  // automatic saves skipped, explicit ones not
    EXPECT_TRUE(r.store.save(r.file, sessionfile::SaveMode::Save, false));
    EXPECT_EQ(r.files.writes, 0);
    EXPECT_TRUE(r.store.save(r.file, sessionfile::SaveMode::Save, true));
    EXPECT_EQ(r.files.writes, 1);
    EXPECT_EQ(r.ini.last, (std::vector<std::string>{"mvs.ses"}));
    EXPECT_FALSE(r.file.changed());
    sessionfile::SessionFile reread;
    ASSERT_TRUE(r.store.load("mvs.ses", reread));
    EXPECT_EQ(reread.options.text(Field::HostName), "MVS2");

    r.file.options.setText(Field::HostName, "MVS3");
    r.files.failWith = 32;
    EXPECT_FALSE(r.store.save(r.file, sessionfile::SaveMode::Save, true));
    ASSERT_EQ(r.reported.size(), 1u);
    EXPECT_EQ(r.reported[0].title, "File Save Error");
    EXPECT_EQ(r.reported[0].text, "Error 32 while saving mvs.ses");
    EXPECT_TRUE(r.file.changed());  // still to be saved

    sessionfile::SessionFile empty;  // no name: nothing written
    EXPECT_FALSE(r.store.save(empty, sessionfile::SaveMode::Save, true));
}

TEST(FolderSessionStore, OnlyASoundStandardSesRefreshesTheBackup) {
    Rig r;
    r.store.refreshStandardBackup();  // none: nothing
    EXPECT_EQ(r.files.writes, 0);
    r.files.files["standard.ses"] = fileFor("ONE");
    r.store.refreshStandardBackup();
    EXPECT_EQ(r.files.files["standard.ses.backup"], fileFor("ONE"));
    r.files.files["standard.ses"] = Bytes(7028, 0);
    r.store.refreshStandardBackup();
    EXPECT_EQ(r.files.files["standard.ses.backup"], fileFor("ONE"));
}

TEST(ProfileSettingsStore, LastSessionIsEditedInPlaceAndShutDownMacroReadFresh) {
    std::string ini = "[Cedar]\r\nWang=1\r\nLastSession=old.ses\r\n";
    ProfileSettingsStore store([&] { return std::optional<std::string>(ini); },
                               [&](const std::function<std::string(const std::string&)>& edit) {
                                   ini = edit(ini);
                                   return true;
                               });
    store.writeLastSession("mvs.ses");
    EXPECT_EQ(ini, "[Cedar]\r\nWang=1\r\nLastSession=mvs.ses\r\n");
    store.writeLastSession("");                     // never an empty name
    store.writeLastSession(std::string(260, 'n'));  // longer than the field
    EXPECT_EQ(ini, "[Cedar]\r\nWang=1\r\nLastSession=mvs.ses\r\n");
    EXPECT_EQ(store.shutDownMacro(), "");
    ini += "ShutDownMacro=bye\r\n";
    EXPECT_EQ(store.shutDownMacro(), "bye");
}

}  // namespace
}  // namespace cedar
