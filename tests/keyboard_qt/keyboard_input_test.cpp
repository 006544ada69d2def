// What the Qt adapter adds to the key input: the lock state of the events,
// the window system's characters under TOGGLESHIFT/CAPS, X11's auto-repeat,
// Print Screen on release, Tab for the keyboard map, Alt for the menu, the
// wheel, and loading the keyboard files.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QWheelEvent>

#include "loopback_terminal.h"

namespace cedar::test {
namespace {

using keys::charKey;
using keys::kAssigned;

constexpr Held kShift{.shift = true};

TEST(LockState, CapsLockComesWithTheEvent) {
    struct Case {
        bool capsLock;
        bool toggleShiftCaps;
        Held held;
        QString text;  // the window system's character
        std::uint8_t expected;
    };
    const Case cases[] = {
        {true, false, {}, "A", 'A'},    {true, false, kShift, "a", 'A'},
        {true, true, kShift, "a", 'a'}, {false, true, kShift, "A", 'A'},
        {false, false, {}, "a", 'a'},
    };
    for (const auto& c : cases) {
        LoopbackTerminal term("037");
        term.settings.toggleShiftCaps = c.toggleShiftCaps;
        Held held = c.held;
        held.capsLock = c.capsLock;
        stroke(term.widget, {30, Qt::Key_A, c.text}, held);
        EXPECT_EQ(term.at(10), c.expected) << c.capsLock << c.toggleShiftCaps << c.held.shift;
        EXPECT_EQ(term.t.session.screen.cursor(), 11);
    }
}

TEST(LockState, NumLockComesWithTheEvent) {
    LoopbackTerminal term("037");
    stroke(term.widget, {75, Qt::Key_4, "4"}, {.numLock = true});
    EXPECT_EQ(term.at(10), '4');
    stroke(term.widget, {75, Qt::Key_Left, ""}, {});
    EXPECT_EQ(term.t.session.screen.cursor(), 10);
}

TEST(LockState, ALockKeyForAnotherFunctionLeavesTheLockOff) {
    LoopbackTerminal term("037");
    term.map.setWord(58, 0, charKey('c', kAssigned));
    term.map.setWord(58, 1, charKey('C', kAssigned));
    press(term.widget, keys_us::kCapsLock, {});
    release(term.widget, keys_us::kCapsLock,
            {.capsLock = true});  // the window system's lock went on
    stroke(term.widget, {30, Qt::Key_A, "A"}, {.capsLock = true});
    EXPECT_EQ(term.at(10), 'c');
    EXPECT_EQ(term.at(11), 'a');  // the terminal holds it off
    EXPECT_FALSE(term.input.capsLockOn());
    // Once the window system's lock is off, it counts again when it is on.
    stroke(term.widget, {30, Qt::Key_A, "a"}, {});
    stroke(term.widget, {30, Qt::Key_A, "A"}, {.capsLock = true});
    EXPECT_EQ(term.at(13), 'A');
}

TEST(Repeat, X11AutoRepeatPairs) {
    for (bool repeats : {true, false}) {
        LoopbackTerminal term("037");
        if (!repeats) term.map.setWord(59, 0, charKey('a'));
        press(term.widget, keys_us::kA, {});
        for (int i = 0; i < 2; ++i) {
            // X11 repeats a held key as a release and a press, both marked.
            QKeyEvent up(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, 30 + 8, 0, 0, "a", true);
            QCoreApplication::sendEvent(&term.widget, &up);
            press(term.widget, keys_us::kA, {}, true);
        }
        release(term.widget, keys_us::kA, {});
        EXPECT_EQ(term.t.session.screen.cursor(), repeats ? 13 : 11) << repeats;
    }
}

TEST(Keys, PrintScreenActsOnRelease) {
    LoopbackTerminal term("037");
    term.map.setWord(13, 0, charKey('p', kAssigned));
    EXPECT_TRUE(press(term.widget, keys_us::kPrint, {}));
    EXPECT_EQ(term.at(10), 0);
    release(term.widget, keys_us::kPrint, {});
    EXPECT_EQ(term.at(10), 'p');
}

TEST(Keys, TabAndBacktabReachTheKeyboardMap) {
    LoopbackTerminal term("037");
    term.map.setWord(37, 0, charKey('t', kAssigned));
    term.map.setWord(37, 1, charKey('T', kAssigned));
    stroke(term.widget, keys_us::kTab);
    stroke(term.widget, {15, Qt::Key_Backtab, ""}, kShift);
    EXPECT_EQ(term.at(10), 't');
    EXPECT_EQ(term.at(11), 'T');
}

TEST(Keys, AltCombinationsGoToTheMenuWithUseAltForMenu) {
    for (bool menu : {true, false}) {
        LoopbackTerminal term("037");
        term.settings.useAltForMenu = menu;
        term.map.setWord(62, 3, charKey('f', kAssigned));  // Alt+F
        press(term.widget, keys_us::kAlt, {.alt = true});
        const bool taken = press(term.widget, {33, Qt::Key_F, "f"}, {.alt = true});
        EXPECT_EQ(taken, !menu);
        EXPECT_EQ(term.at(10), menu ? 0 : 'f');
        // F10 stays the terminal's.
        EXPECT_TRUE(press(term.widget, {68, Qt::Key_F10, ""}, {.alt = true}));
    }
}

TEST(Wheel, StepsWithoutAMacroSystemSaySo) {
    LoopbackTerminal term("037");
    for (int i = 0; i < 4; ++i) {
        QWheelEvent e(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, 60), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(&term.widget, &e);
    }
    EXPECT_EQ(term.ui.macrosUnavailableCalls, 2);
}

// --- Loading the keyboard files --------------------------------------------

bool copyData(const QString& from, const QString& to) {
    return QFile::copy(QString::fromStdString(dataDir()) + "/" + from, to);
}

TEST(KeyboardFiles, TheCountryFileIsNeeded) {
    QTemporaryDir dir;
    const std::string d = dir.path().toStdString();
    CodePages tables;
    keys::LayoutBlock map(keys::LayoutType::Keyboard);
    const auto load =
        keys::qt::loadSessionKeyboard({d, d, d}, "standard.key", "037", false, tables, map);
    EXPECT_FALSE(load.countryFileFound);
    ASSERT_EQ(load.messages.size(), 1u);
    EXPECT_EQ(load.messages[0], keys::qt::countryFileNotFoundMessage());
}

TEST(KeyboardFiles, AMissingKeyboardFileFallsBackToTheStandardOne) {
    QTemporaryDir user;
    QTemporaryDir keyData;
    ASSERT_TRUE(copyData("defaults/standard.key", keyData.filePath("standard.key")));
    // The user's own country file comes first.
    ASSERT_TRUE(copyData("country.lst", user.filePath("country.lst")));
    CodePages tables;
    keys::LayoutBlock map(keys::LayoutType::Keyboard);
    const auto load = keys::qt::loadSessionKeyboard(
        {user.path().toStdString(), "/nonexistent", keyData.path().toStdString()}, "mine.key",
        "France 297", false, tables, map);
    EXPECT_TRUE(load.countryFileFound);
    EXPECT_TRUE(load.mapLoaded);
    EXPECT_EQ(load.newKeyboardFileName, "standard.key");
    ASSERT_EQ(load.messages.size(), 1u);
    EXPECT_EQ(load.messages[0].text,
              "File \"mine.key\" was not found.\nstandard.key will be used as an alternate.");
    // The French characters are on the map.
    EXPECT_EQ(map.word(17, 0), charKey('&', keys::kRepeat));
}

TEST(KeyboardFiles, ABrokenKeyboardFileLeavesTheMap) {
    QTemporaryDir keyData;
    QFile broken(keyData.filePath("standard.key"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("Cedar Toolbar V1.26     ");
    broken.close();
    CodePages tables;
    keys::LayoutBlock map(keys::LayoutType::Keyboard);
    map.setWord(1, 0, charKey('x'));
    const auto load =
        keys::qt::loadSessionKeyboard({"/nonexistent", dataDir(), keyData.path().toStdString()},
                                      "standard.key", "037", false, tables, map);
    EXPECT_FALSE(load.mapLoaded);
    ASSERT_EQ(load.messages.size(), 1u);
    EXPECT_EQ(load.messages[0].text, "standard.key is not a valid Cedar Keytable");
    EXPECT_EQ(map.word(1, 0), charKey('x'));
}

}  // namespace
}  // namespace cedar::test
