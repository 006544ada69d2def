#include "sessionfile/host_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sessionfile/private_profile.h"

namespace cedar::sessionfile {
namespace {

std::string join(const std::vector<std::string>& items) {
    std::string out;
    for (std::size_t i = 0; i < items.size(); ++i)
        out += (i ? "," : "") + items[i];
    return out;
}

std::string value(std::string_view text, std::string_view key) {
    return profile::find(text, "Cedar", key).value_or("(missing)");
}

const std::string kIni =
    "[Cedar]\r\n"
    "KeepAliveTime=60\r\n"
    "Hostnames=mvs,tso.example.com,vm,alias\r\n"
    "IPnames=  10.0.0.1 ,,vm.example.com\r\n"
    "Portnums=992,,0,99999\r\n"
    "TN3270E=0,1,,7\r\n"
    "SSL=6,3,1,5\r\n"
    "Lunames=LU01,,LU03\r\n"
    "KeepAliveTimes=30,,-1,-40\r\n"
    "CA_Certs= ca.pem ,,\r\n"
    "Client_Certs=me.pem\r\n"
    "Client_Keys=me.key\r\n"
    "Validate_Host_Cert=1,0\r\n"
    "Domain_Must_Match_Host=1,0,1\r\n"
    "LastSession=tso.ses\r\n"
    "[UserVariables]\r\n"
    "X=1\r\n";

TEST(HostListParse, EveryKeyFillsItsField) {
    const HostList list = HostList::parse(kIni);
    ASSERT_EQ(list.entries().size(), 4u);
    struct Expected {
        const char* host;
        const char* ip;
        int port;
        bool tn3270e;
        int level;
        const char* lu;
        int keepAlive;
        const char* ca;
        const char* cert;
        bool validate;
        bool domain;
    } expected[] = {
        // IP names and CA certificates trimmed; SSL code 6 is "Highest".
        {"mvs", "10.0.0.1", 992, false, 1, "LU01", 30, "ca.pem", "me.pem", true, true},
        // Empty items keep the defaults: IP name = host name, port 23, TN3270E on.
        {"tso.example.com", "tso.example.com", 23, true, 2, "", -1, "", "", false, false},
        // Port 0 means 23; SSL code 1 is an older level, kept.
        {"vm", "vm.example.com", 23, true, 11, "LU03", -1, "", "", false, true},
        // A port out of range means 23; a missing item keeps the default.
        {"alias", "alias", 23, true, 4, "", -1, "", "", false, false},
    };
    for (std::size_t i = 0; i < 4; ++i) {
        const HostEntry& e = list.entries()[i];
        const Expected& x = expected[i];
        SCOPED_TRACE(x.host);
        EXPECT_EQ(e.hostName, x.host);
        EXPECT_EQ(e.ipName, x.ip);
        EXPECT_EQ(e.port, x.port);
        EXPECT_EQ(e.tn3270e, x.tn3270e);
        EXPECT_EQ(e.securityLevel, x.level);
        EXPECT_EQ(e.luName, x.lu);
        EXPECT_EQ(e.keepAliveTime, x.keepAlive);
        EXPECT_EQ(e.caCert, x.ca);
        EXPECT_EQ(e.clientCert, x.cert);
        EXPECT_EQ(e.validateHostCert, x.validate);
        EXPECT_EQ(e.domainMustMatchHost, x.domain);
        EXPECT_FALSE(e.deleted);
    }
    EXPECT_TRUE(HostList::parse("").entries().empty());
    EXPECT_TRUE(HostList::parse("[Cedar]\r\nPortnums=1,2\r\n").entries().empty());
}

TEST(HostListParse, SslCodesAndLevels) {
    struct Case {
        int code;
        int level;
        int writtenBack;
    } cases[] = {
        {0, 0, 0}, {1, 11, 1}, {2, 12, 2},    {3, 2, 3},   {4, 3, 4},  {5, 4, 5},
        {6, 1, 6}, {7, 17, 7}, {99, 109, 99}, {100, 0, 0}, {-1, 0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(securityLevelFromSslCode(c.code), c.level) << c.code;
        EXPECT_EQ(sslCodeFromSecurityLevel(c.level), c.writtenBack) << c.code;
    }
    EXPECT_EQ(sslCodeFromSecurityLevel(5), 0) << "not a level";
}

TEST(HostListParse, LongListsAreReadWhole) {
    // Far beyond what a 32,760-character read would keep, and beyond 1000 hosts.
    std::vector<std::string> names, ports;
    for (int i = 0; i < 1200; ++i) {
        names.push_back("host-number-" + std::to_string(i) + ".a-rather-long-domain.example.com");
        ports.push_back(std::to_string(1000 + i));
    }
    const std::string text =
        "[Cedar]\r\nHostnames=" + join(names) + "\r\nPortnums=" + join(ports) + "\r\n";
    ASSERT_GT(value(text, "Hostnames").size(), 50000u);

    std::vector<HostListMessage> warnings;
    const HostList list = HostList::parse(text, &warnings);
    ASSERT_EQ(list.size(), 1200u);
    EXPECT_EQ(list.entries().back().hostName, names.back());
    EXPECT_EQ(list.entries().back().port, 2199);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0].text, "Maximum number of hostnames was reached (1000)");
    EXPECT_EQ(warnings[0].title, "Error loading host names");

