// sentrel-icons: renders the application icon, as the program draws it, into PNG files
// of the icon theme's layout (DIR/NxN/apps/sentrel.png), for the installed desktop entry.
// With --list-images DIR it writes the object list's thirteen pictures instead, twice their
// size (DIR/list-<index>.png), for the guide's table of what they mean.
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
        std::fputs(
            "Usage: sentrel-icons DIR SIZE...\n"
            "       sentrel-icons --list-images DIR\n"
            "Writes DIR/SIZExSIZE/apps/sentrel.png for every SIZE (16..1024), or the\n"
            "object list's pictures as DIR/list-0.png ... list-12.png.\n",
            stderr);
        return 2;
    }
    if (args[1] == QStringLiteral("--list-images")) {
        const QString folder = args[2];
        if (!QDir().mkpath(folder)) {
            std::fprintf(stderr, "sentrel-icons: cannot create %s\n", qPrintable(folder));
            return 1;
        }
        for (int i = 0; i < Icons::kListImageCount; ++i) {
            const QPixmap image = Icons::ListPixmap(i);
            const QString file = QStringLiteral("%1/list-%2.png").arg(folder).arg(i);
            if (!image.scaled(image.size() * 2).save(file, "PNG")) {
                std::fprintf(stderr, "sentrel-icons: cannot write %s\n", qPrintable(file));
                return 1;
            }
        }
        return 0;
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
