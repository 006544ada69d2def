// The send and receive dialogs: the controls each host system shows, Text
// and Binary setting the code conversion, TSO and CMS keeping their own
// record values, the command the dialog's values make, and leaving during
// a transfer.
#include "transfer/qt/transfer_dialog.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

namespace cedar::gui {
namespace {

std::string commandOf(const TransferDialogValues& values, TransferDirection direction) {
    const TransferRequest r = dialogTransferRequest(values, direction, "IND$FILE", "");
    return transferCommand(direction, r.program, r.hostName, r.command, '$');
}

TEST(TransferDialog, HostSystemsShowTheirControls) {
    struct Case {
        TransferHostType type;
        TransferDirection direction;
        bool attributes, blockSize, allocation, listLevel, members;
    };
    const auto up = TransferDirection::Upload;
    const auto down = TransferDirection::Download;
    const Case cases[] = {
        {TransferHostType::Tso, up, true, true, true, true, true},
        {TransferHostType::Cms, up, true, false, false, true, false},
        {TransferHostType::Cics, up, false, false, false, false, false},
        {TransferHostType::Tso, down, false, false, false, true, true},
        {TransferHostType::Cms, down, false, false, false, true, false},
        {TransferHostType::Cics, down, false, false, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.type) * 10 + static_cast<int>(c.direction));
        TransferDialog dialog(c.direction, {});
        dialog.show();
        // Through each other system first, so that hiding is undone too.
        for (TransferHostType other :
             {TransferHostType::Cics, TransferHostType::Tso, TransferHostType::Cms, c.type})
            dialog.hostButton(other)->click();
        EXPECT_EQ(dialog.attributesGroup()->isVisible(), c.attributes);
        EXPECT_EQ(dialog.blockSizeEdit()->isVisible(), c.blockSize);
        EXPECT_EQ(dialog.allocationGroup()->isVisible(), c.allocation);
        EXPECT_EQ(dialog.listLevelEdit()->isVisible(), c.listLevel);
        EXPECT_EQ(dialog.listButton()->isVisible(), c.listLevel) << "List goes with the level";
        EXPECT_EQ(dialog.membersButton()->isVisible(), c.members);
        EXPECT_EQ(dialog.values().hostType, c.type);
    }
    EXPECT_EQ(TransferDialog(up, {}).windowTitle(), "Send File to Host");
    EXPECT_EQ(TransferDialog(down, {}).windowTitle(), "Receive File from Host");
    EXPECT_EQ(TransferDialog(down, {}).startButton()->text(), "Receive");
}

TEST(TransferDialog, TextAndBinarySetTheConversion) {
    TransferDialog dialog(TransferDirection::Upload, {});
    dialog.show();
    dialog.binaryButton()->click();
    EXPECT_FALSE(dialog.asciiBox()->isChecked());
    EXPECT_FALSE(dialog.crlfBox()->isChecked());
    dialog.crlfBox()->click();  // each can then be changed on its own
    EXPECT_TRUE(dialog.values().crlf);
    EXPECT_FALSE(dialog.values().ascii);
    dialog.textButton()->click();
    EXPECT_TRUE(dialog.asciiBox()->isChecked());
    EXPECT_TRUE(dialog.crlfBox()->isChecked());
    EXPECT_FALSE(dialog.values().binary);
}

TEST(TransferDialog, TsoAndCmsKeepTheirOwnRecordValues) {
    TransferDialog dialog(TransferDirection::Upload, {});
    dialog.show();
    dialog.hostButton(TransferHostType::Tso)->click();
    dialog.recordLengthEdit()->setText("80");
    dialog.recordFormatBox()->setCurrentIndex(1);
    EXPECT_EQ(dialog.recordFormatBox()->currentText(), "FB");
    dialog.hostButton(TransferHostType::Cms)->click();
    EXPECT_EQ(dialog.recordLengthEdit()->text(), "");
    EXPECT_EQ(dialog.recordFormatBox()->currentText(), "");
    dialog.recordLengthEdit()->setText("132");
    dialog.recordFormatBox()->setCurrentIndex(2);
    EXPECT_EQ(dialog.recordFormatBox()->currentText(), "V");
    dialog.hostButton(TransferHostType::Cics)->click();
    dialog.hostButton(TransferHostType::Tso)->click();
    EXPECT_EQ(dialog.recordLengthEdit()->text(), "80");
    EXPECT_EQ(dialog.recordFormatBox()->currentText(), "FB");

    const TransferDialogValues v = dialog.values();
    EXPECT_EQ(v.tso.recordLength, 80);
    EXPECT_EQ(v.tso.recordFormat, RecordFormat::Fixed);
    EXPECT_EQ(v.cms.recordLength, 132);
    EXPECT_EQ(v.cms.recordFormat, RecordFormat::Variable);

    // The values survive a round trip through another dialog.
    TransferDialog other(TransferDirection::Upload, {});
    other.setValues(v);
    other.hostButton(TransferHostType::Cms)->click();
    EXPECT_EQ(other.recordLengthEdit()->text(), "132");
}

TEST(TransferDialog, SendBuildsTheCommandFromTheControls) {
    std::vector<TransferDialogValues> started;
    TransferDialog dialog(TransferDirection::Upload,
                          {.start = [&](const TransferDialogValues& v) { started.push_back(v); }});
    dialog.show();
    dialog.findChildren<QLineEdit*>().at(0)->setText("report.txt");  // the PC name
    TransferDialogValues v = dialog.values();
    v.hostName = "'user.report'";
    v.tso = {80, RecordFormat::Fixed};
    v.primarySpace = 5;
    dialog.setValues(v);
    dialog.startButton()->click();
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0].pcName, "report.txt");
    EXPECT_EQ(commandOf(started[0], TransferDirection::Upload),
              "IND$FILE PUT 'USER.REPORT' ASCII CRLF SPACE(5) TRACKS LRECL(80) RECFM(F) ");

    // CMS takes its own record values, and no space or block size.
    v.hostType = TransferHostType::Cms;
    v.cms = {0, RecordFormat::Variable};
    v.blockSize = 800;
    v.hostName = "profile exec a";
    dialog.setValues(v);
    dialog.startButton()->click();
    EXPECT_EQ(commandOf(started.back(), TransferDirection::Upload),
              "IND$FILE PUT PROFILE EXEC A ( ASCII CRLF RECFM V ) ");

    // A list level makes the name fully qualified.
    v.hostType = TransferHostType::Tso;
    v.hostName = "user.data";
    v.listLevel = "USER";
    v.primarySpace = 0;
    v.tso = {};
    v.blockSize = 0;
    v.binary = true;
    v.ascii = v.crlf = false;
    dialog.setValues(v);
    dialog.startButton()->click();
    EXPECT_EQ(commandOf(started.back(), TransferDirection::Download), "IND$FILE GET 'USER.DATA' ");

    // But a CMS file name never goes in quotes.
    v.hostType = TransferHostType::Cms;
    v.hostName = "profile exec a";
    v.listLevel = "* EXEC A";
    dialog.setValues(v);
    dialog.startButton()->click();
    EXPECT_EQ(commandOf(started.back(), TransferDirection::Download),
              "IND$FILE GET PROFILE EXEC A ( ) ");
}

