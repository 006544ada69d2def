// Executing one statement: labels, control statements through the scan
// table, assignments and expression statements.
#include <algorithm>
#include <cstdint>
#include <utility>

#include "macro/interpreter.h"

namespace cedar {

namespace {

ScanKind scanKindOf(ReservedWord word) {
    switch (word) {
        case ReservedWord::If:
            return ScanKind::If;
        case ReservedWord::Else:
            return ScanKind::Else;
        case ReservedWord::EndIf:
            return ScanKind::EndIf;
        case ReservedWord::While:
            return ScanKind::While;
        case ReservedWord::EndWhile:
            return ScanKind::EndWhile;
        case ReservedWord::Select:
            return ScanKind::Select;
        case ReservedWord::Case:
            return ScanKind::Case;
        case ReservedWord::Default:
            return ScanKind::Default;
        case ReservedWord::EndSelect:
            return ScanKind::EndSelect;
        case ReservedWord::For:
            return ScanKind::For;
        case ReservedWord::Next:
            return ScanKind::Next;
        case ReservedWord::Break:
            return ScanKind::Break;
        case ReservedWord::Continue:
            return ScanKind::Continue;
        case ReservedWord::Goto:
            return ScanKind::Goto;
        case ReservedWord::Call:
            return ScanKind::Call;
        case ReservedWord::Return:
            return ScanKind::Return;
        default:
            return ScanKind::None;
    }
}

// The entry of a statement: entries are in statement order, so the first
// one with the number is found by halving.
int ownEntry(const ScanTable& table, int statementNumber, ScanKind kind) {
    int low = 1;
    int high = table.size();
    while (low <= high) {
        const int mid = low + (high - low) / 2;
        if (table[mid].statementNumber < statementNumber)
            low = mid + 1;
        else
            high = mid - 1;
    }
    for (int i = low; i <= table.size() && table[i].statementNumber == statementNumber; ++i)
        if (table[i].kind == kind) return i;
    return 0;
}

bool validEntry(const ScanTable& table, int index) {
    return index > 0 && index <= table.size();
}

void jumpTo(MacroContext& context, const ScanEntry& entry) {
    context.statementStart = entry.text;
    context.statementNumber = entry.statementNumber;
}

// "Continue after X": the statement is passed over after the jump.
MacroError continueAfter(MacroContext& context, int index) {
    if (!validEntry(context.scanTable, index)) return MacroError::InvalidScanTableAddress;
    jumpTo(context, context.scanTable[index]);
    return MacroError::None;
}

// "Execute X next".
MacroError executeNextEntry(MacroContext& context, int index) {
    if (!validEntry(context.scanTable, index)) return MacroError::InvalidScanTableAddress;
    jumpTo(context, context.scanTable[index]);
    context.noAdvance = true;
    return MacroError::None;
}

bool caseMatches(const MacroValue& selector, const MacroValue& value) {
    if (selector.type != value.type) return false;
    if (selector.isNumber()) return selector.number == value.number;
    const std::string_view a = selector.text.view();
    const std::string_view b = value.text.view();
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        const auto up = [](char c) {
            return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
        };
        return up(x) == up(y);
    });
}

}  // namespace

MacroError MacroInterpreter::executeStatement(MacroContext& context) {
    context.noAdvance = false;
    const bool afterCall = std::exchange(lastWasCall_, false);
    Scanner scanner = context.scanner(options_.scanner);
    const auto fail = [&](MacroError error) {
        context.errorPosition = scanner.tokenStart();
        return error;
    };
    scanner.skipBlanks();
    if (scanner.peek() == '*') {
        advanceStatement(context);
        return MacroError::None;
    }
    Token token;
    if (auto e = scanner.scanToken(token); e != MacroError::None) return fail(e);
    while (token.kind == TokenKind::Word && scanner.peekNonBlank() == ':') {
        scanner.skipBlanks();
        scanner.setPosition(scanner.position() + 1);
        if (auto e = scanner.scanToken(token); e != MacroError::None) return fail(e);
        if (token.isWord("SUBROUTINE")) {
            if (afterCall) {
                advanceStatement(context);
            } else {
                endCurrentMacro(context);  // falling into a subroutine ends the macro
            }
            return MacroError::None;
        }
    }
    MacroError error = MacroError::None;
    if (token.kind == TokenKind::End) {
        // an empty statement
    } else if (token.kind != TokenKind::Word) {
        return fail(MacroError::UnknownKeyword);
    } else if (const ReservedWord word = lookUpReservedWord(token.text.view());
               isStatementKeyword(word)) {
        error = executeKeyword(context, word, scanner);
    } else if (scanner.peekNonBlank() == '=') {
        const MacroText name = token.text;
        error = evaluator_.assign(scanner, name.view());
    } else {
        scanner.setPosition(token.start);
        MacroValue ignored;
        error = evaluator_.evaluate(scanner, ignored);
        if (error == MacroError::None) {
            Token rest;
            error = scanner.scanToken(rest);
            if (error == MacroError::None && rest.kind != TokenKind::End)
                error = MacroError::UnexpectedText;
        }
    }
    if (error == MacroError::NestedMacroLoaded) return error;
    if (error != MacroError::None) return fail(error);
    if (state_ == MacroState::Running && !context.noAdvance) advanceStatement(context);
    return MacroError::None;
}

