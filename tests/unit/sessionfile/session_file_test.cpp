#include "sessionfile/session_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace cedar::sessionfile {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A session file as a program of version 1.`version` wrote it: the header and
// the first `size` - 24 bytes of `record`.
Bytes sessionFile(std::string_view version, const SessionOptions& record,
                  std::size_t size = kFileSize) {
    const std::string header = "Cedar Session V1." + std::string(version) + "     ";
    Bytes out(header.begin(), header.end());
    const std::size_t recordBytes = size > kHeaderSize ? size - kHeaderSize : 0;
    out.insert(
        out.end(), record.bytes().begin(),
        record.bytes().begin() + static_cast<std::ptrdiff_t>(std::min(recordBytes, kRecordSize)));
    out.resize(size, 0);
    return out;
}

// A text at a record offset, as an earlier layout kept it.
void put(SessionOptions& o, std::size_t offset, std::string_view text) {
    std::memcpy(&o.bytes()[offset], text.data(), text.size());
    o.bytes()[offset + text.size()] = 0;
}

std::string textAt(const SessionOptions& o, std::size_t offset) {
    const auto* p = &o.bytes()[offset];
    return std::string(p, std::find(p, o.bytes().data() + kRecordSize, std::uint8_t{0}));
}

// Every byte set: a pattern that leaves no field, reserved byte or gap at 0.
SessionOptions everyByteSet(std::string_view name) {
    SessionOptions o;
    for (std::size_t i = 0; i < kRecordSize; ++i)
        o.bytes()[i] = static_cast<std::uint8_t>((i * 7 + 3) % 251 + 1);
    EXPECT_TRUE(o.setText(Field::SessionFile, name));
    return o;
}

TEST(SessionFileRoundTrip, CurrentFilesLoadAndSaveByteForByte) {
    const SessionOptions x = everyByteSet("mvs.ses");
    const Bytes file = sessionFileBytes(x);
    ASSERT_EQ(file.size(), kFileSize);
    EXPECT_EQ(std::string(file.begin(), file.begin() + kHeaderSize), kHeader);

    const LoadResult loaded = loadSessionFile("mvs", file);
    ASSERT_TRUE(loaded.ok) << loaded.message;
    EXPECT_FALSE(loaded.converted);
    EXPECT_EQ(loaded.options, x);
    EXPECT_EQ(sessionFileBytes(loaded.options), file);

    // A text field without a terminator is read up to the field's end, never
    // into the next field, and still saved as it was.
    SessionOptions y = x;
    std::fill_n(&y.bytes()[info(Field::HostName).offset], 65, 'h');
    ASSERT_TRUE(y.setText(Field::WindowTitle, "TITLE"));
    const LoadResult z = loadSessionFile("mvs.ses", sessionFileBytes(y));
    ASSERT_TRUE(z.ok);
    EXPECT_EQ(z.options.text(Field::HostName), std::string(64, 'h'));
    EXPECT_EQ(sessionFileBytes(z.options), sessionFileBytes(y));
}

TEST(SessionFileRoundTrip, LoadingSetsTheNameAndTheDefaultModeSize) {
    SessionOptions x = everyByteSet("old-name.ses");
    x.setNumber(Field::DefaultModeWidth, 0);
    x.setNumber(Field::DefaultModeHeight, 0);
    const LoadResult r = loadSessionFile("New.SES", sessionFileBytes(x));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.options.text(Field::SessionFile), "New.SES");
    EXPECT_EQ(r.options.number(Field::DefaultModeWidth), 80);
    EXPECT_EQ(r.options.number(Field::DefaultModeHeight), 24);

    EXPECT_EQ(loadSessionFile("plain", sessionFileBytes(x)).options.text(Field::SessionFile),
              "plain.ses");
    const LoadResult tooLong = loadSessionFile(std::string(256, 'n'), sessionFileBytes(x));
    EXPECT_FALSE(tooLong.ok);
    EXPECT_FALSE(tooLong.message.empty());
}

