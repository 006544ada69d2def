// Helpers for the macro tests: evaluating one expression or one assignment
// against a variable table and a recording host.
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <string_view>

#include "macro/evaluator.h"
#include "macro/macro_host.h"
#include "macro/macro_source.h"
#include "macro/scanner.h"
#include "macro/variables.h"

namespace cedar {

inline void PrintTo(MacroError e, std::ostream* os) {
    *os << "error " << macroErrorNumber(e);
}
inline void PrintTo(const MacroValue& v, std::ostream* os) {
    if (v.isNumber())
        *os << "number " << v.number;
    else if (v.isText())
        *os << "text \"" << v.text.view() << "\"";
    else
        *os << "no value";
}

namespace test {

struct Outcome {
    MacroError error = MacroError::None;
    MacroValue value;
    std::size_t errorColumn = 0;  // from 1 at the start of the text
    std::size_t endPosition = 0;  // the scanner's position afterwards
};

// Evaluates `expression` on its own line.
inline Outcome evaluateText(ExpressionEvaluator& evaluator, std::string_view expression,
                            ScannerOptions options = {}) {
    const std::string text = normaliseMacroText(expression);
    Scanner scanner(text, 0, options);
    Outcome out;
    out.error = evaluator.evaluate(scanner, out.value);
    out.errorColumn = scanner.tokenStart() + 1;
    out.endPosition = scanner.position();
    return out;
}

// One statement: an assignment when its first word is followed by "=",
// otherwise an expression with nothing after it.
inline Outcome runStatement(ExpressionEvaluator& evaluator, std::string_view statement,
                            ScannerOptions options = {}) {
    const std::string text = normaliseMacroText(statement);
    Scanner scanner(text, 0, options);
    Outcome out;
    Token first;
    out.error = scanner.scanToken(first);
    if (out.error == MacroError::None && first.kind == TokenKind::Word &&
        scanner.peekNonBlank() == '=') {
        out.error = evaluator.assign(scanner, first.text.view());
    } else if (out.error == MacroError::None) {
        scanner.setPosition(0);
        out.error = evaluator.evaluate(scanner, out.value);
        Token rest;
        if (out.error == MacroError::None && scanner.scanToken(rest) == MacroError::None &&
            rest.kind != TokenKind::End)
            out.error = MacroError::UnexpectedText;
    }
    out.errorColumn = scanner.tokenStart() + 1;
    out.endPosition = scanner.position();
    return out;
}

// The value a variable holds now (no value when it does not exist).
inline MacroValue valueOf(const VariableTable& variables, std::string_view name) {
    const MacroVariable* v = variables.find(name);
    if (!v || v->type() == ValueType::None) return {};
    return v->value;
}

// A variable table, a recording host and an evaluator over them.
class MacroBench {
  public:
    VariableTable variables;
    RecordingMacroHost host;
    ExpressionEvaluator evaluator{variables, host};
    ScannerOptions options;

    Outcome eval(std::string_view expression) {
        return evaluateText(evaluator, expression, options);
    }
    Outcome run(std::string_view statement) { return runStatement(evaluator, statement, options); }
    MacroValue valueOf(std::string_view name) const { return test::valueOf(variables, name); }
};

inline MacroValue num(std::int32_t n) {
    return MacroValue::ofNumber(n);
}
inline MacroValue txt(std::string_view t) {
    return MacroValue::ofText(t);
}

}  // namespace test
}  // namespace cedar