void MacroInterpreter::endCurrentMacro(MacroContext& context) {
    context.statementStart = context.text.empty() ? 0 : context.text.size() - 1;
    context.noAdvance = true;
}

MacroError MacroInterpreter::executeKeyword(MacroContext& context, ReservedWord word,
                                            Scanner& scanner) {
    ScanTable& table = context.scanTable;
    const ScanKind kind = scanKindOf(word);
    int self = 0;
    if (kind != ScanKind::None) {
        self = ownEntry(table, context.statementNumber, kind);
        if (self == 0) return MacroError::InvalidScanTableAddress;
    }
    switch (word) {
        case ReservedWord::If: {
            MacroValue condition;
            if (auto e = evaluator_.evaluate(scanner, condition); e != MacroError::None) return e;
            const int target = table[self].partner != 0 ? table[self].partner : table[self].end;
            if (target == 0) return MacroError::IfWithoutEndIf;
            return condition.isTrue() ? MacroError::None : continueAfter(context, target);
        }
        case ReservedWord::Else:
            return continueAfter(context, table[self].end);
        case ReservedWord::EndIf:
        case ReservedWord::EndSelect:
            return MacroError::None;
        case ReservedWord::While: {
            MacroValue condition;
            if (auto e = evaluator_.evaluate(scanner, condition); e != MacroError::None) return e;
            const int end = table[self].end;
            if (end == 0) return MacroError::WhileWithoutEndWhile;
            return condition.isTrue() ? MacroError::None : continueAfter(context, end);
        }
        case ReservedWord::EndWhile:
            return executeNextEntry(context, table[self].partner);
        case ReservedWord::Select:
            return executeSelect(context, scanner, self);
        case ReservedWord::Case:
        case ReservedWord::Default:
            // Reached from the statements of the case before: no fall-through.
            return continueAfter(context, table[self].end);
        case ReservedWord::For:
            return executeFor(context, scanner, self);
        case ReservedWord::Next:
            return executeNext(context, scanner, self);
        case ReservedWord::Break: {
            const int block = table[self].partner;
            if (!validEntry(table, block)) return MacroError::InvalidScanTableAddress;
            return continueAfter(context, table[block].end);
        }
        case ReservedWord::Continue: {
            const int loop = table[self].partner;
            if (!validEntry(table, loop)) return MacroError::InvalidScanTableAddress;
            return executeNextEntry(context, table[loop].end);
        }
        case ReservedWord::Exit: {
            MacroValue code;
            if (auto e = evaluator_.evaluate(scanner, code); e != MacroError::None) return e;
            if (code.isNumber()) exitCode_ = code.number;
            endCurrentMacro(context);
            return MacroError::None;
        }
        case ReservedWord::Goto: {
            const int label = table[self].end;
            if (label == 0) {
                Token target;
                scanner.scanToken(target);
                return MacroError::LabelNotFound;
            }
            return executeNextEntry(context, label);
        }
        case ReservedWord::Call: {
            const int label = table[self].end;
            if (label == 0) {
                Token target;
                scanner.scanToken(target);
                return MacroError::LabelNotFound;
            }
            if (!validEntry(table, label)) return MacroError::InvalidScanTableAddress;
            ScanEntry& subroutine = table[label];
            if (subroutine.partner != 0) return MacroError::RecursiveCall;
            subroutine.partner = static_cast<ScanIndex>(self);
            lastWasCall_ = true;
            return executeNextEntry(context, label);
        }
        case ReservedWord::Return: {
            const int label = table[self].end;
            if (!validEntry(table, label)) return MacroError::ReturnOutsideSubroutine;
            ScanEntry& subroutine = table[label];
            if (subroutine.partner == 0) return MacroError::ReturnOutsideSubroutine;
            const int caller = std::exchange(subroutine.partner, ScanIndex{0});
            return continueAfter(context, caller);
        }
        default:
            return MacroError::UnknownKeyword;
    }
}

