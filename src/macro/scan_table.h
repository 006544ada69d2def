// The scan table: built once by the pre-scan over a freshly loaded macro, it
// links every control statement to its partners so that the interpreter can
// jump without searching the text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "macro/macro_error.h"
#include "macro/scanner.h"

namespace cedar {

struct MacroContext;

enum class ScanKind : std::int16_t {
    None = 0,
    If = 1,
    Else = 2,
    EndIf = 3,
    While = 4,
    EndWhile = 5,
    Select = 6,
    Case = 7,
    Default = 8,
    EndSelect = 9,
    For = 10,
    Next = 11,
    Break = 12,
    Continue = 13,
    Label = 14,
    Goto = 15,
    Call = 16,
    Return = 17,
    Subroutine = 18,
};

// Entry indexes: 0 = none.
using ScanIndex = std::int16_t;

struct ScanEntry {
    std::int16_t statementNumber = 0;
    ScanKind kind = ScanKind::None;
    int depth = 0;
    std::size_t text = 0;  // start of the statement (after the label for a statement behind one)
    // If: its Else; EndWhile, Next: the loop; Case, Default: the Select;
    // Break: the block it leaves; Continue: the loop; Subroutine: the Call
    // now executing it (set at run time).
    ScanIndex partner = 0;
    // If, Else: the EndIf; While: the EndWhile; Select, Case, Default: the
    // EndSelect; For: the Next; Goto, Call: the target label; Return: its
    // subroutine label.
    ScanIndex end = 0;
    // For only, set when the For statement executes: the loop variable's
    // index in the variable table (-1 = none), its limit and step.
    int loopVariable = -1;
    std::int32_t limit = 0;
    std::int32_t step = 0;
};

// Entry 0 holds nothing; entries start at 1.
class ScanTable {
  public:
    static constexpr int kMaxEntries = 23'402;
    // Statement numbers are 16-bit: a macro holds at most this many statements.
    static constexpr int kMaxStatements = 32'767;

    ScanTable() : entries_(1) {}

    // Entries 1 ... size().
    int size() const { return static_cast<int>(entries_.size()) - 1; }
    bool empty() const { return size() == 0; }
    ScanEntry& operator[](int index) { return entries_[static_cast<std::size_t>(index)]; }
    const ScanEntry& operator[](int index) const {
        return entries_[static_cast<std::size_t>(index)];
    }
    // Entry `index`, or nullptr for 0 and indexes past the last entry.
    ScanEntry* entry(int index);

    // The index of the first entry with this statement number, or 0.
    int findEntry(int statementNumber) const;
    // The same, of a given kind (a label and the statement behind it share a number).
    int findEntry(int statementNumber, ScanKind kind) const;

    void clear() { entries_.resize(1); }
    // Appends an entry and returns its index.
    int append(const ScanEntry& entry);

  private:
    std::vector<ScanEntry> entries_;
};

// Builds the context's scan table. Returns None or the error; on an error
// the context's statementStart is the statement being scanned and its
// errorPosition the token where the error was found. On success the
// context is set back to its first statement.
MacroError preScan(MacroContext& context, const ScannerOptions& options);

}  // namespace cedar
