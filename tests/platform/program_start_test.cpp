// Program starts through posix_spawn: arguments stay as given, no shell
// ever reads them, and the program runs in the working folder.
#include "platform/program_start.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace cedar::platform {
namespace {

namespace fs = std::filesystem;

class ProgramStartTest : public ::testing::Test {
  protected:
    ProgramStartTest() {
        char tmpl[] = "/tmp/cedar-programs-XXXXXX";
        folder = ::mkdtemp(tmpl);
        // Writes its working folder and its arguments, one a line, then renames
        // the file into place so that a reader never sees half of it.
        script = folder + "/my prog.sh";
        std::ofstream(script) << "#!/bin/sh\n"
                                 "{ pwd; printf '%s\\n' \"$#\"; for a in \"$@\"; do printf '%s\\n' "
                                 "\"$a\"; done; } > out.tmp && mv out.tmp out.txt\n";
        ::chmod(script.c_str(), 0755);
    }
    ~ProgramStartTest() override { fs::remove_all(folder); }

    // The output of the started script (it runs on its own; wait a bounded time).
    std::string output() {
        const std::string path = folder + "/out.txt";
        for (int i = 0; i < 500 && !fs::exists(path); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::ifstream in(path);
        std::stringstream s;
        s << in.rdbuf();
        fs::remove(path);
        return s.str();
    }

    std::string folder;
    std::string script;
};

TEST_F(ProgramStartTest, ANameWithBlanksStaysOneArgument) {
    SpawnedPrograms programs(folder);
    EXPECT_EQ(programs.argumentsOf(script), std::vector<std::string>{script});
    ASSERT_TRUE(programs.start(script));
    EXPECT_EQ(output(), folder + "\n0\n");
    ASSERT_TRUE(programs.start("\"" + script + "\" one \"two words\""));
    EXPECT_EQ(output(), folder + "\n2\none\ntwo words\n");
    // Relative to the working folder, with Windows separators.
    ASSERT_TRUE(programs.start("\".\\my prog.sh\" x"));
    EXPECT_EQ(output(), folder + "\n1\nx\n");
}

TEST_F(ProgramStartTest, NoShellReadsTheCommandLine) {
    SpawnedPrograms programs(folder);
    const std::string pwned = folder + "/pwned";
    ASSERT_TRUE(programs.start("\"" + script + "\" ;touch " + pwned + " $(touch " + pwned + ")"));
    EXPECT_EQ(output(), folder + "\n4\n;touch\n" + pwned + "\n$(touch\n" + pwned + ")\n");
    EXPECT_FALSE(fs::exists(pwned));
    EXPECT_FALSE(programs.start("cedar-no-such-program-anywhere"));
    EXPECT_FALSE(programs.start("   "));
}

TEST_F(ProgramStartTest, ShellExecuteResults) {
    SpawnedPrograms programs(folder);
    EXPECT_EQ(programs.shellExecute("open", script, "a \"b c\""), 33);
    EXPECT_EQ(output(), folder + "\n2\na\nb c\n");
    EXPECT_EQ(programs.shellExecute("", "my prog.sh", ""), 33);
    EXPECT_EQ(output(), folder + "\n0\n");
    EXPECT_LE(programs.shellExecute("open", "missing.txt", ""), 32);
    EXPECT_LE(programs.shellExecute("print", script, ""), 32);
    EXPECT_LE(programs.shellExecute("open", "", ""), 32);
    // Documents go to the opener with the document as its one argument.
    SpawnedPrograms opener(folder, script);
    std::ofstream(folder + "/a b.txt") << "x";
    EXPECT_EQ(opener.shellExecute("OPEN", "a b.txt", ""), 33);
    EXPECT_EQ(output(), folder + "\n1\n" + folder + "/a b.txt\n");
}

}  // namespace
}  // namespace cedar::platform