MacroError MacroInterpreter::executeSelect(MacroContext& context, Scanner& scanner, int self) {
    ScanTable& table = context.scanTable;
    MacroValue selector;
    if (auto e = evaluator_.evaluate(scanner, selector); e != MacroError::None) return e;
    const int end = table[self].end;
    if (end == 0) return MacroError::InvalidScanTableAddress;
    std::vector<MacroValue> values;
    for (int i = self + 1; i < end; ++i) {
        const ScanEntry& entry = table[i];
        if (entry.partner != self) continue;
        if (entry.kind == ScanKind::Default) return continueAfter(context, i);
        if (entry.kind != ScanKind::Case) continue;
        // The CASE's values are read where they stand: an error points at them.
        jumpTo(context, entry);
        Scanner caseScanner = context.scanner(options_.scanner);
        Token keyword;
        MacroError e = caseScanner.scanToken(keyword);
        values.clear();
        if (e == MacroError::None) e = evaluator_.evaluateList(caseScanner, values);
        if (e != MacroError::None) {
            scanner.setTokenStart(caseScanner.tokenStart());
            return e;
        }
        for (const MacroValue& value : values)
            if (caseMatches(selector, value)) return continueAfter(context, i);
    }
    return continueAfter(context, end);
}

MacroError MacroInterpreter::executeFor(MacroContext& context, Scanner& scanner, int self) {
    ScanEntry& entry = context.scanTable[self];
    Token name;
    if (auto e = scanner.scanToken(name); e != MacroError::None) return e;
    if (name.kind != TokenKind::Word) return MacroError::UnknownKeyword;
    if (scanner.peekNonBlank() != '=') {
        scanner.skipBlanks();
        scanner.setTokenStart(scanner.position());
        return MacroError::ForWithoutAssignment;
    }
    if (auto e = evaluator_.assign(scanner, name.text.view()); e != MacroError::None) return e;
    const MacroVariable* variable = variables_.find(name.text.view());
    if (!variable || !variable->value.isNumber()) return MacroError::ForNotNumeric;
    const std::int32_t startValue = variable->value.number;
    entry.loopVariable = variables_.indexOf(*variable);

    Token to;
    if (auto e = scanner.scanToken(to); e != MacroError::None) return e;
    if (!to.isWord("TO")) return MacroError::ForWithoutTo;
    MacroValue limit;
    if (auto e = evaluator_.evaluate(scanner, limit); e != MacroError::None) return e;
    if (!limit.isNumber()) return MacroError::ForNotNumeric;
    std::int32_t step = limit.number < startValue ? -1 : 1;

    Token more;
    if (auto e = scanner.scanToken(more); e != MacroError::None) return e;
    if (more.kind != TokenKind::End) {
        if (!more.isWord("STEP")) return MacroError::OnlyStepAfterTo;
        MacroValue stepValue;
        if (auto e = evaluator_.evaluate(scanner, stepValue); e != MacroError::None) return e;
        if (!stepValue.isNumber()) return MacroError::ForNotNumeric;
        if (stepValue.number == 0) return MacroError::StepIsZero;
        step = stepValue.number;
    }
    entry.limit = limit.number;
    entry.step = step;
    return MacroError::None;  // the body always runs once
}

MacroError MacroInterpreter::executeNext(MacroContext& context, Scanner& scanner, int self) {
    ScanTable& table = context.scanTable;
    const int forIndex = table[self].partner;
    if (!validEntry(table, forIndex)) return MacroError::InvalidScanTableAddress;
    const ScanEntry& loop = table[forIndex];
    Token name;
    if (auto e = scanner.scanToken(name); e != MacroError::None) return e;
    if (name.kind != TokenKind::Word) return MacroError::UnknownKeyword;
    MacroVariable* variable = variables_.find(name.text.view());
    if (!variable) return MacroError::VariableNotFound;
    // The FOR has not run (a jump into the loop) or DROP rebuilt the table.
    if (loop.loopVariable < 0 || loop.step == 0) return MacroError::InvalidScanTableAddress;
    if (variables_.indexOf(*variable) != loop.loopVariable) return MacroError::NextVariableMismatch;
    if (!variable->value.isNumber()) return MacroError::ForNotNumeric;
    const std::int64_t next = std::int64_t{variable->value.number} + loop.step;
    if (next > INT32_MAX || next < INT32_MIN) return MacroError::NumericOverflow;
    variable->set(MacroValue::ofNumber(static_cast<std::int32_t>(next)));
    const bool again = loop.step > 0 ? next <= loop.limit : next >= loop.limit;
    return again ? continueAfter(context, forIndex) : MacroError::None;
}

}  // namespace cedar
