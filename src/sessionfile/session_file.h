// Session files (.ses): a 24-byte header, "Cedar Session V1.26" and five
// blanks, followed by the 7,004-byte session options record. Loading takes the
// bytes of a file and converts files of earlier versions; saving gives the
// bytes to write. Finding, opening, replacing and locking files is the
// caller's: everything here works on bytes in memory, including the decisions
// around standard.ses and its backup.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sessionfile/host_list.h"
#include "sessionfile/session_options.h"

namespace cedar::sessionfile {

inline constexpr std::size_t kHeaderSize = 24;
inline constexpr std::size_t kFileSize = kHeaderSize + kRecordSize;  // 7,028
inline constexpr std::string_view kHeader = "Cedar Session V1.26     ";
inline constexpr std::string_view kStandardSessionFile = "standard.ses";
inline constexpr std::string_view kStandardBackupFile = "standard.ses.backup";

// The name with ".ses" appended unless it already ends so (any case).
std::string withSesExtension(std::string_view name);
// "standard.ses" in any case (after appending the extension).
bool isStandardSessionFile(std::string_view name);

// What the bytes of a file are.
enum class FileKind {
    Current,       // the current header and exactly 7,028 bytes
    Earlier,       // the header of an earlier version, a size such a file can have
    NewerVersion,  // the header of a later version: not converted, not overwritten
    NotASessionFile,
};
FileKind classify(std::span<const std::uint8_t> file);

// What loading needs from outside the file.
struct LoadContext {
    // The user's documents folder: files of earlier versions get it (with a
    // backslash) as the two transfer folders.
    std::string documentsFolder;
};

struct LoadResult {
    bool ok = false;
    SessionOptions options;  // when ok
    bool converted = false;  // an earlier version, converted
    // When not ok and not empty: the message for the user, titled
    // title::kSessionFileError.
    std::string message;
};

// Loads a session file from its bytes. `name` is the file's name (".ses" is
// appended when missing) and becomes SESSIONFILE. An empty name loads nothing.
LoadResult loadSessionFile(std::string_view name, std::span<const std::uint8_t> file,
                           const LoadContext& context = {});

// The bytes of a session file for a record: always kFileSize.
std::vector<std::uint8_t> sessionFileBytes(const SessionOptions& options);

// Messages for failures that only the caller can see.
std::string notFoundMessage(std::string_view name, std::string_view folder);
std::string notValidMessage(std::string_view name);

// standard.ses and its backup.
//
// Only standard.ses itself is ever restored from standard.ses.backup, and
// only from a backup that is a complete current file; the backup is
// refreshed (after a connection's first record) only from a standard.ses
// that is a complete current file, so a damaged standard.ses never replaces
// a good backup.
bool mayRestoreFromBackup(std::string_view name);
bool shouldRefreshBackup(std::span<const std::uint8_t> standardSes);

struct RecoveredLoad {
    LoadResult result;
    // The caller must write the backup's bytes over standard.ses.
    bool restoreStandardFromBackup = false;
};
// Loads `name`; when that refuses the file and the name is standard.ses, asks
// `readBackup` for the bytes of standard.ses.backup (nothing when it cannot
// be read) and loads those when they are a complete current file.
RecoveredLoad loadWithRecovery(
    std::string_view name, std::span<const std::uint8_t> file, const LoadContext& context,
    const std::function<std::optional<std::vector<std::uint8_t>>()>& readBackup);

// Host list merge after a load: the entry named exactly HOSTNAME supplies the
// port, TN3270E, security level and LU name (each unless the command line
// gave it). The certificate files and checks, which the record does not hold,
// are returned for the session to keep.
struct CommandLineGiven {
    bool port = false;           // /P
    bool tn3270e = false;        // /E
    bool securityLevel = false;  // /V
    bool luName = false;         // /L
};
struct HostSecurity {
    std::string caCert;
    std::string clientCert;
    std::string clientKey;
    bool validateHostCert = false;
    bool domainMustMatchHost = false;
};
// Nothing when no entry matches. A value that does not fit its field (a hand-
// edited cedar.ini) leaves the field as it was.
std::optional<HostSecurity> mergeHostEntry(SessionOptions& options, const HostList& hosts,
                                           const CommandLineGiven& given = {});

// Saving.
enum class SaveMode { Save, SaveIfChanged };
struct SaveSettings {
    bool noAutoSave = false;     // cedar.ini NoAutoSave
    bool noSessionSave = false;  // cedar.ini NoSessionSave
};
// The screen in force when saving, for the window size kept in the file.
struct ScreenGeometry {
    int rows = 24;
    int columns = 80;
    int cellWidth = 0;
    int cellHeight = 0;
};
// The window size written to the file: the size of the 24 x 80 default mode
// when the window was sized for a larger screen (a normal window, with
// KEEPFONTCONSTANTONMODESWITCH on, while the screen's height differs from the
// default mode's). The size never goes below 0.
SessionOptions optionsForWriting(const SessionOptions& options, const ScreenGeometry& screen);

// One session's record in force and the copy as last loaded or saved.
class SessionFile {
  public:
    SessionOptions options;  // the record in force

    const SessionOptions& lastCopy() const { return last_; }
    bool changed() const { return options != last_; }

    // Loads; on success the record in force and the last copy are the file's.
    LoadResult load(std::string_view name, std::span<const std::uint8_t> file,
                    const LoadContext& context = {});
    // As loadWithRecovery.
    RecoveredLoad loadWithRecovery(
        std::string_view name, std::span<const std::uint8_t> file, const LoadContext& context,
        const std::function<std::optional<std::vector<std::uint8_t>>()>& readBackup);
    // Takes a loaded record as the one in force and the last copy.
    void adopt(const SessionOptions& loaded);

    enum class SaveAction {
        Fail,  // no session file name
        Skip,  // success without writing
        Write  // write `bytes` to `fileName`, then call saved()
    };
    struct SavePlan {
        SaveAction action = SaveAction::Skip;
        std::string fileName;
        std::vector<std::uint8_t> bytes;
        SessionOptions snapshot;  // the record as it was saved
    };
    SavePlan planSave(SaveMode mode, bool explicitSave, const SaveSettings& settings,
                      const ScreenGeometry& screen) const;
    // After the bytes of `plan` were written: the snapshot becomes the last
    // copy. A failed write leaves the record counted as changed.
    void saved(const SavePlan& plan) { last_ = plan.snapshot; }

  private:
    SessionOptions last_;
};

}  // namespace cedar::sessionfile