TEST(TransferDialog, LeavingDuringATransferAsksFirst) {
    int asked = 0;
    int cancelled = 0;
    bool answer = false;
    TransferDialog dialog(TransferDirection::Download, {.confirmCancel =
                                                            [&] {
                                                                ++asked;
                                                                return answer;
                                                            },
                                                        .cancel = [&] { ++cancelled; }});
    dialog.show();
    dialog.setTransferRunning(true);
    dialog.close();
    EXPECT_TRUE(dialog.isVisible()) << "Cancel keeps the dialog and the transfer";
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(cancelled, 0);
    answer = true;
    dialog.close();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(cancelled, 1);

    // Without a transfer it closes at once.
    dialog.show();
    dialog.close();
    EXPECT_EQ(asked, 2);
    EXPECT_FALSE(dialog.isVisible());
}

TEST(TransferDialog, StatusLineAndHostList) {
    TransferDialog dialog(TransferDirection::Download, {});
    dialog.setStatusLine("Bytes transferred = 1,024");
    EXPECT_EQ(dialog.statusLine(), "Bytes transferred = 1,024");
    dialog.addHostListEntry("USER.A.CNTL");
    dialog.addHostListEntry("USER.B.CNTL");
    dialog.hostList()->setCurrentRow(1);
    EXPECT_EQ(dialog.values().hostName, "USER.B.CNTL");
}

}  // namespace
}  // namespace cedar::gui
