// The native stand-in's user interface and started programs: questions are
// answered, and the report is chosen, by lines of standard input.
#include "platform/platform.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <iterator>

#include "platform/posix_names.h"

namespace {

// Reads one line of standard input into `buffer`, without its line end.
// Returns the line's whole length, which may exceed what fit, or -1 at end
// of input.
long read_input_line(char* buffer, std::size_t size)
{
    long length = 0;
    int c;
    while ((c = std::getchar()) != EOF && c != '\n') {
        if (static_cast<std::size_t>(length) + 1 < size)
            buffer[length] = static_cast<char>(c);
        ++length;
    }
    if (c == EOF && length == 0)
        return -1;
    if (length > 0 && static_cast<std::size_t>(length) < size && buffer[length - 1] == '\r')
        --length;
    buffer[static_cast<std::size_t>(length) < size ? length : size - 1] = '\0';
    return length;
}

}  // namespace

bool show_open_file_dialog(const OpenFileDialog& dialog)
{
    std::printf("%s\n", dialog.title);
    std::fflush(stdout);
    const long length = read_input_line(dialog.file_name, dialog.file_name_size);
    return length > 0 && static_cast<std::size_t>(length) < dialog.file_name_size;
}

namespace {

// Splits the way Windows does for a program's arguments: blanks separate
// words and double quotes group them. The first word is the program's path,
// never looked up in the search path.
pid_t spawn(const char* command_line)
{
    char words[1024] = {};
    char* argv[64];
    std::size_t argc = 0;
    std::size_t used = 0;
    bool quoted = false;
    bool in_word = false;
    for (const char* c = command_line; *c != '\0' && used + 1 < sizeof words; ++c) {
        if (!quoted && (*c == ' ' || *c == '\t')) {
            if (in_word)
                words[used++] = '\0';
            in_word = false;
            continue;
        }
        if (!in_word) {
            if (argc + 1 == std::size(argv))
                break;
            argv[argc++] = &words[used];
            in_word = true;
        }
        if (*c == '"')
            quoted = !quoted;
        else
            words[used++] = *c;
    }
    words[used] = '\0';
    argv[argc] = nullptr;
    char program[PATH_MAX];
    if (argc == 0 || !to_native_name(argv[0], program))
        return -1;
    std::fflush(stdout);
    pid_t child;
    return posix_spawn(&child, program, nullptr, nullptr, argv, environ) == 0 ? child : -1;
}

}  // namespace

void start_program(const char* command_line, ShowMode)
{
    spawn(command_line);
}

bool run_program_to_end(const char* command_line, ShowMode)
{
    const pid_t child = spawn(command_line);
    int status;
    return child != -1 && waitpid(child, &status, 0) == child;
}

// Weak, so that an in-process harness such as a fuzzer can take the run
// back instead of ending the process.
[[gnu::weak]] void end_process(int status)
{
    std::exit(status);
}

Button prompt_user(const char* text, MessageStyle style)
{
    std::printf("%s\n%s\n", prompt_caption, text);
    if (style == style_plain) {
        std::fflush(stdout);
        return button_ok;
    }
    const bool yes_no = style == style_yes_no || style == style_yes_no_warning;
    std::printf("%s\n", yes_no ? "[yes/no]" : "[ok/cancel]");
    std::fflush(stdout);
    char answer[16];
    const char first = read_input_line(answer, sizeof answer) > 0 ? answer[0] : '\0';
    const bool agreed = first == 'y' || first == 'Y' || (!yes_no && (first == 'o' || first == 'O'));
    if (yes_no)
        return agreed ? button_yes : button_no;
    return agreed ? button_ok : button_cancel;
}
