// Macro source: how a macro's text is found, loaded and held, and the chain
// of loaded macros (a macro started with RUN is the child of its caller).
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "macro/macro_error.h"
#include "macro/scan_table.h"
#include "macro/scanner.h"

namespace cedar {

// The two folders macros are read from.
enum class MacroFolder : std::uint8_t {
    Macros,        // the macros folder
    RemoteMacros,  // the folder for macros the host sends (files.ini key CDR)
};

// Reads macro files by name from the macro folders.
class MacroFileSource {
  public:
    virtual ~MacroFileSource() = default;
    // The whole content of `fileName` in `folder`, or nullopt when the file
    // cannot be opened for reading.
    virtual std::optional<std::string> readMacroFile(MacroFolder folder,
                                                     const std::string& fileName) const = 0;
};

// Macro files held in memory (tests, tools).
class MemoryMacroFiles : public MacroFileSource {
  public:
    void add(MacroFolder folder, const std::string& fileName, std::string content) {
        files_[{folder, fileName}] = std::move(content);
    }
    std::optional<std::string> readMacroFile(MacroFolder folder,
                                             const std::string& fileName) const override;

  private:
    std::map<std::pair<MacroFolder, std::string>, std::string> files_;
};

struct MacroContext {
    std::string fileName;   // as opened, with its extension
    std::string macroName;  // without the extension (MACRONAME)
    // The normalised source: lines end in CR LF, the text ends in CR LF 0x1A.
    std::string text;
    std::size_t statementStart = 0;  // the statement to execute next
    int statementNumber = 1;         // its number, from 1
    ScanTable scanTable;
    MacroContext* parent = nullptr;
    MacroContext* child = nullptr;
    bool noAdvance = false;         // the statement has already jumped
    std::size_t errorPosition = 0;  // the token at which the last error was found

    // Bytes of source text, without the CR LF 0x1A behind it.
    std::size_t length() const { return text.size() >= 3 ? text.size() - 3 : 0; }
    std::string_view source() const { return text; }
    Scanner scanner(const ScannerOptions& options) const {
        return Scanner(text, statementStart, options);
    }
    bool atEnd() const {
        return statementStart >= text.size() || text[statementStart] == kMacroEndOfText;
    }
};

// Moves statementStart to the next statement and counts it.
void advanceStatement(MacroContext& context);

// The chain of loaded macros from the root to the one now playing.
class MacroChain {
  public:
    bool empty() const { return contexts_.empty(); }
    std::size_t size() const { return contexts_.size(); }
    MacroContext* current() { return empty() ? nullptr : contexts_.back().get(); }
    MacroContext* root() { return empty() ? nullptr : contexts_.front().get(); }

    // Appends a context as the child of the current one; it becomes current.
    MacroContext& push(std::unique_ptr<MacroContext> context);
    // Frees the current context; its parent becomes current.
    void popCurrent();
    // Frees every context.
    void clear() { contexts_.clear(); }

  private:
    std::vector<std::unique_ptr<MacroContext>> contexts_;
};

// The text as the interpreter holds it: cut at the first 0x1A, every line end
// (CR LF, LF or a lone CR) made CR LF, and CR LF 0x1A appended.
std::string normaliseMacroText(std::string_view raw);

// The file name for a macro name: ".mac" appended unless the name ends in
// ".mac" or ".ext" (either without regard to case).
std::string macroFileName(std::string_view name);
// The name without its extension (from the last ".").
std::string macroNameWithoutExtension(std::string_view fileName);
// The folder a macro file is read from: the remote-macro folder when the
// name's first ten characters are those of "cdr$%c$exec.mac" for this
// session's id, else the macros folder.
MacroFolder macroFolderFor(std::string_view fileName, char sessionId);

// A file starting a REXX macro: its first line (up to the first LF, within the
// first 200 bytes) holds "/*" and, before the next "*/" or the line end, the
// word REXX in any case.
bool isRexxMacro(std::string_view firstBytes);

enum class MacroLoadStatus : std::uint8_t {
    Loaded,    // loaded and pre-scanned; the new context is current
    NotFound,  // the file cannot be opened; nothing was added to the chain
    Failed,    // the pre-scan failed: the new context is current so that the
               // error can be reported; the caller then frees the chain
};

struct MacroLoadResult {
    MacroLoadStatus status = MacroLoadStatus::Loaded;
    MacroError error = MacroError::None;
    std::string fileName;  // the file name used
};

struct MacroLoadOptions {
    char sessionId = 'A';
    ScannerOptions scanner;
};

// Resolves and reads a macro file, appends its context to the chain (as the
// child of the current one), normalises the text and pre-scans it.
MacroLoadResult loadMacro(MacroChain& chain, const MacroFileSource& files, std::string_view name,
                          const MacroLoadOptions& options);
// The same for statements given as text; `name` is shown in error titles.
MacroLoadResult loadMacroText(MacroChain& chain, std::string_view statements,
                              const MacroLoadOptions& options, std::string_view name = {});

// "Macro file \"%s\" not found" with the name; titled title::kFileError.
std::string macroFileNotFoundText(std::string_view fileName);

// Where an error lies, as the user is told.
struct MacroErrorLocation {
    int line = 1;           // source line of the statement's first byte, from 1
    int column = 1;         // of the error's token, from 1 at the statement's first byte
    std::string statement;  // at most 100 bytes of it, blanks trimmed
};
MacroErrorLocation locateMacroError(const MacroContext& context);

// "Macro error at line %d, near column %d" CR LF statement CR LF
// "Cedar macro error %d - %s".
std::string macroErrorMessage(const MacroContext& context, MacroError error);
// "Macro Error in %s" with the file name.
std::string macroErrorTitle(const MacroContext& context);

}  // namespace cedar
