#include <QApplication>
#include <QTextStream>

#include <cstring>

int main(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            QTextStream(stdout) << "Quintora " << QNT_VERSION << Qt::endl;
            return 0;
        }
    }
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Quintora"));
    QApplication::setApplicationName(QStringLiteral("Quintora"));
    return QApplication::exec();
}
