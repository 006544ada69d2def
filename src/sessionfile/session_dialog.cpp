#include "sessionfile/session_dialog.h"

#include <algorithm>
#include <cctype>

#include "sessionfile/session_file.h"
#include "sessionfile/standard_session.h"

namespace cedar::sessionfile {

namespace {

std::string upper(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::string trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool sameName(const std::string& a, const std::string& b) {
    return upper(a) == upper(b);
}

constexpr int kMaxPositions = 16384;  // 14-bit addressing

}  // namespace

SessionDialogModel::SessionDialogModel(HostList hosts, Start start, Loader loader)
    : hosts_(std::move(hosts)), start_(std::move(start)), loader_(std::move(loader)) {
    for (const auto& file : start_.sessionFiles)
        fileItems_.push_back(itemName(file));
    const std::string chosen =
        start_.timeoutSessionFile.empty() ? start_.lastSession : start_.timeoutSessionFile;
    fileText_ = itemName(withSesExtension(chosen.empty() ? "standard.ses" : chosen));
    loadSession(withSesExtension(chosen.empty() ? "standard.ses" : chosen));
    hostFocus_ = start_.hostnameFocus || hostText_ == kSampleHostName;
}

std::string SessionDialogModel::itemName(const std::string& file) const {
    std::string name = upper(file);
    if (start_.hideSesExtension && name.size() > 4 && name.ends_with(".SES"))
        name.resize(name.size() - 4);
    return name;
}

void SessionDialogModel::loadSession(const std::string& name) {
    auto loaded = loader_ ? loader_(name) : std::nullopt;
    options_ = loaded ? *loaded : standardSessionOptions();
    model_ =
        static_cast<int>(std::clamp<std::int64_t>(options_.number(Field::TerminalModel), 0, 4));
    const auto rows = options_.number(Field::UserModelHeight);
    const auto columns = options_.number(Field::UserModelWidth);
    rows_ = rows >= 24 && rows <= 200 ? static_cast<int>(rows) : 24;
    columns_ = columns >= 80 && columns <= 200 ? static_cast<int>(columns) : 80;
    selectHostNamed(options_.text(Field::HostName));
}

void SessionDialogModel::selectHostNamed(const std::string& name) {
    selected_.reset();
    if (auto index = hosts_.indexOf(name)) {
        selected_ = *index;
    } else {
        const auto& all = hosts_.entries();
        for (std::size_t i = 0; i < all.size() && !selected_; ++i)
            if (!all[i].deleted) selected_ = i;
    }
    hostText_ = selected_ ? hosts_.entries()[*selected_].hostName : std::string(kSampleHostName);
}

std::vector<std::string> SessionDialogModel::hostItems() const {
    std::vector<std::string> items;
    for (const auto& e : hosts_.entries())
        if (!e.deleted) items.push_back(e.hostName);
    return items;
}

int SessionDialogModel::hostRow() const {
    if (!selected_) return -1;
    int row = 0;
    for (std::size_t i = 0; i < *selected_; ++i)
        if (!hosts_.entries()[i].deleted) ++row;
    return row;
}

const HostEntry* SessionDialogModel::selected() const {
    return selected_ ? &hosts_.entries()[*selected_] : nullptr;
}

int SessionDialogModel::port() const {
    return selected() ? selected()->port : 23;
}
bool SessionDialogModel::tn3270e() const {
    return selected() ? selected()->tn3270e : true;
}
int SessionDialogModel::encryption() const {
    const int level = selected() ? selected()->securityLevel : 0;
    return level >= 0 && level <= 4 ? level : 0;
}
std::string SessionDialogModel::luName() const {
    return selected() ? selected()->luName : std::string();
}

void SessionDialogModel::chooseSessionFile(const std::string& name) {
    fileText_ = name;
    loadSession(withSesExtension(trim(name)));
}

void SessionDialogModel::chooseHost(int row) {
    int seen = 0;
    const auto& all = hosts_.entries();
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (all[i].deleted) continue;
        if (seen++ == row) {
            selected_ = i;
            hostText_ = all[i].hostName;
            return;
        }
    }
}

std::optional<DialogMessage> SessionDialogModel::addTypedHost() {
    const auto result = hosts_.add(hostText_, start_.keepAliveTime);
    if (result.status == HostList::AddStatus::Refused && result.message)
        return DialogMessage{result.message->title, result.message->text};
    if (result.status == HostList::AddStatus::Added) {
        selected_ = result.index;
        hostText_ = hosts_.entries()[*selected_].hostName;
    } else if (auto index = hosts_.indexOf(trim(hostText_))) {
        selected_ = *index;
    }
    return std::nullopt;
}

namespace {
// Applies `change` to a copy of the entry and stores it.
template <typename Change>
void edit(HostList& hosts, std::optional<std::size_t> index, Change change) {
    if (!index) return;
    HostEntry entry = hosts.entries()[*index];
    change(entry);
    hosts.update(*index, entry);
}
}  // namespace

void SessionDialogModel::setPort(int port) {
    edit(hosts_, selected_, [&](HostEntry& e) {
        e.port = static_cast<std::uint16_t>(port >= 1 && port <= 65535 ? port : 23);
    });
}
void SessionDialogModel::setTn3270e(bool on) {
    edit(hosts_, selected_, [&](HostEntry& e) { e.tn3270e = on; });
}
void SessionDialogModel::setEncryption(int level) {
    edit(hosts_, selected_, [&](HostEntry& e) { e.securityLevel = std::clamp(level, 0, 4); });
}
std::optional<DialogMessage> SessionDialogModel::setLuName(const std::string& name) {
    if (!selected_) return std::nullopt;
    HostEntry entry = hosts_.entries()[*selected_];
    entry.luName = name.substr(0, kLuNameChars);
    if (auto refused = hosts_.update(*selected_, entry))
        return DialogMessage{refused->title, refused->text};
    return std::nullopt;
}

void SessionDialogModel::deleteHost() {
    if (!selected_) return;
    const int row = hostRow();
    hosts_.remove(hosts_.entries()[*selected_].hostName);
    selected_.reset();
    const auto items = hostItems();
    if (items.empty()) {
        hostText_ = kSampleHostName;
        return;
    }
    chooseHost(std::min(row, static_cast<int>(items.size()) - 1));
}

std::optional<DialogMessage> SessionDialogModel::assignAlias(const std::string& ipName) {
    if (!selected_) return std::nullopt;
    HostEntry entry = hosts_.entries()[*selected_];
    entry.ipName = trim(ipName).substr(0, kHostNameChars);
    if (auto refused = hosts_.update(*selected_, entry))
        return DialogMessage{refused->title, refused->text};
    return std::nullopt;
}

void SessionDialogModel::setCertificates(const std::string& caCert, const std::string& clientCert,
                                         const std::string& clientKey, bool validate,
                                         bool domainMustMatch) {
    auto file = [](const std::string& name) { return name == "(none)" ? std::string() : name; };
    edit(hosts_, selected_, [&](HostEntry& e) {
        e.caCert = file(caCert);
        e.clientCert = file(clientCert);
        e.clientKey = file(clientKey);
        e.validateHostCert = validate;
        e.domainMustMatchHost = domainMustMatch;
    });
}

void SessionDialogModel::setModel(int model) {
    model_ = std::clamp(model, 0, 4);
}

namespace {
const DialogMessage kTooManyPositions{
    "Screen Height Error",
    "Width x Height cannot be more than 16383\n(3270 protocol is limited to 14 bit addressing)"};
}

std::optional<DialogMessage> SessionDialogModel::leaveHeight(int rows) {
    std::optional<DialogMessage> message;
    if (rows < 24 || rows > 200) {
        message = DialogMessage{"Screen Height Error", "Screen size must be 24 to 200 lines high"};
        rows = rows < 24 ? 24 : 200;
    }
    if (rows * columns_ >= kMaxPositions) return kTooManyPositions;  // the previous value stays
    rows_ = rows;
    return message;
}

std::optional<DialogMessage> SessionDialogModel::leaveWidth(int columns) {
    std::optional<DialogMessage> message;
    if (columns < 80 || columns > 200) {
        message =
            DialogMessage{"Screen Width Error", "Screen size must be 80 to 200 characters wide"};
        columns = columns < 80 ? 80 : 200;
    }
    if (rows_ * columns >= kMaxPositions) return kTooManyPositions;
    columns_ = columns;
    return message;
}

SessionDialogModel::Outcome SessionDialogModel::commit(Action action,
                                                       std::optional<NewFileAnswer> answer) {
    Outcome out;
    if (action == Action::Connect) {
        if (auto refused = addTypedHost()) {
            out.message = refused;
            return out;
        }
    }
    const std::string name = trim(fileText_);
    if (name.empty()) {
        out.message = DialogMessage{"New Session File", "Type a name for the session file."};
        return out;
    }
    const bool listed = std::any_of(fileItems_.begin(), fileItems_.end(), [&](const auto& item) {
        return sameName(item, name) || sameName(item, withSesExtension(name)) ||
               sameName(withSesExtension(item), withSesExtension(name));
    });
    if (!listed) {
        if (!answer) {
            out.kind = Outcome::Kind::AskNewFile;
            out.message = DialogMessage{
                "New Session File",
                "Session file " + name +
                    " does not exist but will be created.\n\nDo you want to add an icon for this "
                    "session?\n"};
            return out;
        }
        if (*answer == NewFileAnswer::Cancel) return out;
        out.makeShortcut = *answer == NewFileAnswer::Yes;
    }
    out.sessionFile = withSesExtension(name);

    const HostEntry* entry = selected();
    if (entry == nullptr) entry = hosts_.find(trim(hostText_));
    if (entry == nullptr) {
        hostFocus_ = true;
        out.message = DialogMessage{
            "No Host Name",
            "You need to type a host name or IP address before attempting to connect"};
        return out;
    }
    options_.setText(Field::SessionFile, out.sessionFile);
    if (action == Action::Connect) {
        options_.setText(Field::HostName, entry->hostName);
        options_.setText(Field::IpName, entry->ipName);
        options_.setNumber(Field::Port, entry->port);
        options_.setNumber(Field::Tn3270e, entry->tn3270e ? 1 : 0);
        options_.setNumber(Field::SecurityLevel, entry->securityLevel);
        options_.setText(Field::LuName, entry->luName);
        options_.setNumber(Field::TerminalModel, model_);
        options_.setNumber(Field::UserModelHeight, rows_);
        options_.setNumber(Field::UserModelWidth, columns_);
        out.security = HostSecurity{entry->caCert, entry->clientCert, entry->clientKey,
                                    entry->validateHostCert, entry->domainMustMatchHost};
        out.keepAliveTime = entry->keepAliveTime < 0 ? start_.keepAliveTime : entry->keepAliveTime;
        out.resetScreen = true;
    }
    out.kind = Outcome::Kind::Done;
    out.connect = action == Action::Connect;
    return out;
}

}  // namespace cedar::sessionfile
