#include "macro/scan_table.h"

#include <string>
#include <unordered_map>

#include "macro/macro_source.h"

namespace cedar {

ScanEntry* ScanTable::entry(int index) {
    if (index <= 0 || index > size()) return nullptr;
    return &entries_[static_cast<std::size_t>(index)];
}

int ScanTable::findEntry(int statementNumber) const {
    for (int i = 1; i <= size(); ++i)
        if ((*this)[i].statementNumber == statementNumber) return i;
    return 0;
}

int ScanTable::findEntry(int statementNumber, ScanKind kind) const {
    for (int i = 1; i <= size(); ++i)
        if ((*this)[i].statementNumber == statementNumber && (*this)[i].kind == kind) return i;
    return 0;
}

int ScanTable::append(const ScanEntry& entry) {
    entries_.push_back(entry);
    return size();
}

namespace {

ScanKind controlKind(const Token& token) {
    if (token.kind != TokenKind::Word) return ScanKind::None;
    struct Row {
        std::string_view word;
        ScanKind kind;
    };
    static constexpr Row kRows[] = {
        {"IF", ScanKind::If},
        {"ELSE", ScanKind::Else},
        {"ENDIF", ScanKind::EndIf},
        {"WHILE", ScanKind::While},
        {"ENDWHILE", ScanKind::EndWhile},
        {"SELECT", ScanKind::Select},
        {"CASE", ScanKind::Case},
        {"DEFAULT", ScanKind::Default},
        {"ENDSELECT", ScanKind::EndSelect},
        {"FOR", ScanKind::For},
        {"NEXT", ScanKind::Next},
        {"BREAK", ScanKind::Break},
        {"CONTINUE", ScanKind::Continue},
        {"GOTO", ScanKind::Goto},
        {"CALL", ScanKind::Call},
        {"RETURN", ScanKind::Return},
    };
    for (const Row& r : kRows)
        if (token.text.view() == r.word) return r.kind;
    return ScanKind::None;
}

// The most recent opener of each kind at one depth ("the nearest X of depth D").
struct DepthMarks {
    int lastIf = 0;
    int lastElse = 0;
    int lastWhile = 0;
    int lastSelect = 0;
    int lastFor = 0;
};

// A block opened and not yet closed, with the innermost blocks BREAK and
// CONTINUE would leave at that point.
struct OpenBlock {
    int breakTarget = 0;
    int continueTarget = 0;
};

class PreScanner {
  public:
    PreScanner(MacroContext& context, const ScannerOptions& options)
        : context_(context), text_(context.text), options_(options), table_(context.scanTable) {}

    MacroError run() {
        table_.clear();
        if (auto e = firstPass(); e != MacroError::None) return e;
        if (auto e = secondPass(); e != MacroError::None) return e;
        context_.statementStart = 0;
        context_.statementNumber = 1;
        context_.errorPosition = 0;
        return MacroError::None;
    }

  private:
    MacroError fail(MacroError error, std::size_t statement, int number, std::size_t at) {
        context_.statementStart = statement;
        context_.statementNumber = number;
        context_.errorPosition = at;
        return error;
    }

    char at(std::size_t i) const { return i < text_.size() ? text_[i] : kMacroEndOfText; }

    DepthMarks& marks(int depth) {
        if (static_cast<std::size_t>(depth) >= marks_.size())
            marks_.resize(static_cast<std::size_t>(depth) + 1);
        return marks_[static_cast<std::size_t>(depth)];
    }

    void open(int index, ScanKind kind) {
        OpenBlock block = open_.empty() ? OpenBlock{} : open_.back();
        if (kind == ScanKind::For || kind == ScanKind::While || kind == ScanKind::Select)
            block.breakTarget = index;
        if (kind == ScanKind::For || kind == ScanKind::While) block.continueTarget = index;
        open_.push_back(block);
    }
    void close() {
        if (!open_.empty()) open_.pop_back();
        --depth_;
    }

