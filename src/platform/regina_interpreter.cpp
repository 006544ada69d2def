#include "platform/regina_interpreter.h"

#define INCL_REXXSAA
#include <rexxsaa.h>

#include <cstring>
#include <utility>

#include "platform/regina_signals.h"

namespace cedar::regina {

namespace {

// Registrations and handlers are per thread in Regina: each task thread
// registers its own and finds its task here.
thread_local ReginaHost::Task* currentTask = nullptr;
// The process's signal handlers while a program on this thread starts.
thread_local ProcessSignalKeeper* startingKeeper = nullptr;
// Trace output came from the task's program (its errors come that way).
thread_local bool traced = false;

constexpr const char* kEnvironment = "CEDAR";
constexpr const char* kExit = "CEDAREXIT";

std::string textOf(const RXSTRING& s) {
    if (s.strptr == nullptr) return {};
    return std::string(s.strptr, s.strlength);
}

// Regina hands a buffer of its own size; a longer value needs memory of
// the interpreter's.
void setResult(PRXSTRING result, const std::string& value) {
    if (result->strptr == nullptr || value.size() > result->strlength) {
        auto* memory = static_cast<char*>(RexxAllocateMemory(static_cast<ULONG>(value.size() + 1)));
        if (memory == nullptr) {
            result->strlength = 0;
            return;
        }
        result->strptr = memory;
    }
    if (!value.empty()) std::memcpy(result->strptr, value.data(), value.size());
    result->strlength = value.size();
}

LONG APIENTRY exitHandler(LONG exitNumber, LONG subfunction, PEXIT parameters) {
    if (exitNumber == RXINI) {
        if (startingKeeper != nullptr) startingKeeper->restore();
        return RXEXIT_HANDLED;
    }
    ReginaHost::Task* task = currentTask;
    if (task == nullptr) return RXEXIT_NOT_HANDLED;
    if (exitNumber != RXSIO) return RXEXIT_NOT_HANDLED;
    switch (subfunction) {
        case RXSIOSAY:
        case RXSIOTRC: {
            // Both parameter blocks hold just the line.
            auto* block = reinterpret_cast<RXSIOSAY_PARM*>(parameters);
            if (subfunction == RXSIOTRC) traced = true;
            task->host->gate(*task);
            task->host->postDebugLine(textOf(block->rxsio_string));
            return RXEXIT_HANDLED;
        }
        case RXSIOTRD:
            // PULL from the terminal: a macro has none, so the read gets an
            // empty line rather than the process's own input.
            reinterpret_cast<RXSIOTRD_PARM*>(parameters)->rxsiotrd_retc.strlength = 0;
            task->host->gate(*task);
            return RXEXIT_HANDLED;
        case RXSIODTR:
            reinterpret_cast<RXSIODTR_PARM*>(parameters)->rxsiodtr_retc.strlength = 0;
            task->host->gate(*task);
            return RXEXIT_HANDLED;
        default:
            return RXEXIT_NOT_HANDLED;
    }
}

APIRET APIENTRY functionEntry(PCSZ name, ULONG argc, PRXSTRING argv, PCSZ, PRXSTRING result) {
    ReginaHost::Task* task = currentTask;
    if (task == nullptr || name == nullptr) return 40;
    std::string lower(name);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    RexxArguments args;
    for (ULONG i = 0; i < argc; ++i) {
        if (argv[i].strptr == nullptr)
            args.emplace_back();
        else
            args.emplace_back(textOf(argv[i]));
    }
    const RexxCallResult r = task->host->callFunction(*task, lower, args);
    if (r.failed) return 40;
    setResult(result, r.value);
    return 0;
}

APIRET APIENTRY environmentEntry(PRXSTRING command, PUSHORT flags, PRXSTRING result) {
    ReginaHost::Task* task = currentTask;
    *flags = RXSUBCOM_OK;
    if (task == nullptr) {
        setResult(result, "0");
        return 0;
    }
    const auto end = task->host->command(*task, command ? textOf(*command) : std::string());
    if (end.failure)
        *flags = RXSUBCOM_FAILURE;
    else if (end.rc != 0)
        *flags = RXSUBCOM_ERROR;
    setResult(result, std::to_string(end.rc));
    return 0;
}

void registerAll() {
    for (const auto& shape : rexxFunctionShapes())
        RexxRegisterFunctionExe(std::string(shape.name).c_str(), functionEntry);
    RexxRegisterSubcomExe(kEnvironment, environmentEntry, nullptr);
    RexxRegisterExitExe(kExit, exitHandler, nullptr);
}

void deregisterAll() {
    RexxDeregisterExit(kExit, nullptr);
    RexxDeregisterSubcom(kEnvironment, nullptr);
    for (const auto& shape : rexxFunctionShapes())
        RexxDeregisterFunction(std::string(shape.name).c_str());
}

struct Run {
    APIRET startCode = 0;
    SHORT returnCode = 0;
    std::string result;
};

Run run(const std::string& name, const std::string& source) {
    RXSTRING instore[2];
    MAKERXSTRING(instore[0], const_cast<char*>(source.data()), source.size());
    MAKERXSTRING(instore[1], nullptr, 0);
    RXSYSEXIT exits[] = {
        {const_cast<char*>(kExit), RXINI}, {const_cast<char*>(kExit), RXSIO}, {nullptr, RXENDLST}};
    char buffer[250];
    RXSTRING result;
    MAKERXSTRING(result, buffer, sizeof buffer);
    Run out;
    {
        ProcessSignalKeeper keeper;
        ProcessSignalKeeper* outer = std::exchange(startingKeeper, &keeper);
        out.startCode = RexxStart(0, nullptr, name.c_str(), instore, kEnvironment, RXCOMMAND, exits,
                                  &out.returnCode, &result);
        startingKeeper = outer;
    }
    if (result.strptr != nullptr) out.result = textOf(result);
    if (result.strptr != nullptr && result.strptr != buffer) RexxFreeMemory(result.strptr);
    if (instore[1].strptr != nullptr) RexxFreeMemory(instore[1].strptr);
    return out;
}

}  // namespace

ProgramEnd runTaskProgram(ReginaHost::Task& task, const std::string& name,
                          const std::string& source) {
    currentTask = &task;
    traced = false;
    {
        ProcessSignalKeeper keeper;
        registerAll();
    }
    if (task.haltReady != nullptr) task.haltReady->store(true);
    const Run r = run(name, source);
    if (task.haltReady != nullptr) task.haltReady->store(false);
    ProcessSignalKeeper keeper;
    deregisterAll();
    currentTask = nullptr;
    return {static_cast<long>(static_cast<LONG>(r.startCode)), r.returnCode, traced};
}

std::optional<long> evaluate(const std::string& expression) {
    const Run r = run("CONDITION", "return " + expression + "\n");
    if (r.startCode != 0) return std::nullopt;
    const auto n = readRexxNumber(r.result);
    if (!n) return std::nullopt;
    return *n;
}

std::string errorText(long number) {
    const Run r = run("ERRORTEXT", "return errortext(" + std::to_string(number) + ")\n");
    return r.startCode == 0 ? r.result : std::string();
}

namespace {

APIRET poolRequest(SHVBLOCK& block) {
    block.shvnext = nullptr;
    return RexxVariablePool(&block);
}

}  // namespace

bool setVariable(const std::string& name, const std::string& value) {
    SHVBLOCK block{};
    MAKERXSTRING(block.shvname, const_cast<char*>(name.data()), name.size());
    MAKERXSTRING(block.shvvalue, const_cast<char*>(value.data()), value.size());
    block.shvcode = RXSHV_SYSET;
    const APIRET rc = poolRequest(block);
    return (rc & ~static_cast<APIRET>(RXSHV_NEWV)) == RXSHV_OK;
}

std::optional<std::string> fetchVariable(const std::string& name) {
    SHVBLOCK block{};
    MAKERXSTRING(block.shvname, const_cast<char*>(name.data()), name.size());
    // No buffer: the interpreter allocates one of the value's whole length.
    MAKERXSTRING(block.shvvalue, nullptr, 0);
    block.shvcode = RXSHV_SYFET;
    const APIRET rc = poolRequest(block);
    std::optional<std::string> value;
    if (rc == RXSHV_OK) value = textOf(block.shvvalue);
    if (block.shvvalue.strptr != nullptr) RexxFreeMemory(block.shvvalue.strptr);
    return value;
}

void dropVariable(const std::string& name) {
    SHVBLOCK block{};
    MAKERXSTRING(block.shvname, const_cast<char*>(name.data()), name.size());
    block.shvcode = RXSHV_SYDRO;
    poolRequest(block);
}

}  // namespace cedar::regina
