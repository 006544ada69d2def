// The dialogs' values in the session options record: what is stored comes
// back, the two directions and the bytes around them stay apart, a zeroed
// record reads as the defaults and any bytes read within the dialog's limits.
#include "transfer/transfer_dialog_store.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace cedar {
namespace {

constexpr std::size_t kRecord = 7004;

void expectSame(const TransferDialogValues& a, const TransferDialogValues& b) {
    EXPECT_EQ(a.pcFolder, b.pcFolder);
    EXPECT_EQ(a.pcName, b.pcName);
    EXPECT_EQ(a.hostName, b.hostName);
    EXPECT_EQ(a.listLevel, b.listLevel);
    EXPECT_EQ(a.binary, b.binary);
    EXPECT_EQ(a.append, b.append);
    EXPECT_EQ(a.hostType, b.hostType);
    EXPECT_EQ(a.ascii, b.ascii);
    EXPECT_EQ(a.crlf, b.crlf);
    EXPECT_EQ(a.tso.recordLength, b.tso.recordLength);
    EXPECT_EQ(a.tso.recordFormat, b.tso.recordFormat);
    EXPECT_EQ(a.cms.recordLength, b.cms.recordLength);
    EXPECT_EQ(a.cms.recordFormat, b.cms.recordFormat);
    EXPECT_EQ(a.blockSize, b.blockSize);
    EXPECT_EQ(a.primarySpace, b.primarySpace);
    EXPECT_EQ(a.secondarySpace, b.secondarySpace);
    EXPECT_EQ(a.spaceUnit, b.spaceUnit);
    EXPECT_EQ(a.additionalParameters, b.additionalParameters);
}

TransferDialogValues upload() {
    TransferDialogValues v;
    v.pcFolder = "/home/me/Documents";
    v.pcName = "report.txt";
    v.hostName = "'USER.REPORT(JAN)'";
    v.listLevel = "USER";
    v.hostType = TransferHostType::Tso;
    v.tso = {80, RecordFormat::Fixed};
    v.cms = {133, RecordFormat::Variable};
    v.blockSize = 27920;
    v.primarySpace = 999999;
    v.secondarySpace = 5;
    v.spaceUnit = SpaceUnit::Cylinders;
    v.additionalParameters = "UNIT(SYSDA)";
    return v;
}

TransferDialogValues download() {
    TransferDialogValues v;
    v.pcFolder = "/tmp";
    v.pcName = "data.bin";
    v.hostName = "PROFILE EXEC A";
    v.binary = true;
    v.append = true;
    v.ascii = false;
    v.crlf = false;
    v.hostType = TransferHostType::Cms;
    return v;
}

TEST(TransferDialogStore, ValuesComeBackPerDirectionAndTouchNothingElse) {
    std::vector<std::uint8_t> record(kRecord, 0xA5);
    const auto before = record;
    storeDialogValues(record, TransferDirection::Upload, upload());
    storeDialogValues(record, TransferDirection::Download, download());
    expectSame(storedDialogValues(record, TransferDirection::Upload), upload());
    expectSame(storedDialogValues(record, TransferDirection::Download), download());
    // Only the transfer blocks changed.
    for (std::size_t i = 0; i < kRecord; ++i) {
        const bool inBlocks = (i >= 831 && i < 1587) || (i >= 4244 && i < 5284);
        if (!inBlocks) {
            ASSERT_EQ(record[i], before[i]) << "byte " << i;
        }
    }
    // A shorter value later leaves nothing of the longer one behind.
    TransferDialogValues shorter = upload();
    shorter.hostName = "X";
    shorter.pcName = "a";
    storeDialogValues(record, TransferDirection::Upload, shorter);
    expectSame(storedDialogValues(record, TransferDirection::Upload), shorter);
    expectSame(storedDialogValues(record, TransferDirection::Download), download());
}

TEST(TransferDialogStore, AZeroedRecordReadsAsTheDefaultsAndTooLongTextsAreCut) {
    std::vector<std::uint8_t> record(kRecord, 0);
    expectSame(storedDialogValues(record, TransferDirection::Upload), TransferDialogValues{});
    expectSame(storedDialogValues(record, TransferDirection::Download), TransferDialogValues{});

    TransferDialogValues v;
    v.pcName = std::string(400, 'p');
    v.hostName = std::string(100, 'H');
    v.additionalParameters = std::string(300, 'A');
    v.tso.recordLength = 1234567;
    storeDialogValues(record, TransferDirection::Upload, v);
    const auto back = storedDialogValues(record, TransferDirection::Upload);
    EXPECT_EQ(back.pcName, std::string(259, 'p'));
    EXPECT_EQ(back.hostName, std::string(54, 'H'));
    EXPECT_EQ(back.additionalParameters, std::string(100, 'A'));
    EXPECT_EQ(back.tso.recordLength, 99999);
    EXPECT_EQ(storedDialogValues(record, TransferDirection::Download).pcName, "")
        << "the upload's long name does not run into the download's";
}

TEST(TransferDialogStore, AnyBytesReadWithinTheLimitsAndAShortRecordIsLeftAlone) {
    for (const std::uint8_t fill : {std::uint8_t{0xFF}, std::uint8_t{0x07}, std::uint8_t{0x41}}) {
        SCOPED_TRACE(static_cast<int>(fill));
        std::vector<std::uint8_t> record(kRecord, fill);
        for (auto direction : {TransferDirection::Upload, TransferDirection::Download}) {
            const auto v = storedDialogValues(record, direction);
            EXPECT_LE(v.pcName.size(), 259u);
            EXPECT_LE(v.hostName.size(), 54u);
            EXPECT_LE(v.listLevel.size(), 44u);
            EXPECT_LE(v.additionalParameters.size(), 100u);
            EXPECT_LE(static_cast<int>(v.hostType), 2);
            EXPECT_LE(static_cast<int>(v.tso.recordFormat), 2);
            for (int n : {v.tso.recordLength, v.cms.recordLength, v.blockSize})
                EXPECT_TRUE(n >= 0 && n <= 99999) << n;
            for (int n : {v.primarySpace, v.secondarySpace})
                EXPECT_TRUE(n >= 0 && n <= 999999) << n;
        }
    }
    std::vector<std::uint8_t> shortRecord(2000, 0x33);
    storeDialogValues(shortRecord, TransferDirection::Upload, upload());
    EXPECT_EQ(shortRecord, std::vector<std::uint8_t>(2000, 0x33));
    expectSame(storedDialogValues(shortRecord, TransferDirection::Upload), TransferDialogValues{});
}

}  // namespace
}  // namespace cedar
