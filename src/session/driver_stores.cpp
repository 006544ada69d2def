#include "session/driver_stores.h"

#include <utility>

#include "screen/message_titles.h"
#include "sessionfile/private_profile.h"

namespace cedar {

namespace {

constexpr const char* kSection = "Cedar";
// Text settings are read as into a 260-byte field.
constexpr std::size_t kPathField = 260;

}  // namespace

FolderSessionStore::FolderSessionStore(AppDataFiles& files, const Settings& settings,
                                       SettingsStore& settingsStore,
                                       sessionfile::LoadContext context, Report report,
                                       Geometry geometry)
    : files_(files),
      settings_(settings),
      settingsStore_(settingsStore),
      context_(std::move(context)),
      report_(std::move(report)),
      geometry_(std::move(geometry)) {}

void FolderSessionStore::fail(const std::string& title, const std::string& text) {
    if (report_) report_({title, text, MessageIcon::Warning, MessageButtons::Ok});
}

bool FolderSessionStore::load(const std::string& name, sessionfile::SessionFile& file) {
    const std::string fileName = sessionfile::withSesExtension(name);
    const auto bytes = files_.read(fileName);
    if (!bytes) {
        fail(title::kSessionFileError, sessionfile::notFoundMessage(fileName, files_.folder()));
        return false;
    }
    std::optional<std::vector<std::uint8_t>> backup;
    const auto loaded = file.loadWithRecovery(fileName, *bytes, context_, [&] {
        backup = files_.read(std::string(sessionfile::kStandardBackupFile));
        return backup;
    });
    if (loaded.restoreStandardFromBackup && backup) {
        int error = 0;
        files_.write(std::string(sessionfile::kStandardSessionFile), *backup, error);
    }
    if (!loaded.result.ok) {
        fail(title::kSessionFileError, loaded.result.message.empty()
                                           ? sessionfile::notValidMessage(fileName)
                                           : loaded.result.message);
        return false;
    }
    return true;
}

bool FolderSessionStore::save(sessionfile::SessionFile& file, sessionfile::SaveMode mode,
                              bool explicitSave) {
    const sessionfile::SaveSettings saveSettings{settings_.noAutoSave != 0,
                                                 settings_.noSessionSave != 0};
    const auto plan = file.planSave(mode, explicitSave, saveSettings,
                                    geometry_ ? geometry_() : sessionfile::ScreenGeometry{});
    using Action = sessionfile::SessionFile::SaveAction;
    if (plan.action == Action::Fail) return false;
    if (plan.action == Action::Skip) return true;
    int error = 0;
    if (!files_.write(plan.fileName, plan.bytes, error)) {
        fail(title::kFileSaveError,
             "Error " + std::to_string(error) + " while saving " + plan.fileName);
        return false;
    }
    file.saved(plan);
    settingsStore_.writeLastSession(plan.fileName);
    return true;
}

void FolderSessionStore::refreshStandardBackup() {
    const auto standard = files_.read(std::string(sessionfile::kStandardSessionFile));
    // Only a sound standard.ses replaces the backup.
    if (!standard || !sessionfile::shouldRefreshBackup(*standard)) return;
    int error = 0;
    files_.write(std::string(sessionfile::kStandardBackupFile), *standard, error);
}

void ProfileSettingsStore::writeLastSession(const std::string& name) {
    if (!edit_ || name.empty() || name.size() >= kPathField) return;
    edit_(
        [&](const std::string& text) { return profile::set(text, kSection, "LastSession", name); });
}

std::string ProfileSettingsStore::shutDownMacro() {
    if (!read_) return {};
    const auto text = read_();
    if (!text) return {};
    return profile::getString(*text, kSection, "ShutDownMacro", "", kPathField);
}

}  // namespace cedar