TEST(SessionFileLoad, RefusesWhatIsNotASessionFile) {
    const SessionOptions x = everyByteSet("a.ses");
    const Bytes good = sessionFileBytes(x);
    Bytes badHeader = good;
    badHeader[6] = 's';  // "Cedar session"
    Bytes letters = good;
    letters[17] = 'x';
    Bytes noBlanks = good;
    noBlanks[23] = 0;
    struct Case {
        const char* what;
        Bytes file;
    } cases[] = {
        {"empty", {}},
        {"part of a header", Bytes(good.begin(), good.begin() + 20)},
        {"a header only", Bytes(good.begin(), good.begin() + kHeaderSize)},
        {"current, one byte short", Bytes(good.begin(), good.end() - 1)},
        {"current, truncated", Bytes(good.begin(), good.begin() + 3000)},
        {"current, one byte long", sessionFile("26", x, kFileSize + 1)},
        {"another header", badHeader},
        {"letters for the version", letters},
        {"header without its blanks", noBlanks},
        {"a later version", sessionFile("27", x)},
        {"earlier version, too short to be one", sessionFile("20", x, 1911)},
        {"earlier version, longer than any", sessionFile("25", x, kFileSize + 1)},
    };
    for (const auto& c : cases) {
        const LoadResult r = loadSessionFile("a.ses", c.file);
        EXPECT_FALSE(r.ok) << c.what;
        EXPECT_EQ(r.message, "a.ses is not a valid session file for this version") << c.what;
    }
    EXPECT_TRUE(loadSessionFile("a.ses", sessionFile("20", x, 1912)).ok) << "the shortest";

    const LoadResult unnamed = loadSessionFile("", good);
    EXPECT_FALSE(unnamed.ok);
    EXPECT_TRUE(unnamed.message.empty()) << "an empty name loads nothing, silently";
}

TEST(SessionFileLoad, MessagesForTheCaller) {
    EXPECT_EQ(notFoundMessage("x.ses", "C:\\Users\\me"),
              "Session file x.ses was not found\nin folder C:\\Users\\me");
    EXPECT_EQ(notValidMessage("%s.ses"), "%s.ses is not a valid session file for this version");
    EXPECT_EQ(withSesExtension("a"), "a.ses");
    EXPECT_EQ(withSesExtension("a.SES"), "a.SES");
    EXPECT_EQ(withSesExtension("a.ses.backup"), "a.ses.backup.ses");
}

