// Long runs of arbitrary key words on every fixture screen, with word wrap
// and the editing options on: the cursor stays on the screen, and neither a
// field attribute nor a protected field's text ever changes by editing.
#include <random>

#include "keyboard/cursor_moves.h"
#include "keyboard_fixture.h"

namespace cedar::test {
namespace {

// Attribute bytes and the characters of protected fields.
std::vector<std::uint8_t> protectedContent(const PresentationSpace& ps) {
    std::vector<std::uint8_t> out;
    const int first = keys::fieldOf(ps, 0);
    std::uint8_t attribute = first >= 0 ? ps.attributes()[first] : 0;
    for (int p = 0; p < ps.positions(); ++p) {
        if (ps.isAttribute(p)) attribute = ps.attributes()[p];
        out.push_back(ps.attributes()[p]);
        out.push_back(fa::isProtected(attribute) ? ps.characters()[p] : 0);
    }
    return out;
}

// Modified-data tags aside.
std::vector<std::uint8_t> withoutTags(std::vector<std::uint8_t> content) {
    for (std::size_t i = 0; i < content.size(); i += 2)
        content[i] &= static_cast<std::uint8_t>(~0x01);
    return content;
}

TEST(Robustness, ArbitraryKeysKeepProtectedFieldsAndTheCursorIntact) {
    const Screen screens[] = {Screen::Form, Screen::Wrap, Screen::Paragraphs, Screen::Plain};
    std::mt19937 random(20240611);
    for (Screen screen : screens) {
        for (int variant = 0; variant < 4; ++variant) {
            ScreenSettings s;
            s.wang = variant == 3;
            KeyboardFixture f(s);
            f.settings.enableAutoSkip = variant & 1;
            f.settings.skipAtEndOfField = variant & 2;
            f.settings.prefixInputWithSpaces = variant & 1;
            f.settings.numericFieldLock = variant & 2;
            f.settings.normalCursorBackspace = variant % 3;
            f.settings.insertCursorBackspace = (variant + 1) % 3;
            f.settings.toggleInsertKey = true;
            f.settings.typeAhead = variant & 1;
            f.load(screen);
            f.ps().wordWrap = true;
            auto before = withoutTags(protectedContent(f.ps()));
            for (int i = 0; i < 3000; ++i) {
                KeyWord word;
                const int pick = static_cast<int>(random() % 10);
                if (pick < 5)
                    word = keys::charKey(static_cast<std::uint8_t>(0x20 + random() % 0xE0));
                else if (pick < 9)
                    word = keys::editKey(static_cast<keys::Edit>(random() % keys::kEditCount));
                else
                    word = keys::actionKey(static_cast<keys::Action>(random() % 52));
                const keys::Kind kind = keys::kindOf(word);
                const std::uint8_t code = keys::codeOf(word);
                f.key(word, static_cast<KeySource>(random() % 9));
                ASSERT_GE(f.ps().cursor(), 0);
                ASSERT_LT(f.ps().cursor(), f.ps().positions());
                const bool rewrites = (kind == keys::Kind::Action && code == 1) ||
                                      (kind == keys::Kind::Edit && code == 36);  // Clear, Undo
                auto after = withoutTags(protectedContent(f.ps()));
                if (!rewrites) {
                    std::size_t k = 0;
                    while (k < after.size() && after[k] == before[k])
                        ++k;
                    ASSERT_EQ(after, before)
                        << "key " << std::hex << word << std::dec << " at step " << i << " screen "
                        << static_cast<int>(screen) << " variant " << variant << " position "
                        << k / 2 << " cursor " << f.ps().cursor();
                }
                before = std::move(after);
                if (i % 40 == 39) {
                    // Replays the type-ahead, Clear and Undo among it.
                    f.host(RecordBuilder(cmd::kWrite, 0x02));
                    before = withoutTags(protectedContent(f.ps()));
                }
            }
        }
    }
}

}  // namespace
}  // namespace cedar::test
