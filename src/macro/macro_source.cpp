#include "macro/macro_source.h"

#include <algorithm>

namespace cedar {

namespace {

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool endsWithNoCase(std::string_view text, std::string_view tail) {
    if (text.size() < tail.size()) return false;
    const auto end = text.substr(text.size() - tail.size());
    for (std::size_t i = 0; i < tail.size(); ++i)
        if (lower(end[i]) != lower(tail[i])) return false;
    return true;
}

constexpr std::size_t kRexxCheckBytes = 200;
constexpr std::size_t kStatementTextBytes = 100;

MacroLoadResult loadContext(MacroChain& chain, std::string fileName, std::string_view raw,
                            const MacroLoadOptions& options) {
    auto context = std::make_unique<MacroContext>();
    context->macroName = macroNameWithoutExtension(fileName);
    context->fileName = std::move(fileName);
    context->text = normaliseMacroText(raw);
    MacroContext& added = chain.push(std::move(context));
    MacroLoadResult result;
    result.fileName = added.fileName;
    result.error = preScan(added, options.scanner);
    if (result.error != MacroError::None) result.status = MacroLoadStatus::Failed;
    return result;
}

}  // namespace

std::optional<std::string> MemoryMacroFiles::readMacroFile(MacroFolder folder,
                                                           const std::string& fileName) const {
    const auto it = files_.find({folder, fileName});
    if (it == files_.end()) return std::nullopt;
    return it->second;
}

void advanceStatement(MacroContext& context) {
    context.statementStart = nextStatementStart(context.text, context.statementStart);
    ++context.statementNumber;
}

MacroContext& MacroChain::push(std::unique_ptr<MacroContext> context) {
    MacroContext* parent = current();
    context->parent = parent;
    context->child = nullptr;
    if (parent) parent->child = context.get();
    contexts_.push_back(std::move(context));
    return *contexts_.back();
}

void MacroChain::popCurrent() {
    if (contexts_.empty()) return;
    contexts_.pop_back();
    if (MacroContext* parent = current()) parent->child = nullptr;
}

std::string normaliseMacroText(std::string_view raw) {
    const auto eof = raw.find(kMacroEndOfText);
    if (eof != std::string_view::npos) raw = raw.substr(0, eof);
    std::string text;
    text.reserve(raw.size() + raw.size() / 16 + 3);
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == kMacroCR) {
            text += "\r\n";
            if (i + 1 < raw.size() && raw[i + 1] == kMacroLF) ++i;
        } else if (c == kMacroLF) {
            text += "\r\n";
        } else {
            text += c;
        }
    }
    text += "\r\n";
    text += kMacroEndOfText;
    return text;
}

std::string macroFileName(std::string_view name) {
    std::string file(name);
    if (!endsWithNoCase(file, ".mac") && !endsWithNoCase(file, ".ext")) file += ".mac";
    return file;
}

std::string macroNameWithoutExtension(std::string_view fileName) {
    const auto dot = fileName.rfind('.');
    return std::string(dot == std::string_view::npos ? fileName : fileName.substr(0, dot));
}

MacroFolder macroFolderFor(std::string_view fileName, char sessionId) {
    std::string remote = "cdr$?$exec.mac";
    remote[4] = sessionId;
    constexpr std::size_t kCompared = 10;
    if (fileName.size() >= kCompared &&
        fileName.substr(0, kCompared) == remote.substr(0, kCompared))
        return MacroFolder::RemoteMacros;
    return MacroFolder::Macros;
}

bool isRexxMacro(std::string_view firstBytes) {
    std::string_view line = firstBytes.substr(0, std::min(firstBytes.size(), kRexxCheckBytes));
    line = line.substr(0, std::min(line.size(), line.find(kMacroLF)));
    std::string folded(line);
    for (char& c : folded)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    const auto open = folded.find("/*");
    if (open == std::string::npos) return false;
    const auto close = folded.find("*/", open + 2);
    const std::string_view inside = std::string_view(folded).substr(
        open + 2, close == std::string::npos ? std::string::npos : close - open - 2);
    return inside.find("REXX") != std::string_view::npos;
}

MacroLoadResult loadMacro(MacroChain& chain, const MacroFileSource& files, std::string_view name,
                          const MacroLoadOptions& options) {
    std::string fileName = macroFileName(name);
    const auto content = files.readMacroFile(macroFolderFor(fileName, options.sessionId), fileName);
    if (!content) {
        MacroLoadResult result;
        result.status = MacroLoadStatus::NotFound;
        result.fileName = std::move(fileName);
        return result;
    }
    return loadContext(chain, std::move(fileName), *content, options);
}

MacroLoadResult loadMacroText(MacroChain& chain, std::string_view statements,
                              const MacroLoadOptions& options, std::string_view name) {
    return loadContext(chain, std::string(name), statements, options);
}

std::string macroFileNotFoundText(std::string_view fileName) {
    return "Macro file \"" + std::string(fileName) + "\" not found";
}

MacroErrorLocation locateMacroError(const MacroContext& context) {
    MacroErrorLocation where;
    const std::string_view text = context.text;
    const std::size_t start = std::min(context.statementStart, text.size());
    const std::string_view before = text.substr(0, start);
    where.line = 1 + static_cast<int>(std::count(before.begin(), before.end(), kMacroCR));
    if (context.errorPosition > start && context.errorPosition <= text.size())
        where.column = static_cast<int>(context.errorPosition - start) + 1;
    const std::size_t end = std::min(statementEnd(text, start), start + kStatementTextBytes);
    std::string_view statement = text.substr(start, end - start);
    while (!statement.empty() && isMacroBlank(statement.front()))
        statement.remove_prefix(1);
    while (!statement.empty() && isMacroBlank(statement.back()))
        statement.remove_suffix(1);
    where.statement = std::string(statement);
    return where;
}

std::string macroErrorMessage(const MacroContext& context, MacroError error) {
    const MacroErrorLocation where = locateMacroError(context);
    return "Macro error at line " + std::to_string(where.line) + ", near column " +
           std::to_string(where.column) + "\r\n" + where.statement + "\r\nCedar macro error " +
           std::to_string(macroErrorNumber(error)) + " - " + std::string(macroErrorText(error));
}

std::string macroErrorTitle(const MacroContext& context) {
    return "Macro Error in " + context.fileName;
}

}  // namespace cedar
