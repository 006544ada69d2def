// Fuzzes the macro scanner, the pre-scan, the expression evaluator and the
// interpreter: any text gives a macro error or a result, never a crash or a
// hang. The interpreter runs the text against a recording host for a
// bounded number of statements, with its waits woken by keyboard restores,
// timer expiries and pauses.
//
// The input is a macro text. Its length's lowest bit picks whether "$" is a
// letter (as with the US code page) or not.
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "macro/evaluator.h"
#include "macro/interpreter.h"
#include "macro/macro_host.h"
#include "macro/macro_source.h"
#include "macro/scan_table.h"
#include "macro/variables.h"

namespace {

using namespace cedar;

void check(bool condition) {
    if (!condition) __builtin_trap();
}

bool acceptable(MacroError e) {
    return e == MacroError::None || isMacroError(e);
}

// A host whose functions answer with extreme values, and whose DROP rebuilds
// the table in the middle of an expression.
class FuzzHost : public RecordingMacroHost {
  public:
    explicit FuzzHost(VariableTable& table) : table_(table) {
        recordLimit = 16;
        results[ReservedWord::HexDec] =
            MacroValue::ofNumber(std::numeric_limits<std::int32_t>::min());
        results[ReservedWord::Val] = MacroValue::ofNumber(std::numeric_limits<std::int32_t>::max());
        results[ReservedWord::Len] = MacroValue::ofNumber(3);
        results[ReservedWord::Str] = MacroValue::ofText("12");
        results[ReservedWord::UpperCase] = MacroValue::ofText(std::string(255, 'U'));
        results[ReservedWord::Mid] = MacroValue::ofText("");
        errors[ReservedWord::Open] = MacroError::FileOpenError;
        systemValues[SystemVariable::Status] = MacroValue::ofText("UNLOCKED");
        systemValues[SystemVariable::ScreenWidth] = MacroValue::ofNumber(80);
    }
    MacroError callFunction(ReservedWord word, std::span<const MacroValue> args,
                            MacroValue& result) override {
        for (const MacroValue& a : args)
            check(a.hasValue() && a.text.size() <= MacroText::kCapacity);
        if (word == ReservedWord::Drop) table_.reset();
        return RecordingMacroHost::callFunction(word, args, result);
    }

  private:
    VariableTable& table_;
};

void checkTable(const MacroContext& context) {
    const ScanTable& table = context.scanTable;
    check(table.size() <= ScanTable::kMaxEntries);
    for (int i = 1; i <= table.size(); ++i) {
        const ScanEntry& e = table[i];
        check(e.partner >= 0 && e.partner <= table.size());
        check(e.end >= 0 && e.end <= table.size());
        check(e.text < context.text.size());
        check(e.statementNumber >= 1);
    }
}

void evaluateStatements(MacroContext& context, const ScannerOptions& options) {
    VariableTable variables;
    FuzzHost host(variables);
    ExpressionEvaluator evaluator(variables, host);
    const std::string_view text = context.text;
    context.statementStart = 0;
    context.statementNumber = 1;
    std::vector<MacroValue> list;
    while (!context.atEnd()) {
        const std::size_t start = skipMacroBlanks(text, context.statementStart);
        Scanner scanner(text, start, options);
        Token first;
        MacroError error = scanner.scanToken(first);
        if (error == MacroError::None && first.kind == TokenKind::Word &&
            scanner.peekNonBlank() == '=') {
            error = evaluator.assign(scanner, first.text.view());
        } else {
            scanner.setPosition(start);
            MacroValue value;
            error = evaluator.evaluate(scanner, value);
            check(value.text.size() <= MacroText::kCapacity);
            Scanner again(text, start, options);
            check(acceptable(evaluator.evaluateList(again, list)));
            check(again.position() <= text.size());
        }
        check(acceptable(error));
        check(scanner.position() <= text.size());
        check(scanner.tokenStart() <= text.size());
        if (error != MacroError::None) {
            context.errorPosition = scanner.tokenStart();
            const auto where = locateMacroError(context);
            check(where.line >= 1 && where.column >= 1 && where.statement.size() <= 100);
        }
        const std::size_t before = context.statementStart;
        advanceStatement(context);
        check(context.statementStart > before || context.atEnd());
    }
    check(variables.size() <= VariableTable::kCapacity);
}

// The session around the interpreter: the input is also the macro file
// "fuzz.mac" (a RUN of it nests), and the Break check ends a burst after a
// bounded number of statements.
class FuzzEnvironment : public MacroEnvironment {
  public:
    static constexpr int kStatements = 4000;

    MemoryMacroFiles files;
    int statements = 0;
    int posts = 0;
    bool timer = false;
    bool unlocked = false;

    const MacroFileSource& macroFiles() override { return files; }
    void startWaitTimer(std::chrono::milliseconds interval) override {
        check(interval.count() >= 0);
        timer = true;
    }
    void stopWaitTimer() override { timer = false; }
    bool keyboardUnlocked() override { return unlocked; }
    void postBurst() override { ++posts; }
    bool breakRequested() override { return ++statements > kStatements; }
    void reportError(const MacroErrorReport& report) override {
        check(isMacroError(report.error) && report.line >= 1 && report.column >= 1);
    }
    MacroError runInSession(char id, const std::string&) override {
        check((id >= 'A' && id <= 'Z') || (id >= '0' && id <= '9'));
        return MacroError::RunSessionNotOpen;
    }
};

void executeStatements(std::string_view input, const ScannerOptions& options) {
    VariableTable variables;
    FuzzHost host(variables);
    FuzzEnvironment env;
    env.files.add(MacroFolder::Macros, "fuzz.mac", std::string(input));
    MacroLoadOptions load;
    load.scanner = options;
    MacroInterpreter interpreter(env, host, variables, load);
    interpreter.runMacro("fuzz");
    // Wake the macro up in every way a session does, a bounded number of times.
    for (int round = 0; round < 8 && interpreter.loaded(); ++round) {
        const MacroState state = interpreter.state();
        check(static_cast<int>(state) <= 5);
        if (state == MacroState::WaitingForCondition || state == MacroState::TimedWait)
            check(env.timer);
        switch (round % 4) {
            case 0:
                env.unlocked = !env.unlocked;
                interpreter.keyboardRestored();
                break;
            case 1:
                env.timer = false;
                interpreter.waitTimerExpired();
                break;
            default:
                interpreter.togglePause();
                break;
        }
        while (env.posts > 0) {
            env.posts = 0;
            interpreter.runPosted();
        }
    }
    interpreter.stop();
    check(!interpreter.loaded() && interpreter.state() == MacroState::Idle && !env.timer);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    ScannerOptions options;
    options.nationalLetter = (size & 1) ? '$' : 0;
    MacroLoadOptions load;
    load.scanner = options;

    MacroChain chain;
    const MacroLoadResult result = loadMacroText(chain, input, load, "fuzz.mac");
    check(acceptable(result.error));
    MacroContext* context = chain.current();
    check(context != nullptr);
    check(context->text.size() >= 3 && context->text.back() == kMacroEndOfText);
    if (result.status == MacroLoadStatus::Failed) {
        const auto where = locateMacroError(*context);
        check(where.line >= 1 && where.statement.size() <= 100);
        check(!macroErrorMessage(*context, result.error).empty());
    }
    checkTable(*context);
    evaluateStatements(*context, options);
    executeStatements(input, options);
    static_cast<void>(isRexxMacro(input));
    return 0;
}