// Earlier versions: each default applies to files too short to hold the
// field, and only to those.
TEST(SessionFileConversion, DefaultsFollowTheFileSize) {
    struct Case {
        const char* what;
        std::size_t appliesUpTo;  // the largest size the default applies to
        void (*prepare)(SessionOptions&);
        void (*check)(const SessionOptions&, bool applied);
    } cases[] = {
        {"AUTORECONNECT and STARTUPMACRO", 1936,
         [](SessionOptions& o) {
             o.setNumber(Field::AutoReconnect, 0);
             put(o, 684, "boot.mac");
         },
         [](const SessionOptions& o, bool applied) {
             EXPECT_EQ(o.number(Field::AutoReconnect), applied ? 1 : 0);
             EXPECT_EQ(o.text(Field::StartupMacro), applied ? "(none)" : "boot.mac");
         }},
        {"USERNAME", 1938, [](SessionOptions& o) { o.setText(Field::UserName, "U"); },
         [](const SessionOptions& o, bool applied) {
             EXPECT_EQ(o.text(Field::UserName), applied ? "" : "U");
         }},
        {"MOVECURSORONACTIVATE", 1958,
         [](SessionOptions& o) { o.setNumber(Field::MoveCursorOnActivate, 0); },
         [](const SessionOptions& o, bool applied) {
             EXPECT_EQ(o.number(Field::MoveCursorOnActivate), applied ? 1 : 0);
         }},
        {"tool bar hidden", 1961, [](SessionOptions& o) { o.setNumber(Field::ToolBarHidden, 1); },
         [](const SessionOptions& o, bool applied) {
             EXPECT_EQ(o.number(Field::ToolBarHidden), applied ? 0 : 1);
         }},
        {"brightness", 2415, [](SessionOptions& o) { o.setNumber(Field::Brightness, 77); },
         [](const SessionOptions& o, bool applied) {
             EXPECT_EQ(o.number(Field::Brightness), applied ? 128 : 77);
         }},
        {"CURSORCOLOR", 2763, [](SessionOptions& o) { o.setNumber(Field::CursorColor, 3); },
         [](const SessionOptions& o, bool applied) {
             EXPECT_EQ(o.number(Field::CursorColor), applied ? 0 : 3);
         }},
        {"backspace from the old byte", 2827,
         [](SessionOptions& o) {
             o.bytes()[717] = 1;
             o.setNumber(Field::NormalCursorBackspace, 1);
             o.setNumber(Field::InsertCursorBackspace, 1);
         },
         [](const SessionOptions& o, bool applied) {
             EXPECT_EQ(o.number(Field::NormalCursorBackspace), applied ? 2 : 1);
             EXPECT_EQ(o.number(Field::InsertCursorBackspace), applied ? 2 : 1);
         }},
        {"ENABLEDRAGANDDROP", 2859,
         [](SessionOptions& o) { o.setNumber(Field::EnableDragAndDrop, 0); },
         [](const SessionOptions& o, bool applied) {
             EXPECT_EQ(o.number(Field::EnableDragAndDrop), applied ? 1 : 0);
         }},
        {"Find options", 2863, [](SessionOptions& o) { o.setNumber(Field::FindOptions, 5); },
         [](const SessionOptions& o, bool applied) {
             EXPECT_EQ(o.number(Field::FindOptions), applied ? 0 : 5);
         }},
        {"LU name from its older place", 2883,
         [](SessionOptions& o) {
             put(o, 2430, "OLDLU");
             o.setText(Field::LuName, "N");  // a file one byte longer holds one character
         },
         [](const SessionOptions& o, bool applied) {
             EXPECT_EQ(o.text(Field::LuName), applied ? "OLDLU" : "N");
         }},
        {"printer from its older place", 6607,
         [](SessionOptions& o) {
             put(o, 2801, "PRT-OLD");
             o.setText(Field::PrinterName, "PRT-NEW");
             o.setItemForeground(kSpecifiedCursorItem, 3);
         },
         [](const SessionOptions& o, bool applied) {
             EXPECT_EQ(o.text(Field::PrinterName), applied ? "PRT-OLD" : "PRT-NEW");
             EXPECT_EQ(o.itemForeground(kSpecifiedCursorItem), applied ? 10 : 3);
         }},
        {"Find highlighting colour", 6611,
         [](SessionOptions& o) { o.setItemForeground(kFindHighlightingItem, 3); },
         [](const SessionOptions& o, bool applied) {
             EXPECT_EQ(o.itemForeground(kFindHighlightingItem), applied ? 7 : 3);
         }},
        {"BORDERTEXT", 6711, [](SessionOptions& o) { o.setText(Field::BorderText, "B"); },
         [](const SessionOptions& o, bool applied) {
             EXPECT_EQ(o.text(Field::BorderText), applied ? "" : "B");
         }},
        {"SCREENBUFFERS", 6715, [](SessionOptions& o) { o.setNumber(Field::ScreenBuffers, 5); },
         [](const SessionOptions& o, bool applied) {
             EXPECT_EQ(o.number(Field::ScreenBuffers), applied ? 20 : 5);
         }},
        {"TRUETYPE", 7011,
         [](SessionOptions& o) {
             o.setNumber(Field::TrueType, 1);
             o.setText(Field::TrueTypeFontName, "Mono");
         },
         [](const SessionOptions& o, bool applied) {
             EXPECT_EQ(o.number(Field::TrueType), applied ? 0 : 1);
             EXPECT_EQ(o.text(Field::TrueTypeFontName), applied ? "IBM 3270" : "Mono");
         }},
    };
    for (const auto& c : cases) {
        for (const std::size_t size : {c.appliesUpTo, c.appliesUpTo + 1}) {
            SCOPED_TRACE(std::string(c.what) + ", " + std::to_string(size) + " bytes");
            SessionOptions old;
            c.prepare(old);
            const LoadResult r = loadSessionFile("old.ses", sessionFile("25", old, size));
            ASSERT_TRUE(r.ok) << r.message;
            EXPECT_TRUE(r.converted);
            c.check(r.options, size == c.appliesUpTo);
        }
    }
}

