// run-command.h -- running outside programs (qpdf, pdftoppm, the built program) from tests.
#pragma once

#include <string>

// Runs a shell command; its exit status (-1 when it did not exit normally), with its standard
// output and standard error in `output`.
int RunCommand(const std::string &command, std::string *output);
