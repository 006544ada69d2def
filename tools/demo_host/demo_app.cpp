#include "demo_app.h"

#include <algorithm>
#include <cctype>

#include "ebcdic.h"
#include "host_text.h"
#include "listings.h"

namespace cedar::demo {

namespace {

using hostside::upperCase;

constexpr std::uint8_t kSba = 0x11;
constexpr const char* kOutput = "OUTPUT";  // the panel of a listing's output
constexpr std::size_t kOutputRows = 21;

Element textElement(int row, int column, std::string text, std::uint8_t color = 0) {
    Element e;
    e.row = row;
    e.column = column;
    e.look.color = color;
    e.text = std::move(text);
    return e;
}

// Panel texts expand "&": a listed name shows as it is.
std::string literal(std::string text) {
    for (std::size_t at = text.find('&'); at != std::string::npos; at = text.find('&', at + 2))
        text.insert(at, 1, '&');
    return text;
}

std::string trim(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

Inbound parseInbound(std::span<const std::uint8_t> record) {
    Inbound in;
    if (record.empty()) return in;
    in.aid = record[0];
    if (record.size() < 3) return in;
    in.cursor = hostside::decodeAddress(record[1], record[2]);
    std::size_t i = 3;
    while (i + 2 < record.size() && record[i] == kSba) {
        const int position = hostside::decodeAddress(record[i + 1], record[i + 2]);
        std::size_t j = i + 3;
        while (j < record.size() && record[j] != kSba)
            ++j;
        std::string data;
        for (std::size_t k = i + 3; k < j; ++k)
            if (record[k] != 0) data += hostside::fromEbcdic(record[k]);
        in.fields[position] = data;
        i = j;
    }
    return in;
}

std::string keyName(std::uint8_t aid) {
    static constexpr std::uint8_t kPf[24] = {0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8,
                                             0xF9, 0x7A, 0x7B, 0x7C, 0xC1, 0xC2, 0xC3, 0xC4,
                                             0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0x4A, 0x4B, 0x4C};
    if (aid == 0x7D) return "enter";
    if (aid == 0x6D) return "clear";
    if (aid == 0x6C) return "pa1";
    if (aid == 0x6E) return "pa2";
    if (aid == 0x6B) return "pa3";
    for (int i = 0; i < 24; ++i)
        if (kPf[i] == aid) return "pf" + std::to_string(i + 1);
    return {};
}

DemoApp::DemoApp(const PanelSet& panels, const hostside::Terminal& terminal,
                 std::function<std::string()> clock, hostside::DataSetStore* dataSets)
    : panels_(panels), terminal_(terminal), clock_(std::move(clock)), dataSets_(dataSets) {
    if (dataSets != nullptr) {
        hostside::IndFileOptions options;
        options.unquoteNames = true;  // 'A.B' is the data set A.B, as LISTCAT shows it
        transfer_ = std::make_unique<hostside::IndFileHost>(*dataSets, options);
    }
}

const Panel& DemoApp::panelNamed(const std::string& name) const {
    return name == kOutput ? outputPanel_ : panels_.panels.at(name);
}

DemoApp::Reply DemoApp::start() {
    return show("LOGON");
}

std::string DemoApp::variable(const std::string& name) const {
    if (name == "MESSAGE") return message_;
    if (name == "TIME") return clock_();
    if (name == "TERMINAL") return terminal_.type;
    if (name == "LU") return terminal_.luName;
    const int rows = std::max(1, listRows());
    if (name == "PAGE") return std::to_string(listTop_ / rows + 1);
    if (name == "PAGES") return std::to_string(std::max(1, (listLength() + rows - 1) / rows));
    if (name == "PASSWORD" || name == "SECRET") return {};  // never shown
    auto it = values_.find(name);
    return it == values_.end() ? std::string() : it->second;
}

int DemoApp::listLength() const {
    for (const auto& e : panelNamed(current_).elements)
        if (e.kind == Element::Kind::List)
            return static_cast<int>(panels_.sources.at(e.text).size());
    return 0;
}

int DemoApp::listRows() const {
    for (const auto& e : panelNamed(current_).elements)
        if (e.kind == Element::Kind::List) return e.length;
    return 0;
}

DemoApp::Reply DemoApp::show(const std::string& name, const std::string& message) {
    if (name != current_) listTop_ = 0;
    current_ = name;
    message_ = message;
    const Panel& panel = panelNamed(name);
    RenderInput input;
    // An alternate panel takes the model's alternate size; the others 24 x 80.
    input.rows = panel.alternate ? terminal_.alternateRows() : 24;
    input.columns = panel.alternate ? terminal_.alternateColumns() : 80;
    input.variable = [this](const std::string& v) { return variable(v); };
    input.fields = values_;
    input.fields.erase("OPTION");  // the menu's option field starts empty
    input.fields.erase("LINE");    // and so does the command line
    input.fields.erase("PASSWORD");
    input.listTop = listTop_;
    Rendered rendered = renderPanel(panel, panels_, input);
    inputs_ = std::move(rendered.inputs);
    Reply reply;
    reply.records.push_back(std::move(rendered.record));
    reply.close = name == "BYE";
    return reply;
}

DemoApp::Reply DemoApp::handle(std::span<const std::uint8_t> record) {
    if (transferring()) return transferStep(record);
    const Inbound in = parseInbound(record);
    for (const auto& [position, data] : in.fields) {
        auto it = inputs_.find(position);
        if (it != inputs_.end()) values_[it->second] = data;
    }
    const std::string key = keyName(in.aid);
    const Panel& panel = panelNamed(current_);
    if (auto it = panel.keys.find(key); it != panel.keys.end()) return act(it->second, key, record);
    if (key == "clear" || key.rfind("pa", 0) == 0)
        return show(current_, upperCase(key) + " pressed: the panel is shown again.");
    return show(current_,
                (key.empty() ? std::string("That key") : upperCase(key)) + " is not active here.");
}

DemoApp::Reply DemoApp::transferStep(std::span<const std::uint8_t> record) {
    Reply reply;
    transfer_->receive(record, reply.records);
    if (!transfer_->active()) {
        // The transfer is over: the panel again, with its closing message.
        const auto& result = transfer_->result();
        Reply panel = show(current_, result ? result->message : std::string());
        for (auto& r : panel.records)
            reply.records.push_back(std::move(r));
    }
    return reply;
}

DemoApp::Reply DemoApp::command(std::span<const std::uint8_t> record) {
    // The command line starts empty again: a key without a typed command
    // does not run the last one once more.
    const std::string typed = trim(values_["LINE"]);
    values_.erase("LINE");
    const std::string line = upperCase(typed);
    if (line.empty() && current_ == kOutput && moreOutput_) return nextOutput();
    if (line.empty()) return show(current_, "Type a command, then press Enter.");
    if (!transfer_) return show(current_, "This host runs no commands.");
    if (auto listing = listingFor(typed, dataSets_->names())) {
        output_ = std::move(*listing);
        outputTop_ = 0;
        return showOutput();
    }
    Reply reply;
    if (!transfer_->start(record, reply.records))
        return show(current_, "Unknown command " + line.substr(0, line.find(' ')) +
                                  ". Type IND$FILE PUT name, IND$FILE GET name, LISTCAT, "
                                  "LISTDS name MEMBERS or LISTFILE.");
    if (!transfer_->active()) {
        const auto& result = transfer_->result();
        return show(current_, result ? result->message : std::string());
    }
    return reply;
}

DemoApp::Reply DemoApp::showOutput() {
    const std::size_t remaining = output_.size() - outputTop_;
    moreOutput_ = remaining > kOutputRows;
    const std::size_t shown = moreOutput_ ? kOutputRows - 1 : remaining;
    const bool cms = !output_.empty() && output_.back() == "Ready;";
    Panel p;
    p.name = kOutput;
    for (std::size_t i = 0; i < shown; ++i)
        if (!output_[outputTop_ + i].empty())
            p.elements.push_back(
                textElement(static_cast<int>(i), 1, literal(output_[outputTop_ + i])));
    if (moreOutput_)
        p.elements.push_back(textElement(static_cast<int>(kOutputRows - 1), cms ? 61 : 1,
                                         cms ? "MORE..." : "***", 0xF6));
    p.elements.push_back(textElement(21, 1, "&MESSAGE", 0xF2));
    p.elements.push_back(textElement(22, 1, "===>", 0xF4));
    Element line;
    line.kind = Element::Kind::Input;
    line.row = 22;
    line.column = 6;
    line.length = 73;
    line.text = "LINE";
    line.look.color = 0xF5;
    p.elements.push_back(line);
    p.elements.push_back(textElement(23, 1,
                                     moreOutput_
                                         ? "Enter or Clear: more output   PF3: back to the menu"
                                         : "Enter: run the command   PF3: back to the menu",
                                     0xF1));
    p.cursorField = "LINE";
    p.keys = {{"enter", "command"}, {"clear", "more"}, {"pf3", "back"}};
    outputPanel_ = std::move(p);
    return show(kOutput);
}

DemoApp::Reply DemoApp::nextOutput() {
    if (!moreOutput_) return show("COMMAND");
    outputTop_ += kOutputRows - 1;
    return showOutput();
}

DemoApp::Reply DemoApp::act(const std::string& action, const std::string& key,
                            std::span<const std::uint8_t> record) {
    if (action == "command") return command(record);
    if (action == "more") return nextOutput();
    if (action.rfind("goto ", 0) == 0) return show(action.substr(5));
    if (action == "back") return show("MENU");
    if (action == "refresh") return show(current_);
    if (action == "logoff") return show("BYE");
    if (action == "logon") {
        const std::string user = upperCase(trim(values_["USERID"]));
        if (user.empty()) return show("LOGON", "Type a user id, then press Enter.");
        values_["USERID"] = user;
        return show("MENU", "Logged on as " + user + ".");
    }
    if (action == "select") {
        const std::string option = upperCase(trim(values_["OPTION"]));
        const Panel& panel = panels_.panels.at(current_);
        auto it = panel.options.find(option);
        if (it == panel.options.end())
            return show(current_, option.empty() ? "Type an option, then press Enter."
                                                 : "Option " + option + " is not valid.");
        if (panels_.panels.at(it->second).alternate && terminal_.model != 5)
            return show(current_, "Option " + option +
                                      " needs a model 5 terminal (27 x 132); this one is a model " +
                                      std::to_string(terminal_.model) + ".");
        return show(it->second);
    }
    if (action == "save") {
        if (current_ == "EDIT") return show(current_, "Changes kept for this session.");
        const std::string quantity = trim(values_["QUANTITY"]);
        if (!std::all_of(quantity.begin(), quantity.end(),
                         [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }))
            return show(current_, "Quantity must be a whole number.");
        return show(current_, "Kept: " + trim(values_["NAME"]) +
                                  (quantity.empty() ? "" : ", quantity " + quantity) + ".");
    }
    if (action == "up" || action == "down") {
        const int rows = listRows(), length = listLength();
        const int last = std::max(0, (length - 1) / std::max(1, rows) * rows);
        const int top = std::clamp(listTop_ + (action == "up" ? -rows : rows), 0, last);
        const bool moved = top != listTop_;
        listTop_ = top;
        return show(current_, moved
                                  ? std::string()
                                  : (action == "up" ? "Top of the list." : "Bottom of the list."));
    }
    return show(current_, upperCase(key) + " does nothing here.");
}

}  // namespace cedar::demo
