// The waits of the REXX functions and the commands of the CEDAR
// environment (EXECIO), on the task's own thread.
#include <chrono>
#include <climits>
#include <fstream>

#include "platform/regina_host.h"
#include "platform/regina_interpreter.h"
#include "platform/regina_signals.h"

namespace cedar {

namespace {

using Clock = std::chrono::steady_clock;

std::string upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

// The lines of a text: cut at CR LF, CR or LF; a last line without an end
// is a line too.
std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(std::move(line));
            line.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            line.push_back(c);
        }
    }
    if (!line.empty()) lines.push_back(std::move(line));
    return lines;
}

void setStem(const std::string& stem, const std::vector<std::string>& lines) {
    regina::dropVariable(stem);
    for (std::size_t i = 0; i < lines.size(); ++i)
        regina::setVariable(stem + std::to_string(i + 1), lines[i]);
    regina::setVariable(stem + "0", std::to_string(lines.size()));
}

// stem0 as a count; nothing when it is not a number.
std::optional<int> stemCount(const std::string& stem) {
    const auto value = regina::fetchVariable(stem + "0");
    if (!value || value->size() > 20) return std::nullopt;
    const auto n = readRexxNumber(*value);
    if (!n || *n < 0) return std::nullopt;
    return n;
}

// stemI's value; an unset variable's value is its name in upper case.
std::string stemValue(const std::string& stem, int i) {
    const std::string name = stem + std::to_string(i);
    return regina::fetchVariable(name).value_or(upper(name));
}

}  // namespace

RexxCallResult ReginaHost::shortWait(const Task& task, const RexxArguments& args) {
    const RexxNumber ms = rexxNumberArgument(args, 0, 1000, 0, INT_MAX);
    if (ms.error != RexxError::None) return RexxCallResult::fail(ms.error);
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms.value);
    std::unique_lock lock(mutex_);
    RexxTaskSlot& slot = table_.slot(task.slot);
    slot.sleeping = true;
    changed_.wait_until(lock, deadline, [&] { return slot.ending; });
    slot.sleeping = false;
    const bool ending = slot.ending;
    lock.unlock();
    if (ending) haltOwnReginaProgram();
    return RexxCallResult::ok("0");
}

RexxCallResult ReginaHost::wait(const Task& task, const RexxArguments& args) {
    const RexxNumber seconds = rexxNumberArgument(args, 0, std::nullopt, 1, INT_MAX / 1000);
    if (seconds.error != RexxError::None) return RexxCallResult::fail(seconds.error);
    const std::string condition(rexxArgument(args, 1).value_or(""));
    if (condition.size() > RexxTaskTable::kMaxCondition)
        return RexxCallResult::fail(RexxError::BadValue);
    const bool conditional = !condition.empty();
    // The condition runs here, on the task's thread, never on the session's.
    const auto met = [&] {
        const auto value = regina::evaluate(condition);
        return value && *value != 0;
    };
    if (conditional && met()) return RexxCallResult::ok("1");
    const auto deadline = Clock::now() + std::chrono::seconds(seconds.value);
    std::unique_lock lock(mutex_);
    table_.beginWait(task.slot, false, condition);
    RexxTaskSlot& slot = table_.slot(task.slot);
    for (;;) {
        if (slot.ending) {
            table_.endWait(task.slot);
            lock.unlock();
            haltOwnReginaProgram();
            return RexxCallResult::ok("0");
        }
        if (slot.recheck) {
            slot.recheck = false;
            lock.unlock();
            const bool now = conditional && met();
            lock.lock();
            if (now) {
                table_.endWait(task.slot);
                return RexxCallResult::ok("1");
            }
            continue;
        }
        if (!changed_.wait_until(lock, deadline, [&] { return slot.ending || slot.recheck; }))
            break;
    }
    table_.endWait(task.slot);
    lock.unlock();
    reportError(RexxError::WaitTimedOut);
    return RexxCallResult::ok("0");
}

RexxCallResult ReginaHost::waitUnlocked(const Task& task, const RexxArguments& args) {
    const RexxNumber seconds = rexxNumberArgument(args, 0, std::nullopt, 1, INT_MAX / 1000);
    if (seconds.error != RexxError::None) return RexxCallResult::fail(seconds.error);
    const auto deadline = Clock::now() + std::chrono::seconds(seconds.value);
    // Waiting is marked before the keyboard is looked at: a restore that
    // comes in between satisfies the wait instead of being missed.
    {
        std::lock_guard lock(mutex_);
        table_.beginWait(task.slot, true, {});
    }
    const auto unlocked = onSession(task, [this] {
        const bool yes = callbacks_.keyboardUnlocked && callbacks_.keyboardUnlocked();
        return RexxCallResult::ok(yes ? "1" : "0");
    });
    std::unique_lock lock(mutex_);
    RexxTaskSlot& slot = table_.slot(task.slot);
    if (!unlocked || unlocked->value == "1") {
        table_.endWait(task.slot);
        return RexxCallResult::ok("0");
    }
    changed_.wait_until(lock, deadline, [&] { return slot.ending || slot.satisfied; });
    const bool ending = slot.ending, satisfied = slot.satisfied;
    table_.endWait(task.slot);
    lock.unlock();
    if (ending) {
        haltOwnReginaProgram();
        return RexxCallResult::ok("0");
    }
    if (!satisfied) return RexxCallResult::fail(RexxError::WaitTimedOut);
    return RexxCallResult::ok("0");
}