TEST(SessionFileConversion, A2000ByteFileGetsEveryDefaultFromTheSecondVersionOn) {
    SessionOptions old;
    old.setText(Field::HostName, "mvs.example.com");
    old.setNumber(Field::AutoReconnect, 0);  // held by the file: kept
    old.setNumber(Field::MoveCursorOnActivate, 0);
    const LoadResult r = loadSessionFile("old.ses", sessionFile("10", old, 2000));
    ASSERT_TRUE(r.ok) << r.message;
    const SessionOptions& o = r.options;

    EXPECT_EQ(o.number(Field::AutoReconnect), 0);
    EXPECT_EQ(o.number(Field::MoveCursorOnActivate), 0);
    EXPECT_EQ(o.text(Field::Screen), "United States");
    EXPECT_EQ(o.text(Field::Keyboard), "United States");
    EXPECT_EQ(o.text(Field::PcCodePage), "DOS (US 437)");
    EXPECT_EQ(o.text(Field::EditKeypad), "standard.pad");
    EXPECT_EQ(o.number(Field::NotifyUserOnInsertError), 1);
    for (int i = 0; i < PrintProfile::kCount; ++i) {
        const PrintProfile p = o.printProfile(i);
        EXPECT_EQ(p.face, "Courier New") << i;
        EXPECT_LT(p.left[0], p.right[0]) << "a print area that is not empty";
        EXPECT_LT(p.top[3], p.bottom[3]);
    }
    const std::pair<Field, std::int64_t> numbers[] = {
        {Field::DebugWindowLeft, 10},
        {Field::DebugWindowTop, 10},
        {Field::DebugWindowWidth, 200},
        {Field::DebugWindowHeight, 300},
        {Field::Tn3270e, 0},
        {Field::After, 0},
        {Field::TransferBlockSize, 2500},
        {Field::UserModelHeight, 127},
        {Field::UserModelWidth, 56},
        {Field::KeypadLeft, 100},
        {Field::KeypadTop, 100},
        {Field::EnableDragAndDrop, 1},
        {Field::DftMode, 1},
        {Field::DefaultModeWidth, 80},
        {Field::DefaultModeHeight, 24},
        {Field::ScreenBuffers, 20},
        {Field::NormalCursorBackspace, 0},
    };
    for (const auto& [field, value] : numbers)
        EXPECT_EQ(o.number(field), value) << info(field).name;
    EXPECT_EQ(o.text(Field::IpName), "mvs.example.com");
    EXPECT_EQ(o.text(Field::LuName), "");
    EXPECT_EQ(o.text(Field::ListCatalogCommand), "listcat");
    EXPECT_EQ(o.text(Field::ListDatasetCommand), "listds");
    EXPECT_EQ(o.text(Field::ListMemberCommand), "list");
    EXPECT_EQ(o.text(Field::AlarmSound), "beep1.wav");
    EXPECT_EQ(o.text(Field::KeyClickSound), "click4.wav");
    EXPECT_EQ(o.text(Field::UpdateSound), "beep4.wav");
    EXPECT_EQ(o.text(Field::PrinterName), "<default>");
    EXPECT_EQ(o.text(Field::TrueTypeFontName), "IBM 3270");
}

