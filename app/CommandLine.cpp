#include "app/CommandLine.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>

#ifndef QUARL_VERSION
#error "QUARL_VERSION must give the program's version"
#endif

std::optional<int> HandleCommandLine(const QStringList& arguments, QTextStream& out,
                                     QTextStream& err) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Quarl shows the sound of the default input as a spectrum, a waveform or a\n"
                       "sonagraph. It takes no arguments: everything is set in its windows."));
    // Our own help and version options: Qt's addHelpOption also offers
    // --help-all with Qt's own switches, which this program refuses.
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Displays this help."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Displays version information."));
    parser.addOption(help);
    parser.addOption(version);

    // Qt's first line names the program only when an application object
    // exists, which it does not yet: ours names it from argv[0].
    const QString name =
        arguments.isEmpty() ? QStringLiteral("quarl") : QFileInfo(arguments.first()).fileName();
    const QString text = parser.helpText();
    const QString usage =
        QStringLiteral("Usage: %1 [options]").arg(name) + text.mid(text.indexOf('\n'));

    QString refusal;
    if (!parser.parse(arguments))
        refusal = parser.errorText();
    else if (!parser.positionalArguments().isEmpty())
        refusal = QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments()[0]);
    if (!refusal.isEmpty()) {
        err << refusal << "\n\n" << usage;
        err.flush();
        return kUsageStatus;
    }
    if (parser.isSet(help)) {
        out << usage;
    } else if (parser.isSet(version)) {
        out << "Quarl " << QStringLiteral(QUARL_VERSION) << "\n";
    } else {
        return std::nullopt;
    }
    out.flush();
    return 0;
}

std::optional<int> HandleCommandLine(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QFile::decodeName(argv[i]);
    QTextStream out(stdout);
    QTextStream err(stderr);
    return HandleCommandLine(arguments, out, err);
}
