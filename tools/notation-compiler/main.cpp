// Builds the shipped notation databases from their sources at build time.
//   qnt_notationc <source folder> <output Notations folder>

#include "framework/notations/QntNotationCompiler.h"

#include <QGuiApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    // Icons are drawn with text and fonts, which need a GUI application, never a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: qnt_notationc <source folder> <output folder>\n");
        return 2;
    }
    const auto written = QntNotationCompiler::compileAll(args.at(1), args.at(2));
    if (!written) {
        std::fprintf(stderr, "qnt_notationc: %s\n", qPrintable(written.errorMessage()));
        return 1;
    }
    std::printf("qnt_notationc: %lld notation databases written to %s\n",
                static_cast<long long>(written->size()), qPrintable(args.at(2)));
    return 0;
}