ReginaHost::CommandEnd ReginaHost::command(const Task& task, std::string_view text) {
    if (!gate(task)) return {};
    {
        std::lock_guard lock(mutex_);
        // A clause that was only a function call hands its result over as a
        // command: that is not a command of the program's.
        if (table_.suppressCommand(task.slot, text)) return {};
    }
    const std::string word = cedarCommandWord(text);
    if (word == "EXECUTE") return {execute(task, executeMacroName(text)), false};
    if (word != "EXECIO") {
        postDebugLine("Unknown Cedar command - " + std::string(text));
        return {8, true};
    }
    const ExecioParse parse = parseExecio(text);
    int rc = 0;
    if (parse.error != RexxError::None) {
        reportError(parse.error);
        rc = static_cast<int>(RexxError::Unknown);
    } else {
        rc = execio(task, parse.command);
    }
    if (rc != 0)
        postDebugLine("Error executing subcommand " + std::string(text) +
                      " - rc=" + std::to_string(rc));
    return {rc, false};
}

int ReginaHost::execute(const Task& task, const std::string& name) {
    if (name.empty() || !callbacks_.runMacro) return 1;
    const auto started = onSession(
        task, [this, name] { return RexxCallResult::ok(callbacks_.runMacro(name) ? "1" : "0"); });
    if (!started) return 0;  // stopped meanwhile
    if (started->value != "1") return 1;
    // The program goes on when the macro has ended, as after a RUN.
    waitWhile(task, [this] { return callbacks_.macroPlaying && callbacks_.macroPlaying(); });
    return 0;
}

bool ReginaHost::waitWhile(const Task& task, std::function<bool()> going) {
    constexpr auto kLook = std::chrono::milliseconds(20);
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            RexxTaskSlot& slot = table_.slot(task.slot);
            if (changed_.wait_for(lock, kLook, [&] { return slot.ending; })) {
                lock.unlock();
                haltOwnReginaProgram();
                return false;
            }
        }
        const auto answer =
            onSession(task, [going] { return RexxCallResult::ok(going() ? "1" : "0"); });
        if (!answer) return false;
        if (answer->value == "0") return true;
    }
}

std::string ReginaHost::pathOf(const std::string& file) const {
    if (file.empty() || file[0] == '/' || documentsFolder_.empty()) return file;
    return documentsFolder_ + "/" + file;
}

int ReginaHost::execio(const Task& task, const ExecioCommand& command) {
    constexpr int kFailed = static_cast<int>(RexxError::Unknown);
    const std::string& stem = command.stem;
    const auto fail = [&](RexxError error) {
        reportError(error);
        return kFailed;
    };
    switch (command.operation) {
        case ExecioOperation::DiskRead: {
            std::ifstream in(pathOf(command.file), std::ios::binary);
            if (!in) return fail(RexxError::ReadOpenFailed);
            std::vector<std::string> lines;
            for (std::string line; std::getline(in, line);) {
                if (!line.empty() && line.back() == '\r') line.pop_back();
                lines.push_back(std::move(line));
            }
            setStem(stem, lines);
            return 0;
        }
        case ExecioOperation::DiskWrite: {
            const auto count = stemCount(stem);
            if (!count) return fail(RexxError::StemCountNotNumber);
            std::ofstream out(pathOf(command.file), std::ios::binary | std::ios::trunc);
            if (!out) return fail(RexxError::WriteCreateFailed);
            for (int i = 1; i <= *count; ++i) {
                out << stemValue(stem, i);
                if (i < *count) out << '\n';
            }
            out.flush();
            return out ? 0 : fail(RexxError::WriteCreateFailed);
        }
        case ExecioOperation::ClipRead: {
            auto text = onSession(task, [this] {
                auto t = callbacks_.clipboardText ? callbacks_.clipboardText() : std::nullopt;
                return RexxCallResult::ok(t.value_or(""));
            });
            if (!text) return kFailed;
            setStem(stem, splitLines(text->value));
            return 0;
        }
        case ExecioOperation::ClipWrite: {
            const auto count = stemCount(stem);
            if (!count) return fail(RexxError::StemCountNotNumber);
            std::string joined;
            for (int i = 1; i <= *count; ++i)
                joined += stemValue(stem, i) + "\r\n";
            auto done = onSession(task, [this, joined = std::move(joined)] {
                if (callbacks_.setClipboard) callbacks_.setClipboard(joined);
                return RexxCallResult::ok("0");
            });
            return done ? 0 : kFailed;
        }
    }
    return kFailed;
}

}  // namespace cedar
