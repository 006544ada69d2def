#include "transfer/transfer_command.h"

#include <cstdio>

namespace cedar {

namespace {

std::uint8_t upperByte(std::uint8_t c) {
    if (c >= 'a' && c <= 'z') return static_cast<std::uint8_t>(c - 0x20);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<std::uint8_t>(c - 0x20);
    switch (c) {
        case 0x9A:
            return 0x8A;  // s caron
        case 0x9C:
            return 0x8C;  // oe
        case 0x9E:
            return 0x8E;  // z caron
        case 0xFF:
            return 0x9F;  // y diaeresis
        default:
            return c;
    }
}

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

void appendNumber(std::string& out, const char* format, int value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, format, value);
    out += buffer;
}

bool isAsciiAlnum(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

}  // namespace

std::string displayUpperCase(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(upperByte(static_cast<std::uint8_t>(c)));
    return out;
}

std::string transferCommand(TransferDirection direction, std::string_view program,
                            std::string_view hostName, const TransferCommandOptions& options,
                            std::uint8_t hostDollar) {
    const bool upload = direction == TransferDirection::Upload;
    const bool tso = options.hostType == TransferHostType::Tso;
    const bool cms = options.hostType == TransferHostType::Cms;
    const bool cics = options.hostType == TransferHostType::Cics;

    std::string command;
    command += upload ? " put " : " get ";
    command += hostName;
    if (!tso) command += " (";
    if (options.ascii) command += " ascii";
    if (options.crlf) command += " crlf";
    // CICS binary follows the parenthesis directly; after "crlf" it needs
    // its own blank so that the two words stay apart.
    if (cics && !options.ascii) command += options.crlf ? " binary" : "binary";
    if (upload) {
        if (options.append) command += " append";
        if (tso) {
            if (options.primarySpace > 0) {
                if (options.secondarySpace > 0) {
                    char buffer[48];
                    std::snprintf(buffer, sizeof buffer, " space(%d %d)", options.primarySpace,
                                  options.secondarySpace);
                    command += buffer;
                } else {
                    appendNumber(command, " space(%d)", options.primarySpace);
                }
                command += options.spaceUnit == SpaceUnit::Cylinders ? " cylinders" : " tracks";
            }
            if (options.blockSize > 0) appendNumber(command, " blksize(%d)", options.blockSize);
            if (options.recordLength > 0) appendNumber(command, " lrecl(%d)", options.recordLength);
            if (options.recordFormat == RecordFormat::Fixed) command += " recfm(f)";
            if (options.recordFormat == RecordFormat::Variable) command += " recfm(v)";
        } else if (cms) {
            if (options.recordLength > 0) appendNumber(command, " lrecl %d", options.recordLength);
            if (options.recordFormat == RecordFormat::Fixed) command += " recfm f";
            if (options.recordFormat == RecordFormat::Variable) command += " recfm v";
        }
    }
    const std::string_view programParameters = trimBlanks(options.programParameters);
    if (!programParameters.empty()) {
        command += ' ';
        command += programParameters;
    }
    if (!options.dialogParameters.empty()) {
        command += ' ';
        command += options.dialogParameters;
    }
    if (!tso) command += " )";
    command += ' ';
    command += options.macroText;

    // The program's "$" is put in after upper-casing, so that a code page
    // whose 0x5B is a small letter still sends the host's own character.
    std::string result = displayUpperCase(program);
    const bool indFile = result.size() >= 8 && result.substr(0, 8) == "IND$FILE";
    if (indFile) result[3] = static_cast<char>(hostDollar);
    result += displayUpperCase(command);
    return result;
}

std::string hostFileName(std::string_view name, std::string_view member, bool listLevelSet) {
    bool quoted = false;
    if (name.size() >= 2 && name.front() == '\'' && name.back() == '\'') {
        name = name.substr(1, name.size() - 2);
        quoted = true;
    }
    std::string out;
    if (!member.empty()) {
        const bool qualified = listLevelSet || quoted;
        if (qualified) out += '\'';
        out += name;
        out += '(';
        out += member;
        out += ')';
        if (qualified) out += '\'';
        return out;
    }
    if (listLevelSet) {
        out += '\'';
        out += name;
        out += '\'';
        return out;
    }
    // Unchanged: a quoted name keeps its quotes.
    return quoted ? "'" + std::string(name) + "'" : std::string(name);
}

std::string pcNameToHostName(std::string_view pcName) {
    std::string out(pcName);
    for (char& c : out)
        if (c != '.' && !isAsciiAlnum(c)) c = '#';
    return out;
}

}  // namespace cedar