    MacroError firstPass() {
        std::size_t pos = 0;
        int number = 1;
        for (;;) {
            pos = skipMacroBlanks(text_, pos);
            if (at(pos) == kMacroEndOfText) return MacroError::None;
            if (number > ScanTable::kMaxStatements)
                return fail(MacroError::ScanAreaOverflow, pos, number, pos);
            if (at(pos) == '*') {  // a comment
                pos = nextStatementStart(text_, pos);
                ++number;
                continue;
            }
            Scanner scanner(text_, pos, options_);
            Token token;
            const MacroError scanError = scanner.scanToken(token);
            if (scanError == MacroError::None && token.kind == TokenKind::Word &&
                scanner.peekNonBlank() == ':') {
                // A label: the statement behind it on the line is scanned on its own.
                scanner.skipBlanks();
                const std::size_t afterColon = scanner.position() + 1;
                Scanner next(text_, afterColon, options_);
                Token word;
                const bool subroutine =
                    next.scanToken(word) == MacroError::None && word.isWord("SUBROUTINE");
                if (table_.size() >= ScanTable::kMaxEntries)
                    return fail(MacroError::ScanAreaOverflow, pos, number, pos);
                const int index =
                    add(number, subroutine ? ScanKind::Subroutine : ScanKind::Label, pos);
                if (subroutine) lastSubroutine_ = index;
                pos = afterColon;
                continue;
            }
            const ScanKind kind =
                scanError == MacroError::None ? controlKind(token) : ScanKind::None;
            if (kind != ScanKind::None) {
                if (table_.size() >= ScanTable::kMaxEntries)
                    return fail(MacroError::ScanAreaOverflow, pos, number, pos);
                if (auto e = link(kind, add(number, kind, pos)); e != MacroError::None)
                    return fail(e, pos, number, pos);
            }
            pos = nextStatementStart(text_, pos);
            ++number;
        }
    }

    int add(int number, ScanKind kind, std::size_t pos) {
        ScanEntry e;
        e.statementNumber = static_cast<std::int16_t>(number);
        e.kind = kind;
        e.depth = depth_;
        e.text = pos;
        return table_.append(e);
    }

    static ScanIndex idx(int i) { return static_cast<ScanIndex>(i); }

