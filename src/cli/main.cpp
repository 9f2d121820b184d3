// groovane-render: renders a Groovane Pro song to a WAV file from the command line, for scripts
// and machines without a display (render_command.h).
#include "cli/render_command.h"

#include <iostream>
#include <unistd.h>

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    return groovane::renderCommandMain(args, std::cout, std::cerr, ::isatty(STDERR_FILENO) == 1);
}
