#pragma once

#include <QCommandLineParser>
#include <QString>
#include <cstdio>
#include <string>
#include <vector>

namespace korvo {

// The program's command line, read before anything else and without an application object, so that
// what only prints needs no display:
//
//   korvo [FILE]            the window; a file named is read for BPM 1 once the window shows
//   korvo --tempo FILE...   one line per file, no window (tempoCommand())
//   korvo --help, --version
//
// Qt's own options (-platform offscreen, -style fusion...) are let through for QApplication, which
// takes them out of argv itself. An unknown option, or a second file for the window, ends the
// program with status 2 and a line that says why.
class CommandLine
{
public:
    // The arguments, the program's name first, in UTF-8 (see utf8Arguments() in app/console.h); a
    // byte that is not UTF-8 still reaches a command as it was typed.
    explicit CommandLine(const std::vector<std::string>& arguments);

    // Whether the program starts its window: no option but Qt's own, and one file at most.
    bool opensWindow() const;
    // The file to read for BPM 1 as it was typed, empty for none (only when opensWindow()).
    QString file() const;
    // What the line asks for instead of the window: prints the help or the version, runs a command
    // or says what is wrong with the line, and gives the exit status.
    int run(std::FILE* out, std::FILE* err) const;

private:
    // The index in the table of commands of the one asked for, -1 for none, -2 for more than one.
    int command() const;

    QCommandLineParser m_parser;
    bool m_parsed = false;
    // The arguments that are not options, byte for byte as typed.
    std::vector<std::string> m_arguments;
};

} // namespace korvo
