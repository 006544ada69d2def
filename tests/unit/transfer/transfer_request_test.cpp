// The start of a transfer on a session wired to a fake host: the command
// typed into the host's input field and sent with Enter, the PC file opened
// through the opener, the status TR_READY and the progress line.
#include "transfer/transfer_request.h"

#include <gtest/gtest.h>

#include <map>

#include "fake_connector.h"
#include "manual_scheduler.h"
#include "record_builder.h"
#include "session/session_keyboard.h"
#include "test_paths.h"

namespace cedar {
namespace {

using namespace telnet;
using Bytes_ = std::vector<std::uint8_t>;

// PC files in memory.
class MemoryFiles : public TransferFileOpener {
  public:
    struct File : TransferFile {
        File(std::string& contents, std::size_t readSize) : data(contents), chunk(readSize) {}
        std::optional<std::size_t> read(std::span<std::uint8_t> buffer) override {
            const std::size_t n = std::min({buffer.size(), data.size() - at, chunk});
            std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(at), n, buffer.begin());
            at += n;
            return n;
        }
        bool write(std::span<const std::uint8_t> bytes) override {
            data.append(bytes.begin(), bytes.end());
            return true;
        }
        void close() override { closed = true; }
        std::string errorText() const override { return {}; }
        std::string& data;
        std::size_t chunk;
        std::size_t at = 0;
        bool closed = false;
    };

    std::unique_ptr<TransferFile> open(const std::string& path, Mode mode,
                                       std::string& error) override {
        opens.emplace_back(path, mode);
        auto found = files.find(path);
        if (mode == Mode::Read && found == files.end()) {
            error = "No such file or directory";
            return nullptr;
        }
        std::string& contents = files[path];
        if (mode == Mode::Create) contents.clear();
        return std::make_unique<File>(contents, chunk);
    }

    std::map<std::string, std::string> files;
    std::vector<std::pair<std::string, Mode>> opens;
    std::size_t chunk = 7;  // small reads: a CR and an LF land in different reads
};

struct RecordingLink : TransferRequestLink {
    explicit RecordingLink(Session& s) : session(s) {}
    SessionStatus status() const override { return session.status; }
    void setStatus(SessionStatus s) override { session.status = s; }
    void progressLine(std::string_view line) override { lines.emplace_back(line); }
    Session& session;
    std::vector<std::string> lines;
};

// The EBCDIC of a display text in code page 037 (upper case, digits, blank,
// the few specials the commands use).
Bytes_ ebcdic(std::string_view text) {
    Bytes_ out;
    for (char c : text) {
        if (c >= 'A' && c <= 'I')
            out.push_back(static_cast<std::uint8_t>(0xC1 + c - 'A'));
        else if (c >= 'J' && c <= 'R')
            out.push_back(static_cast<std::uint8_t>(0xD1 + c - 'J'));
        else if (c >= 'S' && c <= 'Z')
            out.push_back(static_cast<std::uint8_t>(0xE2 + c - 'S'));
        else if (c >= '0' && c <= '9')
            out.push_back(static_cast<std::uint8_t>(0xF0 + c - '0'));
        else if (c == ' ')
            out.push_back(0x40);
        else if (c == '$')
            out.push_back(0x5B);
        else if (c == '.')
            out.push_back(0x4B);
        else if (c == '(')
            out.push_back(0x4D);
        else if (c == ')')
            out.push_back(0x5D);
        else if (c == '\'')
            out.push_back(0x7D);
        else
            ADD_FAILURE() << "no EBCDIC for " << c;
    }
    return out;
}

// The 3270 code of a 6-bit part of a buffer address.
std::uint8_t addressCode(int sixBits) {
    static constexpr std::uint8_t codes[64] = {
        0x40, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0x4A, 0x4B, 0x4C,
        0x4D, 0x4E, 0x4F, 0x50, 0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7, 0xD8, 0xD9,
        0x5A, 0x5B, 0x5C, 0x5D, 0x5E, 0x5F, 0x60, 0x61, 0xE2, 0xE3, 0xE4, 0xE5, 0xE6,
        0xE7, 0xE8, 0xE9, 0x6A, 0x6B, 0x6C, 0x6D, 0x6E, 0x6F, 0xF0, 0xF1, 0xF2, 0xF3,
        0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9, 0x7A, 0x7B, 0x7C, 0x7D, 0x7E, 0x7F};
    return codes[sixBits & 0x3F];
}

struct Harness {
    Harness() {
        ConnectionOptions options;
        options.host = "host";
        link.connect(options, {});
        connector.up();
        connector.receive({kIac, kDo, kOptEndOfRecord});
    }
    void host(Bytes_ record) {
        record.insert(record.end(), {kIac, kEor});
        connector.receive(record);
    }
    // A READY prompt: an input field over two rows (data 81..239) with the
    // cursor in it, holding old text the command must erase.
    void readyScreen() {
        host(test::RecordBuilder(0xF5, 0xC3)
                 .sf(0x60)
                 .text("READY")
                 .sba(80)
                 .sf(0x40)
                 .ic()
                 .text("OLD TEXT")
                 .sba(240)
                 .sf(0x60)
                 .bytes());
    }
    TransferStart start(const TransferRequest& request, std::uint8_t dollar = '$') {
        TransferStartContext context{t.session.transfer, keyboard.controller(), transferLink, files,
                                     dollar};
        return startTransferRequest(request, context);
    }
    Bytes_ lastSent() const { return connector.current->sent.back(); }

