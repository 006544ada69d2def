// The expression evaluator: an operator-precedence machine over a fixed
// stack of slots, and the assignment statement.
//
// Its rules decide what macros compute:
// - A unary "+", "-" or "!" (where no operand stands before it) reaches to
//   the end of the expression, of the enclosing parentheses or of the
//   function argument: -1 + 2 is -3.
// - An expression ends, without consuming the token, where an operand (a
//   word, number or string) follows an operand or a ")": this is how a FOR
//   statement finds TO and STEP, and why "IF x = 1 THEN" works.
// - Text comparison ignores case except with "==".
// - Numbers are computed in 64 bits; every binary result and every
//   assignment must lie within -99,999,999 ... 99,999,999 (error 3), and so
//   must a division or remainder by zero.
#pragma once

#include <array>
#include <string_view>
#include <vector>

#include "macro/macro_error.h"
#include "macro/macro_host.h"
#include "macro/macro_value.h"
#include "macro/reserved_words.h"
#include "macro/scanner.h"
#include "macro/variables.h"

namespace cedar {

// Binary operator codes.
enum class MacroOperator : std::uint8_t {
    None = 0,
    Add = 1,
    Subtract = 2,
    Multiply = 3,
    Divide = 4,
    Remainder = 5,
    Equal = 6,
    NotEqual = 7,
    Less = 8,
    Greater = 9,
    LessOrEqual = 10,
    GreaterOrEqual = 11,
    And = 12,
    Or = 13,
    Xor = 14,
    LeftParenthesis = 15,
    RightParenthesis = 16,
    Comma = 17,
    Bang = 18,
    ExactEqual = 19,
};

// The operator a token spells, or None.
MacroOperator lookUpOperator(std::string_view token);
// Higher binds tighter; 0 for parentheses and the comma.
int operatorPrecedence(MacroOperator op);

class ExpressionEvaluator {
  public:
    // Slots of the evaluation stack; an expression needing more is error 52.
    static constexpr int kStackSlots = 100;
    // Nested parentheses and function calls; deeper is error 52.
    static constexpr int kMaxDepth = 100;

    ExpressionEvaluator(VariableTable& variables, MacroHost& host)
        : variables_(variables), host_(host) {}

    // Evaluates the expression at the scanner's position and leaves the
    // scanner after its last token. An empty expression gives no value.
    // On an error scanner.tokenStart() is the token it was found at.
    MacroError evaluate(Scanner& scanner, MacroValue& result);

    // A list of expressions separated by "," (the values of a CASE).
    MacroError evaluateList(Scanner& scanner, std::vector<MacroValue>& values);

    // The assignment statement. `name` is its first word (upper case); the
    // scanner stands after it and the next non-blank byte is "=". A new name
    // is created without a value before the expression is evaluated, and
    // stays so if the evaluation fails.
    MacroError assign(Scanner& scanner, std::string_view name);

    VariableTable& variables() { return variables_; }

  private:
    enum class SlotKind : std::uint8_t { None, Binary, Unary, Function };
    struct SlotInfo {
        SlotKind kind = SlotKind::None;
        std::uint8_t code = 0;  // MacroOperator, or ReservedWord for unary operators and functions
        std::uint8_t precedence = 0;
    };
    // An open parenthesis: a function's argument list or a plain group.
    struct Frame {
        int functionSlot = -1;  // -1 for a plain group
        int firstSlot = 0;      // its first argument (or the group's value)
        int argStart = 0;       // the argument being read
        int commas = 0;
    };

    MacroError run(Scanner& scanner, bool list);
    MacroError takeNextSlot();
    void resetSlot(int slot) {
        values_[static_cast<std::size_t>(slot)].clear();
        info_[static_cast<std::size_t>(slot)] = SlotInfo{};
    }
    MacroError reduce(int from);
    MacroError closeFrame();
    MacroError applyBinary(int left);
    MacroError applyUnary(int slot);
    MacroError callFunction(ReservedWord word, int firstArg, int count, MacroValue& result);
    MacroError readVariable(MacroVariable& variable, MacroValue& out);

    VariableTable& variables_;
    MacroHost& host_;
    std::array<MacroValue, kStackSlots> values_{};
    std::array<SlotInfo, kStackSlots> info_{};
    std::array<Frame, kMaxDepth + 1> frames_{};
    int cur_ = 0;
    int top_ = 0;
};

}  // namespace cedar
