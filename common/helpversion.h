// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

class QCommandLineParser;
class QString;

// --help and --version are answered before anything needs a display, an
// adapter or a window. When the command line asks for either, prints the
// answer on stdout and returns true: the program then exits with status 0.
// `describe` adds the program's description, options and arguments to the
// parser, so that the help lists them; the parser already has -h and -v.
bool answerHelpOrVersion(int argc, char *argv[], const QString &program,
                         const std::function<void(QCommandLineParser &)> &describe);
