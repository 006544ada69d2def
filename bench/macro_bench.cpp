// Macro language throughput: loading and pre-scanning a large macro,
// scanning its statements, and evaluating expressions and assignments.
//   build/bench/bench/cedar_bench_macro
// reports statements/s and expressions/s.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "macro/evaluator.h"
#include "macro/macro_host.h"
#include "macro/macro_source.h"
#include "macro/scanner.h"
#include "macro/variables.h"

namespace {

using namespace cedar;

// A macro of many small procedures as a user would write them: comments,
// assignments, blocks, labels, jumps and function calls.
std::string largeMacro(int procedures) {
    std::string text = "* A large generated macro\r\ncount = 0\r\n";
    for (int i = 0; i < procedures; ++i) {
        const std::string n = std::to_string(i);
        text += "* procedure " + n + "\r\n";
        text += "step" + n + ": count = count + 1; name = \"screen \" + STR(count)\r\n";
        text += "IF count // 3 = 0 THEN\r\n";
        text += "  WAIT(5, ONSCREEN(\"READY\") = 1)\r\n";
        text += "ELSE\r\n";
        text += "  TYPE(\"logon user" + n + "\"); KEY(\"ENTER\")\r\n";
        text += "ENDIF\r\n";
        text +=
            "WHILE count < 10 DO\r\n  count = count * 2 + 1\r\n  IF count > 5\r\n"
            "    BREAK\r\n  ENDIF\r\nENDWHILE\r\n";
        text +=
            "SELECT name\r\nCASE \"a\", \"b\"\r\n  x = 1\r\nDEFAULT\r\n  x = 2\r\nENDSELECT\r\n";
        text += "FOR i = 1 TO 3\r\n  row = SCREEN(i, 1, 80)\r\nNEXT i\r\n";
        text += "GOTO step" + n + "\r\n";
    }
    return text;
}

int countStatements(const std::string& text) {
    int n = 0;
    for (std::size_t pos = 0; pos < text.size() && text[pos] != kMacroEndOfText;
         pos = nextStatementStart(text, pos))
        ++n;
    return n;
}

void reportStatements(benchmark::State& state, int statements) {
    state.counters["statements/s"] = benchmark::Counter(
        static_cast<double>(statements) * static_cast<double>(state.iterations()),
        benchmark::Counter::kIsRate);
}

void reportExpressions(benchmark::State& state, std::size_t expressions) {
    state.counters["expressions/s"] = benchmark::Counter(
        static_cast<double>(expressions) * static_cast<double>(state.iterations()),
        benchmark::Counter::kIsRate);
}

// Loading: the text normalised and pre-scanned into its scan table.
void BM_LoadAndPreScan(benchmark::State& state) {
    const std::string source = largeMacro(1000);
    const int statements = countStatements(normaliseMacroText(source));
    for (auto _ : state) {
        MacroChain chain;
        const auto result = loadMacroText(chain, source, {}, "large.mac");
        if (result.error != MacroError::None) state.SkipWithError("pre-scan failed");
        benchmark::DoNotOptimize(chain.current()->scanTable.size());
    }
    reportStatements(state, statements);
}
BENCHMARK(BM_LoadAndPreScan)->Unit(benchmark::kMillisecond);

// Scanning: every token of every statement, as the interpreter reads them.
void BM_ScanStatements(benchmark::State& state) {
    const std::string text = normaliseMacroText(largeMacro(1000));
    const int statements = countStatements(text);
    for (auto _ : state) {
        std::size_t tokens = 0;
        for (std::size_t pos = 0; pos < text.size() && text[pos] != kMacroEndOfText;
             pos = nextStatementStart(text, pos)) {
            Scanner scanner(text, pos);
            Token token;
            while (scanner.scanToken(token) == MacroError::None && token.kind != TokenKind::End)
                ++tokens;
        }
        benchmark::DoNotOptimize(tokens);
    }
    reportStatements(state, statements);
}
BENCHMARK(BM_ScanStatements)->Unit(benchmark::kMillisecond);

const std::vector<std::string>& expressions() {
    static const std::vector<std::string> list = {
        "1 + 2 * 3 - 4 / 2",
        "-1 + 2",
        "(count + 1) * (count - 1) // 7",
        "count > 5 & count < 100 | 1 = 0",
        "\"abc\" = \"ABC\"",
        "name + \" of \" + title",
        "STATUS = \"UNLOCKED\"",
        "LEN(MID(name, 2, 3)) + 1",
        "SCREENWIDTH * SCREENHEIGHT",
        "((((count))))",
    };
    return list;
}

void BM_EvaluateExpressions(benchmark::State& state) {
    VariableTable variables;
    RecordingMacroHost host;
    host.recordLimit = 0;
    host.results[ReservedWord::Mid] = MacroValue::ofText("bcd");
    host.results[ReservedWord::Len] = MacroValue::ofNumber(3);
    host.systemValues[SystemVariable::Status] = MacroValue::ofText("UNLOCKED");
    host.systemValues[SystemVariable::ScreenWidth] = MacroValue::ofNumber(80);
    host.systemValues[SystemVariable::ScreenHeight] = MacroValue::ofNumber(24);
    MacroVariable* v = nullptr;
    variables.create("COUNT", v);
    v->set(MacroValue::ofNumber(42));
    variables.create("NAME", v);
    v->set(MacroValue::ofText("session"));
    variables.create("TITLE", v);
    v->set(MacroValue::ofText("Cedar"));
    ExpressionEvaluator evaluator(variables, host);
    std::vector<std::string> texts;
    for (const auto& e : expressions())
        texts.push_back(normaliseMacroText(e));
    MacroValue value;
    for (auto _ : state) {
        for (const auto& t : texts) {
            Scanner scanner(t);
            if (evaluator.evaluate(scanner, value) != MacroError::None)
                state.SkipWithError("evaluation failed");
            benchmark::DoNotOptimize(value.number);
        }
    }
    reportExpressions(state, texts.size());
}
BENCHMARK(BM_EvaluateExpressions);

void BM_Assignments(benchmark::State& state) {
    VariableTable variables;
    NullMacroHost host;
    ExpressionEvaluator evaluator(variables, host);
    const std::vector<std::string> texts = {
        normaliseMacroText("counter = 0"),
        normaliseMacroText("counter = counter + 1"),
        normaliseMacroText("label = \"row \" + \"col\""),
    };
    for (auto _ : state) {
        for (const auto& t : texts) {
            Scanner scanner(t);
            Token name;
            scanner.scanToken(name);
            if (evaluator.assign(scanner, name.text.view()) != MacroError::None)
                state.SkipWithError("assignment failed");
        }
    }
    reportExpressions(state, texts.size());
}
BENCHMARK(BM_Assignments);

}  // namespace

BENCHMARK_MAIN();
