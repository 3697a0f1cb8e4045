#pragma once

#include <QString>

class TileSource;

// The base layer the settings ask for: an MBTiles file (which wins when both are set) or
// a tile server's URL template with its disk cache. Shared by the map window and the
// replay, so that both show the same layer.
struct BaseLayerChoice {
    // The source, owned by the caller (null: no base layer, or one that cannot be used).
    TileSource* source = nullptr;
    // Why a chosen layer cannot be used, in Russian (empty otherwise).
    QString note;

    // From the settings' file and URL and the program folder's tile cache.
    static BaseLayerChoice From(const QString& file, const QString& url,
                                const QString& cacheFolder);
};