    const std::string stored = list.store("");
    EXPECT_EQ(value(stored, "Hostnames"), join(names)) << "saving loses none of them";
    EXPECT_EQ(value(stored, "Portnums"), join(ports));

    names.resize(1000);
    warnings.clear();
    EXPECT_EQ(HostList::parse("[Cedar]\r\nHostnames=" + join(names) + "\r\n", &warnings).size(),
              1000u);
    EXPECT_TRUE(warnings.empty()) << "exactly 1000 loads without a message";
}

TEST(HostListParse, AnEmptyHostNameKeepsTheListsAligned) {
    HostList list =
        HostList::parse("[Cedar]\r\nHostnames=a,,c\r\nPortnums=1,2,3\r\nLunames=LA,LB,LC\r\n");
    ASSERT_EQ(list.entries().size(), 3u);
    EXPECT_TRUE(list.entries()[1].deleted);
    EXPECT_EQ(list.size(), 2u);
    EXPECT_EQ(list.find("c")->port, 3);
    EXPECT_EQ(list.find(""), nullptr);

    const std::string stored = list.store("");
    EXPECT_EQ(value(stored, "Hostnames"), "a,c");
    EXPECT_EQ(value(stored, "Portnums"), "1,3");
    EXPECT_EQ(value(stored, "Lunames"), "LA,LC");
}

TEST(HostListEdit, CommasAndLineBreaksAreRefused) {
    const HostEntry good = newHostEntry("mvs");
    ASSERT_FALSE(checkHostEntry(good).has_value());
    struct Case {
        const char* what;
        std::string HostEntry::*field;
        std::string value;
    } cases[] = {
        {"host name", &HostEntry::hostName, "mvs,tso"},
        {"IP name", &HostEntry::ipName, "10.0.0.1,2"},
        {"LU name", &HostEntry::luName, "LU,1"},
        {"CA certificate", &HostEntry::caCert, "ca,1.pem"},
        {"client certificate", &HostEntry::clientCert, "me,1.pem"},
        {"client key", &HostEntry::clientKey, "me,1.key"},
        {"line break", &HostEntry::caCert, "ca.pem\r\nSSL=0"},
        {"host name too long", &HostEntry::hostName, std::string(65, 'h')},
        {"LU name too long", &HostEntry::luName, std::string(20, 'L')},
        {"file name too long", &HostEntry::clientKey, std::string(260, 'k')},
        {"no host name", &HostEntry::hostName, ""},
    };
    HostList list = HostList::parse(kIni);
    const HostList before = list;
    for (const auto& c : cases) {
        HostEntry e = good;
        e.*c.field = c.value;
        const auto why = checkHostEntry(e);
        ASSERT_TRUE(why.has_value()) << c.what;
        EXPECT_FALSE(why->text.empty());
        EXPECT_TRUE(list.update(0, e).has_value()) << c.what;
    }
    EXPECT_EQ(list.entries(), before.entries()) << "a refused update changes nothing";

    const auto added = list.add("mvs,tso");
    EXPECT_EQ(added.status, HostList::AddStatus::Refused);
    ASSERT_TRUE(added.message.has_value());
    EXPECT_EQ(added.message->title, "Host name not added");
    EXPECT_NE(added.message->text.find("comma"), std::string::npos);
    EXPECT_EQ(list.entries(), before.entries());

    HostEntry e = good;
    e.port = 0;
    EXPECT_TRUE(checkHostEntry(e).has_value());
    e = good;
    e.keepAliveTime = -2;
    EXPECT_TRUE(checkHostEntry(e).has_value());
    e = good;
    e.securityLevel = 7;
    EXPECT_TRUE(checkHostEntry(e).has_value());
}

TEST(HostListEdit, NewEntriesCheckCertificates) {
    HostList list = HostList::parse(kIni);
    const auto added = list.add("  new.host  ", 120);
    ASSERT_EQ(added.status, HostList::AddStatus::Added);
    const HostEntry& e = list.entries()[*added.index];
    EXPECT_EQ(e.hostName, "new.host");
    EXPECT_EQ(e.ipName, "new.host");
    EXPECT_EQ(e.port, 23);
    EXPECT_TRUE(e.tn3270e);
    EXPECT_EQ(e.securityLevel, 0);
    EXPECT_EQ(e.luName, "");
    EXPECT_EQ(e.keepAliveTime, 120);
    EXPECT_TRUE(e.validateHostCert);
    EXPECT_TRUE(e.domainMustMatchHost);
    EXPECT_EQ(e, newHostEntry("new.host", 120));

    // Entries from the file keep what the file says, checks off included.
    const HostList reread = HostList::parse(list.store(kIni));
    EXPECT_FALSE(reread.find("tso.example.com")->validateHostCert);
    EXPECT_TRUE(reread.find("new.host")->validateHostCert);
    EXPECT_TRUE(reread.find("new.host")->domainMustMatchHost);
}

TEST(HostListEdit, AddingFindingAndRemoving) {
    HostList list = HostList::parse(kIni);
    using S = HostList::AddStatus;
    struct Case {
        const char* typed;
        S status;
    } cases[] = {
        {"", S::Ignored},
        {"   ", S::Ignored},
        {"mainframe.example.com", S::Ignored},  // the sample host name
        {" vm ", S::Ignored},                   // already listed
        {"VM", S::Added},                       // names compare exactly
    };
    for (const auto& c : cases)
        EXPECT_EQ(list.add(c.typed).status, c.status) << "'" << c.typed << "'";
    EXPECT_EQ(list.add("vm").index, list.indexOf("vm"));
    EXPECT_EQ(list.size(), 5u);

    EXPECT_EQ(list.find("vm")->ipName, "vm.example.com");
    EXPECT_EQ(list.find("VM")->ipName, "VM");
    EXPECT_EQ(list.find("vm.example.com"), nullptr) << "found by host name, not IP name";

    ASSERT_TRUE(list.remove("tso.example.com"));
    EXPECT_FALSE(list.remove("tso.example.com"));
    EXPECT_EQ(list.find("tso.example.com"), nullptr);
    EXPECT_EQ(list.add("tso.example.com").status, S::Added) << "a deleted name can come back";

    // Renaming onto another entry's name is refused; onto its own is fine.
    HostEntry e = *list.find("mvs");
    e.hostName = "vm";
    EXPECT_TRUE(list.update(*list.indexOf("mvs"), e).has_value());
    e.hostName = "mvs";
    e.port = 1023;
    EXPECT_FALSE(list.update(*list.indexOf("mvs"), e).has_value());
    EXPECT_EQ(list.find("mvs")->port, 1023);
    EXPECT_TRUE(list.update(99, e).has_value());
}

TEST(HostListEdit, TheListIsFullAtAThousand) {
    std::vector<std::string> names;
    for (int i = 0; i < 1000; ++i)
        names.push_back("h" + std::to_string(i));
    HostList list = HostList::parse("[Cedar]\r\nHostnames=" + join(names) + "\r\n");
    const auto refused = list.add("one.more");
    EXPECT_EQ(refused.status, HostList::AddStatus::Refused);
    ASSERT_TRUE(refused.message.has_value());
    EXPECT_EQ(refused.message->text, "Maximum number of host names has been reached (1000)");
    EXPECT_EQ(refused.message->title, "Host name not added");
    ASSERT_TRUE(list.remove("h5"));
    EXPECT_EQ(list.add("one.more").status, HostList::AddStatus::Added);
}

TEST(HostListStore, RoundTripThroughProfileText) {
    HostList list = HostList::parse(kIni);
    ASSERT_TRUE(list.remove("vm"));
    list.add("added.host", 90);
    const std::string stored = list.store(kIni);

    // Every list without the deleted entry, in step with the others.
    const std::pair<const char*, const char*> keys[] = {
        {"Hostnames", "mvs,tso.example.com,alias,added.host"},
        {"IPnames", "10.0.0.1,tso.example.com,alias,added.host"},
        {"Portnums", "992,23,23,23"},
        {"TN3270E", "0,1,1,1"},
        {"SSL", "6,3,5,0"},
        {"Lunames", "LU01,,,"},
        {"KeepAliveTimes", "30,-1,-1,90"},
        {"CA_Certs", "ca.pem,,,"},
        {"Client_Certs", "me.pem,,,"},
        {"Client_Keys", "me.key,,,"},
        {"Validate_Host_Cert", "1,0,0,1"},
        {"Domain_Must_Match_Host", "1,0,0,1"},
    };
    for (const auto& [key, v] : keys)
        EXPECT_EQ(value(stored, key), v) << key;

    EXPECT_EQ(HostList::parse(stored).entries(),
              std::vector<HostEntry>(
                  {list.entries()[0], list.entries()[1], list.entries()[3], list.entries()[4]}));

    // Other keys and sections are kept.
    EXPECT_EQ(value(stored, "KeepAliveTime"), "60");
    EXPECT_EQ(value(stored, "LastSession"), "tso.ses");
    EXPECT_EQ(profile::find(stored, "UserVariables", "X"), "1");
    EXPECT_NE(stored.find("LastSession=tso.ses\r\n[UserVariables]\r\nX=1\r\n"), std::string::npos);

    // Storing what was read changes nothing more.
    EXPECT_EQ(HostList::parse(stored).store(stored), stored);
}

TEST(HostListStore, ValuesReadBackExactly) {
    // Items whose blanks or quotes at the ends of a list would otherwise be
    // taken off when the value is read back.
    const std::vector<std::vector<std::string>> sets = {
        {" lead", "mid dle", "trail "}, {"'q1", "q2'"}, {"\"d1", "d2\""}};
    for (const auto& names : sets) {
        std::vector<std::string> placeholders;
        for (std::size_t i = 0; i < names.size(); ++i)
            placeholders.push_back("p" + std::to_string(i));
        HostList list = HostList::parse("[Cedar]\r\nHostnames=" + join(placeholders) + "\r\n");
        for (std::size_t i = 0; i < names.size(); ++i) {
            HostEntry e = newHostEntry(names[i]);
            e.ipName = "ip" + std::to_string(i);
            ASSERT_FALSE(list.update(i, e).has_value()) << names[i];
        }
        EXPECT_EQ(HostList::parse(list.store("")).entries(), list.entries()) << names[0];
    }
}

}  // namespace
}  // namespace cedar::sessionfile