// Files of 2,416 and 2,418 bytes held five print profiles, followed at offset
// 2305 by what now follows the sixth.
TEST(SessionFileConversion, FiveProfileFilesGetASixth) {
    for (const std::size_t size : {std::size_t{2416}, std::size_t{2418}}) {
        SCOPED_TRACE(size);
        SessionOptions old;
        PrintProfile p[5];
        for (int i = 0; i < 5; ++i) {
            p[i].face = "Face " + std::to_string(i + 1);
            p[i].orientation = static_cast<std::uint8_t>(i % 3);
            p[i].left.fill(static_cast<std::uint8_t>(10 + i));
            p[i].right.fill(static_cast<std::uint8_t>(90 - i));
            ASSERT_TRUE(old.setPrintProfile(i, p[i]));
        }
        // The tail as the old layout had it: 50 bytes before today's places.
        const std::size_t shift = 50;
        auto putNumber = [&](Field f, std::uint16_t v) {
            old.bytes()[info(f).offset - shift] = static_cast<std::uint8_t>(v & 0xFF);
            old.bytes()[info(f).offset - shift + 1] = static_cast<std::uint8_t>(v >> 8);
        };
        putNumber(Field::DebugWindowLeft, 11);
        putNumber(Field::DebugWindowHeight, 333);
        put(old, info(Field::IpName).offset - shift, "10.1.2.3");
        old.bytes()[info(Field::Tn3270e).offset - shift] = 1;
        put(old, 2430 - shift, "LU01");

        const LoadResult r = loadSessionFile("five.ses", sessionFile("24", old, size));
        ASSERT_TRUE(r.ok) << r.message;
        const SessionOptions& o = r.options;
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(o.printProfile(i), p[i]) << i;
        EXPECT_EQ(o.printProfile(4).face, "Courier New");
        EXPECT_EQ(o.printProfile(5), p[4]) << "the fifth profile moved to the sixth place";
        EXPECT_EQ(o.number(Field::DebugWindowLeft), 11);
        EXPECT_EQ(o.number(Field::DebugWindowHeight), 333);
        EXPECT_EQ(o.text(Field::IpName), "10.1.2.3");
        EXPECT_EQ(o.number(Field::Tn3270e), 1);
        EXPECT_EQ(o.text(Field::LuName), "LU01");
        EXPECT_EQ(o.number(Field::TransferBlockSize), 2500);
        EXPECT_EQ(o.number(Field::UserModelHeight), 127);
        EXPECT_EQ(o.number(Field::UserModelWidth), 56);
    }
}

TEST(SessionFileConversion, EarlierVersionsMoveTheirTexts) {
    SessionOptions old;
    const struct {
        std::size_t from;
        const char* text;
        Field to;
    } moves[] = {
        {641, "old.key", Field::EditKeyboard},    {655, "old.bar", Field::EditToolBar},
        {669, "scr.txt", Field::FileName},        {684, "go.mac", Field::StartupMacro},
        {2034, "old.pad", Field::EditKeypad},     {2642, "ring.wav", Field::AlarmSound},
        {2674, "tick.wav", Field::KeyClickSound}, {2706, "ding.wav", Field::UpdateSound},
    };
    for (const auto& m : moves)
        put(old, m.from, m.text);
    put(old, 891, "upload text");
    put(old, 1269, "download text");
    put(old, 149, "renamed-from.ses");
    std::fill_n(&old.bytes()[82], 66, 0x5A);  // the reserved block

    const LoadContext context{"C:\\Users\\me\\Documents"};
    const LoadResult r = loadSessionFile("renamed-to.ses", sessionFile("25", old), context);
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_TRUE(r.converted);
    for (const auto& m : moves)
        EXPECT_EQ(r.options.text(m.to), m.text) << info(m.to).name;
    EXPECT_EQ(textAt(r.options, 4244), "upload text");
    EXPECT_EQ(textAt(r.options, 4764), "download text");
    EXPECT_EQ(textAt(r.options, 4504), "C:\\Users\\me\\Documents\\");
    EXPECT_EQ(textAt(r.options, 5024), "C:\\Users\\me\\Documents\\");
    const auto reserved = r.options.raw(Field::Reserved);
    EXPECT_TRUE(std::all_of(reserved.begin(), reserved.end(), [](auto b) { return b == 0; }));
    EXPECT_EQ(r.options.text(Field::SessionFile), "renamed-to.ses")
        << "a renamed file is saved under its own name";

    // An old field without a terminator ends at its own end.
    SessionOptions damaged = old;
    std::fill_n(&damaged.bytes()[641], 14, 'k');
    const LoadResult d = loadSessionFile("d.ses", sessionFile("25", damaged));
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.options.text(Field::EditKeyboard), std::string(13, 'k'));

    // The same bytes under the current header are today's layout: nothing moves.
    const LoadResult current = loadSessionFile("renamed-to.ses", sessionFile("26", old), context);
    ASSERT_TRUE(current.ok);
    EXPECT_FALSE(current.converted);
    EXPECT_EQ(current.options.text(Field::EditKeyboard), "");
    EXPECT_EQ(current.options.raw(Field::Reserved)[0], 0x5A);
}