    MacroError link(ScanKind kind, int i) {
        ScanEntry& e = table_[i];
        switch (kind) {
            case ScanKind::If:
            case ScanKind::While:
            case ScanKind::Select:
            case ScanKind::For: {
                e.depth = ++depth_;
                DepthMarks& m = marks(depth_);
                if (kind == ScanKind::If) m.lastIf = i;
                if (kind == ScanKind::While) m.lastWhile = i;
                if (kind == ScanKind::Select) m.lastSelect = i;
                if (kind == ScanKind::For) m.lastFor = i;
                open(i, kind);
                return MacroError::None;
            }
            case ScanKind::Else: {
                DepthMarks& m = marks(depth_);
                if (m.lastIf == 0) return MacroError::ElseWithoutIf;
                table_[m.lastIf].partner = idx(i);
                m.lastElse = i;
                return MacroError::None;
            }
            case ScanKind::EndIf: {
                DepthMarks& m = marks(depth_);
                if (m.lastIf == 0) return MacroError::EndIfWithoutIf;
                table_[m.lastIf].end = idx(i);
                if (m.lastElse > m.lastIf) table_[m.lastElse].end = idx(i);
                close();
                return MacroError::None;
            }
            case ScanKind::EndWhile: {
                DepthMarks& m = marks(depth_);
                if (m.lastWhile == 0) return MacroError::EndWhileWithoutWhile;
                table_[m.lastWhile].end = idx(i);
                e.partner = idx(m.lastWhile);
                close();
                return MacroError::None;
            }
            case ScanKind::Case:
            case ScanKind::Default: {
                const int select = marks(depth_).lastSelect;
                if (select == 0)
                    return kind == ScanKind::Case ? MacroError::CaseWithoutSelect
                                                  : MacroError::DefaultWithoutSelect;
                e.partner = idx(select);
                return MacroError::None;
            }
            case ScanKind::EndSelect: {
                const int select = marks(depth_).lastSelect;
                if (select == 0) return MacroError::EndSelectWithoutSelect;
                for (int j = select; j < i; ++j) {
                    ScanEntry& c = table_[j];
                    if (c.depth == depth_ &&
                        (j == select || c.kind == ScanKind::Case || c.kind == ScanKind::Default))
                        c.end = idx(i);
                }
                close();
                return MacroError::None;
            }
            case ScanKind::Next: {
                DepthMarks& m = marks(depth_);
                if (m.lastFor == 0) return MacroError::NextWithoutFor;
                table_[m.lastFor].end = idx(i);
                e.partner = idx(m.lastFor);
                close();
                return MacroError::None;
            }
            case ScanKind::Break:
                if (open_.empty() || open_.back().breakTarget == 0)
                    return MacroError::BreakOutsideLoop;
                e.partner = idx(open_.back().breakTarget);
                return MacroError::None;
            case ScanKind::Continue:
                if (open_.empty() || open_.back().continueTarget == 0)
                    return MacroError::ContinueOutsideLoop;
                e.partner = idx(open_.back().continueTarget);
                return MacroError::None;
            case ScanKind::Return:
                if (lastSubroutine_ == 0) return MacroError::ReturnOutsideSubroutine;
                e.end = idx(lastSubroutine_);
                return MacroError::None;
            case ScanKind::None:
            case ScanKind::Label:
            case ScanKind::Goto:
            case ScanKind::Call:
            case ScanKind::Subroutine:
                return MacroError::None;
        }
        return MacroError::None;
    }

    MacroError secondPass() {
        std::unordered_map<std::string, int> labels;
        for (int i = 1; i <= table_.size(); ++i) {
            const ScanEntry& e = table_[i];
            if (e.kind != ScanKind::Label && e.kind != ScanKind::Subroutine) continue;
            Scanner scanner(text_, e.text, options_);
            Token word;
            if (scanner.scanToken(word) == MacroError::None) labels.emplace(word.text.str(), i);
        }
        for (int i = 1; i <= table_.size(); ++i) {
            ScanEntry& e = table_[i];
            if (e.kind != ScanKind::Goto && e.kind != ScanKind::Call) continue;
            Scanner scanner(text_, e.text, options_);
            Token keyword;
            Token target;
            MacroError error = scanner.scanToken(keyword);
            if (error == MacroError::None) error = scanner.scanToken(target);
            if (error == MacroError::None && target.kind != TokenKind::Word)
                error = MacroError::GotoNeedsLabel;
            if (error != MacroError::None)
                return fail(error, e.text, e.statementNumber, scanner.tokenStart());
            const auto found = labels.find(target.text.str());
            if (found == labels.end()) continue;  // reported when it executes
            const ScanKind labelKind = table_[found->second].kind;
            if (e.kind == ScanKind::Goto && labelKind == ScanKind::Subroutine)
                return fail(MacroError::GotoNeedsPlainLabel, e.text, e.statementNumber,
                            target.start);
            if (e.kind == ScanKind::Call && labelKind == ScanKind::Label)
                return fail(MacroError::CallNeedsSubroutine, e.text, e.statementNumber,
                            target.start);
            e.end = idx(found->second);
        }
        return MacroError::None;
    }

    MacroContext& context_;
    std::string_view text_;
    ScannerOptions options_;
    ScanTable& table_;
    int depth_ = 0;
    int lastSubroutine_ = 0;
    std::vector<DepthMarks> marks_;
    std::vector<OpenBlock> open_;
};

}  // namespace

MacroError preScan(MacroContext& context, const ScannerOptions& options) {
    return PreScanner(context, options).run();
}

}  // namespace cedar
