// sentrel-icons: renders the application icon, as the program draws it, into PNG files
// of the icon theme's layout (DIR/NxN/apps/sentrel.png), for the installed desktop entry.
#include <QDir>
#include <QGuiApplication>
#include <QPixmap>
#include <QStringList>
#include <cstdio>

#include "app/Icons.h"

int main(int argc, char** argv) {
    // No window is shown; the offscreen platform needs no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    const QStringList args = QGuiApplication::arguments();
    if (args.size() < 3) {
        std::fputs("Usage: sentrel-icons DIR SIZE...\n"
                   "Writes DIR/SIZExSIZE/apps/sentrel.png for every SIZE (16..1024).\n",
                   stderr);
        return 2;
    }
    const QString root = args[1];
    for (qsizetype k = 2; k < args.size(); ++k) {
        bool ok = false;
        const int size = args[k].toInt(&ok);
        if (!ok || size < 16 || size > 1024) {
            std::fprintf(stderr, "sentrel-icons: bad size %s\n", qPrintable(args[k]));
            return 2;
        }
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(root).arg(size);
        if (!QDir().mkpath(folder)) {
            std::fprintf(stderr, "sentrel-icons: cannot create %s\n", qPrintable(folder));
            return 1;
        }
        const QPixmap pixmap = Icons::AppPixmap(size);
        const QString file = folder + QStringLiteral("/sentrel.png");
        if (pixmap.width() != size || !pixmap.save(file, "PNG")) {
            std::fprintf(stderr, "sentrel-icons: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