TEST(SessionFileBackup, RestoresOnlyStandardSesFromACompleteBackup) {
    SessionOptions good = everyByteSet("standard.ses");
    good.setText(Field::HostName, "from.backup");
    const Bytes backupGood = sessionFileBytes(good);
    SessionOptions other = everyByteSet("standard.ses");
    const Bytes fileGood = sessionFileBytes(other);
    Bytes damaged = fileGood;
    damaged[3] = '?';
    const Bytes truncated(fileGood.begin(), fileGood.begin() + 4000);
    const Bytes earlier = sessionFile("25", other);
    const Bytes later = sessionFile("27", other);

    struct Case {
        const char* name;
        Bytes file;
        std::optional<Bytes> backup;
        bool ok;
        bool restored;
        bool backupAsked;
    } cases[] = {
        {"standard.ses", damaged, backupGood, true, true, true},
        {"STANDARD", damaged, backupGood, true, true, true},
        {"standard.ses", truncated, backupGood, true, true, true},
        {"standard.ses", damaged, std::nullopt, false, false, true},
        {"standard.ses", damaged, damaged, false, false, true},
        {"standard.ses", damaged, truncated, false, false, true},
        {"standard.ses", damaged, earlier, false, false, true},
        {"standard.ses", later, backupGood, false, false, false},
        {"standard.ses", fileGood, backupGood, true, false, false},
        {"standard.ses", earlier, backupGood, true, false, false},
        {"standard.old.ses", damaged, backupGood, false, false, false},
        {"other.ses", damaged, backupGood, false, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.file.size()));
        bool asked = false;
        SessionFile session;
        const RecoveredLoad r = session.loadWithRecovery(c.name, c.file, {}, [&] {
            asked = true;
            return c.backup;
        });
        EXPECT_EQ(r.result.ok, c.ok);
        EXPECT_EQ(r.restoreStandardFromBackup, c.restored);
        EXPECT_EQ(asked, c.backupAsked);
        if (c.restored) {
            EXPECT_EQ(session.options.text(Field::HostName), "from.backup");
        }
        if (!c.ok) {
            EXPECT_NE(r.result.message.find("is not a valid session file"), std::string::npos);
        }
    }
}

