// The program's command line as read before anything of Qt starts.
#include "Program.h"

#include <gtest/gtest.h>

namespace {

using Answer = ProgramArguments::Answer;

ProgramArguments read(std::vector<std::string> arguments)
{
    return ReadProgramArguments(arguments);
}

TEST(ProgramArgumentsTest, TakesOneFileAndRefusesEverythingElse)
{
    EXPECT_EQ(read({}).answer, Answer::Window);
    EXPECT_EQ(read({}).file, "");
    EXPECT_EQ(read({"cube.3do"}).file, "cube.3do");
    // After "--" a name may begin with a dash.
    const ProgramArguments dashed = read({"--", "-odd.3do"});
    EXPECT_EQ(dashed.answer, Answer::Window);
    EXPECT_EQ(dashed.file, "-odd.3do");

    const ProgramArguments unknown = read({"--fullscreen", "cube.3do"});
    EXPECT_EQ(unknown.answer, Answer::Wrong);
    EXPECT_NE(unknown.fault.find("--fullscreen"), std::string::npos) << unknown.fault;
    EXPECT_EQ(read({"a.3do", "b.3do"}).answer, Answer::Wrong);
    EXPECT_EQ(read({""}).answer, Answer::Wrong);
}

TEST(ProgramArgumentsTest, HelpAndVersionWinOverTheRestBeforeTheEndOfOptions)
{
    EXPECT_EQ(read({"--bogus", "a.3do", "b.3do", "--help"}).answer, Answer::Help);
    EXPECT_EQ(read({"-h"}).answer, Answer::Help);
    EXPECT_EQ(read({"a.3do", "-V"}).answer, Answer::Version);
    EXPECT_EQ(read({"--version", "--help"}).answer, Answer::Version);
    const ProgramArguments named = read({"--", "--help"});
    EXPECT_EQ(named.answer, Answer::Window);
    EXPECT_EQ(named.file, "--help");
}

} // namespace
