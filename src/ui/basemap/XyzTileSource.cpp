#include "basemap/XyzTileSource.h"

#include <QNetworkAccessManager>
#include <QNetworkDiskCache>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <algorithm>
#include <memory>

#include "basemap/WebMercator.h"

namespace {

const char* const kTooLarge = "sentrelTooLarge";

QString TileName(int z, int x, int y) {
    return QStringLiteral("%1/%2/%3").arg(z).arg(x).arg(y);
}

QString Fill(QString text, int z, int x, int y) {
    return text.replace(QLatin1String("{z}"), QString::number(z))
        .replace(QLatin1String("{x}"), QString::number(x))
        .replace(QLatin1String("{y}"), QString::number(y));
}

}  // namespace

CXyzTileSource::CXyzTileSource(const QString& urlTemplate, const QString& cacheFolder,
                               const QString& attribution, QObject* parent)
    : TileSource(parent),
      template_(urlTemplate.trimmed()),
      attribution_(attribution),
      network_(new QNetworkAccessManager(this)) {
    const QUrl sample(Fill(template_, 0, 0, 0));
    const QString scheme = sample.scheme().toLower();
    if (!template_.contains(QLatin1String("{z}")) || !template_.contains(QLatin1String("{x}")) ||
        !template_.contains(QLatin1String("{y}")) || !sample.isValid() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https")) ||
        sample.host().isEmpty()) {
        templateError_ = QStringLiteral(
                             "Адрес сервера плиток «%1» не подходит: нужен адрес http:// или "
                             "https:// с {z}, {x} и {y}")
                             .arg(urlTemplate);
    }
    if (!cacheFolder.isEmpty()) {
        cache_ = new QNetworkDiskCache(network_);
        cache_->setCacheDirectory(cacheFolder);
        cache_->setMaximumCacheSize(kDefaultCacheBytes);
        network_->setCache(cache_);
    }
}

CXyzTileSource::~CXyzTileSource() {
    // The fetches still running end here without answering a half-destroyed source.
    for (auto it = inFlight_.cbegin(); it != inFlight_.cend(); ++it) {
        disconnect(it.key(), nullptr, this, nullptr);
        it.key()->abort();
    }
    inFlight_.clear();
    delete network_;
}

QUrl CXyzTileSource::TileUrl(int z, int x, int y) const {
    return QUrl(Fill(template_, z, x, y));
}

QByteArray CXyzTileSource::UserAgent() {
    return QByteArrayLiteral("Sentrel/" SENTREL_VERSION " (fleet monitoring console)");
}

void CXyzTileSource::SetZoomRange(int minZoom, int maxZoom) {
    minZoom_ = std::max(0, std::min(minZoom, WebMercator::kMaxZoom));
    maxZoom_ = std::max(minZoom_, std::min(maxZoom, WebMercator::kMaxZoom));
}

void CXyzTileSource::SetCacheSize(qint64 bytes) {
    if (cache_ != nullptr) {
        cache_->setMaximumCacheSize(bytes);
    }
}

void CXyzTileSource::Request(int z, int x, int y) {
    const Key key{z, x, y};
    if (waiting_.contains(key)) {
        return;
    }
    waiting_.insert(key);
    QString refusal;
    if (!IsValid()) {
        refusal = templateError_;
    } else if (!WebMercator::ValidTile(z, x, y)) {
        refusal = QStringLiteral("Неверный номер плитки %1").arg(TileName(z, x, y));
    } else if (z < minZoom_ || z > maxZoom_) {
        refusal = QStringLiteral("У сервера плиток нет масштаба %1 (есть %2–%3)")
                      .arg(z)
                      .arg(minZoom_)
                      .arg(maxZoom_);
    }
    if (!refusal.isEmpty()) {
        QMetaObject::invokeMethod(
            this, [this, key, refusal] { Answer(key, QImage(), refusal); }, Qt::QueuedConnection);
        return;
    }
    queue_.push_back(key);
    StartNext();
}

void CXyzTileSource::CancelPending() {
    for (const Key& key : queue_) {
        waiting_.remove(key);
    }
    queue_.clear();
}