TEST(SessionFileBackup, RefreshedOnlyFromACompleteStandardSes) {
    const SessionOptions x = everyByteSet("standard.ses");
    const Bytes good = sessionFileBytes(x);
    Bytes damaged = good;
    damaged[0] = 'c';
    const struct {
        const char* what;
        Bytes file;
        bool refresh;
    } cases[] = {
        {"complete", good, true},
        {"damaged header", damaged, false},
        {"truncated", Bytes(good.begin(), good.end() - 100), false},
        {"too long", sessionFile("26", x, kFileSize + 10), false},
        {"earlier version", sessionFile("25", x), false},
        {"empty", {}, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(shouldRefreshBackup(c.file), c.refresh) << c.what;
    EXPECT_TRUE(mayRestoreFromBackup("Standard.Ses"));
    EXPECT_TRUE(mayRestoreFromBackup("standard"));
    EXPECT_FALSE(mayRestoreFromBackup("standard.ses.backup"));
    EXPECT_FALSE(mayRestoreFromBackup("mystandard.ses"));
}

TEST(SessionFileSave, WhenToWrite) {
    SessionFile session;
    session.adopt(everyByteSet("s.ses"));
    SessionFile changed = session;
    changed.options.setNumber(Field::Alarm, 200);
    SessionFile unnamed = session;
    unnamed.adopt(SessionOptions{});

    using A = SessionFile::SaveAction;
    struct Case {
        const char* what;
        const SessionFile& file;
        SaveMode mode;
        bool explicitSave;
        SaveSettings settings;
        A action;
    } cases[] = {
        {"save", session, SaveMode::Save, false, {}, A::Write},
        {"unchanged", session, SaveMode::SaveIfChanged, true, {}, A::Skip},
        {"changed", changed, SaveMode::SaveIfChanged, false, {}, A::Write},
        {"no name", unnamed, SaveMode::Save, true, {}, A::Fail},
        {"NoAutoSave, automatic", changed, SaveMode::Save, false, {true, false}, A::Skip},
        {"NoAutoSave, explicit", changed, SaveMode::Save, true, {true, false}, A::Write},
        {"NoSessionSave", changed, SaveMode::Save, true, {false, true}, A::Skip},
    };
    for (const auto& c : cases) {
        const auto plan = c.file.planSave(c.mode, c.explicitSave, c.settings, {});
        EXPECT_EQ(plan.action, c.action) << c.what;
        if (plan.action != A::Write) {
            EXPECT_TRUE(plan.bytes.empty()) << c.what;
            continue;
        }
        EXPECT_EQ(plan.fileName, "s.ses") << c.what;
        EXPECT_EQ(plan.bytes, sessionFileBytes(c.file.options)) << c.what;
    }
}

TEST(SessionFileSave, ChangesCountAsSavedOnlyOnceWritten) {
    SessionFile session;
    session.adopt(everyByteSet("s.ses"));
    session.options.setText(Field::HostName, "changed");

    const auto first = session.planSave(SaveMode::SaveIfChanged, false, {}, {});
    ASSERT_EQ(first.action, SessionFile::SaveAction::Write);
    // The write failed: the change is still pending.
    EXPECT_TRUE(session.changed());
    EXPECT_EQ(session.planSave(SaveMode::SaveIfChanged, false, {}, {}).action,
              SessionFile::SaveAction::Write);

    session.saved(first);
    EXPECT_FALSE(session.changed());
    EXPECT_EQ(session.planSave(SaveMode::SaveIfChanged, false, {}, {}).action,
              SessionFile::SaveAction::Skip)
        << "saving twice without changes writes once";
}

TEST(SessionFileSave, WindowSizeOfTheDefaultMode) {
    SessionOptions base;
    base.setNumber(Field::WindowWidth, 1000);
    base.setNumber(Field::WindowHeight, 800);
    base.setNumber(Field::DefaultModeHeight, 24);
    base.setNumber(Field::KeepFontConstantOnModeSwitch, 1);
    struct Case {
        const char* what;
        ScreenGeometry screen;
        std::int64_t windowState;
        std::int64_t keepFont;
        std::int64_t width;
        std::int64_t height;
    } cases[] = {
        {"default mode", {24, 80, 9, 16}, 0, 1, 1000, 800},
        {"model 4", {43, 80, 9, 16}, 0, 1, 1000, 800 - 16 * 19},
        {"model 5", {27, 132, 9, 16}, 0, 1, 1000 - 9 * 52, 800 - 16 * 3},
        {"maximized", {43, 80, 9, 16}, 2, 1, 1000, 800},
        {"font follows the window", {43, 80, 9, 16}, 0, 0, 1000, 800},
        {"never below 0", {200, 132, 30, 40}, 0, 1, 0, 0},
    };
    for (const auto& c : cases) {
        SessionFile session;
        session.adopt(base);
        session.options.setText(Field::SessionFile, "w.ses");
        session.options.setNumber(Field::WindowState, c.windowState);
        session.options.setNumber(Field::KeepFontConstantOnModeSwitch, c.keepFont);
        const SessionOptions inForce = session.options;

        const auto plan = session.planSave(SaveMode::Save, true, {}, c.screen);
        ASSERT_EQ(plan.bytes.size(), kFileSize) << c.what;
        const LoadResult written = loadSessionFile("w.ses", plan.bytes);
        ASSERT_TRUE(written.ok) << c.what;
        EXPECT_EQ(written.options.number(Field::WindowWidth), c.width) << c.what;
        EXPECT_EQ(written.options.number(Field::WindowHeight), c.height) << c.what;
        EXPECT_EQ(session.options, inForce) << c.what << ": the record in force keeps its size";
        EXPECT_EQ(plan.snapshot, inForce) << c.what;
    }
}

TEST(SessionFileHosts, TheHostListEntrySuppliesItsChoices) {
    HostList hosts = HostList::parse(
        "[Cedar]\r\nHostnames=mvs,tso\r\nPortnums=992,23\r\nTN3270E=0,1\r\nSSL=5,0\r\n"
        "Lunames=LU01,\r\nCA_Certs=ca.pem,\r\nClient_Certs=me.pem,\r\nClient_Keys=me.key,\r\n"
        "Validate_Host_Cert=1,0\r\nDomain_Must_Match_Host=0,0\r\n");
    SessionOptions base;
    base.setText(Field::HostName, "mvs");
    base.setNumber(Field::Port, 2323);
    base.setNumber(Field::Tn3270e, 1);
    base.setNumber(Field::SecurityLevel, 0);
    base.setText(Field::LuName, "CMDLU");

    struct Case {
        CommandLineGiven given;
        std::int64_t port, tn3270e, level;
        const char* lu;
    } cases[] = {
        {{}, 992, 0, 4, "LU01"},
        {{true, false, false, false}, 2323, 0, 4, "LU01"},
        {{false, true, false, false}, 992, 1, 4, "LU01"},
        {{false, false, true, false}, 992, 0, 0, "LU01"},
        {{false, false, false, true}, 992, 0, 4, "CMDLU"},
    };
    for (const auto& c : cases) {
        SessionOptions o = base;
        const auto security = mergeHostEntry(o, hosts, c.given);
        ASSERT_TRUE(security.has_value());
        EXPECT_EQ(o.number(Field::Port), c.port);
        EXPECT_EQ(o.number(Field::Tn3270e), c.tn3270e);
        EXPECT_EQ(o.number(Field::SecurityLevel), c.level);
        EXPECT_EQ(o.text(Field::LuName), c.lu);
        EXPECT_EQ(security->caCert, "ca.pem");
        EXPECT_EQ(security->clientCert, "me.pem");
        EXPECT_EQ(security->clientKey, "me.key");
        EXPECT_TRUE(security->validateHostCert);
        EXPECT_FALSE(security->domainMustMatchHost);
    }

    SessionOptions unknown = base;
    unknown.setText(Field::HostName, "MVS");  // names compare exactly
    EXPECT_FALSE(mergeHostEntry(unknown, hosts).has_value());
    EXPECT_EQ(unknown.number(Field::Port), 2323);

    // A hand-edited LU name too long for the record leaves the record's.
    HostList longLu =
        HostList::parse("[Cedar]\r\nHostnames=mvs\r\nLunames=" + std::string(25, 'L') + "\r\n");
    SessionOptions o = base;
    ASSERT_TRUE(mergeHostEntry(o, longLu).has_value());
    EXPECT_EQ(o.text(Field::LuName), "CMDLU");
    EXPECT_EQ(o.number(Field::Port), 23);
}

}  // namespace
}  // namespace cedar::sessionfile
