// Writes the network icon reference from the built notation databases at build time.
//   qnt_iconref <Notations folder> <output PDF>

#include "framework/notations/QntIconReference.h"

#include <QGuiApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    // Icons and names are drawn with fonts, which need a GUI application, never a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: qnt_iconref <Notations folder> <output PDF>\n");
        return 2;
    }
    const auto groups = QntIconReference::groupsFromFolder(args.at(1));
    if (!groups) {
        std::fprintf(stderr, "qnt_iconref: %s\n", qPrintable(groups.errorMessage()));
        return 1;
    }
    const auto written = QntIconReference::write(*groups, args.at(2));
    if (!written) {
        std::fprintf(stderr, "qnt_iconref: %s\n", qPrintable(written.errorMessage()));
        return 1;
    }
    std::printf("qnt_iconref: %lld icons written to %s\n", static_cast<long long>(written->size()),
                qPrintable(args.at(2)));
    return 0;
}