    test::TestSession t;
    test::FakeConnector connector;
    test::ManualScheduler scheduler;
    LinkUi ui;
    HostLink link{t.session, connector, scheduler, ui};
    SessionKeyboard keyboard{t.session, link};
    RecordingLink transferLink{t.session};
    MemoryFiles files;
};

TransferRequest upload(std::string name) {
    TransferRequest r;
    r.direction = TransferDirection::Upload;
    r.pcFolder = "/home/u";
    r.pcName = std::move(name);
    r.hostName = "user.data";
    r.command.recordLength = 80;
    r.command.recordFormat = RecordFormat::Fixed;
    return r;
}

TEST(TransferRequest, UploadTypesTheCommandAndWaitsForTheHost) {
    Harness h;
    h.readyScreen();
    h.files.files["/home/u/a.txt"] = "line 1\nline 2\n";
    const std::size_t sentBefore = h.connector.current->sent.size();

    const TransferStart start = h.start(upload("a.txt"));
    ASSERT_EQ(start.kind, TransferStart::Kind::Started) << start.message.text;
    EXPECT_EQ(start.command, "IND$FILE PUT USER.DATA ASCII CRLF LRECL(80) RECFM(F) ");

    // Enter went out with the field: the old text erased, the command in
    // its place, "$" as the host's 0x5B.
    ASSERT_EQ(h.connector.current->sent.size(), sentBefore + 1);
    Bytes_ expected = {0x7D};
    const int cursor = 81 + static_cast<int>(start.command.size());
    expected.push_back(addressCode(cursor >> 6));
    expected.push_back(addressCode(cursor & 0x3F));
    expected.insert(expected.end(), {0x11, addressCode(81 >> 6), addressCode(81 & 0x3F)});
    // The trailing blank is typed; the field sends up to its last non-null.
    const Bytes_ text = ebcdic(start.command);
    expected.insert(expected.end(), text.begin(), text.end());
    expected.insert(expected.end(), {kIac, kEor});
    EXPECT_EQ(h.lastSent(), expected);

    const TransferState& state = h.t.session.transfer;
    EXPECT_EQ(h.t.session.status, SessionStatus::TransferReady);
    EXPECT_EQ(state.direction, TransferDirection::Upload);
    EXPECT_EQ(state.hostType, TransferHostType::Tso);
    EXPECT_FALSE(state.uploadBinary);
    EXPECT_FALSE(state.uploadLfToCrLf) << "the setting is off";
    ASSERT_NE(state.file, nullptr);
    EXPECT_EQ(h.transferLink.lines,
              (std::vector<std::string>{"Upload /home/u/a.txt to user.data"}));

    // A second request while this one runs starts nothing.
    const TransferStart second = h.start(upload("a.txt"));
    EXPECT_EQ(second.kind, TransferStart::Kind::Refused);
    EXPECT_EQ(second.message.title, "File Transfer in Progress");
    EXPECT_EQ(h.connector.current->sent.size(), sentBefore + 1);
}

// In a code page whose 0x5B is not "$", the command is typed with that
// page's character, which reaches the host as its own 0x5B.
TEST(TransferRequest, TheHostReceivesItsOwnDollar) {
    Harness h;
    loadCountryText(test::readFile(test::dataDir() + "/country.lst"), CountryMode::Screen,
                    {"United Kingdom 285", "ANSI 1252", ""}, h.t.session.codePages);
    h.readyScreen();
    h.files.files["/home/u/a.txt"] = "x";
    const std::uint8_t pound = h.t.session.codePages.hostToDisplay(0x5B);
    ASSERT_EQ(pound, 0xA3);
    const TransferStart start = h.start(upload("a.txt"), pound);
    ASSERT_EQ(start.kind, TransferStart::Kind::Started);
    const Bytes_ sent = h.lastSent();
    const Bytes_ program = {0xC9, 0xD5, 0xC4, 0x5B, 0xC6, 0xC9, 0xD3, 0xC5};  // IND$FILE
    ASSERT_GE(sent.size(), 6 + program.size());
    EXPECT_EQ(Bytes_(sent.begin() + 6, sent.begin() + 6 + 8), program);
}

TEST(TransferRequest, LineFeedOnlyFilesGetCarriageReturns) {
    struct Case {
        const char* name;
        std::string contents;
        bool setting;
        bool crlf;
        bool expected;
    };
    const Case cases[] = {
        {"LF only", "a\nb\nc\n", true, true, true},
        {"CR LF", "a\r\nb\r\n", true, true, false},
        {"one CR far into the file", std::string(100, '\n') + "\r", true, true, false},
        {"no line ends", "abc", true, true, false},
        {"empty", "", true, true, false},
        {"setting off", "a\nb\n", false, true, false},
        {"CRLF not chosen", "a\nb\n", true, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Harness h;
        h.readyScreen();
        h.files.files["/f"] = c.contents;
        TransferRequest r = upload("/f");
        r.convertLfToCrLf = c.setting;
        r.command.crlf = c.crlf;
        ASSERT_EQ(h.start(r).kind, TransferStart::Kind::Started);
        EXPECT_EQ(h.t.session.transfer.uploadLfToCrLf, c.expected);
        // The transfer reads the file from its start.
        std::array<std::uint8_t, 4> head{};
        const auto got = h.t.session.transfer.file->read(head);
        EXPECT_EQ(got.value_or(99), std::min<std::size_t>(4, c.contents.size()));
    }
}

TEST(TransferRequest, DownloadOpensTheFileByAppend) {
    Harness h;
    h.readyScreen();
    TransferRequest r;
    r.direction = TransferDirection::Download;
    r.pcFolder = "/pc/";
    r.pcName = "out.bin";
    r.hostName = "'USER.LOAD(M)'";
    r.binary = true;
    r.command.hostType = TransferHostType::Cms;
    r.command.ascii = r.command.crlf = false;
    r.command.append = true;
    const TransferStart start = h.start(r);
    ASSERT_EQ(start.kind, TransferStart::Kind::Started);
    EXPECT_EQ(start.command, "IND$FILE GET 'USER.LOAD(M)' ( ) ");
    ASSERT_EQ(h.files.opens.size(), 1u);
    EXPECT_EQ(h.files.opens[0].first, "/pc/out.bin");
    EXPECT_EQ(h.files.opens[0].second, TransferFileOpener::Mode::Append);
    EXPECT_EQ(h.t.session.transfer.direction, TransferDirection::Download);
    EXPECT_EQ(h.t.session.transfer.hostType, TransferHostType::Cms);
    EXPECT_TRUE(h.t.session.transfer.downloadBinary);
    EXPECT_EQ(h.transferLink.lines,
              (std::vector<std::string>{"Download /pc/out.bin to 'USER.LOAD(M)'"}));
}

TEST(TransferRequest, NothingStartsWhenTheRequestCannotBeCarriedOut) {
    struct Case {
        const char* name;
        std::string folder;
        std::string pcName;
        bool connected;
        bool locked;
        TransferStart::Kind kind;
        const char* title;
    };
    const std::string longName(252, 'n');
    const Case cases[] = {
        {"path over 256", "/abc", longName, true, false, TransferStart::Kind::Refused,
         "Path too long"},
        {"no such file", "/home", "missing", true, false, TransferStart::Kind::FileError,
         "File Transfer"},
        {"not connected", "/home", "a", false, false, TransferStart::Kind::Refused,
         "File Transfer"},
        {"keyboard locked", "/home", "a", true, true, TransferStart::Kind::Refused,
         "File Transfer"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Harness h;
        h.readyScreen();
        h.files.files["/home/a"] = "x";
        if (c.locked) h.t.session.status = SessionStatus::SysLock;
        if (!c.connected) h.t.session.status = SessionStatus::NotConnected;
        const std::size_t sentBefore = h.connector.current->sent.size();
        TransferRequest r = upload(c.pcName);
        r.pcFolder = c.folder;
        const TransferStart s = h.start(r);
        EXPECT_EQ(s.kind, c.kind);
        EXPECT_EQ(s.message.title, c.title);
        EXPECT_FALSE(h.t.session.transfer.running());
        EXPECT_EQ(h.t.session.transfer.file, nullptr);
        EXPECT_EQ(h.connector.current->sent.size(), sentBefore);
        EXPECT_NE(h.t.session.status, SessionStatus::TransferReady);
    }
    // A file error says why in the progress line.
    Harness h;
    h.readyScreen();
    TransferRequest r = upload("missing");
    EXPECT_EQ(h.start(r).kind, TransferStart::Kind::FileError);
    EXPECT_EQ(h.transferLink.lines, (std::vector<std::string>{"No such file or directory"}));
}

TEST(TransferRequest, ACommandThatCannotBeTypedIsNotSent) {
    struct Case {
        const char* name;
        Bytes_ screen;
    };
    const Case cases[] = {
        {"cursor in a protected field",
         test::RecordBuilder(0xF5, 0xC3).sf(0x60).ic().text("READY").bytes()},
        {"input field too short for the command",
         test::RecordBuilder(0xF5, 0xC3).sf(0x40).ic().sba(11).sf(0x60).bytes()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Harness h;
        h.host(c.screen);
        h.files.files["/home/u/a.txt"] = "x";
        const std::size_t sentBefore = h.connector.current->sent.size();
        const TransferStart s = h.start(upload("a.txt"));
        EXPECT_EQ(s.kind, TransferStart::Kind::Refused);
        EXPECT_EQ(h.connector.current->sent.size(), sentBefore) << "no Enter";
        EXPECT_FALSE(h.t.session.transfer.running());
        EXPECT_NE(h.t.session.status, SessionStatus::TransferReady);
    }
}

TEST(TransferRequest, PcPaths) {
    struct Case {
        const char* folder;
        std::string name;
        std::optional<std::string> expected;
    };
    const Case cases[] = {
        {"/home/u", "a.txt", "/home/u/a.txt"},
        {"/home/u/", "a.txt", "/home/u/a.txt"},
        {"/home/u", "/etc/x", "/etc/x"},
        {"/home/u", "c:\\x", "c:\\x"},
        {"/home/u", "\\\\server\\x", "\\\\server\\x"},
        {"", "rel", "rel"},
        {"/home/u", "", std::nullopt},
        {"/", std::string(255, 'a'), "/" + std::string(255, 'a')},
        {"/", std::string(256, 'a'), std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.substr(0, 20));
        TransferMessage error;
        EXPECT_EQ(transferPcPath(c.folder, c.name, error), c.expected);
    }
}

}  // namespace
}  // namespace cedar

namespace cedar {
namespace {

TEST(TransferRequest, CancelAsksTheProtocolToStopAndLogsIt) {
    Harness h;
    h.readyScreen();
    h.files.files["/home/u/a.txt"] = "x";
    cancelTransferRequest(h.t.session.transfer, h.transferLink);
    EXPECT_TRUE(h.transferLink.lines.empty()) << "no transfer, nothing to cancel";
    ASSERT_EQ(h.start(upload("a.txt")).kind, TransferStart::Kind::Started);
    // Under way (data moves): the protocol stops it at the host's next request.
    h.t.session.status = SessionStatus::TransferData;
    cancelTransferRequest(h.t.session.transfer, h.transferLink);
    cancelTransferRequest(h.t.session.transfer, h.transferLink);  // once is enough
    EXPECT_TRUE(h.t.session.transfer.cancelRequested);
    EXPECT_TRUE(h.t.session.transfer.running());
    EXPECT_EQ(h.transferLink.lines, (std::vector<std::string>{"Upload /home/u/a.txt to user.data",
                                                              "Upload cancelled at user request"}));
}

TEST(TransferRequest, CancelBeforeTheHostTookItUpEndsItAtOnce) {
    // The host's program never answers (the host has none): the transfer
    // ends, its file closed, and the next one can start.
    Harness h;
    h.readyScreen();
    h.files.files["/home/u/a.txt"] = "x";
    ASSERT_EQ(h.start(upload("a.txt")).kind, TransferStart::Kind::Started);
    ASSERT_EQ(h.t.session.status, SessionStatus::TransferReady);
    cancelTransferRequest(h.t.session.transfer, h.transferLink);
    EXPECT_FALSE(h.t.session.transfer.running());
    EXPECT_FALSE(h.t.session.transfer.file);
    EXPECT_EQ(h.t.session.status, SessionStatus::Unlocked);
    EXPECT_EQ(h.transferLink.lines,
              (std::vector<std::string>{"Upload /home/u/a.txt to user.data",
                                        "Upload cancelled at user request", ""}));
}

}  // namespace
}  // namespace cedar
