// What the SESSION dialog (" Cedar TN3270 - Start a New Terminal Session")
// knows and decides, without widgets: the session file and host lists, the
// selected host's fields, the terminal model and user size with their
// checks, Delete Host, Assign Alias, the certificate choices, and what
// Connect and Save leave behind. The window shows it and asks the questions
// it names; loading and saving files is the caller's.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "sessionfile/host_list.h"
#include "sessionfile/session_file.h"
#include "sessionfile/session_options.h"

namespace cedar::sessionfile {

inline constexpr const char* kSessionDialogTitle = " Cedar TN3270 - Start a New Terminal Session";

struct DialogMessage {
    std::string title;
    std::string text;
};

// The encryption list, in the order of the security levels 0 to 4.
inline constexpr const char* kEncryptionNames[] = {"none", "Highest", "TLS V1.0", "TLS V1.1",
                                                   "TLS V1.2"};

class SessionDialogModel {
  public:
    struct Start {
        std::vector<std::string> sessionFiles;  // the *.ses files of the AppData folder
        std::string timeoutSessionFile;         // remembered by a connect time-out
        std::string lastSession = "standard.ses";
        bool hideSesExtension = false;
        bool hostnameFocus = false;
        int keepAliveTime = 0;  // the setting KeepAliveTime, for new hosts
    };
    // Loads a session file by name (".ses" added); nothing when it cannot be
    // loaded (the loader has told the user why).
    using Loader = std::function<std::optional<SessionOptions>(const std::string& name)>;

    SessionDialogModel(HostList hosts, Start start, Loader loader);

    // The boxes.
    const std::vector<std::string>& sessionFileItems() const { return fileItems_; }
    const std::string& sessionFileText() const { return fileText_; }
    std::vector<std::string> hostItems() const;
    int hostRow() const;  // of hostItems(); -1 when none is selected
    const std::string& hostText() const { return hostText_; }
    int port() const;
    bool tn3270e() const;
    int encryption() const;  // 0..4 (levels above 10 show as none)
    std::string luName() const;
    bool luNameEnabled() const { return tn3270e(); }
    int model() const { return model_; }  // 0..3 Mod 2 to Mod 5, 4 User
    int userRows() const { return rows_; }
    int userColumns() const { return columns_; }
    bool hostBoxFocus() const { return hostFocus_; }
    const HostEntry* selected() const;
    const HostList& hosts() const { return hosts_; }
    const SessionOptions& options() const { return options_; }

    // What the user does.
    void chooseSessionFile(const std::string& name);
    void setSessionFileText(const std::string& text) { fileText_ = text; }
    void chooseHost(int row);
    void setHostText(const std::string& text) { hostText_ = text; }
    std::optional<DialogMessage> addTypedHost();
    void setPort(int port);
    void setTn3270e(bool on);
    void setEncryption(int level);
    // A name that cannot be stored (a comma in it) is refused with why.
    std::optional<DialogMessage> setLuName(const std::string& name);
    void deleteHost();
    // Assign Alias: the selected entry's IP name.
    std::optional<DialogMessage> assignAlias(const std::string& ipName);
    // SSL Certificates: "" (or "(none)") clears a file name.
    void setCertificates(const std::string& caCert, const std::string& clientCert,
                         const std::string& clientKey, bool validate, bool domainMustMatch);
    void setModel(int model);
    // Leaving the height or width box: the value kept is in userRows() /
    // userColumns(); a message when it was corrected or refused.
    std::optional<DialogMessage> leaveHeight(int rows);
    std::optional<DialogMessage> leaveWidth(int columns);

    enum class Action { Connect, Save };
    enum class NewFileAnswer { Yes, No, Cancel };
    struct Outcome {
        enum class Kind { Done, AskNewFile, Stay } kind = Kind::Stay;
        std::optional<DialogMessage> message;  // Stay: why; AskNewFile: the question
        bool connect = false;                  // Done: 1 for Connect, 0 for Save
        bool resetScreen = false;              // Connect: size mode 0xFF, default size
        bool makeShortcut = false;             // the answer Yes to the new-file question
        std::string sessionFile;               // with ".ses": LastSession, the file to save
        std::optional<HostSecurity> security;  // Connect: the entry's certificate choices
        int keepAliveTime = 0;                 // Connect: in force from now
    };
    // Connect or Save. When the outcome asks the new-file question, call it
    // again with the answer.
    Outcome commit(Action action, std::optional<NewFileAnswer> answer = std::nullopt);

  private:
    void loadSession(const std::string& name);
    void selectHostNamed(const std::string& name);
    std::string itemName(const std::string& file) const;

    HostList hosts_;
    Start start_;
    Loader loader_;
    SessionOptions options_;
    std::vector<std::string> fileItems_;
    std::string fileText_;
    std::string hostText_;
    std::optional<std::size_t> selected_;  // index into hosts_.entries()
    int model_ = 0;
    int rows_ = 24;
    int columns_ = 80;
    bool hostFocus_ = false;
};

}  // namespace cedar::sessionfile
