// colorcorrect: the command-line tool. Everything but the hand-over lives in
// colorcorrect_cli_core.

#include "commands/commands.h"

int main(int argc, char** argv)
{
    return colorcorrect::cli::RunCli(argc, argv);
}
