// The session's macro variables: the 50 predefined entries (TRUE, FALSE,
// TRACEMESSAGE and the system variables) followed by the macros' own.
// The table belongs to the session: variables keep their values from one
// macro to the next until DROP rebuilds it.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "macro/macro_error.h"
#include "macro/macro_value.h"

namespace cedar {

// The system variables, numbered by their place in the predefined entries.
enum class SystemVariable : std::uint8_t {
    None = 0,
    FontSize = 4,
    TranTime,
    HostAddr,
    Socket,
    InputLen,
    TermModel,
    SessName,
    HostName,
    Port,
    WindowId,
    Status,
    CursorCol = 15,
    CursorRow = 16,
    CursorPos = 17,
    Version,
    LocalName,
    LocalAddr,
    StartRow,
    StartCol,
    EndRow,
    EndCol,
    KeyScanCode,
    IpName,
    TnMode,
    LuName,
    DevName,
    ScreenHeight,
    ScreenWidth,
    SelectBoxActive,
    TpxSwap,
    PassedKey,
    XferHli,
    XferDsn,
    OnScreenRow,
    OnScreenCol,
    VersionDate,
    PrintStatus,
    SnaPlu,
    SnaLu,
    ShiftKey,
    Ssl,
    KeepAliveTime,
    IpVersion,
    InsertMode,
    WindowIdList,
    TermMode,
    MacroName = 50,
};

inline constexpr std::uint8_t kVariableTypeMask = 0x0F;
inline constexpr std::uint8_t kVariableSystem = 0x40;
inline constexpr std::uint8_t kVariableWritable = 0x20;

struct MacroVariable {
    static constexpr std::size_t kMaxName = 16;

    std::string name;  // upper case, at most 16 characters
    std::uint8_t flags = 0;
    SystemVariable systemId = SystemVariable::None;
    MacroValue value;

    ValueType type() const { return static_cast<ValueType>(flags & kVariableTypeMask); }
    bool isSystem() const { return (flags & kVariableSystem) != 0; }
    bool isWritable() const { return (flags & kVariableWritable) != 0; }
    // Stores a value; the type bits follow it.
    void set(const MacroValue& v) {
        value = v;
        flags = static_cast<std::uint8_t>((flags & ~kVariableTypeMask) |
                                          static_cast<std::uint8_t>(v.type));
    }
};

// One predefined entry.
struct PredefinedVariable {
    std::string_view name;
    ValueType type;
    SystemVariable id;  // None for TRUE, FALSE and TRACEMESSAGE
    bool writable;
};
// The 50 predefined entries in table order.
const std::vector<PredefinedVariable>& predefinedVariables();

class VariableTable {
  public:
    static constexpr int kBlockSize = 234;
    static constexpr int kMaxBlocks = 16;
    static constexpr int kCapacity = kBlockSize * kMaxBlocks;  // 3,744, predefined included
    static constexpr int kPredefined = 50;

    VariableTable() { reset(); }

    // Removes every macro variable and rebuilds the predefined entries.
    void reset();

    // The variable of that upper-case name, or nullptr.
    MacroVariable* find(std::string_view upperName);
    const MacroVariable* find(std::string_view upperName) const;

    // Adds a variable with no value. Errors: 28 (name over 16 characters),
    // 32 (table full).
    MacroError create(std::string_view upperName, MacroVariable*& created);

    int size() const { return size_; }
    // Blocks allocated (a block is taken when the one before it is full).
    int blocks() const { return static_cast<int>(blocks_.size()); }
    // Entries in table order, 0 ... size() - 1. Entries stay where they are
    // until reset().
    MacroVariable& at(int index) {
        return (*blocks_[static_cast<std::size_t>(index / kBlockSize)])[static_cast<std::size_t>(
            index % kBlockSize)];
    }
    const MacroVariable& at(int index) const {
        return (*blocks_[static_cast<std::size_t>(index / kBlockSize)])[static_cast<std::size_t>(
            index % kBlockSize)];
    }
    // The index of a variable of this table.
    int indexOf(const MacroVariable& variable) const;

  private:
    using Block = std::array<MacroVariable, kBlockSize>;
    std::size_t slotFor(std::string_view name) const;

    std::vector<std::unique_ptr<Block>> blocks_;
    int size_ = 0;
    // Open-addressed index by name: entry + 1, 0 = free.
    std::vector<std::int16_t> index_;
};

}  // namespace cedar