void CXyzTileSource::StartNext() {
    while (inFlight_.size() < kMaxInFlight && !queue_.empty()) {
        const Key key = queue_.front();
        queue_.pop_front();
        QNetworkRequest request(TileUrl(key.z, key.x, key.y));
        request.setHeader(QNetworkRequest::UserAgentHeader, UserAgent());
        request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                             QNetworkRequest::PreferNetwork);
        request.setTransferTimeout(timeoutMs_);
        QNetworkReply* reply = network_->get(request);
        inFlight_.insert(reply, key);
        connect(reply, &QNetworkReply::downloadProgress, this, [reply](qint64 received, qint64) {
            if (received > kMaxTileBytes && !reply->property(kTooLarge).toBool()) {
                reply->setProperty(kTooLarge, true);
                reply->abort();
            }
        });
        connect(reply, &QNetworkReply::finished, this, [this, reply] {
            const auto it = inFlight_.constFind(reply);
            if (it != inFlight_.cend()) {
                Finished(reply, it.value());
            }
        });
    }
}

QString CXyzTileSource::FailureText(QNetworkReply* reply, int status, const QString& name) const {
    const QNetworkReply::NetworkError error = reply->error();
    if (error == QNetworkReply::OperationCanceledError || error == QNetworkReply::TimeoutError) {
        return QStringLiteral("Сервер плиток не прислал плитку %1 за %2 с")
            .arg(name)
            .arg(timeoutMs_ / 1000.0);
    }
    if (error < QNetworkReply::ContentAccessDenied) {
        return QStringLiteral("Нет связи с сервером плиток (плитка %1): %2")
            .arg(name, reply->errorString());
    }
    if (status != 0) {
        return QStringLiteral("Сервер плиток ответил на запрос плитки %1 кодом %2")
            .arg(name)
            .arg(status);
    }
    return QStringLiteral("Сервер плиток не дал плитку %1: %2").arg(name, reply->errorString());
}

void CXyzTileSource::Finished(QNetworkReply* reply, Key key) {
    inFlight_.remove(reply);
    reply->deleteLater();
    const QString name = TileName(key.z, key.x, key.y);
    const QNetworkReply::NetworkError error = reply->error();
    // (An error answer to the revalidation of a kept tile comes with the kept tile's status:
    // the status says something only for an answer of the server's own.)
    const int status = reply->attribute(QNetworkRequest::SourceIsFromCacheAttribute).toBool()
                           ? 0
                           : reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    QImage image;
    QString reason;
    if (reply->property(kTooLarge).toBool()) {
        reason = QStringLiteral("Сервер плиток прислал вместо плитки %1 больше %2 МиБ")
                     .arg(name)
                     .arg(kMaxTileBytes / (1024 * 1024));
    } else if (error == QNetworkReply::NoError) {
        image = QImage::fromData(reply->readAll());
        if (image.isNull()) {
            reason =
                QStringLiteral("Сервер плиток прислал вместо плитки %1 не изображение").arg(name);
        }
    } else {
        // The server out of reach (connection and proxy errors, below 200), failing (5xx,
        // 401 … 499 in Qt's numbering) or overloaded: a tile seen before is better than
        // none. A tile the server says it does not have (404...) is not shown from the cache.
        const bool serverTrouble = error < QNetworkReply::ContentAccessDenied ||
                                   (error >= QNetworkReply::InternalServerError &&
                                    error <= QNetworkReply::UnknownServerError) ||
                                   status == 408 || status == 429;
        if (serverTrouble) {
            image = QImage::fromData(CachedBytes(reply->url()));
        }
        if (image.isNull()) {
            reason = FailureText(reply, status, name);
        }
    }
    Answer(key, image, reason);
    StartNext();
}

QByteArray CXyzTileSource::CachedBytes(const QUrl& url) const {
    if (cache_ == nullptr) {
        return QByteArray();
    }
    const std::unique_ptr<QIODevice> device(cache_->data(url));
    return device ? device->readAll() : QByteArray();
}

void CXyzTileSource::Answer(Key key, const QImage& image, const QString& reason) {
    if (!waiting_.remove(key)) {
        return;
    }
    if (image.isNull()) {
        emit failed(key.z, key.x, key.y, reason);
    } else {
        emit tileReady(key.z, key.x, key.y, image);
    }
}
