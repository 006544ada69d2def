#include "transfer/transfer_macro.h"

#include <gtest/gtest.h>

#include <vector>

#include "transfer/transfer_progress.h"

namespace cedar {
namespace {

MacroValue T(std::string_view t) {
    return MacroValue::ofText(t);
}

TEST(TransferMacro, OptionWords) {
    struct Case {
        const char* name;
        std::vector<MacroValue> options;
        std::optional<bool> binary;
        std::optional<bool> append;
        std::optional<TransferHostType> host;
        const char* hostOptions;
    };
    const Case cases[] = {
        {"none", {}, std::nullopt, std::nullopt, std::nullopt, ""},
        {"any case", {T("Binary"), T("append"), T("cIcS")}, true, true, TransferHostType::Cics, ""},
        {"later words win",
         {T("TEXT"), T("BINARY"), T("APPEND"), T("REPLACE"), T("CMS"), T("TSO")},
         true,
         false,
         TransferHostType::Tso,
         ""},
        {"the last other word is the host options",
         {T("LRECL(80)"), T("TEXT"), T("recfm(f)")},
         false,
         std::nullopt,
         std::nullopt,
         "recfm(f)"},
        {"a number is a word too",
         {MacroValue::ofNumber(7)},
         std::nullopt,
         std::nullopt,
         std::nullopt,
         "7"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<MacroValue> args = {T("/pc/f"), T("HOST.F")};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const auto r = macroTransferRequest(TransferDirection::Upload, args, false);
        ASSERT_TRUE(r);
        EXPECT_EQ(r->pcFile, "/pc/f");
        EXPECT_EQ(r->hostFile, "HOST.F");
        EXPECT_EQ(r->binary, c.binary);
        EXPECT_EQ(r->append, c.append);
        EXPECT_EQ(r->hostType, c.host);
        EXPECT_EQ(r->hostOptions, c.hostOptions);
    }
}

TEST(TransferMacro, NamesAndTheirSwap) {
    struct Case {
        TransferDirection direction;
        const char* first;
        const char* second;
        bool allowSwap;
        const char* pc;
        const char* host;
    };
    const auto up = TransferDirection::Upload;
    const auto down = TransferDirection::Download;
    const Case cases[] = {
        {up, "/pc/a", "H.A", false, "/pc/a", "H.A"},
        {down, "H.A", "/pc/a", false, "/pc/a", "H.A"},
        {up, "H.A", "/pc/a", false, "H.A", "/pc/a"},
        {up, "H.A", "/pc/a", true, "/pc/a", "H.A"},
        {down, "c:\\x", "H.A", true, "c:\\x", "H.A"},
        {down, "/pc/a", "/pc/b", true, "/pc/b", "/pc/a"},  // both PC paths: as given
        {up, "H.A", "H.B", true, "H.A", "H.B"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.first) + " " + c.second);
        const std::vector<MacroValue> args = {T(c.first), T(c.second)};
        const auto r = macroTransferRequest(c.direction, args, c.allowSwap);
        ASSERT_TRUE(r);
        EXPECT_EQ(r->pcFile, c.pc);
        EXPECT_EQ(r->hostFile, c.host);
        EXPECT_EQ(r->direction, c.direction);
    }
    const std::vector<MacroValue> one = {T("a")};
    EXPECT_FALSE(macroTransferRequest(TransferDirection::Upload, one, true));
}

// A macro's transfer runs on the dialog's values with the macro's in their
// place; what the macro leaves out stays the dialog's.
TEST(TransferMacro, TheDialogValuesWithTheMacrosInPlace) {
    TransferDialogValues dialog;
    dialog.pcFolder = "/home/u/Documents";
    dialog.pcName = "old.txt";
    dialog.hostName = "OLD.DATA";
    dialog.listLevel = "USER";
    dialog.binary = false;
    dialog.ascii = true;
    dialog.crlf = false;  // switched off on its own
    dialog.hostType = TransferHostType::Cms;
    dialog.cms.recordLength = 132;
    dialog.additionalParameters = "OLD PARMS";

    MacroTransferRequest bare;
    bare.pcFile = "new.bin";
    bare.hostFile = "NEW.DATA";
    TransferDialogValues v = macroDialogValues(bare, dialog);
    EXPECT_EQ(v.pcFolder, "/home/u/Documents");
    EXPECT_EQ(v.pcName, "new.bin");
    EXPECT_EQ(v.hostName, "NEW.DATA");
    EXPECT_EQ(v.listLevel, "");
    EXPECT_FALSE(v.binary);
    EXPECT_TRUE(v.ascii);
    EXPECT_FALSE(v.crlf);
    EXPECT_EQ(v.hostType, TransferHostType::Cms);
    EXPECT_EQ(v.cms.recordLength, 132);
    EXPECT_EQ(v.additionalParameters, "");

    MacroTransferRequest full = bare;
    full.binary = true;
    full.append = true;
    full.hostType = TransferHostType::Tso;
    full.hostOptions = "recfm(f)";
    v = macroDialogValues(full, dialog);
    EXPECT_TRUE(v.binary);
    EXPECT_FALSE(v.ascii);
    EXPECT_FALSE(v.crlf);
    EXPECT_TRUE(v.append);
    EXPECT_EQ(v.hostType, TransferHostType::Tso);
    EXPECT_EQ(v.additionalParameters, "recfm(f)");
    full.binary = false;
    v = macroDialogValues(full, dialog);
    EXPECT_TRUE(v.ascii);
    EXPECT_TRUE(v.crlf);  // Text switches both on, as in the dialog
}

TEST(TransferMacro, ClosingMessagesThatReportAFailure) {
    const std::pair<const char*, bool> cases[] = {
        {"TRANS03 File transfer complete", false},
        {"TRANS04 - File transfer complete with records segmented", false},
        {"File transfer complete", false},
        {"", false},
        {"TRANS13 Error writing file to host: file transfer canceled", true},
        {"TRANS13   Data set USER.X not found", true},
        {"  TRANS14 Error reading file from host", true},
        {"TRANS05 Missing or incorrect TSO data set name", true},
        {"TRANS0", false},
        {"TRANSFER complete", false},
    };
    for (const auto& [message, failure] : cases)
        EXPECT_EQ(closingMessageReportsFailure(message), failure) << message;
}

}  // namespace
}  // namespace cedar
