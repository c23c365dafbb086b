#include "ui/online/BrandingDownload.h"

#include <QImage>
#include <QImageReader>
#include <cstdio>

#include "core/AppLog.h"
#include "core/AppSettings.h"
#include "core/DataPath.h"
#include "online/Downloader.h"

namespace quillon {

BrandingDownload::BrandingDownload(QObject* parent) : QObject(parent) {}

BrandingDownload::~BrandingDownload() {
    cancel_ = true;
    if (worker_.joinable())
        worker_.join();
}

bool BrandingDownload::AcceptableImage(const QString& path, QString& why) {
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    const QByteArray format = reader.format();
    if (format != "png" && format != "bmp") {
        why = QStringLiteral("not a PNG or BMP image");
        return false;
    }
    // Measured before decoding, so a huge picture never reaches memory.
    const QSize size = reader.size();
    if (!size.isValid() || size.width() > kMaxWidth || size.height() > kMaxHeight) {
        why = QStringLiteral("image of %1 by %2 pixels").arg(size.width()).arg(size.height());
        return false;
    }
    QImage image;
    if (!reader.read(&image) || image.isNull()) {
        why = QStringLiteral("image does not decode: ") + reader.errorString();
        return false;
    }
    return true;
}

bool BrandingDownload::Start() {
    const std::string url = Settings().bg_image_path;
    if (UrlOrigin(url).empty() || running_.load())
        return false;
    if (worker_.joinable())
        worker_.join();
    running_ = true;
    cancel_ = false;
    worker_ = std::thread(
        [this, url, proxy = DownloadProxy::FromSettings(Settings())] { Run(url, DataFile("XInfo.dll"), proxy); });
    return true;
}

void BrandingDownload::Run(const std::string& url, const std::string& target, const DownloadProxy& proxy) {
    const std::string incoming = target + ".new";
    Downloader downloader(DownloadKind::Branding, proxy);
    bool replaced = false;
    int result = downloader.Download(url, incoming, &cancel_);
    if (result == Downloader::kOk) {
        QString why;
        if (!AcceptableImage(QString::fromStdString(incoming), why)) {
            LogLine("DownloadBranding: %s refused: %s", url.c_str(), why.toUtf8().constData());
        } else if (std::rename(incoming.c_str(), target.c_str()) != 0) {
            LogLine("DownloadBranding: could not replace %s", target.c_str());
        } else {
            replaced = true;
        }
    } else if (result == Downloader::kFailed) {
        LogLine("DownloadBranding: %s", downloader.ErrorText().c_str());
    }
    std::remove(incoming.c_str());
    running_ = false;
    QMetaObject::invokeMethod(
        this, [this, replaced] { emit finished(replaced); }, Qt::QueuedConnection);
}

}  // namespace quillon
