// The command line: `quarl --version` and `quarl --help` print and end the
// program; anything else given is refused with the usage. Nothing on the
// command line changes what the program does, and it is read before any
// window exists, so both work without a display.
#pragma once

#include <QStringList>
#include <QTextStream>
#include <optional>

// Exit status for a command line that is refused.
inline constexpr int kUsageStatus = 2;

// `arguments` as in argv, the program's name first. Returns the exit status
// when the program must end at once (0 after --version or --help, 2 after
// anything else, with the reason and the usage written to `err`), or nothing
// when it starts as usual.
std::optional<int> HandleCommandLine(const QStringList& arguments, QTextStream& out,
                                     QTextStream& err);

// The same for main(): argv decoded as the system's file names are, the
// output on stdout and stderr.
std::optional<int> HandleCommandLine(int argc, char** argv);
