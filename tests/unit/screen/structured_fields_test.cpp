// Write Structured Field records: Read Partition, Erase/Reset, Set Reply
// Mode, Outbound 3270DS, file-transfer fields, remote actions, and records
// whose field lengths do not fit.
#include "screen/structured_fields.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "inbound_fixture.h"
#include "recording_remote_actions.h"

namespace cedar {
namespace {

using test::address;
using test::ByteVector;
using test::concat;
using test::ebcdic;
using test::hex;
using test::InboundFixture;
using test::RecordBuilder;

constexpr std::uint8_t kWsf = cmd::kWriteStructuredField;

ByteVector wsf(std::initializer_list<ByteVector> fields) {
    ByteVector out = {kWsf};
    for (const auto& f : fields)
        out.insert(out.end(), f.begin(), f.end());
    return out;
}

// A field with its length in front.
ByteVector field(std::uint8_t id, const ByteVector& data = {}) {
    const std::size_t length = data.size() + 3;
    ByteVector out = {static_cast<std::uint8_t>(length >> 8),
                      static_cast<std::uint8_t>(length & 0xFF), id};
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

const ByteVector kQuery = field(sfid::kReadPartition, {0xFF, sfid::kQuery});

ByteVector queryList(std::uint8_t request, const ByteVector& codes = {}) {
    return field(sfid::kReadPartition, concat({{0xFF, sfid::kQueryList, request}, codes}));
}

// The codes of the replies in an AID 0x88 record; every reply's length
// field must cover exactly its bytes, and the replies the whole record.
ByteVector replyCodes(const ByteVector& record) {
    EXPECT_FALSE(record.empty());
    if (record.empty()) return {};
    EXPECT_EQ(record[0], aid::kStructuredField);
    ByteVector codes;
    std::size_t pos = 1;
    while (pos < record.size()) {
        EXPECT_GE(record.size() - pos, 4u) << "a reply cut short";
        if (record.size() - pos < 4) break;
        const std::size_t length = (std::size_t{record[pos]} << 8) | record[pos + 1];
        EXPECT_GE(length, 4u);
        EXPECT_LE(length, record.size() - pos);
        if (length < 4 || length > record.size() - pos) break;
        EXPECT_EQ(record[pos + 2], 0x81);
        codes.push_back(record[pos + 3]);
        pos += length;
    }
    return codes;
}

const ByteVector kFullSet = {0x81, 0xA6, 0x86, 0x87, 0x88, 0x99, 0x85, 0x8F, 0x80};
const ByteVector kFullSetWithTransfer = {0x81, 0xA6, 0x86, 0x87, 0x88,
                                         0x99, 0x85, 0x95, 0x8F, 0x80};

TEST(ReadPartition, QueryAnswersTheFullReplySetInBothCodings) {
    for (std::uint8_t command : {cmd::kWriteStructuredField, cmd::kWriteStructuredFieldCcw}) {
        InboundFixture f;
        f.status() = SessionStatus::Unlocked;
        ByteVector record = wsf({kQuery});
        record[0] = command;
        f.apply(record);
        ASSERT_EQ(f.sender.sent.size(), 1u);
        EXPECT_FALSE(f.sender.last().startsTimer);
        EXPECT_EQ(hex(replyCodes(f.sender.last().record)), hex(kFullSet));
        EXPECT_EQ(f.status(), SessionStatus::SysLock);
    }
}

TEST(ReadPartition, StatusAndTheTransferReply) {
    struct Case {
        SessionStatus before;
        bool dftMode;
        SessionStatus after;
        const ByteVector& replies;
    };
    const Case cases[] = {
        {SessionStatus::Connected, true, SessionStatus::SysLock, kFullSet},
        {SessionStatus::Unlocked, true, SessionStatus::SysLock, kFullSet},
        {SessionStatus::TransferReady, false, SessionStatus::TransferReady, kFullSet},
        {SessionStatus::TransferReady, true, SessionStatus::TransferReady, kFullSetWithTransfer},
        {SessionStatus::TransferData, true, SessionStatus::TransferData, kFullSetWithTransfer},
        {SessionStatus::TransferMessage, true, SessionStatus::TransferMessage,
         kFullSetWithTransfer},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.before));
        InboundFixture f;
        StructuredFieldOptions options;
        options.dftMode = c.dftMode;
        f.fields.setOptions(options);
        f.status() = c.before;
        f.apply(wsf({kQuery}));
        EXPECT_EQ(hex(replyCodes(f.sender.last().record)), hex(c.replies));
        EXPECT_EQ(f.status(), c.after);
    }
}

TEST(ReadPartition, QueryList) {
    struct Case {
        const char* name;
        ByteVector field;
        bool answered;
        ByteVector replies;
    };
    const Case cases[] = {
        {"two codes", queryList(0x00, {0x81, 0x85}), true, {0x81, 0x85}},
        {"list order", queryList(0x00, {0x85, 0x81}), true, {0x85, 0x81}},
        {"transfer reply without DFT mode", queryList(0x40, {0x95}), true, {0x95}},
        {"repeated and unknown codes",
         queryList(0x00, {0x81, 0x81, 0x42, 0x86, 0x81}),
         true,
         {0x81, 0x86}},
        {"summary and transparency", queryList(0x00, {0x80, 0xA8}), true, {0x80, 0xA8}},
        // None of the codes asked for has a reply: the Null reply alone.
        {"empty list", queryList(0x00), true, {0xFF}},
        {"only RPQ Names, which we lack", queryList(0x00, {0xA1}), true, {0xFF}},
        {"several we lack, the Null code among them",
         queryList(0x40, {0xA1, 0x42, 0xFF, 0xA1}),
         true,
         {0xFF}},
        {"a mix: only the ones we have", queryList(0x00, {0xA1, 0x86, 0xFF}), true, {0x86}},
        {"everything", queryList(0x80), true, kFullSet},
        {"everything, codes ignored", queryList(0xBF, {0x81}), true, kFullSet},
        {"nothing", queryList(0xC0, {0x81}), false, {}},
        {"nothing either", queryList(0xFF), false, {}},
        {"no request byte", field(sfid::kReadPartition, {0xFF, sfid::kQueryList}), false, {}},
        {"no type byte", field(sfid::kReadPartition, {0xFF}), false, {}},
        {"another type", field(sfid::kReadPartition, {0xFF, 0x01}), false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        InboundFixture f;
        f.status() = SessionStatus::Unlocked;
        f.apply(wsf({c.field}));
        ASSERT_EQ(f.sender.sent.size(), c.answered ? 1u : 0u);
        if (c.answered) {
            EXPECT_EQ(hex(replyCodes(f.sender.last().record)), hex(c.replies));
            if (c.replies == ByteVector{0xFF}) {
                EXPECT_EQ(hex(f.sender.last().record), "88 00 04 81 FF") << "AID, the Null reply";
            }
        }
        EXPECT_EQ(f.status(), SessionStatus::SysLock) << "locked in every case";
    }
}

TEST(StructuredFields, EraseResetChoosesTheSize) {
    ScreenSessionOptions model4;
    model4.modelIndex = 2;
    InboundFixture f({}, model4);
    f.apply(RecordBuilder(cmd::kEraseWrite, 0x02).text("OLD").sba(85).ic());
    f.apply(wsf({field(sfid::kEraseReset, {0x80})}));
    EXPECT_EQ(f.ps().rows(), 43);
    EXPECT_EQ(f.t.row(0), "");
    EXPECT_EQ(f.ps().cursor(), 0);

    f.apply(RecordBuilder(cmd::kWrite, 0x02).text("NEW"));
    f.apply(wsf({field(sfid::kEraseReset, {0x00})}));
    EXPECT_EQ(f.ps().rows(), 24);
    EXPECT_EQ(f.t.row(0), "");

    f.apply(wsf({field(sfid::kEraseReset, {0x80}), field(sfid::kEraseReset)}));
    EXPECT_EQ(f.ps().rows(), 24) << "no flag byte: the default size";
}

TEST(StructuredFields, SetReplyModeDrivesReadBuffer) {
    InboundFixture f;
    f.apply(RecordBuilder(cmd::kEraseWrite, 0x02).sba(1918).sa(0x42, 0xF4).text("CZ"));
    f.apply(wsf({field(sfid::kSetReplyMode, {0x00, 0x02, 0x41, 0x42})}));
    EXPECT_EQ(f.ps().replyMode, ReplyMode::Character);
    EXPECT_EQ(hex(f.fields.replyModeTypes()), "41 42");
    f.apply(RecordBuilder().raw({cmd::kReadBuffer}));
    const ByteVector& record = f.sender.last().record;
    ASSERT_EQ(record.size(), 3u + 1918u + 3u + 2u);
    EXPECT_EQ(hex(ByteVector(record.end() - 5, record.end())),
              hex(concat({{0x28, 0x42, 0xF4}, ebcdic("CZ")})));
}

TEST(StructuredFields, SetReplyModeTypeListIsBounded) {
    struct Case {
        const char* name;
        ByteVector data;
        int mode;
        std::size_t types;
    };
    ByteVector many = {0x00, 0x02};
    for (int i = 0; i < 200; ++i)
        many.push_back(0x41);
    const Case cases[] = {
        {"no types", {0x00, 0x01}, 1, 0},
        {"ended by a zero", {0x00, 0x02, 0x41, 0x00, 0x42}, 2, 1},
        {"more than are kept", many, 2, StructuredFields::kMaxReplyModeTypes},
        {"no mode byte: unchanged", {0x00}, 2, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        InboundFixture f;
        f.ps().replyMode = ReplyMode::Character;
        f.apply(wsf({field(sfid::kSetReplyMode, c.data)}));
        EXPECT_EQ(f.ps().replyMode, static_cast<ReplyMode>(c.mode));
        EXPECT_EQ(f.fields.replyModeTypes().size(), c.types);
    }
}

TEST(StructuredFields, Outbound3270DsIsProcessedAsARecord) {
    InboundFixture f;
    f.status() = SessionStatus::SysLock;
    const ByteVector write =
        RecordBuilder(cmd::kEraseWrite, 0xC3).sba(80).text("INSIDE").ic().bytes();
    f.apply(wsf({field(sfid::kOutbound3270Ds, concat({{0x00}, write}))}));
    EXPECT_EQ(f.t.row(1), "INSIDE");
    EXPECT_EQ(f.ps().cursor(), 86);
    EXPECT_EQ(f.status(), SessionStatus::Unlocked);
    EXPECT_EQ(f.hooks.count("keyboardRestored"), 1);

    // A structured-field record inside is not taken: no nesting.
    f.apply(wsf({field(sfid::kOutbound3270Ds, concat({{0x00}, wsf({kQuery})}))}));
    EXPECT_TRUE(f.sender.sent.empty());
    // Nothing after the partition byte.
    f.apply(wsf({field(sfid::kOutbound3270Ds, {0x00}), field(sfid::kOutbound3270Ds)}));
    EXPECT_EQ(f.t.row(1), "INSIDE");
    EXPECT_TRUE(f.hooks.warnings.empty());
}

TEST(StructuredFields, SeveralFieldsAndUnknownOnes) {
    InboundFixture f;
    f.apply(RecordBuilder(cmd::kEraseWrite, 0x02).text("OLD"));
    ByteVector toEnd = kQuery;
    toEnd[0] = toEnd[1] = 0x00;  // length 0: up to the end of the record
    f.apply(wsf({field(0x77, {0x01}), field(sfid::kEraseReset, {0x00}),
                 field(sfid::kRemoteAction, {0x1E}), toEnd}));
    EXPECT_EQ(f.t.row(0), "");
    ASSERT_EQ(f.sender.sent.size(), 1u);
    EXPECT_EQ(hex(replyCodes(f.sender.last().record)), hex(kFullSet));
    ASSERT_EQ(f.hooks.warnings.size(), 2u);
    EXPECT_EQ(f.hooks.warnings[0], "SNA code Error: Unknown Structured Field Received, code=77");
    EXPECT_EQ(f.hooks.warnings[1], "SNA code Error: Unknown Structured Field Received, code=0F");
}

// Every way a field length can fail to fit ends the record there, without
// reading past it (the record is applied from a buffer of exactly its size).
TEST(StructuredFields, MalformedLengthsEndTheRecord) {
    struct Case {
        const char* name;
        ByteVector record;
        std::size_t answered;
    };
    const Case cases[] = {
        {"command only", {kWsf}, 0},
        {"one length byte", {kWsf, 0x00}, 0},
        {"length without ID", {kWsf, 0x00, 0x05}, 0},
        {"length 1", {kWsf, 0x00, 0x01, 0x01, 0xFF, 0x02}, 0},
        {"length 2", {kWsf, 0x00, 0x02, 0x01, 0xFF, 0x02}, 0},
        {"length 1 after a field", concat({wsf({kQuery}), {0x00, 0x01, 0x01, 0xFF, 0x02}}), 1},
        {"length 2 after a field", concat({wsf({kQuery}), {0x00, 0x02, 0x01, 0xFF, 0x02}}), 1},
        {"one byte too long", {kWsf, 0x00, 0x06, 0x01, 0xFF, 0x02}, 0},
        {"far too long", {kWsf, 0xFF, 0xFF, 0x01, 0xFF, 0x02}, 0},
        {"too long after a field", concat({wsf({kQuery}), {0x00, 0x09, 0x01, 0xFF, 0x02}}), 1},
        {"a stray byte at the end", concat({wsf({kQuery}), {0x00}}), 1},
        {"two stray bytes at the end", concat({wsf({kQuery}), {0x00, 0x05}}), 1},
        {"length 0 reaches the end", {kWsf, 0x00, 0x00, 0x01, 0xFF, 0x02}, 1},
        {"length 3: an ID alone", concat({wsf({field(sfid::kSetReplyMode)}), kQuery}), 1},
        {"set reply mode cut short", {kWsf, 0x00, 0x05, 0x09, 0x00}, 0},
        {"outbound data cut short", {kWsf, 0x00, 0x08, 0x40, 0x00, 0xF1, 0x02}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        InboundFixture f;
        f.apply(c.record);
        EXPECT_EQ(f.sender.sent.size(), c.answered);
    }
}

class RecordingDft : public DftHandler {
  public:
    std::vector<ByteVector> fields;
    bool cancel = false;
    std::vector<std::string> errors;
    void processDftField(Bytes f) override { fields.emplace_back(f.begin(), f.end()); }
    bool cancelRequested() const override { return cancel; }
    void keepErrorText(std::string_view text) override { errors.emplace_back(text); }
};

TEST(StructuredFields, FileTransferFieldsOnlyDuringATransfer) {
    InboundFixture f;
    RecordingDft dft;
    f.fields.setLinks({&dft, nullptr, &f.hooks, &f.hooks});
    const ByteVector open = field(sfid::kFileTransfer, {0x00, 0x12, 0x01});
    f.status() = SessionStatus::Unlocked;
    f.apply(wsf({open}));
    EXPECT_TRUE(dft.fields.empty());
    EXPECT_TRUE(f.hooks.warnings.empty());
    for (SessionStatus s : {SessionStatus::TransferReady, SessionStatus::TransferData,
                            SessionStatus::TransferMessage}) {
        f.status() = s;
        f.apply(wsf({open, kQuery}));
        EXPECT_EQ(f.status(), s);
    }
    ASSERT_EQ(dft.fields.size(), 3u);
    EXPECT_EQ(dft.fields[0], open) << "handed over whole";
}

ByteVector remote(std::uint8_t selector, const char* text) {
    return field(sfid::kRemoteAction, concat({{0x1F, 0x00, 0x00, selector}, ebcdic(text)}));
}

struct RemoteFixture {
    RemoteFixture() {
        f.fields.setLinks({&dft, &store, &f.hooks, &f.hooks});
        StructuredFieldOptions options;
        options.sessionId = 'B';
        f.fields.setOptions(options);
    }
    InboundFixture f;
    RecordingDft dft;
    test::RecordingRemoteActions store;
    void eraseWrite() { f.apply(RecordBuilder(cmd::kEraseWrite, 0x02)); }
    std::size_t acks() const {
        return static_cast<std::size_t>(
            std::count_if(f.sender.sent.begin(), f.sender.sent.end(), [](const auto& s) {
                return s.record == ByteVector{StructuredFields::kRemoteActionAck};
            }));
    }
};

TEST(RemoteAction, DataIsKeptUntilTheNextEraseWrite) {
    RemoteFixture r;
    r.f.apply(wsf({remote(0x98, "CALL ONE")}));
    r.f.apply(wsf({remote(0x01, " TWO")}));
    EXPECT_EQ(r.acks(), 2u);
    EXPECT_FALSE(r.f.sender.last().startsTimer);
    EXPECT_EQ(r.store.data, "CALL ONE TWO") << "translated to display code";
    EXPECT_TRUE(r.f.fields.remoteActionPending());
    r.f.apply(RecordBuilder(cmd::kWrite, 0x02).text("NOT YET"));
    r.eraseWrite();
    r.eraseWrite();
    EXPECT_EQ(r.store.calls,
              (std::vector<std::string>{"create macro", "append", "append", "complete macro"}));
    EXPECT_FALSE(r.f.fields.remoteActionPending());

    r.f.apply(wsf({remote(0x00, "PRINT")}));
    r.eraseWrite();
    EXPECT_EQ(r.store.calls.back(), "complete print");
}

TEST(RemoteAction, AFileThatCannotBeCreatedDropsTheAction) {
    RemoteFixture r;
    r.store.createOk = false;
    r.f.apply(wsf({remote(0x00, "LINE 1")}));
    r.f.apply(wsf({remote(0x00, "LINE 2")}));
    EXPECT_EQ(r.acks(), 2u);
    ASSERT_EQ(r.f.hooks.warnings.size(), 1u) << "reported once";
    EXPECT_EQ(r.f.hooks.warnings[0],
              "File Error: Error opening temp file 'cdr$B$prnt.txt' for pcprint action");
    EXPECT_EQ(r.store.calls, (std::vector<std::string>{"create print"}));
    EXPECT_TRUE(r.f.fields.remoteActionPending());

    r.eraseWrite();
    EXPECT_FALSE(r.f.fields.remoteActionPending()) << "the marker is cleared";
    r.f.apply(wsf({remote(0x98, "RUN")}));
    EXPECT_EQ(r.f.hooks.warnings.back(),
              "File Error: Error opening temp file 'cdr$B$exec.mac' for remote execution");
    EXPECT_EQ(r.store.calls.size(), 2u);
}

TEST(RemoteAction, WriteFailureOrCancelSendsTheErrorReply) {
    const ByteVector errorReply(std::begin(StructuredFields::kTransferErrorReply),
                                std::end(StructuredFields::kTransferErrorReply));
    EXPECT_EQ(hex(errorReply), "88 00 09 D0 47 08 69 04 47 00");
    for (bool cancel : {false, true}) {
        SCOPED_TRACE(cancel ? "cancelled" : "write failed");
        RemoteFixture r;
        r.store.appendOk = cancel;
        r.dft.cancel = cancel;
        r.f.apply(wsf({remote(0x00, "DATA")}));
        ASSERT_EQ(r.f.sender.sent.size(), 2u);
        EXPECT_EQ(hex(r.f.sender.sent[1].record), hex(errorReply));
        ASSERT_EQ(r.dft.errors.size(), 1u);
        EXPECT_EQ(r.dft.errors[0], cancel ? "" : "disk full");
    }
}

TEST(RemoteAction, FieldWithoutSelectorIsOnlyAcknowledged) {
    RemoteFixture r;
    r.f.apply(wsf({field(sfid::kRemoteAction, {0x1F, 0x00, 0x00})}));
    EXPECT_EQ(r.acks(), 1u);
    EXPECT_TRUE(r.store.calls.empty());
    EXPECT_FALSE(r.f.fields.remoteActionPending());
}

TEST(RemoteAction, FileNamesCarryTheSessionId) {
    EXPECT_EQ(remoteActionFileName(RemoteActionKind::Macro, 'C'), "cdr$C$exec.mac");
    EXPECT_EQ(remoteActionFileName(RemoteActionKind::PcPrint, '7'), "cdr$7$prnt.txt");
}

}  // namespace
}  // namespace cedar
