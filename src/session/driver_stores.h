// The session file and cedar.ini as the session driver stores them, on top
// of plain file access that the platform provides: load and save by the
// session file module's rules, the standard.ses backup, LastSession and
// ShutDownMacro.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "session/driver_interfaces.h"
#include "sessionfile/session_file.h"
#include "sessionfile/settings.h"

namespace cedar {

// Files of the AppData folder, by name, as bytes.
class AppDataFiles {
  public:
    virtual ~AppDataFiles() = default;
    // Nothing when the file does not exist or cannot be read.
    virtual std::optional<std::vector<std::uint8_t>> read(const std::string& name) = 0;
    // Replaces the file as a whole; false with a system error number.
    virtual bool write(const std::string& name, std::span<const std::uint8_t> bytes,
                       int& error) = 0;
    // The folder, as messages name it.
    virtual std::string folder() const = 0;
};

class FolderSessionStore : public SessionFileStore {
  public:
    using Report = std::function<void(const DriverMessage&)>;
    using Geometry = std::function<sessionfile::ScreenGeometry()>;

    // `report` shows failures (OK only); `geometry` is the screen in force
    // when saving (nullptr: 24 x 80).
    FolderSessionStore(AppDataFiles& files, const Settings& settings, SettingsStore& settingsStore,
                       sessionfile::LoadContext context, Report report, Geometry geometry = {});

    bool load(const std::string& name, sessionfile::SessionFile& file) override;
    bool save(sessionfile::SessionFile& file, sessionfile::SaveMode mode,
              bool explicitSave) override;
    void refreshStandardBackup() override;

  private:
    void fail(const std::string& title, const std::string& text);

    AppDataFiles& files_;
    const Settings& settings_;
    SettingsStore& settingsStore_;
    sessionfile::LoadContext context_;
    Report report_;
    Geometry geometry_;
};

// cedar.ini through two functions: one that reads its text, one that edits
// it under the lock every session shares (platform::editFileLocked).
class ProfileSettingsStore : public SettingsStore {
  public:
    using Read = std::function<std::optional<std::string>()>;
    using Edit = std::function<bool(const std::function<std::string(const std::string&)>&)>;

    ProfileSettingsStore(Read read, Edit edit) : read_(std::move(read)), edit_(std::move(edit)) {}

    void writeLastSession(const std::string& name) override;
    std::string shutDownMacro() override;

  private:
    Read read_;
    Edit edit_;
};

}  // namespace cedar
