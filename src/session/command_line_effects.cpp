#include "session/command_line_effects.h"

#include <cstdlib>

namespace cedar {

namespace {

using sessionfile::Field;

bool numberValue(const std::string& text, long& out) {
    if (text.empty()) return false;
    char* end = nullptr;
    out = std::strtol(text.c_str(), &end, 10);
    return *end == '\0';
}

}  // namespace

CommandLineEffects applyConnectionOptions(const CommandLine& line,
                                          sessionfile::SessionOptions& session,
                                          sessionfile::HostList& hosts) {
    CommandLineEffects fx;
    std::string host = line.value(Opt::Host);
    if (line.has(Opt::Url)) {
        host = line.value(Opt::Url);
        while (!host.empty() && host.back() == '/')
            host.pop_back();
    }
    std::optional<std::size_t> entry;
    if (!host.empty()) {
        fx.givenOnCommandLine = true;
        session.setText(Field::HostName, host);
        session.setText(Field::IpName, host);
        entry = hosts.indexOf(host);
        if (!entry) {
            // A new entry: port 23, TN3270E on, no encryption, no LU name,
            // and both certificate checks on.
            const auto added = hosts.add(host);
            if (added.status == sessionfile::HostList::AddStatus::Refused && added.message)
                fx.messages.push_back(*added.message);
            entry = added.index;
        }
        if (entry) {
            fx.saveHostList = true;
            fx.security = sessionfile::mergeHostEntry(session, hosts);
        }
    }
    auto updateEntry = [&](auto change) {
        if (!entry) return;
        sessionfile::HostEntry e = hosts.entries()[*entry];
        change(e);
        if (auto message = hosts.update(*entry, e)) fx.messages.push_back(*message);
    };
    long n = 0;
    if (line.has(Opt::LuName)) {
        const std::string lu = line.value(Opt::LuName);
        if (session.setText(Field::LuName, lu)) {
            updateEntry([&](sessionfile::HostEntry& e) { e.luName = lu; });
            fx.givenOnCommandLine = fx.saveSession = true;
        }
    }
    if (line.has(Opt::Port) && numberValue(line.value(Opt::Port), n) && n >= 1 && n <= 65535) {
        session.setNumber(Field::Port, n);
        updateEntry([&](sessionfile::HostEntry& e) { e.port = static_cast<std::uint16_t>(n); });
        fx.givenOnCommandLine = fx.saveSession = true;
    }
    if (line.has(Opt::Tn3270e)) {
        session.setNumber(Field::Tn3270e, 1);
        updateEntry([&](sessionfile::HostEntry& e) { e.tn3270e = true; });
        fx.givenOnCommandLine = fx.saveSession = true;
    }
    if (line.has(Opt::Model) && numberValue(line.value(Opt::Model), n)) {
        if (n >= 2 && n <= 5) session.setNumber(Field::TerminalModel, n - 2);
        fx.givenOnCommandLine = fx.saveSession = true;  // other numbers change nothing
    }
    if (line.has(Opt::Security) && numberValue(line.value(Opt::Security), n)) {
        const long level = n >= 0 && n <= 5 ? n : 0;
        session.setNumber(Field::SecurityLevel, level);
        updateEntry([&](sessionfile::HostEntry& e) { e.securityLevel = static_cast<int>(level); });
        fx.givenOnCommandLine = fx.saveSession = true;
    }
    if (line.has(Opt::Scheme)) {
        fx.colorScheme = line.value(Opt::Scheme);
        fx.givenOnCommandLine = fx.saveSession = true;
    }
    if (!host.empty()) fx.saveSession = true;
    return fx;
}

}  // namespace cedar
