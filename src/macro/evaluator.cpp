#include "macro/evaluator.h"

#include <cstdint>
#include <limits>
#include <optional>

namespace cedar {

namespace {

struct OperatorRow {
    std::string_view spelling;
    MacroOperator op;
    int precedence;
};

constexpr OperatorRow kOperators[] = {
    {"+", MacroOperator::Add, 40},
    {"-", MacroOperator::Subtract, 40},
    {"*", MacroOperator::Multiply, 45},
    {"/", MacroOperator::Divide, 45},
    {"//", MacroOperator::Remainder, 45},
    {"=", MacroOperator::Equal, 30},
    {"!=", MacroOperator::NotEqual, 30},
    {"<", MacroOperator::Less, 30},
    {">", MacroOperator::Greater, 30},
    {"<=", MacroOperator::LessOrEqual, 30},
    {">=", MacroOperator::GreaterOrEqual, 30},
    {"&", MacroOperator::And, 20},
    {"|", MacroOperator::Or, 15},
    {"^", MacroOperator::Xor, 10},
    {"(", MacroOperator::LeftParenthesis, 0},
    {")", MacroOperator::RightParenthesis, 0},
    {",", MacroOperator::Comma, 0},
    {"!", MacroOperator::Bang, 90},
    {"==", MacroOperator::ExactEqual, 30},
};

constexpr unsigned char foldUpper(unsigned char c) {
    return c >= 'a' && c <= 'z' ? static_cast<unsigned char>(c - 'a' + 'A') : c;
}

// strcmp of the two texts folded to upper case, on unsigned bytes.
int compareNoCase(std::string_view a, std::string_view b) {
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char x = foldUpper(static_cast<unsigned char>(a[i]));
        const unsigned char y = foldUpper(static_cast<unsigned char>(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

// A signed decimal number with blanks before it, as in "12, 5"; saturates
// far outside any screen.
int readSignedDecimal(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    std::int64_t n = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        n = n * 10 + (text[i++] - '0');
        if (n > 1'000'000'000) n = 1'000'000'000;
    }
    return static_cast<int>(negative ? -n : n);
}

MacroValue defaultValueOf(SystemVariable id) {
    const auto& table = predefinedVariables();
    const auto index = static_cast<std::size_t>(id) - 1;
    if (index < table.size() && table[index].type == ValueType::Number)
        return MacroValue::ofNumber(0);
    return MacroValue::ofText("");
}

}  // namespace

MacroOperator lookUpOperator(std::string_view token) {
    for (const OperatorRow& r : kOperators)
        if (r.spelling == token) return r.op;
    return MacroOperator::None;
}

int operatorPrecedence(MacroOperator op) {
    for (const OperatorRow& r : kOperators)
        if (r.op == op) return r.precedence;
    return 0;
}

MacroError ExpressionEvaluator::evaluate(Scanner& scanner, MacroValue& result) {
    result.clear();
    if (auto e = run(scanner, false); e != MacroError::None) return e;
    result = values_[0];
    return MacroError::None;
}

MacroError ExpressionEvaluator::evaluateList(Scanner& scanner, std::vector<MacroValue>& values) {
    values.clear();
    if (auto e = run(scanner, true); e != MacroError::None) return e;
    const Frame& f = frames_[0];
    const int last =
        values_[static_cast<std::size_t>(f.argStart)].hasValue() ? f.argStart : f.argStart - 1;
    for (int i = 0; i <= last; ++i)
        values.push_back(values_[static_cast<std::size_t>(i)]);
    return MacroError::None;
}

MacroError ExpressionEvaluator::takeNextSlot() {
    if (cur_ + 1 >= kStackSlots) return MacroError::ScanAreaOverflow;
    resetSlot(++cur_);
    return MacroError::None;
}

MacroError ExpressionEvaluator::run(Scanner& scanner, bool list) {
    cur_ = 0;
    top_ = 0;
    resetSlot(0);
    frames_[0] = Frame{-1, 0, 0, 0};
    bool afterOperand = false;
    Token token;
    for (;;) {
        if (auto e = scanner.scanToken(token); e != MacroError::None) return e;
        if (token.kind == TokenKind::End) break;
        if (token.isOperand() && afterOperand) {
            // Two operands meet: the expression ended before this token.
            scanner.setPosition(token.start);
            break;
        }
        MacroValue& slot = values_[static_cast<std::size_t>(cur_)];
        switch (token.kind) {
            case TokenKind::Word: {
                const ReservedWord word = lookUpReservedWord(token.text.view());
                if (word != ReservedWord::None) {
                    Token paren;
                    if (auto e = scanner.scanToken(paren); e != MacroError::None) return e;
                    if (!paren.isOperator("(")) return MacroError::LeftParenthesisExpected;
                    if (slot.hasValue()) return MacroError::OperandWhereOperationExpected;
                    if (top_ >= kMaxDepth) return MacroError::ScanAreaOverflow;
                    info_[static_cast<std::size_t>(cur_)] =
                        SlotInfo{SlotKind::Function, static_cast<std::uint8_t>(word), 0};
                    const int function = cur_;
                    if (auto e = takeNextSlot(); e != MacroError::None) return e;
                    frames_[static_cast<std::size_t>(++top_)] = Frame{function, cur_, cur_, 0};
                    afterOperand = false;
                    break;
                }
                if (slot.hasValue()) return MacroError::OperandWhereOperationExpected;
                MacroVariable* variable = variables_.find(token.text.view());
                if (!variable) return MacroError::VariableNotFound;
                if (auto e = readVariable(*variable, slot); e != MacroError::None) return e;
                afterOperand = true;
                break;
            }
            case TokenKind::Number:
                if (slot.hasValue()) return MacroError::OperandWhereOperationExpected;
                slot = MacroValue::ofNumber(token.number);
                afterOperand = true;
                break;
            case TokenKind::String:
                if (slot.hasValue()) return MacroError::OperandWhereOperationExpected;
                slot.type = ValueType::Text;
                slot.number = 0;
                slot.text = token.text;
                afterOperand = true;
                break;
            case TokenKind::Operator: {
                const MacroOperator op = lookUpOperator(token.text.view());
                if (op == MacroOperator::None) return MacroError::UnknownOperator;
                if (op == MacroOperator::LeftParenthesis) {
                    if (slot.hasValue()) return MacroError::OperandWhereOperationExpected;
                    if (top_ >= kMaxDepth) return MacroError::ScanAreaOverflow;
                    frames_[static_cast<std::size_t>(++top_)] = Frame{-1, cur_, cur_, 0};
                    afterOperand = false;
                    break;
                }
                if (op == MacroOperator::RightParenthesis) {
                    if (top_ == 0) return MacroError::UnbalancedParenthesis;
                    if (auto e = closeFrame(); e != MacroError::None) return e;
                    afterOperand = true;
                    break;
                }
                if (op == MacroOperator::Comma) {
                    Frame& f = frames_[static_cast<std::size_t>(top_)];
                    if (auto e = reduce(f.argStart); e != MacroError::None) return e;
                    if (!values_[static_cast<std::size_t>(f.argStart)].hasValue())
                        return f.functionSlot >= 0 ? MacroError::WrongParmCount
                                                   : MacroError::UnbalancedParenthesis;
                    ++f.commas;
                    if (auto e = takeNextSlot(); e != MacroError::None) return e;
                    f.argStart = cur_;
                    afterOperand = false;
                    break;
                }
                if (!slot.hasValue()) {
                    // No operand before it: a unary operator, or a misplaced binary one.
                    ReservedWord unary = ReservedWord::None;
                    if (op == MacroOperator::Add) unary = ReservedWord::UnaryPlus;
                    if (op == MacroOperator::Subtract) unary = ReservedWord::UnaryMinus;
                    if (op == MacroOperator::Bang) unary = ReservedWord::UnaryNot;
                    if (unary == ReservedWord::None) return MacroError::IncompatibleTypes;
                    info_[static_cast<std::size_t>(cur_)] =
                        SlotInfo{SlotKind::Unary, static_cast<std::uint8_t>(unary), 0};
                    if (auto e = takeNextSlot(); e != MacroError::None) return e;
                    afterOperand = false;
                    break;
                }
                if (op == MacroOperator::Bang) return MacroError::UnknownOperator;
                const auto precedence = static_cast<std::uint8_t>(operatorPrecedence(op));
                info_[static_cast<std::size_t>(cur_)] =
                    SlotInfo{SlotKind::Binary, static_cast<std::uint8_t>(op), precedence};
                // Apply what binds at least as tightly on the left.
                const int start = frames_[static_cast<std::size_t>(top_)].argStart;
                while (cur_ - 1 >= start) {
                    const SlotInfo& before = info_[static_cast<std::size_t>(cur_ - 1)];
                    if (before.kind != SlotKind::Binary || before.precedence < precedence) break;
                    if (auto e = applyBinary(cur_ - 1); e != MacroError::None) return e;
                    info_[static_cast<std::size_t>(cur_ - 1)] =
                        info_[static_cast<std::size_t>(cur_)];
                    resetSlot(cur_);
                    --cur_;
                }
                if (auto e = takeNextSlot(); e != MacroError::None) return e;
                afterOperand = false;
                break;
            }
            case TokenKind::End:
                break;
        }
    }
    if (top_ != 0) return MacroError::UnbalancedParenthesis;
    const Frame& f = frames_[0];
    if (auto e = reduce(f.argStart); e != MacroError::None) return e;
    if (f.commas > 0) {
        if (!list || !values_[static_cast<std::size_t>(f.argStart)].hasValue())
            return MacroError::UnbalancedParenthesis;
    }
    return MacroError::None;
}

MacroError ExpressionEvaluator::reduce(int from) {
    // Right to left: every slot left of the collapsed right part applies its
    // operator to it.
    for (int i = cur_ - 1; i >= from; --i) {
        switch (info_[static_cast<std::size_t>(i)].kind) {
            case SlotKind::Binary:
                if (auto e = applyBinary(i); e != MacroError::None) return e;
                break;
            case SlotKind::Unary:
                if (auto e = applyUnary(i); e != MacroError::None) return e;
                break;
            case SlotKind::None:
            case SlotKind::Function:
                return MacroError::UnbalancedParenthesis;
        }
        info_[static_cast<std::size_t>(i)] = SlotInfo{};
        resetSlot(i + 1);
        cur_ = i;
    }
    return MacroError::None;
}

MacroError ExpressionEvaluator::closeFrame() {
    const Frame f = frames_[static_cast<std::size_t>(top_)];
    if (auto e = reduce(f.argStart); e != MacroError::None) return e;
    const bool lastEmpty = !values_[static_cast<std::size_t>(f.argStart)].hasValue();
    if (f.functionSlot < 0) {
        if (f.commas > 0) return MacroError::UnbalancedParenthesis;
        cur_ = f.firstSlot;
    } else {
        if (lastEmpty && f.commas > 0) return MacroError::WrongParmCount;
        const int count = f.argStart - f.firstSlot + (lastEmpty ? 0 : 1);
        const auto word =
            static_cast<ReservedWord>(info_[static_cast<std::size_t>(f.functionSlot)].code);
        MacroValue result;
        if (auto e = callFunction(word, f.firstSlot, count, result); e != MacroError::None)
            return e;
        for (int i = f.firstSlot; i <= f.argStart; ++i)
            resetSlot(i);
        info_[static_cast<std::size_t>(f.functionSlot)] = SlotInfo{};
        values_[static_cast<std::size_t>(f.functionSlot)] = result;
        cur_ = f.functionSlot;
    }
    --top_;
    return MacroError::None;
}

MacroError ExpressionEvaluator::callFunction(ReservedWord word, int firstArg, int count,
                                             MacroValue& result) {
    const ParameterList& params = parameterList(word);
    for (int i = 0; i < count; ++i) {
        if (i >= params.count) return MacroError::WrongParmCount;
        if (!params.masks[i].accepts(values_[static_cast<std::size_t>(firstArg + i)].type))
            return MacroError::WrongParmType;
    }
    if (count < params.required) return MacroError::WrongParmCount;
    const std::span<const MacroValue> args(values_.data() + firstArg,
                                           static_cast<std::size_t>(count));
    result.clear();
    return host_.callFunction(word, args, result);
}

MacroError ExpressionEvaluator::applyBinary(int left) {
    MacroValue& a = values_[static_cast<std::size_t>(left)];
    const MacroValue& b = values_[static_cast<std::size_t>(left + 1)];
    const auto op = static_cast<MacroOperator>(info_[static_cast<std::size_t>(left)].code);
    if (!a.hasValue() || !b.hasValue() || a.type != b.type) return MacroError::IncompatibleTypes;
    if (a.isText()) {
        int cmp = 0;
        switch (op) {
            case MacroOperator::Add:
                if (!a.text.append(b.text.view())) return MacroError::TextTooLong;
                return MacroError::None;
            case MacroOperator::ExactEqual:
                a = MacroValue::ofNumber(a.text == b.text ? 1 : 0);
                return MacroError::None;
            case MacroOperator::Equal:
            case MacroOperator::NotEqual:
            case MacroOperator::Less:
            case MacroOperator::Greater:
            case MacroOperator::LessOrEqual:
            case MacroOperator::GreaterOrEqual:
                cmp = compareNoCase(a.text.view(), b.text.view());
                break;
            default:
                return MacroError::InvalidForText;
        }
        bool r = false;
        switch (op) {
            case MacroOperator::Equal:
                r = cmp == 0;
                break;
            case MacroOperator::NotEqual:
                r = cmp != 0;
                break;
            case MacroOperator::Less:
                r = cmp < 0;
                break;
            case MacroOperator::Greater:
                r = cmp > 0;
                break;
            case MacroOperator::LessOrEqual:
                r = cmp <= 0;
                break;
            default:
                r = cmp >= 0;
                break;
        }
        a = MacroValue::ofNumber(r ? 1 : 0);
        return MacroError::None;
    }
    const std::int64_t x = a.number;
    const std::int64_t y = b.number;
    std::int64_t z = 0;
    switch (op) {
        case MacroOperator::Add:
            z = x + y;
            break;
        case MacroOperator::Subtract:
            z = x - y;
            break;
        case MacroOperator::Multiply:
            z = x * y;
            break;
        case MacroOperator::Divide:
            if (y == 0) return MacroError::NumericOverflow;
            z = x / y;
            break;
        case MacroOperator::Remainder:
            if (y == 0) return MacroError::NumericOverflow;
            z = x % y;
            break;
        case MacroOperator::Equal:
        case MacroOperator::ExactEqual:
            z = x == y;
            break;
        case MacroOperator::NotEqual:
            z = x != y;
            break;
        case MacroOperator::Less:
            z = x < y;
            break;
        case MacroOperator::Greater:
            z = x > y;
            break;
        case MacroOperator::LessOrEqual:
            z = x <= y;
            break;
        case MacroOperator::GreaterOrEqual:
            z = x >= y;
            break;
        case MacroOperator::And:
            z = x & y;
            break;
        case MacroOperator::Or:
            z = x | y;
            break;
        case MacroOperator::Xor:
            z = x ^ y;
            break;
        default:
            return MacroError::UnknownOperator;
    }
    if (!inMacroRange(z)) return MacroError::NumericOverflow;
    a.number = static_cast<std::int32_t>(z);
    return MacroError::None;
}

MacroError ExpressionEvaluator::applyUnary(int slot) {
    const MacroValue& operand = values_[static_cast<std::size_t>(slot + 1)];
    if (!operand.hasValue()) return MacroError::WrongParmCount;
    if (!operand.isNumber()) return MacroError::WrongParmType;
    const std::int64_t x = operand.number;
    std::int64_t z = x;
    switch (static_cast<ReservedWord>(info_[static_cast<std::size_t>(slot)].code)) {
        case ReservedWord::UnaryMinus:
            z = -x;
            break;
        case ReservedWord::UnaryNot:
            z = ~x;
            break;
        default:
            break;
    }
    // Not range-checked here, but it must stay a 32-bit number.
    if (z > std::numeric_limits<std::int32_t>::max()) return MacroError::NumericOverflow;
    values_[static_cast<std::size_t>(slot)] = MacroValue::ofNumber(static_cast<std::int32_t>(z));
    return MacroError::None;
}

MacroError ExpressionEvaluator::readVariable(MacroVariable& variable, MacroValue& out) {
    if (variable.isSystem()) {
        MacroValue current = host_.readSystemVariable(variable.systemId);
        if (!current.hasValue()) current = defaultValueOf(variable.systemId);
        variable.set(current);
    }
    if (variable.type() == ValueType::None) {
        out.clear();
    } else {
        out = variable.value;
    }
    return MacroError::None;
}

MacroError ExpressionEvaluator::assign(Scanner& scanner, std::string_view name) {
    MacroText saved;
    if (!saved.assign(name)) return MacroError::VariableNameTooLong;
    name = saved.view();
    MacroVariable* variable = variables_.find(name);
    if (!variable) {
        if (lookUpReservedWord(name) != ReservedWord::None)
            return MacroError::ReservedWordAsVariable;
        if (auto e = variables_.create(name, variable); e != MacroError::None) return e;
    } else if (variable->isSystem() && !variable->isWritable()) {
        return MacroError::ReadOnlySystemVariable;
    }
    scanner.skipBlanks();
    if (scanner.peek() != '=') {
        scanner.setTokenStart(scanner.position());
        return MacroError::UnexpectedText;
    }
    scanner.setPosition(scanner.position() + 1);

    MacroValue value;
    if (auto e = evaluate(scanner, value); e != MacroError::None) return e;
    if (value.isNumber() && !inMacroRange(value.number)) return MacroError::NumericOverflow;

    // A function may have rebuilt the table (DROP) meanwhile.
    variable = variables_.find(name);
    if (!variable) {
        if (auto e = variables_.create(name, variable); e != MacroError::None) return e;
    }
    if (variable->isSystem()) {
        const int n = value.isNumber() ? value.number : 0;
        switch (variable->systemId) {
            case SystemVariable::CursorCol:
                host_.moveCursor(std::nullopt, n - 1);
                break;
            case SystemVariable::CursorRow:
                host_.moveCursor(n - 1, std::nullopt);
                break;
            case SystemVariable::CursorPos: {
                const std::string_view text = value.isText() ? value.text.view() : "";
                const auto comma = text.find(',');
                if (comma != std::string_view::npos)
                    host_.moveCursor(readSignedDecimal(text.substr(0, comma)) - 1,
                                     readSignedDecimal(text.substr(comma + 1)) - 1);
                break;
            }
            default:
                break;
        }
    }
    variable->set(value);
    return MacroError::None;
}

}  // namespace cedar
