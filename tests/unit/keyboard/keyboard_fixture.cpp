#include "keyboard_fixture.h"

#include <cstdio>
#include <stdexcept>

namespace cedar::test {

using keys::Action;
using keys::Edit;

namespace {

ScreenSessionOptions smallScreen() {
    ScreenSessionOptions options;
    options.defaultRows = 8;
    options.defaultColumns = 40;
    return options;
}

const std::map<std::string, KeyWord>& keyNames() {
    static const std::map<std::string, KeyWord> names = [] {
        std::map<std::string, KeyWord> m;
        const char* actions[] = {"Attn", "Clear", "Enter", "PA1", "PA2", "PA3"};
        for (int i = 0; i < 6; ++i)
            m[actions[i]] = keys::actionKey(static_cast<Action>(i));
        for (int i = 1; i <= 24; ++i)
            m["PF" + std::to_string(i)] = keys::actionKey(static_cast<Action>(5 + i));
        m["SysReq"] = keys::actionKey(Action::SysReq);
        for (int i = 4; i <= 10; ++i)
            m["PA" + std::to_string(i)] = keys::actionKey(static_cast<Action>(27 + i));
        for (int i = 25; i <= 36; ++i)
            m["PF" + std::to_string(i)] = keys::actionKey(static_cast<Action>(13 + i));
        const std::pair<const char*, Edit> edits[] = {{"Backspace", Edit::Backspace},
                                                      {"BackTab", Edit::BackTab},
                                                      {"Delete", Edit::Delete},
                                                      {"DeleteWord", Edit::DeleteWord},
                                                      {"Down", Edit::CursorDown},
                                                      {"FastDown", Edit::FastDown},
                                                      {"Dup", Edit::Dup},
                                                      {"EndField", Edit::EndField},
                                                      {"EraseEOF", Edit::EraseEOF},
                                                      {"EraseInput", Edit::EraseInput},
                                                      {"FieldMark", Edit::FieldMark},
                                                      {"Home", Edit::Home},
                                                      {"Insert", Edit::Insert},
                                                      {"Left", Edit::CursorLeft},
                                                      {"FastLeft", Edit::FastLeft},
                                                      {"NewLine", Edit::NewLine},
                                                      {"Reset", Edit::Reset},
                                                      {"Right", Edit::CursorRight},
                                                      {"FastRight", Edit::FastRight},
                                                      {"SelectField", Edit::SelectField},
                                                      {"Tab", Edit::Tab},
                                                      {"Up", Edit::CursorUp},
                                                      {"FastUp", Edit::FastUp},
                                                      {"WordLeft", Edit::WordLeft},
                                                      {"WordRight", Edit::WordRight},
                                                      {"BottomLine", Edit::BottomLine},
                                                      {"PreviousLine", Edit::PreviousLine},
                                                      {"Undo", Edit::Undo},
                                                      {"Copy", Edit::Copy},
                                                      {"Paste", Edit::Paste},
                                                      {"LineHome", Edit::LineHome},
                                                      {"WordWrap", Edit::WordWrap}};
        for (const auto& [name, code] : edits)
            m[name] = keys::editKey(code);
        return m;
    }();
    return names;
}

}  // namespace

std::string hexBytes(keys::ByteSpan bytes) {
    std::string out;
    char text[4];
    for (std::uint8_t b : bytes) {
        std::snprintf(text, sizeof text, "%02X", b);
        if (!out.empty()) out += ' ';
        out += text;
    }
    return out;
}

void FakeLink::log(const char* what, std::uint8_t aid) {
    char text[40];
    std::snprintf(text, sizeof text, "%s %02X", what, aid);
    sent.emplace_back(text);
}

std::string FakeRecorder::functionName(KeyWord word) const {
    for (const auto& [name, w] : keyNames())
        if (keys::sameFunction(w, word)) return name;
    const auto it = names.find(word);
    return it != names.end() ? it->second : "?";
}

KeyWord keyByName(const std::string& name) {
    const auto it = keyNames().find(name);
    if (it == keyNames().end()) throw std::invalid_argument("no key named " + name);
    return it->second;
}

std::vector<KeyWord> parseKeys(const std::string& sequence) {
    std::vector<KeyWord> out;
    std::size_t i = 0;
    while (i < sequence.size()) {
        if (sequence[i] == ' ') {
            ++i;
        } else if (sequence[i] == '\'') {
            const std::size_t close = sequence.find('\'', i + 1);
            if (close == std::string::npos) throw std::invalid_argument("unclosed text");
            for (std::size_t k = i + 1; k < close; ++k)
                out.push_back(keys::charKey(static_cast<std::uint8_t>(sequence[k])));
            i = close + 1;
        } else {
            std::size_t end = sequence.find(' ', i);
            if (end == std::string::npos) end = sequence.size();
            out.push_back(keyByName(sequence.substr(i, end - i)));
            i = end;
        }
    }
    return out;
}

KeyboardFixture::KeyboardFixture(ScreenSettings s)
    : screenSettings(s),
      t(s, smallScreen()),
      controller(
          {t.session.screen, t.session.status, t.session.records, t.session.aid, state, settings},
          {&link, &ui, &recorder, &deferred}) {
    RecordHooks hooks = t.session.records.hooks();
    hooks.events = this;
    t.session.records.setHooks(hooks);
    t.session.status = SessionStatus::Connected;
}

void KeyboardFixture::load(Screen screen) {
    RecordBuilder r(cmd::kEraseWrite, 0xC3);
    switch (screen) {
        case Screen::Form:
            r.sba(0).sf(0x60).text("Name");
            r.sba(5).sf(0x40).text("abcdefghij");
            r.sf(0xF0).text("Num");
            r.sf(0x50).text("12");
            r.sba(26).sf(0x60).text("Pw");
            r.sba(30).sf(0x4C);
            r.sba(39).sf(0x60).text("Protected text");
            r.sba(119).sf(0x40).text("hello world");
            r.sba(280).sf(0x60).text("Footer");
            r.sba(310).sf(0x40).text("end");
            r.sba(6).ic();
            break;
        case Screen::Wrap:
            r.sba(290).sf(0x40).text(std::string(39, 'x'));
            r.sba(10).sf(0x60).text("Title");
            r.sba(100).sf(0x40).sba(140).sf(0x40).sba(180).sf(0x60);
            r.sba(291).ic();
            break;
        case Screen::NoInput:
            r.sba(0).sf(0x60).text("Read only").sba(100).sf(0x60);
            break;
        case Screen::Plain:
            r.text("hello world").sba(300).text("end").sba(0).ic();
            break;
        case Screen::Paragraphs:
            r.sba(0).sf(0x40).sba(20).sf(0x60).sba(40).sf(0x40).sba(60).sf(0x60);
            for (int row = 2; row <= 6; ++row)
                r.sba(row * 40).sf(0x40);
            r.sba(280).sf(0x60).text("Cmd").sba(285).sf(0x40);
            r.sba(81).ic();
            break;
    }
    host(r);
}

KeyOutcome KeyboardFixture::keys(const std::string& sequence, KeySource source) {
    KeyOutcome outcome = KeyOutcome::Performed;
    for (KeyWord word : parseKeys(sequence))
        outcome = controller.performKey(word, source);
    return outcome;
}

std::string KeyboardFixture::field(int attribute) {
    std::string out;
    const auto& p = ps();
    for (int q = p.nextAddress(attribute); !p.isAttribute(q); q = p.nextAddress(q)) {
        const std::uint8_t c = p.characters()[q];
        out += c == 0 ? '.' : static_cast<char>(c);
        if (out.size() > static_cast<std::size_t>(p.positions())) break;
    }
    return out;
}

}  // namespace cedar::test
