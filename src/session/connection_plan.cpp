#include "session/connection_plan.h"

#include <algorithm>

#include "session/folders.h"
#include "sessionfile/session_file.h"

namespace cedar {

namespace {

std::string certPath(const std::string& folder, const std::string& name) {
    return name.empty() ? std::string() : buildPath(folder, name, "pem");
}

void applySettings(ConnectionPlan& plan, const Settings& settings) {
    plan.connection.setSockOpt = settings.setSockOpt;
    plan.connection.cipherList = settings.cipherList;
    plan.connection.cipherSuites = settings.cipherSuites;
}

void applyEntry(ConnectionPlan& plan, const sessionfile::HostEntry& e, const std::string& certs) {
    plan.connection.host = e.ipName.empty() ? e.hostName : e.ipName;
    plan.connection.port = e.port;
    plan.connection.encryption = encryptionOfLevel(e.securityLevel);
    plan.connection.caFile = certPath(certs, e.caCert);
    plan.connection.clientCertFile = certPath(certs, e.clientCert);
    plan.connection.clientKeyFile = certPath(certs, e.clientKey);
    plan.connection.validateHostCertificate = e.validateHostCert;
    plan.connection.hostNameMustMatch = e.domainMustMatchHost;
    plan.telnet.tn3270eAllowed = e.tn3270e;
    plan.telnet.luName = e.luName;
    // The certificates the user trusted for one host and port.
    plan.connection.trustFile =
        certs.empty() ? std::string() : buildPath(certs, kTrustFileName, "");
}

}  // namespace

Encryption encryptionOfLevel(int level) {
    return level >= 0 && level <= 4 ? static_cast<Encryption>(level) : Encryption::None;
}

ConnectionPlan planFromHost(const std::string& hostName, const sessionfile::HostList& hosts,
                            const Settings& settings, const std::string& certsFolder) {
    ConnectionPlan plan;
    plan.hostName = hostName;
    applySettings(plan, settings);
    if (const auto* e = hosts.find(hostName)) {
        plan.hostListEntry = true;
        applyEntry(plan, *e, certsFolder);
    } else {
        applyEntry(plan, sessionfile::newHostEntry(hostName), certsFolder);
    }
    return plan;
}

ConnectionPlan planFromSession(const sessionfile::SessionOptions& loaded,
                               const sessionfile::HostList& hosts, const Settings& settings,
                               const std::string& certsFolder) {
    using sessionfile::Field;
    ConnectionPlan plan;
    // The host list entry named like the session's host supplies its port,
    // TN3270E, security level and LU name, and the certificate files and
    // checks, which the session file does not hold.
    sessionfile::SessionOptions session = loaded;
    const auto security = sessionfile::mergeHostEntry(session, hosts);
    plan.hostName = session.text(Field::HostName);
    applySettings(plan, settings);
    sessionfile::HostEntry e = sessionfile::newHostEntry(plan.hostName);
    const std::string ip = session.text(Field::IpName);
    e.ipName = ip.empty() ? plan.hostName : ip;
    e.port =
        static_cast<std::uint16_t>(std::clamp<std::int64_t>(session.number(Field::Port), 1, 65535));
    e.tn3270e = session.number(Field::Tn3270e) != 0;
    e.securityLevel = static_cast<int>(session.number(Field::SecurityLevel));
    e.luName = session.text(Field::LuName);
    if (security) {
        plan.hostListEntry = true;
        // The host list holds the address the user keeps up to date.
        if (const auto* listed = hosts.find(plan.hostName); listed && !listed->ipName.empty())
            e.ipName = listed->ipName;
        e.caCert = security->caCert;
        e.clientCert = security->clientCert;
        e.clientKey = security->clientKey;
        e.validateHostCert = security->validateHostCert;
        e.domainMustMatchHost = security->domainMustMatchHost;
    }
    applyEntry(plan, e, certsFolder);
    plan.modelIndex =
        static_cast<int>(std::clamp<std::int64_t>(session.number(Field::TerminalModel), 0, 4));
    plan.userRows = static_cast<int>(session.number(Field::UserModelHeight));
    plan.userColumns = static_cast<int>(session.number(Field::UserModelWidth));
    return plan;
}

bool settleModel(Session& session, const ConnectionPlan& plan) {
    ScreenSessionOptions& o = session.options;
    if (o.modelIndex == plan.modelIndex && o.userRows == plan.userRows &&
        o.userColumns == plan.userColumns)
        return false;
    o.modelIndex = plan.modelIndex;
    o.userRows = plan.userRows;
    o.userColumns = plan.userColumns;
    session.applySizeOptions();
    return true;
}

}  // namespace cedar
