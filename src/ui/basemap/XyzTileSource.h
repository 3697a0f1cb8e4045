#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QUrl>
#include <deque>

#include "basemap/TileSource.h"

class QNetworkAccessManager;
class QNetworkDiskCache;
class QNetworkReply;

// Tiles from a tile server: a URL template such as "https://host/{z}/{x}/{y}.png", fetched
// with Qt's network access on the source's own thread.
//
// - At most kMaxInFlight tiles are fetched at a time; the rest wait in the order asked.
// - Fetched tiles are kept in a disk cache folder (the caller names it, in the program
//   folder) and used again as the server's cache headers allow, also after a restart.
//   When the server cannot be reached, does not answer in time, is overloaded (429) or
//   fails (5xx), a tile kept in the cache is shown however old it is: the map keeps its
//   base layer without the network.
// - Every request names Sentrel in its User-Agent, as tile servers ask of programs.
// - A tile the server does not have (404...), an answer that is no picture or larger than
//   kMaxTileBytes, a server that is down: failed, with the reason in Russian.
class CXyzTileSource : public TileSource {
    Q_OBJECT
public:
    static constexpr int kMaxInFlight = 4;
    static constexpr int kDefaultTimeoutMs = 15000;
    static constexpr qint64 kMaxTileBytes = 4 * 1024 * 1024;
    static constexpr qint64 kDefaultCacheBytes = 256 * 1024 * 1024;

    // `cacheFolder` empty: nothing is kept on disk.
    CXyzTileSource(const QString& urlTemplate, const QString& cacheFolder,
                   const QString& attribution, QObject* parent = nullptr);
    ~CXyzTileSource() override;

    // Whether the template is an http or https address with {z}, {x} and {y}; if not,
    // every request fails with TemplateError.
    bool IsValid() const { return templateError_.isEmpty(); }
    QString TemplateError() const { return templateError_; }
    QUrl TileUrl(int z, int x, int y) const;
    // The User-Agent sent with every request.
    static QByteArray UserAgent();

    // Zooms the server has (0 … 19 unless set).
    void SetZoomRange(int minZoom, int maxZoom);
    // How long a fetch may go without receiving anything before it fails.
    void SetTimeout(int milliseconds) { timeoutMs_ = milliseconds; }
    void SetCacheSize(qint64 bytes);

    void Request(int z, int x, int y) override;
    void CancelPending() override;
    QString Attribution() const override { return attribution_; }
    int MinZoom() const override { return minZoom_; }
    int MaxZoom() const override { return maxZoom_; }

private:
    using Key = TileKey;

    void StartNext();
    void Finished(QNetworkReply* reply, Key key);
    // Why a fetch failed, in Russian.
    QString FailureText(QNetworkReply* reply, int status, const QString& name) const;
    // What the disk cache keeps for a URL (empty when nothing).
    QByteArray CachedBytes(const QUrl& url) const;
    void Answer(Key key, const QImage& image, const QString& reason);

    QString template_;
    QString templateError_;
    QString attribution_;
    int minZoom_ = 0;
    int maxZoom_ = 19;
    int timeoutMs_ = kDefaultTimeoutMs;
    QNetworkAccessManager* network_;
    QNetworkDiskCache* cache_ = nullptr;  // owned by network_
    QSet<Key> waiting_;                   // asked and not answered yet
    std::deque<Key> queue_;               // waiting to be fetched
    QHash<QNetworkReply*, Key> inFlight_;
};
