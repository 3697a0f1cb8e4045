#include "basemap/BaseLayerChoice.h"

#include <QUrl>

#include "basemap/MbTilesSource.h"
#include "basemap/XyzTileSource.h"

BaseLayerChoice BaseLayerChoice::From(const QString& file, const QString& url,
                                      const QString& cacheFolder) {
    BaseLayerChoice choice;
    if (!file.isEmpty()) {
        auto* tiles = new CMbTilesSource(file);
        if (tiles->IsOpen()) {
            choice.source = tiles;
        } else {
            choice.note = tiles->OpenError();
            delete tiles;
        }
    } else if (!url.isEmpty()) {
        // No attribution comes with a bare address: the server's name at least.
        QString sample = url;
        for (const char* part : {"{z}", "{x}", "{y}"}) {
            sample.replace(QLatin1String(part), QLatin1String("0"));
        }
        auto* server = new CXyzTileSource(url, cacheFolder,
                                          QStringLiteral("Плитки: %1").arg(QUrl(sample).host()));
        if (server->IsValid()) {
            choice.source = server;
        } else {
            choice.note = server->TemplateError();
            delete server;
        }
    }
    return choice;
}
