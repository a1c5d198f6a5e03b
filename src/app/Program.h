#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

class TVorlanForm;

// What the command line asks of the program: the window, with a file to open or none, or an
// answer that needs no window (help, version, a wrong command line).
struct ProgramArguments {
    enum class Answer { Window, Help, Version, Wrong };
    Answer answer = Answer::Window;
    std::string file;    // the object file to open, as its bytes; empty: none
    std::string fault;   // what is wrong with the command line
};

// Reads the arguments after the program name: `3dvorlan [FILE]`, --help, --version.
ProgramArguments ReadProgramArguments(const std::vector<std::string>& arguments);

// The answers given without a window: the help or version on `out`, a fault as one line on
// `err`. Returns the exit status.
int AnswerWithoutWindow(const ProgramArguments& arguments, std::FILE* out, std::FILE* err);

// Shows the window where the program places it and, once it is shown, opens the file (when
// one is named) as File > Open would.
void ShowProgramWindow(TVorlanForm& form, const std::string& file);

// The program's start and run: the command line read, the heap set up, the view's pixel
// format, the application, the window built, placed and shown, then the event loop.
// `beforeShow` sees the window just before it is shown (the start-up benchmark watches for
// its first frame there).
int RunProgram(int argc, char** argv, const std::function<void(TVorlanForm&)>& beforeShow = {});
